// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT and SIGTERM reach the window as a call on its own thread. The
// handler only writes the signal's number into a pipe; a socket notifier
// reads it in the event loop, which runs inside every dialog's loop too, so
// a stop is heard whatever the window is showing.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace voltare::gui {

class StopSignals : public QObject {
  Q_OBJECT

 public:
  // `onStop` gets the signal's number, once for each signal received.
  explicit StopSignals(std::function<void(int)> onStop, QObject* parent = nullptr);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void ReadSignal();

  std::function<void(int)> onStop_;
  int pipe_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace voltare::gui
