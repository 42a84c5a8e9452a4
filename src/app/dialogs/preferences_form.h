// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preferences dialog ("KOVA Voltare Preferences"): the cipher for new
// encryptions, the wipe method and its pass count, wiping after encryption and
// the update check. Every showing reloads the controls from the settings
// store; OK writes them back.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/shared/controls.h"
#include "app/shared/interaction.h"
#include "app/shared/modal_form.h"
#include "common/translate.h"

namespace voltare::app {

struct UpDownControl : Control {
  int min = 1;
  int max = 100;
  int position = 3;
};

class TPreferencesForm : public ModalForm {
 public:
  enum class Page { General, Wipe };

  explicit TPreferencesForm(Interaction& ui);

  std::string_view FormName() const override { return "PreferencesForm"; }

  // Handlers.
  void FormShow() override;
  void NormalWipeClick();
  void GovernmentWipeClick();
  void MoreInfoButtonClick();
  // The up-down control's arrows (and the arrow keys in Passes): one step
  // up or down from the pass count typed, kept within the control's range.
  void UpDownClick(bool up);
  void OKButtonClick();
  void CancelButtonClick();

  // Every control, by its member name.
  std::vector<NamedControl> Controls();

  // Controls.
  std::string Caption{tr_("KOVA Voltare Preferences")};
  Page ActivePage = Page::General;
  RadioButton BlowfishButton;
  RadioButton CAST5Button;
  RadioButton DESButton;
  // Sealed files: they resist password guessing and show any change, and
  // need this program's Linux version 2.50 or later.
  RadioButton XChaChaButton;
  CheckBox Update;
  RadioButton GovernmentWipe;
  RadioButton NormalWipe;
  Edit Passes;
  UpDownControl UpDown;
  CheckBox WipeFileAfterCrypto;
  // The control that has the input focus.
  const Control* ActiveControl = nullptr;

 private:
  void LoadSettings();
  // False when the settings key could not be opened (already reported).
  bool SaveSettings();
  // The pass count typed, when it is one a Normal Wipe accepts; otherwise
  // the user is told the range and the focus goes back to the field.
  std::optional<int> TypedPassCount();
  int CheckedAlgorithm() const;
  void CheckAlgorithm(int algorithm);
  void EnablePasses();

  Interaction& ui_;
  bool loopRepaired_ = false;  // the stored pass count was above its bound
};

}  // namespace voltare::app
