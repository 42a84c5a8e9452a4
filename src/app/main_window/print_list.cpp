// SPDX-License-Identifier: GPL-3.0-or-later
// "Print List": the file list on paper, one line per entry with its path,
// size and type, under the program's heading, the list's name and the column
// titles, which every page repeats.

#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "app/main_window/clipboard_print_messages.h"
#include "app/main_window/main_form.h"
#include "app/main_window/messages.h"
#include "app/shared/printer.h"
#include "app/shared/utf8_text.h"
#include "common/progress.h"

namespace voltare::app {

namespace {

constexpr int kPageTop = 160;
constexpr int kLeft = 100;
constexpr int kSizeX = 1100;
constexpr int kTypeX = 1600;
constexpr int kGapAfterListHeading = 200;
constexpr int kGapAfterTitles = 50;
constexpr int kGapBetweenEntries = 10;
constexpr int kBottomMargin = 70;

constexpr std::size_t kPathChars = 33;
constexpr std::size_t kSizeChars = 25;
constexpr std::size_t kTypeChars = 25;

const PrinterFont kHeadingFont{std::string(messages::kPrintFont), 10, FontBold | FontItalic};
const PrinterFont kTitleFont{std::string(messages::kPrintFont), 11, FontBold};
const PrinterFont kEntryFont{std::string(messages::kPrintFont), 11, FontRegular};

// A column text as printed: whole when it has at most `maxChars` characters,
// otherwise its first maxChars - 1 characters and "..".
std::string Shortened(std::string_view text, std::size_t maxChars) {
  if (Utf8CharacterCount(text) <= maxChars) return ValidUtf8(text);
  return ValidUtf8(Utf8Prefix(text, maxChars - 1)) + "..";
}

class ListPrinter {
 public:
  ListPrinter(Printer& printer, const FileListView& list, std::string_view listHeading, platform::Progress& progress)
      : printer_(printer), list_(list), listHeading_(listHeading), progress_(progress) {}

  void PrintDocument() {
    printer_.BeginDoc();
    StartPage();
    for (std::size_t i = 0; i < list_.Count(); ++i) {
      // An entry that would reach the bottom limit goes to the next page;
      // the first entry of a page is printed wherever the limit lies.
      if (entriesOnPage_ > 0 && y_ + EntryStep() >= printer_.PageHeight() - kBottomMargin) {
        printer_.NewPage();
        StartPage();
      }
      PrintEntry(list_.Items()[i]);
      progress_.setPosition(progress_.position() + 1);
      progress_.repaint();
      common::StopIfCancelled(&progress_);
    }
    printer_.EndDoc();
  }

 private:
  int FontHeight() const { return std::abs(printer_.FontHeight()); }
  int EntryStep() const { return entryHeight_ + kGapBetweenEntries; }

  void StartPage() {
    y_ = kPageTop;
    printer_.SetFont(kHeadingFont);
    printer_.TextOut(kLeft, y_, std::string(messages::kPrintHeading) + std::string(messages::kHomePage));
    y_ += FontHeight();
    printer_.TextOut(kLeft, y_, ValidUtf8(listHeading_));
    y_ += kGapAfterListHeading;

    printer_.SetFont(kTitleFont);
    PrintLine(messages::kPrintFileNameTitle, messages::kPrintSizeTitle, messages::kPrintTypeTitle);
    y_ += FontHeight() + kGapAfterTitles;

    printer_.SetFont(kEntryFont);
    entryHeight_ = FontHeight();
    entriesOnPage_ = 0;
    progress_.setPosition(0);
    progress_.setMax(static_cast<std::int64_t>(list_.Count()));
  }

  void PrintEntry(const ListItem& item) {
    PrintLine(Shortened(item.fileName, kPathChars), Shortened(item.size, kSizeChars),
              Shortened(item.typeName, kTypeChars));
    y_ += EntryStep();
    ++entriesOnPage_;
  }

  void PrintLine(std::string_view fileName, std::string_view size, std::string_view type) {
    printer_.TextOut(kLeft, y_, fileName);
    printer_.TextOut(kSizeX, y_, size);
    printer_.TextOut(kTypeX, y_, type);
  }

  Printer& printer_;
  const FileListView& list_;
  std::string_view listHeading_;
  platform::Progress& progress_;
  int y_ = kPageTop;
  int entryHeight_ = 0;
  int entriesOnPage_ = 0;
};

}  // namespace

void TMainForm::PrintButtonClick() {
  const std::unique_ptr<Printer> printer = ui_.RunPrintDialog();
  if (!printer) return;

  const BusyCursor busy(ui_);
  // The heading's caption without its leading blank: "Untitled:" or "<path>:".
  const std::string_view listHeading =
      Head.caption.empty() ? std::string_view() : std::string_view(Head.caption).substr(1);
  // The unfinished document of a failed or stopped job is dropped.
  const auto abort = [&printer] {
    try {
      printer->Abort();
    } catch (const std::exception&) {
    }
  };
  try {
    ListPrinter(*printer, ListView, listHeading, ui_.ProgressBar()).PrintDocument();
  } catch (const common::StepCancelled&) {
    abort();
  } catch (const std::exception& failure) {
    abort();
    ui_.Error(failure.what());  // the printer's own message
  }
  ResetProgress();
}

}  // namespace voltare::app
