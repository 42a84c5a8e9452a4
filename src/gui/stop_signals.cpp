// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace voltare::gui {

namespace {

// Where the handler writes; -1 while no StopSignals exists.
volatile std::sig_atomic_t signalPipe = -1;

extern "C" void WriteSignal(int signal) {
  const int saved = errno;
  const auto number = static_cast<unsigned char>(signal);
  if (signalPipe >= 0 && ::write(signalPipe, &number, 1) < 0) {
    // A full pipe already holds a stop: nothing is lost.
  }
  errno = saved;
}

void Catch(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onStop, QObject* parent)
    : QObject(parent), onStop_(std::move(onStop)) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep their default: the program ends
  notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::ReadSignal);
  signalPipe = pipe_[1];
  Catch(SIGINT, WriteSignal);
  Catch(SIGTERM, WriteSignal);
}

StopSignals::~StopSignals() {
  if (pipe_[0] < 0) return;
  Catch(SIGINT, SIG_DFL);
  Catch(SIGTERM, SIG_DFL);
  signalPipe = -1;
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void StopSignals::ReadSignal() {
  unsigned char number = 0;
  while (::read(pipe_[0], &number, 1) == 1) onStop_(number);
}

}  // namespace voltare::gui
