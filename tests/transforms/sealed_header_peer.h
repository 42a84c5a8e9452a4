// SPDX-License-Identifier: GPL-3.0-or-later
// A sealed file's header read as another program would read it, with the
// library alone: the fixed fields, the key from "pass" and the stored limits
// (1 pass, 8192 KiB: the test override), the key check, and the stream's
// opening. Callers wrap it in ASSERT_NO_FATAL_FAILURE.
#pragma once

#include <gtest/gtest.h>
#include <sodium.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace voltare::transforms::testing {

inline void PullSealedHeader(const std::vector<std::uint8_t>& file, std::uint8_t formatVersion,
                             crypto_secretstream_xchacha20poly1305_state& state) {
  ASSERT_GE(file.size(), 79u);
  ASSERT_EQ(std::memcmp(file.data(), "KOVA Voltare", 12), 0);
  EXPECT_EQ(file[12], 3);
  EXPECT_EQ(file[13], formatVersion);
  EXPECT_EQ(file[14], 1);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 15, file.begin() + 23),
            (std::vector<std::uint8_t>{1, 0, 0, 0, 0x00, 0x20, 0, 0}));  // 1 pass, 8192 KiB

  std::uint8_t key[64];
  ASSERT_EQ(crypto_pwhash(key, sizeof key, "pass", 4, &file[23], 1, 8192 * 1024, crypto_pwhash_ALG_ARGON2ID13), 0);
  std::uint8_t check[16];
  crypto_generichash(check, sizeof check, file.data(), 63, key + 32, 32);
  EXPECT_EQ(std::memcmp(check, &file[63], 16), 0);
  ASSERT_EQ(crypto_secretstream_xchacha20poly1305_init_pull(&state, &file[39], key), 0);
}

}  // namespace voltare::transforms::testing
