// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status line while a sealed file's key is derived: the better part of a
// second in which nothing else moves, so the user is told what is going on.

#include <memory>
#include <string>

#include "app/main_window/batch_messages.h"
#include "app/shared/interaction.h"
#include "transforms/sealed_key.h"

namespace voltare::app {

// From now on, every derivation of `ring` shows "Deriving the key..." and
// then puts back the status text it found; the window repaints meanwhile.
inline void ShowKeyDerivations(Interaction& ui, transforms::SealedKeyRing& ring) {
  auto found = std::make_shared<std::string>();
  ring.Observe(
      [&ui, found](bool deriving) {
        if (deriving) {
          *found = ui.StatusText();
          ui.SetStatusText(std::string(messages::kDerivingKeyStatus));
        } else {
          ui.SetStatusText(*found);
        }
      },
      &ui.ProgressBar());
}

}  // namespace voltare::app
