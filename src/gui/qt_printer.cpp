// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_printer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "common/translate.h"
#include "gui/qt_text.h"

namespace voltare::gui {

namespace {

// The printer's messages; "%1" is the file's or the printer's name.
const char* const kFileFailed = N_("The document could not be written to the file %1.");
const char* const kPrinterFailed = N_("The printer %1 did not accept the document.");

[[noreturn]] void Fail(const char* message, const QString& name) {
  throw std::runtime_error(QString::fromUtf8(tr_(message)).arg(name).toStdString());
}

// A font's height at a number of points on a device of `dotsPerInch`, as the
// classic printer canvas gives it: negative, the character height without
// its internal leading, rounded like MulDiv.
int CanvasFontHeight(int points, int dotsPerInch) { return -((points * dotsPerInch + 36) / 72); }

}  // namespace

QtPrinter::QtPrinter(QPrinter& printer) : printer_(printer) {}

QtPrinter::QtPrinter(std::unique_ptr<QPrinter> printer) : owned_(std::move(printer)), printer_(*owned_) {}

QtPrinter::~QtPrinter() = default;

void QtPrinter::BeginDoc() {
  pages_.assign(1, Page());
  begun_ = true;
}

void QtPrinter::NewPage() {
  if (begun_) pages_.emplace_back();
}

void QtPrinter::Abort() {
  pages_.clear();
  begun_ = false;
}

int QtPrinter::PageHeight() const { return printer_.height(); }

void QtPrinter::SetFont(const app::PrinterFont& font) {
  font_ = font;
  // Asked for by name; where the name is missing the font configuration
  // gives its metric-compatible stand-in, so the columns keep their widths.
  qtFont_ = QFont(ToQString(font.name));
  qtFont_.setStyleHint(QFont::SansSerif);
  qtFont_.setPointSize(font.size);
  qtFont_.setBold((font.style & app::FontBold) != 0);
  qtFont_.setItalic((font.style & app::FontItalic) != 0);
}

int QtPrinter::FontHeight() const { return CanvasFontHeight(font_.size, printer_.logicalDpiY()); }

void QtPrinter::TextOut(int x, int y, std::string_view text) {
  if (!begun_) return;
  pages_.back().push_back({qtFont_, x, y, ToQString(text)});
}

void QtPrinter::EndDoc() {
  if (!begun_) return;
  const QString fileName = printer_.outputFileName();
  if (printer_.outputFormat() == QPrinter::PdfFormat && !fileName.isEmpty()) PrintToFile(fileName);
  else PrintOnPrinter();
  Abort();
}

void QtPrinter::PrintOnPrinter() {
  if (!printer_.isValid()) Fail(kPrinterFailed, PrinterName());
  PaintDocument(printer_);
  if (printer_.printerState() == QPrinter::Error) Fail(kPrinterFailed, PrinterName());
}

// The file appears only complete: the pages go to a new file beside it,
// which then replaces it.
void QtPrinter::PrintToFile(const QString& fileName) {
  const QFileInfo target(fileName);
  QTemporaryFile staged(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
  if (!staged.open()) Fail(kFileFailed, QDir::toNativeSeparators(fileName));
  staged.close();
  printer_.setOutputFileName(staged.fileName());
  bool painted = true;
  try {
    PaintDocument(printer_);
  } catch (const std::runtime_error&) {
    painted = false;
  }
  printer_.setOutputFileName(fileName);
  if (!painted) Fail(kFileFailed, QDir::toNativeSeparators(fileName));
  std::error_code error;
  std::filesystem::rename(QFile::encodeName(staged.fileName()).toStdString(),
                          QFile::encodeName(target.absoluteFilePath()).toStdString(), error);
  if (error) Fail(kFileFailed, QDir::toNativeSeparators(fileName));
  staged.setAutoRemove(false);  // it has become the target
}

void QtPrinter::PaintDocument(QPrinter& device) const {
  QPainter painter;
  if (!painter.begin(&device)) Fail(kPrinterFailed, PrinterName());
  for (std::size_t page = 0; page < pages_.size(); ++page) {
    if (page > 0 && !device.newPage()) {
      device.abort();  // nothing of a broken document goes out
      painter.end();
      Fail(kPrinterFailed, PrinterName());
    }
    for (const Line& line : pages_[page]) {
      painter.setFont(line.font);
      // The canvas places a text by the top of its character cell.
      painter.drawText(QPoint(line.x, line.y + QFontMetrics(line.font, &device).ascent()), line.text);
    }
  }
  if (!painter.end()) Fail(kPrinterFailed, PrinterName());
}

QString QtPrinter::PrinterName() const {
  if (printer_.outputFormat() == QPrinter::PdfFormat) return QDir::toNativeSeparators(printer_.outputFileName());
  return printer_.printerName();
}

}  // namespace voltare::gui
