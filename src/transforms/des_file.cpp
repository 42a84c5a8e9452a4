// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/des_file.h"

#include "crypto/des.h"
#include "platform/file.h"
#include "transforms/file_io.h"
#include "transforms/result.h"
#include "transforms/vlt_format.h"

namespace voltare::transforms {

namespace {

using platform::ResultCode;

std::uint64_t JoinKey(std::uint32_t low, std::uint32_t high) { return (std::uint64_t{high} << 32) | low; }

bool ArgumentsValid(const std::filesystem::path& source, const Destination& destination, std::uint64_t key,
                    const platform::Progress* progress) {
  return !source.empty() && !destination.empty() && progress != nullptr && key != 0;
}

void WriteHeader(platform::File& out) {
  out.write(std::span(reinterpret_cast<const std::uint8_t*>(kVltMagic.data()), kVltMagic.size()));
  out.write(std::span(&kAlgorithmDes, 1));
}

}  // namespace

[[nodiscard]] ResultCode DesEncryptFile(const std::filesystem::path& source, const Destination& destination,
                                        std::uint32_t keyLow, std::uint32_t keyHigh, platform::Progress* progress) {
  const std::uint64_t key = JoinKey(keyLow, keyHigh);
  if (!ArgumentsValid(source, destination, key, progress)) return platform::ErrInternal;
  if (!platform::FileExists(source)) return platform::ErrNoTempFile;
  if (IsSameFile(source, destination)) return platform::ErrInternal;
  try {
    const crypto::TDESCipher cipher(key);
    auto in = OpenSource(source, true);
    DestinationFile out(destination);
    WriteHeader(out.file());
    FileByteSource from(in);
    FileByteSink to(out.file());
    cipher.EncryptStream(from, to, progress);
    out.SyncToDisk();
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

[[nodiscard]] ResultCode DesDecryptFile(const std::filesystem::path& source, const Destination& destination,
                                        std::uint32_t keyLow, std::uint32_t keyHigh, platform::Progress* progress) {
  const std::uint64_t key = JoinKey(keyLow, keyHigh);
  if (!ArgumentsValid(source, destination, key, progress)) return platform::ErrInternal;
  if (!platform::FileExists(source)) return platform::ErrNoSuchFile;
  if (IsSameFile(source, destination)) return platform::ErrInternal;
  try {
    const crypto::TDESCipher cipher(key);
    auto in = OpenSource(source, false);
    DestinationFile out(destination);
    in.seek(kDesHeaderSize);
    FileByteSource from(in);
    FileByteSink to(out.file());
    cipher.DecryptStream(from, to, progress);
    out.Commit();
    return platform::Success;
  } catch (...) {
    return ResultOfCurrentException();
  }
}

}  // namespace voltare::transforms
