// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one file format of Blowfish and CAST-128 (and the short list variant):
// magic, algorithm code, check block, then the source CBC-encrypted in 8192-
// byte pieces as one message with no padding. The two algorithms differ only
// in the cipher, the code byte, the key size and whether decryption locks its
// source; the file units fill in a CbcFileJob and call these.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "crypto/bytestream.h"
#include "crypto/cipherbase.h"
#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"

namespace voltare::transforms {

struct CbcFileJob {
  crypto::TBlockCipher& cipher;  // unkeyed; burned on every path out
  std::uint8_t algorithm;        // the code written after the magic
  int keyBits;                   // how much of the key block keys the cipher
  bool listMode;                 // short header, keyed by the password's digest
  bool lockSourceOnDecrypt;
};

[[nodiscard]] platform::ResultCode EncryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                                  const Destination& destination, std::string_view password,
                                                  platform::Progress* progress);

// Compresses `source` on several cores (ParallelDeflate) and encrypts the
// stream as it is written, into exactly the bytes EncryptCbcFile makes of
// CompressFile's output: the same 8192-byte pieces, with no temporary file in
// between. `compressed` runs once the compression is complete, before the
// last piece is encrypted and the result flushed to the disk. Not for list
// mode. Codes as EncryptCbcFile.
[[nodiscard]] platform::ResultCode CompressEncryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                                          const Destination& destination, std::string_view password,
                                                          platform::Progress* progress,
                                                          const std::function<void()>& compressed);

[[nodiscard]] platform::ResultCode DecryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                                  const Destination& destination, std::string_view password,
                                                  platform::Progress* progress);

// Keys the cipher for decryption: from the key block, when the check block
// that `in` stands at matches it (false otherwise, or when `in` ends first);
// in list mode from the password's digest, with nothing read. The payload
// follows in `in`, the cipher at its IV.
bool AcceptPassword(const CbcFileJob& job, crypto::ByteSource& in, std::string_view password);

// The decryption itself, for callers that hold the encrypted file as a byte
// source: `in` stands just after the header (at the check block, or at the
// payload in list mode); `encryptedSize` is the whole file's size, the
// progress maximum. False, with nothing written, when the password does not
// match the check block. The cipher is left keyed: the caller burns it.
bool DecryptCbcStream(const CbcFileJob& job, crypto::ByteSource& in, crypto::ByteSink& out, std::string_view password,
                      std::uint64_t encryptedSize, platform::Progress& progress);

}  // namespace voltare::transforms
