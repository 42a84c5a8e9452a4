// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the texts the program encrypts besides files (clipboard texts,
// e-mail messages, saved lists) are sealed like algorithm-3 files. They follow
// the "Algorithm" setting: whoever chose XChaCha20-Poly1305 expects everything
// encrypted for them to be protected that way. With another algorithm they
// keep the compatible form that older releases read.

#include <optional>

#include "app/shared/interaction.h"
#include "app/shared/run_overrides.h"

namespace voltare::app {

// True when "Algorithm", as this run sees it, is 3. False when it is another
// value, or when there is no settings key or no such value (the installer's
// choice is Blowfish). Nothing, with the message shown, when the settings
// file is damaged or cannot be read: the user's choice is not known, and a
// text is never written weaker than chosen by guessing.
std::optional<bool> TextsAreSealed(Interaction& ui, const RunOverrides& overrides);

}  // namespace voltare::app
