// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/stop_signal.h"

#include <csignal>

namespace voltare::cli {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void RaiseStopFlag(int signal) { stopSignal = signal; }

void Catch(int signal) {
  struct sigaction action {};
  action.sa_handler = RaiseStopFlag;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a password prompt waiting for input gives up, as an
  // empty answer would, instead of waiting on after the user said stop.
  action.sa_flags = SA_RESETHAND;
  sigaction(signal, &action, nullptr);
}

}  // namespace

void CatchStopSignals() {
  Catch(SIGINT);
  Catch(SIGTERM);
}

int StopSignal() noexcept { return stopSignal; }

int StoppedExitStatus(int signal) noexcept { return 128 + signal; }

}  // namespace voltare::cli
