// SPDX-License-Identifier: GPL-3.0-or-later
// The print dialog of "Print List": Qt's own, over a printer set to the
// list's resolution; "Print to File (PDF)" is one of its printers.

#include <QPrintDialog>
#include <QPrinter>

#include "gui/form_views.h"
#include "gui/qt_printer.h"

namespace voltare::gui {

std::unique_ptr<app::Printer> RunPrintDialogView(QWidget* parent) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  QPrintDialog dialog(printer.get(), parent);
  // The list is printed whole: there is no selection or page range to choose.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  printer->setResolution(kPrinterResolution);
  return std::make_unique<QtPrinter>(std::move(printer));
}

}  // namespace voltare::gui
