#pragma once
// The one file format of Blowfish and CAST-128 (and the short list variant):
// magic, algorithm code, check block, then the source CBC-encrypted in 8192-
// byte pieces as one message with no padding. The two algorithms differ only
// in the cipher, the code byte, the key size and whether decryption locks its
// source; the file units fill in a CbcFileJob and call these.

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "crypto/cipherbase.h"
#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::transforms {

struct CbcFileJob {
  crypto::TBlockCipher& cipher;  // unkeyed; burned on every path out
  std::uint8_t algorithm;        // the code written after the magic
  int keyBits;                   // how much of the key block keys the cipher
  bool listMode;                 // short header, keyed by the password's digest
  bool lockSourceOnDecrypt;
};

platform::ResultCode EncryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                    const std::filesystem::path& destination,
                                    std::string_view password, platform::Progress* progress);

platform::ResultCode DecryptCbcFile(const CbcFileJob& job, const std::filesystem::path& source,
                                    const std::filesystem::path& destination,
                                    std::string_view password, platform::Progress* progress);

}  // namespace voltare::transforms
