// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The password meter's controls, as a form that asks for a new password
// holds them: the step in words, a bar of five steps (never colour alone)
// and the time to guess. It follows the password as it is typed and never
// stops the user: OK stays enabled whatever it shows.

#include <string_view>

#include "app/shared/controls.h"
#include "app/shared/run_overrides.h"
#include "transforms/sealed_key.h"

namespace voltare::app {

struct PasswordMeter {
  Label Step;          // "Very weak" ... "Very strong"; empty for an empty password
  Control Bar;         // filled to `level` of `kLevels`
  Label TimeLine;      // "Time to guess on one graphics card: ..."
  int level = 0;       // 0 for an empty password, then 1 to kLevels
  double seconds = 0;  // the time to guess against the algorithm; 0 when empty
  static constexpr int kLevels = 5;

  // Shows the meter for a password that will be protected under `algorithm`
  // (0-3, the "Algorithm" setting's codes), or hides it for a negative one
  // (a password that only opens what exists). Starts empty.
  void Start(int algorithm);
  // Reads `password` anew; nothing while hidden.
  void Follow(std::string_view password);

  int algorithm = -1;
  // The Argon2id limits new sealed files get, read at Start.
  transforms::Argon2Limits limits;
};

// What texts, e-mail messages and saved lists are protected with: the
// sealed form (3) when the "Algorithm" setting is 3, Blowfish (0) otherwise.
// A setting that cannot be read counts as Blowfish, the weaker, so that the
// meter never flatters a password.
int TextProtectionAlgorithm(const RunOverrides& overrides) noexcept;

}  // namespace voltare::app
