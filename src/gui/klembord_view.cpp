// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/klembord_view.h"

#include <QSignalBlocker>

#include "common/translate.h"
#include "ui_klembord_view.h"

namespace voltare::gui {

KlembordView::KlembordView(app::TKlembordForm& form, QWidget* parent)
    : FormDialog(form, parent), form_(form), ui_(std::make_unique<Ui::KlembordForm>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  RemoveCloseButton(*this);
  ui_->KlembordText->setAccessibleName(QString::fromUtf8(tr_("Clipboard text")));  // for screen readers
  connect(ui_->KlembordText, &QPlainTextEdit::textChanged, this,
          [this] { form_.KlembordText.text = ToUtf8(ui_->KlembordText->toPlainText()); });
  HandleClicks(ui_->Save, [this] { form_.SaveClick(); });
  HandleClicks(ui_->SpeedButton1, [this] { form_.SpeedButton1Click(); });
  Refresh();
}

KlembordView::~KlembordView() = default;

void KlembordView::Refresh() {
  setWindowTitle(ToQString(form_.Caption));
  ShowControls(form_.Controls());
  // Only a change of the form's text is shown, so the text keeps its line
  // ends until the user edits it.
  if (ToUtf8(ui_->KlembordText->toPlainText()) != form_.KlembordText.text) {
    const QSignalBlocker quiet(ui_->KlembordText);
    ui_->KlembordText->setPlainText(ToQString(form_.KlembordText.text));
  }
}

void KlembordView::CloseRequested() { form_.SpeedButton1Click(); }

}  // namespace voltare::gui
