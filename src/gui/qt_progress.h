#pragma once
// The main window's progress bar as the file work sees it. Commands run on the
// user-interface thread, so repaint() also lets the window paint: the desktop
// must never see a window that stopped answering while a large file is worked.

#include <QPointer>
#include <QProgressBar>
#include <cstdint>

#include "platform/progress.h"

namespace voltare::gui {

class QtProgress : public platform::Progress {
 public:
  // The bar shown from now on; nullptr before the window exists.
  void Attach(QProgressBar* bar);

  void setMax(std::int64_t max) override;
  void setPosition(std::int64_t position) override;
  std::int64_t position() const override { return position_; }
  void repaint() override;

 private:
  void Show();

  QPointer<QProgressBar> bar_;
  std::int64_t max_ = 100;
  std::int64_t position_ = 0;
};

}  // namespace voltare::gui
