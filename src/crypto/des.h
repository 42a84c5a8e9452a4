// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DES (FIPS 46) in ECB fashion with byte-count padding, over single blocks,
// byte strings and whole streams.
//
// Integer convention: keys and blocks are unsigned 64-bit integers whose most
// significant bit is DES bit 1 and least significant bit is DES bit 64. In
// memory and in files the integer is stored little-endian, so the 8 stored
// bytes are the standard DES byte order reversed. The parity bits (bit 0 of
// each stored key byte) are ignored.
//
// Padding: the plaintext gains p = 8 - (length mod 8) bytes of value p
// (1..8), so a ciphertext is always (length div 8 + 1) * 8 bytes long.
//
// Failures (ciphertext of a wrong length) throw CipherError with the
// program's own texts; read/write failures of the streams propagate as the
// streams' own exceptions. A wrong key is not detected: decryption then gives
// noise with an arbitrary pad count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/locked_memory.h"
#include "common/progress.h"
#include "crypto/bytestream.h"
#include "crypto/cipherbase.h"

namespace voltare::crypto {

class TDESCipher {
 public:
  static constexpr std::size_t kBlockSize = 8;
  // The stream operations work through one buffer of this size.
  static constexpr std::size_t kPieceSize = 4096;

  explicit TDESCipher(std::uint64_t key);
  ~TDESCipher();
  TDESCipher(const TDESCipher&) = delete;
  TDESCipher& operator=(const TDESCipher&) = delete;

  // Fills the encryption and decryption round-key tables from `key`.
  void CreateKeySchedule(std::uint64_t key);

  std::uint64_t EncryptedBlock(std::uint64_t block) const noexcept;
  std::uint64_t DecryptedBlock(std::uint64_t block) const noexcept;

  // One block in place; the 8 bytes are read and written as a little-endian
  // integer.
  void EncryptBlock(std::span<std::uint8_t, kBlockSize> block) const noexcept;
  void DecryptBlock(std::span<std::uint8_t, kBlockSize> block) const noexcept;

  // ECB over consecutive blocks in place; a trailing partial block (size not a
  // multiple of 8) is left untouched.
  void EncryptBlocks(std::span<std::uint8_t> blocks) const noexcept;
  void DecryptBlocks(std::span<std::uint8_t> blocks) const noexcept;

  // Whole byte strings with padding. DecryptedString throws CipherError
  // "DecryptedString: Ciphertext is not a multiple of 8 bytes." when the
  // length is 0 or not a multiple of 8.
  std::string EncryptedString(std::string_view text) const;
  std::string DecryptedString(std::string_view text) const;

  // From the source's current position to its end, into the destination, in
  // pieces of kPieceSize bytes. `progress` (may be nullptr) gets position 0
  // and maximum n (the bytes to process) and advances by kPieceSize with a
  // repaint after each whole piece. Both leave the source at its end.
  void EncryptStream(ByteSource& source, ByteSink& destination, common::Progress* progress) const;
  // Throws CipherError "DecryptStream: Ciphertext is not a multiple of 8
  // bytes." before anything is read or written when n is 0 or not a multiple
  // of 8. The pad count is the last decrypted byte; a count above 8 drops the
  // whole last block.
  void DecryptStream(ByteSource& source, ByteSink& destination, common::Progress* progress) const;

  // The padded length of `plaintext_length` bytes: (n div 8 + 1) * 8.
  static constexpr std::uint64_t CiphertextLength(std::uint64_t plaintext_length) noexcept {
    return (plaintext_length / kBlockSize + 1) * kBlockSize;
  }

 private:
  static constexpr int kRounds = 16;
  // Per round, two words of four 6-bit subkeys each, laid out to match the
  // S-box inputs of the rotated right half.
  using RoundKeys = std::array<std::uint32_t, 2 * kRounds>;

  struct Schedule {
    RoundKeys encrypt_keys;
    RoundKeys decrypt_keys;
  };

  // Kept in locked memory, out of swap and core dumps.
  common::LockedBox<Schedule> schedule_;
};

}  // namespace voltare::crypto
