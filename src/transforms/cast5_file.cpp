// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/cast5_file.h"

#include "crypto/cast128.h"
#include "transforms/cbc_file.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {

[[nodiscard]] platform::ResultCode Cast5EncryptFile(const std::filesystem::path& source, const Destination& destination,
                                                    std::string_view password, platform::Progress* progress) {
  crypto::TCast128Cipher cipher;
  const CbcFileJob job{cipher, kAlgorithmCast128, kCast128KeyBits, false, true};
  return EncryptCbcFile(job, source, destination, password, progress);
}

[[nodiscard]] platform::ResultCode Cast5CompressEncryptFile(const std::filesystem::path& source,
                                                            const Destination& destination, std::string_view password,
                                                            platform::Progress* progress,
                                                            const std::function<void()>& compressed) {
  crypto::TCast128Cipher cipher;
  const CbcFileJob job{cipher, kAlgorithmCast128, kCast128KeyBits, false, true};
  return CompressEncryptCbcFile(job, source, destination, password, progress, compressed);
}

// Decryption reads its source without the exclusive lock.
[[nodiscard]] platform::ResultCode Cast5DecryptFile(const std::filesystem::path& source, const Destination& destination,
                                                    std::string_view password, platform::Progress* progress) {
  crypto::TCast128Cipher cipher;
  const CbcFileJob job{cipher, kAlgorithmCast128, kCast128KeyBits, false, false};
  return DecryptCbcFile(job, source, destination, password, progress);
}

}  // namespace voltare::transforms
