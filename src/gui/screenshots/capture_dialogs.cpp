// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the dialogs with sample content: the password prompt, the
// archive viewer over a small archive made for the occasion, both pages of
// the preferences, the clipboard editor and the about box.

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/dialogs/about_box.h"
#include "app/dialogs/klembord_form.h"
#include "app/dialogs/password_box.h"
#include "app/dialogs/plx_archiver.h"
#include "app/dialogs/preferences_form.h"
#include "archive/plx_bundle.h"
#include "gui/about_box_view.h"
#include "gui/klembord_view.h"
#include "gui/password_box_view.h"
#include "gui/plx_archiver_view.h"
#include "gui/preferences_view.h"
#include "gui/qt_interaction.h"
#include "gui/screenshots/captures.h"

namespace voltare::gui {

namespace {

namespace fs = std::filesystem;

void CapturePasswordPrompt(app::Interaction& ui, const QDir& out) {
  app::TPasswordBox box(ui);
  box.FileName.caption = "Quarterly report.odt";
  box.Algorithm.caption = "Blowfish";
  box.PLX.visible = true;
  box.Password.text = "correct horse";
  box.FormShow();
  PasswordBoxView view(box, nullptr);
  SaveWindowPicture(view, out, "password-prompt");
}

// The prompt of an encryption, its meter following a typed password.
void CapturePasswordMeter(app::Interaction& ui, const QDir& out, const char* password, const char* name) {
  app::TPasswordBox box(ui);
  box.FileName.caption = "Quarterly report.odt";
  box.Algorithm.caption = "Blowfish";
  box.PLX.visible = true;
  box.NewPassword = true;
  box.Meter.Start(0);
  box.Password.text = password;
  box.PasswordChange();
  box.FormShow();
  PasswordBoxView view(box, nullptr);
  SaveWindowPicture(view, out, name);
}

// An archive of three members of different sizes, bundled by the archive
// library from stand-in ".vlt" files.
fs::path SampleArchive(const fs::path& folder) {
  std::vector<fs::path> sources;
  const std::vector<std::pair<const char*, std::size_t>> members = {
      {"letter.odt", 500}, {"photo.jpg", 81920}, {"budget.ods", 5000}};
  for (const auto& [name, size] : members) {
    const fs::path source = folder / name;
    std::ofstream(source.string() + ".vlt", std::ios::binary) << std::string(size, 'x');
    sources.push_back(source);
  }
  const fs::path archive = folder / "holiday.plx";
  // Without the sample the viewer would be pictured empty: say so, and let
  // the picture show what there is.
  if (archive::BundleFiles(sources, archive, nullptr) != platform::Success)
    std::fprintf(stderr, "voltare-screenshots: could not bundle the sample archive\n");
  return archive;
}

// Taken during the viewer's real modal run, which the picture then cancels.
void CaptureArchiveViewer(app::Interaction& ui, const QDir& out) {
  QTemporaryDir folder;
  app::TPLXArchiver viewer(ui);
  QTimer::singleShot(0, [&] {
    auto* view = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (view == nullptr || view->objectName() != QStringLiteral("PLXArchiver")) return;
    viewer.FileList.Select(std::size_t{0});
    viewer.FileList.Select(std::size_t{2});
    static_cast<PLXArchiverView*>(view)->Refresh();
    SaveWindowPicture(*view, out, "archive-viewer");
    view->reject();
  });
  // The picture cancels the viewer, so its answer is of no use.
  (void)viewer.Request({SampleArchive(folder.path().toStdString())});
}

void CapturePreferences(app::Interaction& ui, const QDir& out) {
  app::TPreferencesForm form(ui);
  form.DESButton.checked = false;
  form.BlowfishButton.checked = true;
  form.NormalWipe.checked = true;
  form.Passes.enabled = form.UpDown.enabled = true;
  PreferencesView view(form, nullptr);
  SaveWindowPicture(view, out, "preferences-general");
  view.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(1);
  SaveWindowPicture(view, out, "preferences-wipe");
}

void CaptureClipboardEditor(app::Interaction& ui, const QDir& out) {
  app::TKlembordForm form(ui);
  form.KlembordText.text =
      "Meeting moved to Thursday, 10:00.\n\nThe encrypted minutes follow:\n"
      "hQEMA2Yl3vWq8Z1cAQf/d0Y8pVhN4kq9mWcR2sTt5Lb7xJ0eQz1uKp3oFgHs6yIa";
  KlembordView view(form, nullptr);
  SaveWindowPicture(view, out, "clipboard-editor");
}

void CaptureAboutBox(const QDir& out) {
  app::TAboutBox box;
  AboutBoxView view(box, nullptr);
  SaveWindowPicture(view, out, "about-box");
}

}  // namespace

void CapturePasswordPrompt(const QDir& out) {
  QtInteraction ui;
  CapturePasswordPrompt(ui, out);
}

void CaptureDialogs(const QDir& out) {
  QtInteraction ui;  // the handlers never run for a picture
  CapturePasswordPrompt(ui, out);
  CapturePasswordMeter(ui, out, "sunshine1", "password-meter-weak");
  CapturePasswordMeter(ui, out, "glorious-veneer-cabin-77", "password-meter-strong");
  CaptureArchiveViewer(ui, out);
  CapturePreferences(ui, out);
  CaptureClipboardEditor(ui, out);
  CaptureAboutBox(out);
}

}  // namespace voltare::gui
