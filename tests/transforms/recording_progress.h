// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A progress indicator that remembers what it was told, for the transforms' tests.

#include <cstdint>
#include <vector>

#include "platform/progress.h"

namespace voltare::transforms::testing {

class RecordingProgress final : public platform::Progress {
 public:
  void setMax(std::int64_t max) override { max_ = max; }
  void setPosition(std::int64_t position) override { position_ = position; }
  std::int64_t position() const override { return position_; }
  void repaint() override { repainted.push_back(position_); }

  std::int64_t max() const { return max_; }

  // The position at every repaint, in order.
  std::vector<std::int64_t> repainted;

 private:
  std::int64_t max_ = -1;
  std::int64_t position_ = -1;
};

}  // namespace voltare::transforms::testing
