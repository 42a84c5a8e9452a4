// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/blowfish_file.h"

#include "crypto/blowfish.h"
#include "transforms/cbc_file.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {

[[nodiscard]] platform::ResultCode BlowfishEncryptFile(const std::filesystem::path& source,
                                                       const Destination& destination, std::string_view password,
                                                       platform::Progress* progress, bool ListMode) {
  crypto::TBlowfishCipher cipher;
  const CbcFileJob job{cipher, kAlgorithmBlowfish, kBlowfishKeyBits, ListMode, true};
  return EncryptCbcFile(job, source, destination, password, progress);
}

[[nodiscard]] platform::ResultCode BlowfishCompressEncryptFile(const std::filesystem::path& source,
                                                               const Destination& destination,
                                                               std::string_view password, platform::Progress* progress,
                                                               const std::function<void()>& compressed) {
  crypto::TBlowfishCipher cipher;
  const CbcFileJob job{cipher, kAlgorithmBlowfish, kBlowfishKeyBits, false, true};
  return CompressEncryptCbcFile(job, source, destination, password, progress, compressed);
}

[[nodiscard]] platform::ResultCode BlowfishDecryptFile(const std::filesystem::path& source,
                                                       const Destination& destination, std::string_view password,
                                                       platform::Progress* progress, bool ListMode) {
  crypto::TBlowfishCipher cipher;
  const CbcFileJob job{cipher, kAlgorithmBlowfish, kBlowfishKeyBits, ListMode, true};
  return DecryptCbcFile(job, source, destination, password, progress);
}

}  // namespace voltare::transforms
