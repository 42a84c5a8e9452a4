// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A print job on the printer the user chose in the print dialog. Positions
// are the printer's device units (its pixels) from the top left of the
// printable page. The view makes one for each confirmed print dialog (a real
// printer, a PDF file, or a recorder in the tests).
//
// Failures are thrown as exceptions carrying the printer's own message.

#include <string>
#include <string_view>

namespace voltare::app {

// Font styles, combinable with |.
enum FontStyle : unsigned {
  FontRegular = 0,
  FontBold = 1u << 0,
  FontItalic = 1u << 1,
};

struct PrinterFont {
  std::string name;
  int size = 10;  // points
  unsigned style = FontRegular;
};

class Printer {
 public:
  virtual ~Printer() = default;

  // Starts the document with its first page.
  virtual void BeginDoc() = 0;
  // Finishes the last page and sends the document.
  virtual void EndDoc() = 0;
  // Drops a begun document (nothing of it is printed or kept); does nothing
  // when no document is begun.
  virtual void Abort() = 0;
  virtual void NewPage() = 0;
  virtual int PageHeight() const = 0;

  // The font of the text that follows.
  virtual void SetFont(const PrinterFont& font) = 0;
  // The current font's height on this printer; negative values give the
  // character height without internal leading, as some printers report it.
  virtual int FontHeight() const = 0;
  virtual void TextOut(int x, int y, std::string_view text) = 0;
};

}  // namespace voltare::app
