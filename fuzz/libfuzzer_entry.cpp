// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer's entry point for one target, chosen when the binary is built
// (VOLTARE_FUZZ_TARGET names it).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_target.h"

namespace {

const voltare::fuzz::Target& ThisTarget() {
  static const voltare::fuzz::Target* const target = voltare::fuzz::FindTarget(VOLTARE_FUZZ_TARGET);
  if (target == nullptr) {
    std::fprintf(stderr, "no fuzz target named %s\n", VOLTARE_FUZZ_TARGET);
    std::abort();
  }
  return *target;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ThisTarget().entry({data, size});
  return 0;
}
