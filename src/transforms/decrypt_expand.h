// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decryption of a large Blowfish or CAST-128 ".vlt" on two cores. The calling
// thread expands the zlib stream, the one step that cannot be split; a thread
// beside it reads and decrypts the file a few pieces ahead into a small ring,
// and writes the expanded pieces behind, summing their Adler-32 (which zlib
// would otherwise sum on the calling thread). The compressed stream is never
// stored on the way, and memory stays the same whatever the size of the file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "platform/file.h"
#include "platform/progress.h"
#include "platform/result_codes.h"

namespace voltare::transforms {

// What the decrypting thread hands over at a time: whole cipher pieces, so the
// chaining runs exactly as in the one-thread decryption.
inline constexpr std::size_t kDecryptAheadPieceSize = 64 * 1024;
// How many of those it may be ahead of the expansion.
inline constexpr std::size_t kDecryptAheadPieces = 4;

// True when DecryptExpandFile is the way to decrypt a ".vlt" of `fileSize`
// bytes whose algorithm code is `algorithm`: Blowfish or CAST-128, a payload
// larger than one piece of the ring, and more than one core to run on
// (DeflateWorkerCount, so VOLTARE_THREADS=1 keeps the one-thread steps).
bool DecryptsOnTwoThreads(int algorithm, std::uint64_t fileSize);
// The same for the file at `source`; false when it cannot be looked at.
bool DecryptsOnTwoThreads(int algorithm, const std::filesystem::path& source) noexcept;

// Gives the file the expanded bytes go into, new and empty. Called on the
// calling thread once the password is accepted, before anything is decrypted.
using OpenExpandedOutput = std::function<platform::File&()>;

// Decrypts `source` (algorithm code 0 or 1) and expands the zlib stream in it
// into the file `open` gives; what becomes of that file is the caller's
// business. 0; ErrInternal (another algorithm, an empty path or password, no
// progress indicator); ErrNoSuchFile; ErrBadPassword when the check block
// differs (`open` is not called then) or the decrypted stream does not begin
// with 78 DA; ErrBadFile for a damaged or cut-off stream; ErrCancelled; or the
// errno of a failed read or write. The decrypting thread has ended on every
// return. The progress indicator counts the encrypted bytes expanded, against
// the file's size, and is touched only on the calling thread.
[[nodiscard]] platform::ResultCode DecryptExpandFile(int algorithm, const std::filesystem::path& source,
                                                     std::string_view password, platform::Progress* progress,
                                                     const OpenExpandedOutput& open);

}  // namespace voltare::transforms
