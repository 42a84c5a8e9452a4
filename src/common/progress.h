#pragma once
// The progress indicator that long file work moves: the main window's progress
// bar in the desktop program, a bar on the terminal in voltare-cli, a recorder
// in tests. Operations take it as a pointer; nullptr means "nobody watches".

#include <cstdint>

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
};

}  // namespace voltare::common
