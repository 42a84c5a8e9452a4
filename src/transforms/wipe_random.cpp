// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/wipe_random.h"

#include <ctime>

namespace voltare::transforms {

PseudoRandom& ProgramRandom() noexcept {
  static PseudoRandom generator;
  return generator;
}

std::uint32_t ClockSeed() noexcept { return static_cast<std::uint32_t>(std::time(nullptr)); }

}  // namespace voltare::transforms
