// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/parallel_deflate.h"

#include <sched.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/translate.h"
#include "crypto/burn.h"
#include "platform/os_error.h"
#include "transforms/messages.h"
#include "transforms/zlib_streams.h"

namespace voltare::transforms {

namespace {

// How far back deflate looks; the dictionary each chunk starts from.
constexpr std::size_t kWindowSize = 32 * 1024;
static_assert(kDeflateChunkSize >= kWindowSize, "every chunk but the last fills a whole window");

// What one deflate call at level 9 with the default window writes first.
constexpr std::array<std::uint8_t, 2> kLevel9Header = {0x78, 0xDA};

constexpr char kThreadsVariable[] = "VOLTARE_THREADS";

[[noreturn]] void ThrowZlibError() { throw ECompressionError(std::string(messages::kZlibError)); }

// Overwrites the whole allocation, not only the bytes in use: a buffer that
// held a larger chunk earlier still carries its tail.
void BurnAll(std::vector<std::uint8_t>& bytes) noexcept {
  bytes.resize(bytes.capacity());
  crypto::Burn(std::span(bytes));
}

// One chunk on its way: read by the calling thread, deflated by a worker,
// written by the calling thread. Reused for later chunks.
struct Chunk {
  Chunk() = default;
  Chunk(const Chunk&) = delete;
  Chunk& operator=(const Chunk&) = delete;
  ~Chunk() {
    BurnAll(input);
    BurnAll(dictionary);
    BurnAll(output);
  }

  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> dictionary;  // the input just before this chunk
  bool last = false;

  std::vector<std::uint8_t> output;
  uLong adler = 0;
  std::exception_ptr failure;
  bool done = false;  // guarded by the crew's mutex
};

// Whether a chunk is worth level 9. zstd's level 1 runs over incompressible
// data at more than a gigabyte a second per core, about fifty times as fast as
// zlib's own level 1 does here, and finds what deflate would use: repeats
// anywhere in the chunk and a skewed byte distribution. Data that it cannot
// shrink by a sixty-fourth gains at most about as much from level 9. Its
// first 64 KiB are tried alone first: when they pack, the chunk is deflated
// without trying the rest, so text pays for a quarter of a chunk.
class PackingProbe {
 public:
  PackingProbe() : context_(ZSTD_createCCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
    if (ZSTD_isError(ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, 1))) ThrowZlibError();
  }
  ~PackingProbe() {
    ZSTD_freeCCtx(context_);
    BurnAll(output_);
  }
  PackingProbe(const PackingProbe&) = delete;
  PackingProbe& operator=(const PackingProbe&) = delete;

  bool Incompressible(std::span<const std::uint8_t> input) {
    constexpr std::size_t kFirstTry = 64 * 1024;
    if (input.size() > kFirstTry && !Incompressible(input.first(kFirstTry))) return false;
    output_.resize(ZSTD_compressBound(input.size()));
    const std::size_t packed = ZSTD_compress2(context_, output_.data(), output_.size(), input.data(), input.size());
    if (ZSTD_isError(packed)) ThrowZlibError();
    return packed >= input.size() - input.size() / 64;
  }

 private:
  ZSTD_CCtx* context_;
  std::vector<std::uint8_t> output_;  // holds what the input packs to: plain text, nearly
};

// Writes `input` as deflate stored blocks of at most 65,535 bytes, the most a
// block's length field holds. The stream before it ends on a byte boundary
// (the previous chunk's sync flush), where a stored block's header begins.
// The block that ends the last chunk is marked final.
void StoreChunk(std::span<const std::uint8_t> input, bool last, std::vector<std::uint8_t>& output) {
  constexpr std::size_t kMostStored = 65535;
  constexpr std::size_t kBlockHeader = 5;
  output.clear();
  output.reserve(input.size() + (input.size() / kMostStored + 1) * kBlockHeader);
  do {
    const std::size_t length = std::min(input.size(), kMostStored);
    const bool final_block = last && length == input.size();
    const auto bytes = static_cast<std::uint16_t>(length);
    const auto complement = static_cast<std::uint16_t>(~bytes);
    output.insert(output.end(), {static_cast<std::uint8_t>(final_block ? 1 : 0), static_cast<std::uint8_t>(bytes),
                                 static_cast<std::uint8_t>(bytes >> 8), static_cast<std::uint8_t>(complement),
                                 static_cast<std::uint8_t>(complement >> 8)});
    output.insert(output.end(), input.begin(), input.begin() + static_cast<std::ptrdiff_t>(length));
    input = input.subspan(length);
  } while (!input.empty());
}

// One worker's raw deflate state, reset for every chunk it takes.
class ChunkDeflater {
 public:
  ChunkDeflater() {
    // The settings of the single-stream path, without the zlib wrapper.
    const int result = deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (result == Z_MEM_ERROR) throw std::bad_alloc();
    if (result != Z_OK) ThrowZlibError();
  }
  ~ChunkDeflater() { deflateEnd(&stream_); }
  ChunkDeflater(const ChunkDeflater&) = delete;
  ChunkDeflater& operator=(const ChunkDeflater&) = delete;

  // A chunk that cannot be made smaller is stored as it is; the rest are
  // deflated at level 9.
  void Deflate(Chunk& chunk) {
    if (deflateReset(&stream_) != Z_OK) ThrowZlibError();
    if (!chunk.dictionary.empty() &&
        deflateSetDictionary(&stream_, chunk.dictionary.data(), static_cast<uInt>(chunk.dictionary.size())) != Z_OK) {
      ThrowZlibError();
    }
    chunk.adler = adler32(adler32(0, nullptr, 0), chunk.input.data(), static_cast<uInt>(chunk.input.size()));
    if (probe_.Incompressible(chunk.input)) return StoreChunk(chunk.input, chunk.last, chunk.output);

    // A sync flush adds an empty stored block to what deflateBound allows for.
    constexpr std::size_t kFlushMargin = 16;
    chunk.output.resize(deflateBound(&stream_, static_cast<uLong>(chunk.input.size())) + kFlushMargin);
    stream_.next_in = chunk.input.data();
    stream_.avail_in = static_cast<uInt>(chunk.input.size());
    const int flush = chunk.last ? Z_FINISH : Z_SYNC_FLUSH;
    std::size_t used = 0;
    for (;;) {
      stream_.next_out = chunk.output.data() + used;
      stream_.avail_out = static_cast<uInt>(chunk.output.size() - used);
      const int result = deflate(&stream_, flush);
      if (result != Z_OK && result != Z_STREAM_END) ThrowZlibError();
      used = chunk.output.size() - stream_.avail_out;
      // A flush is complete once deflate leaves output space unused.
      if (chunk.last ? result == Z_STREAM_END : stream_.avail_out > 0) break;
      chunk.output.resize(chunk.output.size() + kWindowSize);
    }
    chunk.output.resize(used);
  }

 private:
  z_stream stream_{};
  PackingProbe probe_;
};

// The worker threads and the queue of chunks waiting for them. Destroying the
// crew stops the workers after the chunk each is on and joins them.
class DeflateCrew {
 public:
  DeflateCrew() = default;
  DeflateCrew(const DeflateCrew&) = delete;
  DeflateCrew& operator=(const DeflateCrew&) = delete;

  ~DeflateCrew() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    work_ready_.notify_all();
    for (auto& thread : threads_) thread.join();
  }

  // Apart from the constructor, so that the destructor joins whatever started
  // when a later thread cannot be had.
  void Start(unsigned workers) {
    for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
  }

  void Submit(Chunk& chunk) {
    {
      std::lock_guard lock(mutex_);
      chunk.done = false;
      chunk.failure = nullptr;
      queue_.push_back(&chunk);
    }
    work_ready_.notify_one();
  }

  void AwaitDone(const Chunk& chunk) {
    std::unique_lock lock(mutex_);
    chunk_done_.wait(lock, [&] { return chunk.done; });
  }

 private:
  void Work() {
    std::optional<ChunkDeflater> deflater;
    for (;;) {
      Chunk* chunk = nullptr;
      {
        std::unique_lock lock(mutex_);
        work_ready_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        chunk = queue_.front();
        queue_.pop_front();
      }
      try {
        if (!deflater) deflater.emplace();
        deflater->Deflate(*chunk);
      } catch (...) {
        chunk->failure = std::current_exception();
      }
      {
        std::lock_guard lock(mutex_);
        chunk->done = true;
      }
      chunk_done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable chunk_done_;
  std::deque<Chunk*> queue_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Fills `chunk` with the next min(kDeflateChunkSize, remaining) bytes of `in`,
// primed with `window` (the input read so far, its last 32 KiB), which then
// moves on past this chunk.
void ReadChunk(platform::File& in, std::uint64_t remaining, std::vector<std::uint8_t>& window, Chunk& chunk) {
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kDeflateChunkSize, remaining));
  chunk.input.resize(count);
  if (in.read(chunk.input) != count) {
    throw platform::OsError(EIO, common::Filled(tr_("unexpected end of %s"), {in.path().string()}));
  }
  chunk.last = count == remaining;
  chunk.dictionary.assign(window.begin(), window.end());
  window.assign(chunk.input.end() - static_cast<std::ptrdiff_t>(std::min(count, kWindowSize)), chunk.input.end());
}

void WriteAdler(crypto::ByteSink& out, uLong adler) {
  const std::array<std::uint8_t, 4> trailer = {static_cast<std::uint8_t>(adler >> 24),
                                               static_cast<std::uint8_t>(adler >> 16),
                                               static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)};
  out.Write(trailer);
}

// Moves the bar, then ends the step if the user asked to stop; the crew's
// destructor stops the workers on the way out.
void Advance(platform::Progress& progress, std::uint64_t to) {
  progress.setPosition(static_cast<std::int64_t>(to));
  progress.repaint();
  common::StopIfCancelled(&progress);
}

unsigned ProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
  return std::thread::hardware_concurrency();
}

}  // namespace

unsigned DeflateWorkerCount() {
  if (const char* text = std::getenv(kThreadsVariable); text != nullptr) {
    const std::string_view value(text);
    unsigned count = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
    if (error == std::errc() && end == value.data() + value.size() && count >= 1) {
      return std::min(count, kMaxDeflateWorkers);
    }
    if (error == std::errc::result_out_of_range) return kMaxDeflateWorkers;
  }
  return std::clamp(ProcessorCount(), 1u, kMaxDeflateWorkers);
}

bool DeflatesInParallel(std::uint64_t size) { return size > kDeflateChunkSize && DeflateWorkerCount() > 1; }

void ParallelDeflate(platform::File& in, std::uint64_t size, crypto::ByteSink& out, platform::Progress& progress,
                     unsigned workers) {
  progress.setPosition(0);
  progress.setMax(static_cast<std::int64_t>(size));
  out.Write(kLevel9Header);

  // Two chunks per worker keep every worker busy while the calling thread
  // writes, and bound the memory whatever the input size. Declared before the
  // crew, so that on every path out the workers have ended before the chunks
  // they may hold are released.
  const std::size_t most_in_flight = 2 * std::size_t{workers};
  std::deque<std::unique_ptr<Chunk>> in_flight;
  std::vector<std::unique_ptr<Chunk>> spare;
  std::vector<std::uint8_t> window;
  crypto::BurnOnExit<std::vector<std::uint8_t>> burn_window(window);
  DeflateCrew crew;
  crew.Start(workers);

  std::uint64_t read = 0;
  std::uint64_t written = 0;
  uLong adler = adler32(0, nullptr, 0);
  while (written < size) {
    while (read < size && in_flight.size() < most_in_flight) {
      std::unique_ptr<Chunk> chunk;
      if (spare.empty()) {
        chunk = std::make_unique<Chunk>();
      } else {
        chunk = std::move(spare.back());
        spare.pop_back();
      }
      ReadChunk(in, size - read, window, *chunk);
      read += chunk->input.size();
      crew.Submit(*chunk);
      in_flight.push_back(std::move(chunk));
    }

    Chunk& next = *in_flight.front();
    crew.AwaitDone(next);
    if (next.failure) std::rethrow_exception(next.failure);
    out.Write(next.output);
    adler = adler32_combine(adler, next.adler, static_cast<z_off_t>(next.input.size()));
    written += next.input.size();
    Advance(progress, written);
    spare.push_back(std::move(in_flight.front()));
    in_flight.pop_front();
  }
  WriteAdler(out, adler);
  Advance(progress, size);
}

}  // namespace voltare::transforms
