// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ctrl+C and SIGTERM in voltare-cli: the signal only raises a flag, which the
// terminal's progress indicator reports as a stop, so the running step ends at
// its next piece and cleans up after itself like any other failure.

namespace voltare::cli {

// Catches SIGINT and SIGTERM from now on. The handlers are one-shot: a second
// signal ends the program at once, for a user who does not want to wait.
void CatchStopSignals();

// The signal that asked to stop, or 0 while none came.
int StopSignal() noexcept;

// The exit status of a run stopped by `signal`: 128 plus its number, as a
// shell reports a program the signal ended.
int StoppedExitStatus(int signal) noexcept;

}  // namespace voltare::cli
