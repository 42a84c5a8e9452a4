// SPDX-License-Identifier: GPL-3.0-or-later
#include "transforms/sodium_init.h"

#include <sodium.h>

#include <stdexcept>

#include "common/translate.h"

namespace voltare::transforms {

void RequireSodium() {
  // The library's own start is thread-safe and idempotent; its result is kept
  // so a failure is reported on every call rather than once.
  static const int started = sodium_init();
  if (started < 0) throw std::runtime_error(tr_("the cryptography library could not start"));
}

}  // namespace voltare::transforms
