// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs' views as the Qt interaction runs them: each opening makes a
// fresh window over the form object, which keeps the state between openings.

#include "gui/form_views.h"

#include <string_view>

#include "app/dialogs/about_box.h"
#include "app/dialogs/klembord_form.h"
#include "app/dialogs/preferences_form.h"
#include "app/email/email_form.h"
#include "app/email/email_prop_form.h"
#include "gui/about_box_view.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
#include "gui/klembord_view.h"
#include "gui/password_box_view.h"
#include "gui/plx_archiver_view.h"
#include "gui/preferences_view.h"

namespace voltare::gui {

namespace {

template <typename View, typename Form>
bool RunView(app::ModalForm& form, QWidget* parent) {
  auto* typed = dynamic_cast<Form*>(&form);
  if (typed == nullptr) return false;
  View view(*typed, parent);
  view.RunModal();
  return true;
}

}  // namespace

void RunPasswordPromptView(app::TPasswordBox& box, QWidget* parent) {
  PasswordBoxView view(box, parent);
  view.RunModal();
}

void RunArchiveViewerView(app::TPLXArchiver& viewer, QWidget* parent) {
  PLXArchiverView view(viewer, parent);
  view.RunModal();
}

bool RunFormView(app::ModalForm& form, QWidget* parent) {
  const std::string_view name = form.FormName();
  if (name == "PreferencesForm") return RunView<PreferencesView, app::TPreferencesForm>(form, parent);
  if (name == "KlembordForm") return RunView<KlembordView, app::TKlembordForm>(form, parent);
  if (name == "AboutBox") return RunView<AboutBoxView, app::TAboutBox>(form, parent);
  if (name == "EmailProp") return RunView<EmailPropView, app::TEmailProp>(form, parent);
  if (name == "Email") return RunView<EmailView, app::TEmail>(form, parent);
  return false;
}

}  // namespace voltare::gui
