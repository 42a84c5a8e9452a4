// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/preferences_view.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <utility>

#include "ui_preferences_view.h"

namespace voltare::gui {

namespace {
using Page = app::TPreferencesForm::Page;
constexpr int kGeneralPage = 0;
constexpr int kWipePage = 1;
}  // namespace

PreferencesView::PreferencesView(app::TPreferencesForm& form, QWidget* parent)
    : FormDialog(form, parent), form_(form), ui_(std::make_unique<Ui::PreferencesForm>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  RemoveCloseButton(*this);

  QAbstractButton* const checks[] = {ui_->BlowfishButton, ui_->CAST5Button, ui_->DESButton,
                                     ui_->XChaChaButton,  ui_->Update,      ui_->WipeFileAfterCrypto};
  for (QAbstractButton* check : checks) {
    connect(check, &QAbstractButton::clicked, this, [this] { WriteChecks(); });
  }
  HandleClicks(ui_->GovernmentWipe, [this] {
    WriteChecks();
    form_.GovernmentWipeClick();
  });
  HandleClicks(ui_->NormalWipe, [this] {
    WriteChecks();
    form_.NormalWipeClick();
  });
  // Any text is taken: the form judges the pass count when it is saved.
  connect(ui_->Passes, &QLineEdit::textEdited, this, [this](const QString& text) { form_.Passes.text = ToUtf8(text); });
  ui_->Passes->installEventFilter(this);
  HandleClicks(ui_->UpDownUp, [this] { form_.UpDownClick(true); });
  HandleClicks(ui_->UpDownDown, [this] { form_.UpDownClick(false); });
  connect(ui_->PageControl, &QTabWidget::currentChanged, this,
          [this](int page) { form_.ActivePage = page == kWipePage ? Page::Wipe : Page::General; });
  HandleClicks(ui_->MoreInfoButton, [this] { form_.MoreInfoButtonClick(); });
  HandleClicks(ui_->OKButton, [this] { form_.OKButtonClick(); });
  HandleClicks(ui_->CancelButton, [this] { form_.CancelButtonClick(); });

  Refresh();
}

PreferencesView::~PreferencesView() = default;

void PreferencesView::Refresh() {
  setWindowTitle(ToQString(form_.Caption));
  ShowControls(form_.Controls());
  SetChecked(*ui_->BlowfishButton, form_.BlowfishButton.checked);
  SetChecked(*ui_->CAST5Button, form_.CAST5Button.checked);
  SetChecked(*ui_->DESButton, form_.DESButton.checked);
  SetChecked(*ui_->XChaChaButton, form_.XChaChaButton.checked);
  SetChecked(*ui_->Update, form_.Update.checked);
  SetChecked(*ui_->GovernmentWipe, form_.GovernmentWipe.checked);
  SetChecked(*ui_->NormalWipe, form_.NormalWipe.checked);
  SetChecked(*ui_->WipeFileAfterCrypto, form_.WipeFileAfterCrypto.checked);
  if (ToUtf8(ui_->Passes->text()) != form_.Passes.text) ui_->Passes->setText(ToQString(form_.Passes.text));
  const QSignalBlocker quiet(ui_->PageControl);
  ui_->PageControl->setCurrentIndex(form_.ActivePage == Page::Wipe ? kWipePage : kGeneralPage);
}

void PreferencesView::CloseRequested() { form_.CancelButtonClick(); }

// Once: the focus goes where the form asked after a handler, then stays with the user.
void PreferencesView::FocusActiveControl() {
  FocusControl(form_.Controls(), std::exchange(form_.ActiveControl, nullptr));
}

// The up-down control's arrow keys, which step the count in the edit.
bool PreferencesView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->Passes && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Handle([this, key] { form_.UpDownClick(key == Qt::Key_Up); });
      return true;
    }
  }
  return FormDialog::eventFilter(watched, event);
}

void PreferencesView::WriteChecks() {
  form_.BlowfishButton.checked = ui_->BlowfishButton->isChecked();
  form_.CAST5Button.checked = ui_->CAST5Button->isChecked();
  form_.DESButton.checked = ui_->DESButton->isChecked();
  form_.XChaChaButton.checked = ui_->XChaChaButton->isChecked();
  form_.Update.checked = ui_->Update->isChecked();
  form_.GovernmentWipe.checked = ui_->GovernmentWipe->isChecked();
  form_.NormalWipe.checked = ui_->NormalWipe->isChecked();
  form_.WipeFileAfterCrypto.checked = ui_->WipeFileAfterCrypto->isChecked();
}

}  // namespace voltare::gui
