// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a batch wipe settles before and after the engine runs: the pass count
// it may use, whether the files' file systems can be wiped at all, and how a
// file the engine did not wipe is reported.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/shared/interaction.h"
#include "platform/result_codes.h"

namespace voltare::app {

// The method of the settings a batch wipe uses.
inline constexpr int kGovernmentWipe = 0;
inline constexpr int kNormalWipe = 1;
struct WipeMethod {
  int type = kGovernmentWipe;
  int passes = 0;  // of a Normal Wipe
};

// Asked right before a file of a batch is wiped: a message when the file
// must be skipped, nothing when it may go.
using WipeCheck = std::function<std::optional<std::string>(const std::string& path)>;

// What this run of the program has settled with the user already, so that
// a notice or a question comes once, not at every batch.
struct WipeNotices {
  bool passCountTold = false;
  bool copyOnWriteAccepted = false;
};

// The stored pass count of a Normal Wipe, or the nearest bound of 1..100
// when it lies outside (written by another version or by hand); the first
// such time in a run, the user is told.
int UsablePassCount(Interaction& ui, int stored, WipeNotices& notices);

// False when a file lies on a file system that keeps old copies of
// overwritten data and the user, warned once per run, chose not to go on.
bool MayWipeOnTheirFileSystems(Interaction& ui, const std::vector<std::string>& paths, WipeNotices& notices);

// Tells the user that `path` was not wiped. The engine has already said why
// when the result is ErrReported.
void ReportWipeFailure(Interaction& ui, platform::ResultCode result, const std::string& path);

}  // namespace voltare::app
