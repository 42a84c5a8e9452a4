// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-file compression: a file becomes exactly one zlib stream at level 9
// (first bytes 78 DA) and back. The leading bytes double as the test that a
// decryption produced what was encrypted.

#include <array>
#include <cstdint>
#include <filesystem>

#include "platform/progress.h"
#include "platform/result_codes.h"
#include "transforms/file_io.h"

namespace voltare::transforms {

// What deflate writes first at level 9 with the default window; decryption
// takes anything else for the result of a wrong password.
inline constexpr std::array<std::uint8_t, 2> kLevel9Header = {0x78, 0xDA};

// The copy piece of both directions; the progress indicator moves after each.
inline constexpr std::size_t kCompressPieceSize = 32768;

// 0, ErrInternal (a path empty or no progress indicator), ErrNoSuchFile, or
// the code of the failure that ended it. An input larger than one chunk is
// compressed on DeflateWorkerCount() threads (parallel_deflate.h); the
// progress indicator is still moved only on the calling thread.
[[nodiscard]] platform::ResultCode CompressFile(const std::filesystem::path& source, const Destination& destination,
                                                platform::Progress* progress);

// ErrBadPassword when the source does not begin with 78 DA (a missing source
// included; nothing is created then), ErrInternal, ErrNoSuchFile, 0, or the
// code of the failure that ended it: a damaged or cut-off stream gives
// ErrBadFile, and the partial output is removed.
[[nodiscard]] platform::ResultCode DecompressFile(const std::filesystem::path& source, const Destination& destination,
                                                  platform::Progress* progress);

// True when the file exists and its first two bytes are 78 DA.
bool IsCompressedFile(const std::filesystem::path& path) noexcept;

// The most bytes the encrypted file of a `size`-byte source can take, by any
// algorithm: zlib's worst case for each chunk the workers make (incompressible
// data grows a little), the encrypted-file header, and a block of padding.
std::uint64_t EncryptedSizeBound(std::uint64_t size) noexcept;

}  // namespace voltare::transforms
