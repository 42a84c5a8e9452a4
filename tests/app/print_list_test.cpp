// SPDX-License-Identifier: GPL-3.0-or-later
// "Print List" on a recording printer of known font heights: what lands on
// which page, where, in which font.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/shared/printer.h"
#include "app_fixture.h"

namespace voltare::app {
namespace {

using testing::FakeUser;
using testing::TestDir;

struct PrintedText {
  int page;
  int x;
  int y;
  std::string text;
  std::string font;  // "Arial 10 bold italic"
};

struct PrintLog {
  std::vector<std::string> events;  // "begin", "new page", "end", "abort"
  std::vector<PrintedText> texts;
  int pages = 0;

  std::vector<PrintedText> OnPage(int page) const {
    std::vector<PrintedText> found;
    for (const PrintedText& text : texts) {
      if (text.page == page) found.push_back(text);
    }
    return found;
  }
};

// A printer that reports heights by point size (negative, as printers that
// leave out the internal leading do) and records everything drawn.
class RecordingPrinter : public Printer {
 public:
  RecordingPrinter(PrintLog& log, int pageHeight) : log_(log), pageHeight_(pageHeight) {}

  void BeginDoc() override {
    log_.events.push_back("begin");
    log_.pages = 1;
  }
  void EndDoc() override { log_.events.push_back("end"); }
  void Abort() override { log_.events.push_back("abort"); }
  void NewPage() override {
    log_.events.push_back("new page");
    ++log_.pages;
  }
  int PageHeight() const override { return pageHeight_; }
  void SetFont(const PrinterFont& font) override { font_ = font; }
  int FontHeight() const override { return font_.size == 10 ? -42 : font_.size == 11 ? -46 : -1; }
  void TextOut(int x, int y, std::string_view text) override {
    if (failAtText_ && static_cast<int>(log_.texts.size()) == *failAtText_) {
      throw std::runtime_error("Printer is out of paper");
    }
    std::string font = font_.name + " " + std::to_string(font_.size);
    if (font_.style & FontBold) font += " bold";
    if (font_.style & FontItalic) font += " italic";
    log_.texts.push_back({log_.pages, x, y, std::string(text), font});
  }

  void FailAtText(int index) { failAtText_ = index; }

 private:
  PrintLog& log_;
  int pageHeight_;
  PrinterFont font_;
  std::optional<int> failAtText_;
};

// The fake user with a print dialog: confirms with a recording printer, or cancels.
class PrintingUser : public FakeUser {
 public:
  std::unique_ptr<Printer> RunPrintDialog() override {
    ++printDialogs;
    if (!confirm) return nullptr;
    auto printer = std::make_unique<RecordingPrinter>(log, pageHeight);
    if (failAtText) printer->FailAtText(*failAtText);
    return printer;
  }

  bool confirm = true;
  int pageHeight = 3000;
  std::optional<int> failAtText;
  int printDialogs = 0;
  PrintLog log;
};

struct PrintFixture {
  PrintingUser user;
  Application app{user, TestDir()};
  TMainForm& form = app.MainForm;

  void AddEntry(const std::string& path, const std::string& size = "1KB", const std::string& type = "TXT File") {
    ListItem item;
    // The list sorts by display name; these keep the order of adding.
    item.displayName = std::to_string(1000 + form.ListView.Count());
    item.fileName = path;
    item.size = size;
    item.typeName = type;
    form.ListView.Insert(std::move(item));
  }
  // Entries "/e/00" ... in list order.
  void AddEntries(int count) {
    for (int i = 0; i < count; ++i) AddEntry("/e/" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  }
};

// Heading 10 pt is 42 units high, 11 pt 46 units.
constexpr int kListHeadingY = 160 + 42;
constexpr int kTitlesY = kListHeadingY + 200;
constexpr int kFirstEntryY = kTitlesY + 46 + 50;
constexpr int kEntryStep = 46 + 10;

void ExpectPageHead(const std::vector<PrintedText>& page, const std::string& listHeading) {
  ASSERT_GE(page.size(), 5u);
  EXPECT_EQ(page[0].text, "KOVA Voltare 2.50 - https://www.kova-software.example/");
  EXPECT_EQ(page[0].x, 100);
  EXPECT_EQ(page[0].y, 160);
  EXPECT_EQ(page[0].font, "Arial 10 bold italic");
  EXPECT_EQ(page[1].text, listHeading);
  EXPECT_EQ(page[1].x, 100);
  EXPECT_EQ(page[1].y, kListHeadingY);
  EXPECT_EQ(page[1].font, "Arial 10 bold italic");
  const std::string titles[] = {"FileName:", "Size:", "Type:"};
  const int columns[] = {100, 1100, 1600};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(page[2 + i].text, titles[i]);
    EXPECT_EQ(page[2 + i].x, columns[i]);
    EXPECT_EQ(page[2 + i].y, kTitlesY);
    EXPECT_EQ(page[2 + i].font, "Arial 11 bold");
  }
}

// The path of every entry line on a page, in order.
std::vector<std::string> EntryPaths(const std::vector<PrintedText>& page) {
  std::vector<std::string> paths;
  for (std::size_t i = 5; i < page.size(); i += 3) paths.push_back(page[i].text);
  return paths;
}

TEST(PrintListTest, CancelInThePrintDialogPrintsNothing) {
  PrintFixture fixture;
  fixture.user.confirm = false;
  fixture.AddEntries(2);
  fixture.form.Run("PrintButton");
  EXPECT_EQ(fixture.user.printDialogs, 1);
  EXPECT_TRUE(fixture.user.log.events.empty());
  EXPECT_EQ(fixture.user.busyShown, 0);
}

TEST(PrintListTest, AnEmptyUntitledListPrintsOnePageOfHeadingsAndTitles) {
  PrintFixture fixture;
  fixture.form.Run("PrintList1");
  EXPECT_EQ(fixture.user.log.events, (std::vector<std::string>{"begin", "end"}));
  const auto page = fixture.user.log.OnPage(1);
  ASSERT_EQ(page.size(), 5u);
  ExpectPageHead(page, "Untitled:");
  EXPECT_EQ(fixture.user.busyShown, 1);
  EXPECT_EQ(fixture.user.busyDepth, 0);
  EXPECT_EQ(fixture.user.progress.position(), 0);
  EXPECT_TRUE(fixture.user.messages.empty());
}

TEST(PrintListTest, EntryLinesStandAtKnownPositionsUnderTheListName) {
  PrintFixture fixture;
  fixture.form.Head.caption = " /home/ann/letters.vls:";
  fixture.AddEntry("/a/one.txt", "12KB", "TXT File");
  fixture.AddEntry("/a/two.doc", "1KB", "DOC File");
  fixture.form.Run("PrintButton");

  const auto page = fixture.user.log.OnPage(1);
  ASSERT_EQ(page.size(), 11u);
  ExpectPageHead(page, "/home/ann/letters.vls:");
  const std::string expected[2][3] = {{"/a/one.txt", "12KB", "TXT File"}, {"/a/two.doc", "1KB", "DOC File"}};
  const int columns[] = {100, 1100, 1600};
  for (int entry = 0; entry < 2; ++entry) {
    for (int column = 0; column < 3; ++column) {
      const PrintedText& text = page[5 + 3 * entry + column];
      EXPECT_EQ(text.text, expected[entry][column]);
      EXPECT_EQ(text.x, columns[column]);
      EXPECT_EQ(text.y, kFirstEntryY + entry * kEntryStep);
      EXPECT_EQ(text.font, "Arial 11");
    }
  }
  EXPECT_EQ(fixture.user.progress.max(), 2);
  EXPECT_EQ(fixture.user.progress.positions, (std::vector<std::int64_t>{0, 1, 2, 0}));
}

TEST(PrintListTest, LongColumnsAreCutToTheirWidthWithTwoDots) {
  PrintFixture fixture;
  const std::string path33 = "/" + std::string(32, 'a');
  const std::string path34 = "/" + std::string(33, 'b');
  fixture.AddEntry(path33, std::string(25, '1'), std::string(25, 'T'));
  fixture.AddEntry(path34, std::string(26, '2'), std::string(26, 'U'));
  // Characters, not bytes: 34 two-byte letters are cut after 32 of them.
  std::string wide;
  for (int i = 0; i < 34; ++i) wide += "\xC3\xA9";
  fixture.AddEntry("/" + wide.substr(0, 66));  // 34 characters with the slash
  fixture.form.Run("PrintButton");

  const auto page = fixture.user.log.OnPage(1);
  ASSERT_EQ(page.size(), 14u);
  EXPECT_EQ(page[5].text, path33);
  EXPECT_EQ(page[6].text, std::string(25, '1'));
  EXPECT_EQ(page[7].text, std::string(25, 'T'));
  EXPECT_EQ(page[8].text, path34.substr(0, 32) + "..");
  EXPECT_EQ(page[9].text, std::string(24, '2') + "..");
  EXPECT_EQ(page[10].text, std::string(24, 'U') + "..");
  EXPECT_EQ(page[11].text, "/" + wide.substr(0, 62) + "..");
}

TEST(PrintListTest, AtAPageBreakTheEntryThatReachedTheBottomIsPrintedOnceOnTheNextPage) {
  PrintFixture fixture;
  // Room below the limit (page height - 70) for exactly two entry lines:
  // the third would end at the limit.
  fixture.user.pageHeight = kFirstEntryY + 3 * kEntryStep + 70;
  fixture.AddEntries(5);
  fixture.form.Run("PrintButton");

  EXPECT_EQ(fixture.user.log.events, (std::vector<std::string>{"begin", "new page", "new page", "end"}));
  const std::vector<std::vector<std::string>> expected = {{"/e/00", "/e/01"}, {"/e/02", "/e/03"}, {"/e/04"}};
  for (int page = 1; page <= 3; ++page) {
    const auto texts = fixture.user.log.OnPage(page);
    ExpectPageHead(texts, "Untitled:");
    EXPECT_EQ(EntryPaths(texts), expected[static_cast<std::size_t>(page - 1)]) << "page " << page;
    EXPECT_EQ(texts[5].y, kFirstEntryY);
  }
  // The bar counts each page's entries from 0 and ends at 0.
  EXPECT_EQ(fixture.user.progress.positions, (std::vector<std::int64_t>{0, 1, 2, 0, 1, 2, 0, 1, 0}));
}

TEST(PrintListTest, APageTooShortForOneEntryStillPrintsOneEntryPerPage) {
  PrintFixture fixture;
  fixture.user.pageHeight = 100;
  fixture.AddEntries(3);
  fixture.form.Run("PrintButton");
  EXPECT_EQ(fixture.user.log.pages, 3);
  for (int page = 1; page <= 3; ++page) {
    EXPECT_EQ(EntryPaths(fixture.user.log.OnPage(page)).size(), 1u) << "page " << page;
  }
  EXPECT_EQ(fixture.user.log.events.back(), "end");
}

TEST(PrintListTest, APrinterFailureIsShownAndTheDocumentDropped) {
  PrintFixture fixture;
  fixture.AddEntries(3);
  fixture.user.failAtText = 7;  // inside the first entry line
  fixture.form.Run("PrintButton");
  EXPECT_EQ(fixture.user.log.events, (std::vector<std::string>{"begin", "abort"}));
  EXPECT_EQ(fixture.user.MessageLog(), (std::vector<std::string>{"error: Printer is out of paper"}));
  EXPECT_EQ(fixture.user.busyDepth, 0);
  EXPECT_EQ(fixture.user.progress.position(), 0);
}

TEST(PrintListTest, CancelDuringPrintingDropsTheDocumentQuietly) {
  PrintFixture fixture;
  fixture.AddEntries(3);
  fixture.user.progress.onRepaint = [&] { fixture.user.progress.stopped = true; };
  fixture.form.Run("PrintButton");
  EXPECT_EQ(fixture.user.log.events, (std::vector<std::string>{"begin", "abort"}));
  EXPECT_TRUE(fixture.user.messages.empty());
  EXPECT_EQ(fixture.user.busyDepth, 0);
}

}  // namespace
}  // namespace voltare::app
