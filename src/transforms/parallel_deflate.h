// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Level-9 deflate on several cores that still writes exactly one zlib stream.
//
// The input is cut into chunks of kDeflateChunkSize bytes. Each worker thread
// deflates one chunk as raw deflate, primed with the 32 KiB that precede it as
// its dictionary, so matches reach across the cut as they would in one stream,
// and ends it on a byte boundary with a sync flush; the last chunk ends the
// stream. A chunk that cannot be made smaller (a photo, a video, an archive)
// is written as stored blocks instead, at the speed of a copy; the stream
// stays one zlib stream with the same checksum. The calling thread reads the
// chunks, writes the results in order between the 78 DA header and the
// Adler-32 of the whole input (combined from the chunks' own), and is the
// only one that touches the progress indicator.

#include <cstddef>
#include <cstdint>

#include "crypto/bytestream.h"
#include "platform/file.h"
#include "platform/progress.h"

namespace voltare::transforms {

// The input one worker deflates at a time. An input no larger than this is
// compressed as a single stream, byte for byte what one deflate call makes.
inline constexpr std::size_t kDeflateChunkSize = 256 * 1024;

// At most this many workers, whatever the machine has.
inline constexpr unsigned kMaxDeflateWorkers = 8;

// The workers CompressFile uses: the environment variable VOLTARE_THREADS when
// it holds a whole number from 1 up (1 keeps the single-stream path; more than
// kMaxDeflateWorkers counts as that many), else the processor count, at most
// kMaxDeflateWorkers.
unsigned DeflateWorkerCount();

// Compresses the next `size` bytes of `in` into `out` on `workers` threads
// (two or more). `out` receives the stream in order, piece by piece, on the
// calling thread, which otherwise mostly waits for the workers: a sink that
// encrypts as it writes costs no extra time. Progress counts the input bytes
// whose compressed form is written, repainted after each chunk. On any
// failure, in a worker or in reading or writing, every worker has ended before
// the exception leaves.
void ParallelDeflate(platform::File& in, std::uint64_t size, crypto::ByteSink& out, platform::Progress& progress,
                     unsigned workers);

// True when CompressFile would compress an input of `size` bytes on several
// threads (more than one worker, more than one chunk).
bool DeflatesInParallel(std::uint64_t size);

}  // namespace voltare::transforms
