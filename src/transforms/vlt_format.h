// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".vlt" encrypted-file layout:
//
//   offset 0   12 bytes  "KOVA Voltare" (no terminator)
//   offset 12   1 byte   algorithm code: 0 Blowfish, 1 CAST-128, 2 DES
//   offset 13  32 bytes  password check block (Blowfish and CAST-128 only)
//   then to the end      the encrypted zlib stream
//
// Saved file lists use a short variant: the magic, then the payload directly.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "crypto/bytestream.h"
#include "crypto/cipherbase.h"

namespace voltare::transforms {

inline constexpr std::string_view kVltMagic = "KOVA Voltare";
inline constexpr std::size_t kMagicSize = 12;
static_assert(kVltMagic.size() == kMagicSize);

inline constexpr std::uint8_t kAlgorithmBlowfish = 0;
inline constexpr std::uint8_t kAlgorithmCast128 = 1;
inline constexpr std::uint8_t kAlgorithmDes = 2;
// Sealed files: their own header follows the code (transforms/xchacha_file.h).
inline constexpr std::uint8_t kAlgorithmXChaCha20 = 3;

inline constexpr std::size_t kKeyBlockSize = 32;
// How much of the key block keys the cipher.
inline constexpr int kBlowfishKeyBits = 256;
inline constexpr int kCast128KeyBits = 128;
inline constexpr std::uint64_t kListHeaderSize = kMagicSize;
inline constexpr std::uint64_t kCheckBlockOffset = kMagicSize + 1;
inline constexpr std::uint64_t kDesHeaderSize = kMagicSize + 1;
inline constexpr std::uint64_t kCheckedHeaderSize = kCheckBlockOffset + kKeyBlockSize;

// The encrypted payload goes through the CBC ciphers in pieces of this size.
inline constexpr std::size_t kCipherPieceSize = 8192;

// True when the file exists and begins with the magic.
bool IsVltFile(const std::filesystem::path& path) noexcept;

// The algorithm code at offset 12 (0 when the file is shorter), or -1 when the
// path is empty, the file does not exist or the code is not 0, 1, 2 or 3.
int ReadAlgorithmId(const std::filesystem::path& path) noexcept;

// Reads the magic and the algorithm code from `in`: the code, or -1 when the
// source is shorter or does not begin with the magic.
int ReadAlgorithmCode(crypto::ByteSource& in);

// SHA-1 of the password's bytes followed by twelve 0xFF bytes. The Blowfish
// files use all of it as key, the CAST-128 files its first 16 bytes.
using KeyBlock = std::array<std::uint8_t, kKeyBlockSize>;
KeyBlock MakeKeyBlock(std::string_view password);

// The password check block: the key block CBC-encrypted under the keyed
// cipher from its IV. Leaves the cipher Reset, ready for the payload.
KeyBlock MakeCheckBlock(crypto::TBlockCipher& cipher, const KeyBlock& key_block);

}  // namespace voltare::transforms
