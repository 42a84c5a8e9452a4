// SPDX-License-Identifier: GPL-3.0-or-later
// The e-mail settings and the composer (with an attachment), the print
// preview of a list as it lands on paper, and the help window.

#include <QDir>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/shared/application.h"
#include "gui/email_prop_view.h"
#include "gui/email_view.h"
#include "gui/form_views.h"
#include "gui/help_view.h"
#include "gui/qt_interaction.h"
#include "gui/qt_printer.h"
#include "gui/screenshots/captures.h"

namespace voltare::gui {

namespace {

// The desktop's interaction, except that the print dialog is answered with
// the preview's printer.
class PreviewInteraction final : public QtInteraction {
 public:
  std::unique_ptr<app::Printer> RunPrintDialog() override {
    return previewPrinter_ != nullptr ? std::make_unique<QtPrinter>(*previewPrinter_) : nullptr;
  }
  void PrintOn(QPrinter* printer) { previewPrinter_ = printer; }

 private:
  QPrinter* previewPrinter_ = nullptr;
};

void CaptureEmailPreferences(app::Application& app, const QDir& out) {
  app::TEmailProp& form = app.EmailProp;
  form.Open();
  form.FormShow();
  form.SMTP.text = "mail.example.org";
  form.Port.text = "25";
  form.UserName.text = "alice-laptop";
  form.Name.text = "Alice Sender";
  form.Email.text = "alice@example.org";
  EmailPropView view(form, nullptr);
  view.Refresh();
  SaveWindowPicture(view, out, "email-preferences");
  form.Close();
}

void CaptureComposer(app::Application& app, const QDir& out, const QString& attachment) {
  app::TEmail& form = app.Email;
  form.Open();
  form.FormShow();
  form.Naar.text = "Bob Receiver <bob@example.org>";
  form.Subject.text = "The plans for Friday";
  form.Password.text = "correct horse";
  form.PasswordChange();  // as typed: the meter follows
  form.Message.SetText(
      "Hello Bob,\n\nthe plans are attached; the meeting point is in this message,\n"
      "which only our password opens.\n\nAlice");
  form.AttachmentPaths.push_back(attachment.toStdString());
  form.Attachments.items.push_back({"plans-friday.pdf", -1, true});
  form.Attachments.visible = true;
  form.Splitter.visible = true;
  EmailView view(form, nullptr);
  view.Refresh();
  SaveWindowPicture(view, out, "email-composer");
  form.FormCloseQuery();
  form.Close();
}

void CapturePrintPreview(app::Application& app, PreviewInteraction& ui, const QDir& out) {
  static const char* const kTypes[] = {"PDF document", "Plain text document", "JPEG image", "Spreadsheet"};
  static const char* const kExtensions[] = {".pdf", ".txt", ".jpg", ".ods"};
  static const char* const kNames[] = {"letter", "invoice", "holiday", "budget", "contract", "notes"};
  for (int i = 0; i < 70; ++i) {
    const std::string name = std::string(kNames[i % 6]) + "-" + std::to_string(2020 + i % 7) + "-" + std::to_string(i);
    const std::string folder = i % 4 == 0 ? "/home/alice/archive/2019/" : "/home/alice/";
    app.MainForm.ListView.Insert(
        {name, folder + name + kExtensions[i % 4], std::to_string(1 + i * 37 % 900) + "KB", kTypes[i % 4], "", "A"});
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setResolution(kPrinterResolution);
  QPrintPreviewWidget preview(&printer);
  preview.setWindowTitle(QStringLiteral("Print List"));
  QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, [&](QPrinter* device) {
    ui.PrintOn(device);
    app.MainForm.PrintButtonClick();
    ui.PrintOn(nullptr);
  });
  preview.resize(620, 860);
  preview.setZoomMode(QPrintPreviewWidget::FitInView);
  SaveWindowPicture(preview, out, "print-preview");
}

void CaptureHelp(const QDir& out) {
  ShowHelpView(10, nullptr);
  if (HelpWindow* window = OpenHelpWindow()) {
    SaveWindowPicture(*window, out, "help");
    delete window;
  }
}

}  // namespace

void CaptureMailPrintHelp(const QDir& out) {
  QTemporaryDir files;
  const QString attachment = files.filePath(QStringLiteral("plans-friday.pdf"));
  QFile pdf(attachment);
  if (pdf.open(QIODevice::WriteOnly)) pdf.write("%PDF-1.4\n");
  pdf.close();

  PreviewInteraction ui;
  app::Application app(ui, QDir::currentPath().toStdString());
  CaptureEmailPreferences(app, out);
  CaptureComposer(app, out, attachment);
  CapturePrintPreview(app, ui, out);
  CaptureHelp(out);
}

}  // namespace voltare::gui
