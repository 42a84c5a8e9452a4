// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/zstd_streams.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "crypto/burn.h"
#include "transforms/messages.h"
#include "transforms/zlib_streams.h"  // the compression errors

namespace voltare::transforms {

namespace {

// What is read from the source at a time; the bar moves, and a stop is
// noticed, after each.
constexpr std::size_t kReadPieceSize = 256 * 1024;
constexpr int kJobSize = 4 * 1024 * 1024;

[[noreturn]] void ThrowCompressionError() { throw ECompressionError(std::string(messages::kZlibError)); }
[[noreturn]] void ThrowDamaged() { throw EDecompressionError(std::string(messages::kZlibError)); }

std::size_t CheckCompression(std::size_t result) {
  if (ZSTD_isError(result)) {
    if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation) throw std::bad_alloc();
    ThrowCompressionError();
  }
  return result;
}

void Configure(ZSTD_CCtx* context, unsigned workers) {
  CheckCompression(ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, kZstdLevel));
  CheckCompression(ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, kZstdWindowLog));
  CheckCompression(ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1));
  // zstd's workers take whole jobs, so that the frame stays one frame
  // whatever the number of threads. Jobs of 4 MiB rather than zstd's 8 for
  // this window: measured here, incompressible data then takes a fifth of the
  // processor time, and the frame grows by 1.5 %.
  if (workers > 1) {
    CheckCompression(ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers, static_cast<int>(workers)));
    CheckCompression(ZSTD_CCtx_setParameter(context, ZSTD_c_jobSize, kJobSize));
  }
}

struct CompressionContext {
  CompressionContext() : context(ZSTD_createCCtx()) {
    if (context == nullptr) throw std::bad_alloc();
  }
  ~CompressionContext() { ZSTD_freeCCtx(context); }  // waits for its workers
  CompressionContext(const CompressionContext&) = delete;
  CompressionContext& operator=(const CompressionContext&) = delete;
  ZSTD_CCtx* context;
};

// Feeds `input` to zstd and writes what comes out; with `end`, until the frame
// is complete.
void Feed(ZSTD_CCtx* context, std::span<const std::uint8_t> input, bool end, std::vector<std::uint8_t>& output,
          crypto::ByteSink& out) {
  ZSTD_inBuffer in{input.data(), input.size(), 0};
  for (;;) {
    ZSTD_outBuffer to{output.data(), output.size(), 0};
    const std::size_t left =
        CheckCompression(ZSTD_compressStream2(context, &to, &in, end ? ZSTD_e_end : ZSTD_e_continue));
    out.Write(std::span(output.data(), to.pos));
    if (end ? left == 0 : in.pos == in.size) return;
  }
}

}  // namespace

void ZstdCompress(platform::File& in, std::uint64_t size, crypto::ByteSink& out, platform::Progress& progress,
                  unsigned workers) {
  std::vector<std::uint8_t> piece(kReadPieceSize);
  std::vector<std::uint8_t> output(ZSTD_CStreamOutSize());
  const crypto::BurnOnExit burn_piece(piece);
  const crypto::BurnOnExit burn_output(output);
  const CompressionContext zstd;  // after the buffers: its workers end first
  Configure(zstd.context, workers);
  progress.setPosition(0);
  progress.setMax(static_cast<std::int64_t>(size));
  std::uint64_t total = 0;
  for (;;) {
    // read() fills the piece unless the input ended; a FIFO's size says nothing.
    const std::size_t count = in.read(piece);
    const bool last = count < piece.size();
    Feed(zstd.context, std::span(piece.data(), count), last, output, out);
    total += count;
    progress.setPosition(static_cast<std::int64_t>(std::min(total, size)));
    progress.repaint();
    if (last) break;
    common::StopIfCancelled(&progress);
  }
}

void ZstdCompressBytes(std::span<const std::uint8_t> in, crypto::ByteSink& out) {
  std::vector<std::uint8_t> output(ZSTD_CStreamOutSize());
  const crypto::BurnOnExit burn_output(output);
  const CompressionContext zstd;
  Configure(zstd.context, 1);
  Feed(zstd.context, in, true, output, out);
}

struct ZstdExpandingSink::State {
  State() : context(ZSTD_createDCtx()), output(ZSTD_DStreamOutSize()) {
    if (context == nullptr) throw std::bad_alloc();
    if (ZSTD_isError(ZSTD_DCtx_setParameter(context, ZSTD_d_windowLogMax, kZstdWindowLogMax))) {
      ZSTD_freeDCtx(context);
      ThrowDamaged();
    }
  }
  ~State() {
    ZSTD_freeDCtx(context);
    crypto::Burn(std::span(output));
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  ZSTD_DCtx* context;
  std::vector<std::uint8_t> output;
};

ZstdExpandingSink::ZstdExpandingSink(crypto::ByteSink& destination)
    : destination_(destination), state_(std::make_unique<State>()) {}

ZstdExpandingSink::~ZstdExpandingSink() = default;

void ZstdExpandingSink::Write(std::span<const std::uint8_t> compressed) {
  ZSTD_inBuffer in{compressed.data(), compressed.size(), 0};
  // Until zstd has taken all of the input and has no more to give: an output
  // buffer filled to the brim may leave some behind.
  bool full = false;
  do {
    if (ended_) {
      if (in.pos < in.size) ThrowDamaged();  // the plain text is one frame and nothing else
      return;
    }
    ZSTD_outBuffer to{state_->output.data(), state_->output.size(), 0};
    const std::size_t result = ZSTD_decompressStream(state_->context, &to, &in);
    if (ZSTD_isError(result)) {
      if (ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation) throw std::bad_alloc();
      ThrowDamaged();
    }
    destination_.Write(std::span(state_->output.data(), to.pos));
    ended_ = result == 0;
    full = to.pos == to.size;
  } while (in.pos < in.size || full);
}

}  // namespace voltare::transforms
