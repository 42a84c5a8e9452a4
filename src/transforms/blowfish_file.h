// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Blowfish encrypted files (algorithm code 0), and the short-header variant
// that saved file lists use (ListMode).

#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"

namespace voltare::transforms {

// Keyed with the 32-byte key block (256 bits). In ListMode the file is only
// the magic and the payload, keyed with the password's SHA-1 digest (160
// bits); a wrong password then shows only when the result fails to expand.
// 0, ErrInternal (a path or the password empty, no progress indicator),
// ErrNoSuchFile, or the code of the failure that ended it. The result is on
// the disk when 0 is returned.
[[nodiscard]] platform::ResultCode BlowfishEncryptFile(const std::filesystem::path& source,
                                                       const Destination& destination, std::string_view password,
                                                       platform::Progress* progress, bool ListMode);

// As above, plus ErrBadPassword when the check block differs (no destination
// is left then). The algorithm code is not examined.
[[nodiscard]] platform::ResultCode BlowfishDecryptFile(const std::filesystem::path& source,
                                                       const Destination& destination, std::string_view password,
                                                       platform::Progress* progress, bool ListMode);

// CompressFile and BlowfishEncryptFile in one pass, for an input that
// DeflatesInParallel (ErrInternal otherwise): the same bytes, no temporary
// file. `compressed` runs when only the last piece and the flush are left.
[[nodiscard]] platform::ResultCode BlowfishCompressEncryptFile(const std::filesystem::path& source,
                                                               const Destination& destination,
                                                               std::string_view password, platform::Progress* progress,
                                                               const std::function<void()>& compressed);

}  // namespace voltare::transforms
