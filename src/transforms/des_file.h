// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// DES encrypted files (algorithm code 2): the magic, the code, then the DES
// stream encryption of the source (ECB blocks, padded with 1 to 8 bytes that
// each hold the pad count). There is no check block: a wrong key shows only
// when the result fails to expand.

#include <cstdint>
#include <filesystem>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"

namespace voltare::transforms {

// The key is DesKeyFromPassword's integer as two halves (low, high); only the
// key 0 is refused. 0, ErrInternal (a path empty, no progress indicator, key
// 0), ErrNoTempFile (the source does not exist), or the code of the failure
// that ended it. The result is on the disk when 0 is returned.
[[nodiscard]] platform::ResultCode DesEncryptFile(const std::filesystem::path& source, const Destination& destination,
                                                  std::uint32_t keyLow, std::uint32_t keyHigh,
                                                  platform::Progress* progress);

// 0, ErrInternal, ErrNoSuchFile, or the code of the failure that ended it (a
// payload that is not a whole number of blocks gives ErrBadFile).
[[nodiscard]] platform::ResultCode DesDecryptFile(const std::filesystem::path& source, const Destination& destination,
                                                  std::uint32_t keyLow, std::uint32_t keyHigh,
                                                  platform::Progress* progress);

}  // namespace voltare::transforms
