// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/sha1.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/hex.h"
#include "support/test_env.h"

namespace voltare::crypto {
namespace {

using testing::ToHex;

std::string DigestHex(TSha1Hash& hash) {
  TSha1Hash::Digest digest{};
  hash.Final(digest);
  return ToHex(digest);
}

std::string Sha1Hex(std::string_view text) {
  TSha1Hash hash;
  hash.Init();
  hash.UpdateStr(text);
  return DigestHex(hash);
}

TEST(Sha1, PublishedDigests) {
  for (const std::string& line : testing::ReadVectorLines("sha1.txt")) {
    std::istringstream fields(line);
    std::string message, expected;
    fields >> message >> expected;
    SCOPED_TRACE(message);
    TSha1Hash hash;
    hash.Init();
    if (message == "one-million-a") {
      // Uneven pieces so that buffer boundaries fall everywhere.
      const std::string piece(997, 'a');
      std::size_t fed = 0;
      while (fed + piece.size() <= 1000000) {
        hash.UpdateStr(piece);
        fed += piece.size();
      }
      hash.UpdateStr(std::string(1000000 - fed, 'a'));
    } else if (message != "empty") {
      hash.UpdateStr(message);
    }
    EXPECT_EQ(DigestHex(hash), expected);
  }
}

TEST(Sha1, PiecewiseUpdatesMatchOneUpdate) {
  std::string message;
  for (int i = 0; i < 300; ++i) message += static_cast<char>(i * 7 + 3);
  const std::string whole = Sha1Hex(message);
  for (std::size_t split : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 128u, 299u}) {
    TSha1Hash hash;
    hash.Init();
    hash.UpdateStr(std::string_view(message).substr(0, split));
    hash.UpdateStr(std::string_view(message).substr(split));
    EXPECT_EQ(DigestHex(hash), whole) << "split at " << split;
  }
}

TEST(Sha1, FinalBurnsAndUseAfterwardsFails) {
  TSha1Hash hash;
  EXPECT_EQ(hash.Algorithm(), "SHA1");
  EXPECT_EQ(hash.HashSize(), 160);
  hash.SetHashSize(128);
  EXPECT_EQ(hash.HashSize(), 160);

  TSha1Hash::Digest digest{};
  try {
    hash.UpdateStr("x");
    FAIL() << "Update before Init";
  } catch (const CipherError& e) {
    EXPECT_STREQ(e.what(), "SHA1: Not initialized");
  }

  hash.Init();
  hash.UpdateStr("abc");
  hash.Final(digest);
  EXPECT_FALSE(hash.Initialized());
  try {
    hash.Final(digest);
    FAIL() << "second Final";
  } catch (const CipherError& e) {
    EXPECT_STREQ(e.what(), "SHA1: Not initialized");
  }

  // A new Init starts from scratch, with nothing of the earlier message left.
  hash.Init();
  hash.UpdateStr("abc");
  EXPECT_EQ(DigestHex(hash), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(Sha1, InitDiscardsPendingInput) {
  TSha1Hash hash;
  hash.Init();
  hash.UpdateStr("some earlier text");
  hash.Init();
  EXPECT_EQ(DigestHex(hash), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Sha1, ShortDigestBufferIsRejected) {
  TSha1Hash hash;
  hash.Init();
  std::vector<std::uint8_t> small(19);
  EXPECT_THROW(hash.Final(small), std::invalid_argument);
}

}  // namespace
}  // namespace voltare::crypto
