// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The print job of the list command on a QPrinter (a real printer or a PDF
// file). The layout is given in the printer's device units; the job keeps
// the pages it is given and hands them to the device only when the document
// ends, so that a failure or a cancel leaves nothing printed and no file
// half-written.

#include <QFont>
#include <QString>
#include <memory>
#include <vector>

#include "app/shared/printer.h"

class QPrinter;

namespace voltare::gui {

// Device units per inch of the printed list: an office laser printer's, so
// that the layout's positions land on the page as they always did.
inline constexpr int kPrinterResolution = 300;

class QtPrinter final : public app::Printer {
 public:
  // Prints on `printer`, which must outlive the job.
  explicit QtPrinter(QPrinter& printer);
  // Prints on a printer of its own (the one the print dialog confirmed).
  explicit QtPrinter(std::unique_ptr<QPrinter> printer);
  ~QtPrinter() override;
  QtPrinter(const QtPrinter&) = delete;
  QtPrinter& operator=(const QtPrinter&) = delete;

  void BeginDoc() override;
  void EndDoc() override;
  void Abort() override;
  void NewPage() override;
  int PageHeight() const override;
  void SetFont(const app::PrinterFont& font) override;
  int FontHeight() const override;
  void TextOut(int x, int y, std::string_view text) override;

 private:
  struct Line {
    QFont font;
    int x = 0;
    int y = 0;
    QString text;
  };
  using Page = std::vector<Line>;

  // Paints every kept page on the device.
  void PaintDocument(QPrinter& device) const;
  void PrintToFile(const QString& fileName);
  void PrintOnPrinter();
  QString PrinterName() const;

  std::unique_ptr<QPrinter> owned_;
  QPrinter& printer_;
  std::vector<Page> pages_;
  bool begun_ = false;
  app::PrinterFont font_;
  QFont qtFont_;
};

}  // namespace voltare::gui
