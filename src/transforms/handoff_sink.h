// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A byte sink that passes what it is given to another sink on a thread of its
// own, so that the work behind it (an expansion, the write) runs beside the
// work before it (a decryption) on a second core.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "crypto/bytestream.h"

namespace voltare::transforms {

// Write copies into a small ring of pieces (kHandOffPieces of
// kHandOffPieceSize bytes), waiting while it is full; the thread writes full
// pieces to the destination in order. A failure there is thrown to the
// caller at its next Write or at Finish. Destroying the sink stops the thread
// after the piece it is on and joins it, on every path out, and burns the
// ring, which holds plain text.
class HandOffSink final : public crypto::ByteSink {
 public:
  static constexpr std::size_t kHandOffPieceSize = 128 * 1024;
  static constexpr std::size_t kHandOffPieces = 4;

  explicit HandOffSink(crypto::ByteSink& destination);
  ~HandOffSink() override;
  HandOffSink(const HandOffSink&) = delete;
  HandOffSink& operator=(const HandOffSink&) = delete;

  void Write(std::span<const std::uint8_t> bytes) override;
  // Hands over the piece being filled and returns once the destination has
  // taken everything. Called once, after the last Write.
  void Finish();

 private:
  struct Ring;
  void HandOver();
  void Run();
  template <typename Ready>
  void AwaitOrThrow(std::unique_lock<std::mutex>& lock, Ready ready);

  crypto::ByteSink& destination_;
  std::unique_ptr<Ring> ring_;
  std::size_t filling_ = 0;  // bytes in the piece the caller fills; the caller's alone

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t handed_ = 0;   // pieces handed over
  std::size_t written_ = 0;  // pieces written
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: started once everything above is in place
};

}  // namespace voltare::transforms
