// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CAST-128 encrypted files (algorithm code 1): the Blowfish layout, keyed with
// the first 16 bytes of the key block (128 bits, 16 rounds).

#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"

namespace voltare::transforms {

// 0, ErrInternal, ErrNoSuchFile, or the code of the failure that ended it; the
// result is on the disk when 0 is returned.
[[nodiscard]] platform::ResultCode Cast5EncryptFile(const std::filesystem::path& source, const Destination& destination,
                                                    std::string_view password, platform::Progress* progress);

// As above, plus ErrBadPassword when the check block differs (no destination
// is left then).
[[nodiscard]] platform::ResultCode Cast5DecryptFile(const std::filesystem::path& source, const Destination& destination,
                                                    std::string_view password, platform::Progress* progress);

// CompressFile and Cast5EncryptFile in one pass, for an input that
// DeflatesInParallel (ErrInternal otherwise): the same bytes, no temporary
// file. `compressed` runs when only the last piece and the flush are left.
[[nodiscard]] platform::ResultCode Cast5CompressEncryptFile(const std::filesystem::path& source,
                                                            const Destination& destination, std::string_view password,
                                                            platform::Progress* progress,
                                                            const std::function<void()>& compressed);

}  // namespace voltare::transforms
