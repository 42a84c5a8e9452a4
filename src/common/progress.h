// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The progress indicator that long file work moves: the main window's progress
// bar in the desktop program, a bar on the terminal in voltare-cli, a recorder
// in tests. Operations take it as a pointer; nullptr means "nobody watches".

#include <cstdint>
#include <exception>

namespace voltare::common {

class Progress {
 public:
  virtual ~Progress() = default;

  virtual void setMax(std::int64_t max) = 0;
  virtual void setPosition(std::int64_t position) = 0;
  virtual std::int64_t position() const = 0;
  // Shows the current position now; the desktop program also lets the window
  // paint, since file work runs on the user-interface thread.
  virtual void repaint() = 0;
  // True once the user asked to stop the running step (Ctrl+C in voltare-cli,
  // Cancel or Esc in the window). Work checks it between pieces.
  virtual bool cancelRequested() const { return false; }
};

// A progress indicator nobody watches, for work run without a view (checks,
// benchmarks, fuzzing): it only remembers where the work is.
class UnwatchedProgress final : public Progress {
 public:
  void setMax(std::int64_t) override {}
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override {}

 private:
  std::int64_t position_ = 0;
};

// Ends a step the user stopped. It unwinds like any failure, so the cleanup
// that removes partial output runs on the same path; the step's result code
// then tells the caller it was a stop and not a fault.
class StepCancelled final : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped by the user"; }
};

// Called between pieces of work: throws StepCancelled once a stop was asked.
inline void StopIfCancelled(const Progress* progress) {
  if (progress != nullptr && progress->cancelRequested()) throw StepCancelled();
}

}  // namespace voltare::common
