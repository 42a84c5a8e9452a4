#pragma once
// A progress indicator nobody watches: the file transforms require one.

#include <cstdint>

#include "platform/progress.h"

namespace voltare::fuzz {

class SilentProgress : public platform::Progress {
 public:
  void setMax(std::int64_t max) override { max_ = max; }
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override {}

 private:
  std::int64_t max_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace voltare::fuzz
