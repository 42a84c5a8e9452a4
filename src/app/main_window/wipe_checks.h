// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a batch wipe settles before and after the engine runs: the pass count
// it may use, whether the files' file systems can be wiped at all, and how a
// file the engine did not wipe is reported.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shared/interaction.h"
#include "platform/result_codes.h"
#include "transforms/wipe_target.h"

namespace voltare::app {

// The method of the settings a batch wipe uses.
inline constexpr int kGovernmentWipe = 0;
inline constexpr int kNormalWipe = 1;
struct WipeMethod {
  int type = kGovernmentWipe;
  int passes = 0;  // of a Normal Wipe
};

// Right before a file of a batch is wiped, from a caller that held it open
// since it read it: the file to wipe, or why it is kept. Exactly one of
// `refusal` (shown as it is) and `failure` (reported as a failed wipe) is
// set when it is kept; else `held` is wiped through its descriptor.
struct WipeHandOver {
  std::optional<std::string> refusal;
  platform::ResultCode failure = platform::Success;
  std::unique_ptr<transforms::WipeTarget> held;
};
using HeldWipeSource = std::function<WipeHandOver(const std::string& path)>;

// One turn of a wipe done in turns (an encryption wipes what it read back a
// bounded number of files at a time): where the turn's files stand in the
// whole, and how the turns so far went.
struct WipeTurn {
  std::size_t before = 0;  // files of the earlier turns
  std::size_t total = 0;   // files of all turns, as far as known yet
  bool last = true;        // only the last one tells that all were wiped
  bool skipped = false;    // a file of this or an earlier turn was not wiped
  bool stopped = false;    // the user stopped the wipe: no turn may follow
};

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
