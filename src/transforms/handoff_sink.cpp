// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/handoff_sink.h"

#include <algorithm>
#include <array>

#include "crypto/burn.h"

namespace voltare::transforms {

struct HandOffSink::Ring {
  std::array<std::array<std::uint8_t, kHandOffPieceSize>, kHandOffPieces> pieces;
  std::array<std::size_t, kHandOffPieces> sizes{};  // each set before its piece is handed over
};

HandOffSink::HandOffSink(crypto::ByteSink& destination)
    : destination_(destination), ring_(std::make_unique<Ring>()), thread_([this] { Run(); }) {}

HandOffSink::~HandOffSink() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
  crypto::BurnBytes(ring_.get(), sizeof(Ring));
}

template <typename Ready>
void HandOffSink::AwaitOrThrow(std::unique_lock<std::mutex>& lock, Ready ready) {
  changed_.wait(lock, [&] { return failure_ != nullptr || ready(); });
  if (failure_) std::rethrow_exception(failure_);
}

void HandOffSink::Write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    if (filling_ == 0) {
      // The piece to fill is free once the thread has written what it held.
      std::unique_lock lock(mutex_);
      AwaitOrThrow(lock, [&] { return handed_ - written_ < kHandOffPieces; });
    }
    auto& piece = ring_->pieces[handed_ % kHandOffPieces];  // only this thread moves handed_
    const std::size_t taken = std::min(bytes.size(), piece.size() - filling_);
    std::copy_n(bytes.begin(), taken, piece.begin() + static_cast<std::ptrdiff_t>(filling_));
    filling_ += taken;
    bytes = bytes.subspan(taken);
    if (filling_ == piece.size()) HandOver();
  }
}

void HandOffSink::Finish() {
  if (filling_ > 0) HandOver();
  std::unique_lock lock(mutex_);
  AwaitOrThrow(lock, [&] { return written_ == handed_; });
}

void HandOffSink::HandOver() {
  {
    std::lock_guard lock(mutex_);
    ring_->sizes[handed_ % kHandOffPieces] = filling_;
    ++handed_;
  }
  filling_ = 0;
  changed_.notify_all();
}

void HandOffSink::Run() {
  for (;;) {
    std::size_t at = 0;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || written_ < handed_; });
      if (stopping_) return;
      at = written_ % kHandOffPieces;
    }
    try {
      destination_.Write(std::span(ring_->pieces[at].data(), ring_->sizes[at]));
    } catch (...) {
      std::lock_guard lock(mutex_);
      failure_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    {
      std::lock_guard lock(mutex_);
      ++written_;
    }
    changed_.notify_all();
  }
}

}  // namespace voltare::transforms
