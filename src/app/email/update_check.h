// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The update check: fetches the maker's update description over HTTP and,
// when it announces a release newer than this one, says what is new and
// offers to open the maker's web page.

#include <functional>
#include <string>

#include "app/shared/interaction.h"

namespace voltare::app {

// This program's release number; the update description names the newest.
inline constexpr int kReleaseNumber = 2;

enum class [[nodiscard]] UpdateCheckResult{
    Failed,          // the description could not be fetched or read
    NoNewerRelease,  // nothing newer announced (or no description at all)
    Declined,        // a newer release was offered and the user said No
    Accepted,        // ... and the user said Yes: the web page was opened
};

// Where the update description is fetched from: the environment variable
// VOLTARE_UPDATE_URL when it is set, else the maker's address.
std::string UpdateAddress();

// Runs the check once. `eventPump` runs between the polls of the network
// waits (a window processes its events there); it may be empty.
UpdateCheckResult CheckForNewVersion(Interaction& ui, const std::function<void()>& eventPump = {});

}  // namespace voltare::app
