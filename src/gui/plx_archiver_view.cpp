// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/plx_archiver_view.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QSignalBlocker>
#include <algorithm>

#include "app/main_window/decrypt_messages.h"
#include "common/translate.h"
#include "ui_plx_archiver_view.h"

namespace voltare::gui {

namespace {
constexpr int kNameColumn = 0;
constexpr int kSizeColumn = 1;
constexpr int kMinimumSizeColumn = 60;
constexpr int kNameChars = 18;
}  // namespace

PLXArchiverView::PLXArchiverView(app::TPLXArchiver& viewer, QWidget* parent)
    : FormDialog(viewer, parent), viewer_(viewer), ui_(std::make_unique<Ui::PLXArchiver>()) {
  ui_->setupUi(this);
  ShowLabelsAsPlainText(*this);
  RemoveCloseButton(*this);
  // Words for screen readers: the list and the edit show none of their own,
  // the ".." button nothing readable.
  ui_->FileList->setAccessibleName(QString::fromUtf8(tr_("Files in the archive")));
  ui_->Header->setBuddy(ui_->Directory);
  ui_->SelectDir->setToolTip(ToQString(app::decrypt_messages::kChooseOutputDirectory));
  ui_->FileList->addAction(ui_->SelectAll1);
  // Rows grow with the font, the name column takes what the size leaves, and
  // the list keeps room for a name of some length whatever the font.
  ui_->FileList->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
  ui_->FileList->verticalHeader()->setDefaultSectionSize(std::max(20, fontMetrics().height() + 5));
  ui_->FileList->setMinimumWidth(fontMetrics().averageCharWidth() * kNameChars + kMinimumSizeColumn);
  ui_->SelectDir->setFixedWidth(
      std::max(27, ui_->SelectDir->fontMetrics().horizontalAdvance(ui_->SelectDir->text()) + 16));
  ui_->FileList->horizontalHeaderItem(kSizeColumn)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  FillMembers();

  connect(ui_->FileList, &QTableWidget::itemSelectionChanged, this, [this] { WriteSelection(); });
  connect(ui_->Directory, &QLineEdit::textEdited, this,
          [this](const QString& text) { viewer_.Directory.text = ToUtf8(text); });
  connect(ui_->SelectAll1, &QAction::triggered, this, [this] { Handle([this] { viewer_.SelectAll1Click(); }); });
  HandleClicks(ui_->SelectDir, [this] { viewer_.SelectDirClick(); });
  HandleClicks(ui_->ContinueButton, [this] { viewer_.ContinueButtonClick(); });
  HandleClicks(ui_->CancelButton, [this] { viewer_.CancelButtonClick(); });

  Refresh();
  FocusActiveControl();
}

PLXArchiverView::~PLXArchiverView() = default;

void PLXArchiverView::FillMembers() {
  const QIcon memberIcon(QStringLiteral(":/pictures/archive-member.svg"));
  const auto& items = viewer_.FileList.Items();
  ui_->FileList->setRowCount(static_cast<int>(items.size()));
  for (int row = 0; row < static_cast<int>(items.size()); ++row) {
    const app::ArchiveListItem& item = items[static_cast<std::size_t>(row)];
    auto* name = new QTableWidgetItem(memberIcon, ToQString(item.caption));
    auto* size = new QTableWidgetItem(ToQString(item.size));
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui_->FileList->setItem(row, kNameColumn, name);
    ui_->FileList->setItem(row, kSizeColumn, size);
  }
  ui_->FileList->resizeColumnToContents(kSizeColumn);
  QHeaderView* header = ui_->FileList->horizontalHeader();
  header->resizeSection(kSizeColumn, std::max(kMinimumSizeColumn, header->sectionSize(kSizeColumn)));
}

void PLXArchiverView::Refresh() {
  setWindowTitle(ToQString(viewer_.Caption));
  ShowControls(viewer_.Controls());
  if (ToUtf8(ui_->Directory->text()) != viewer_.Directory.text) {
    ui_->Directory->setText(ToQString(viewer_.Directory.text));
  }
  ShowSelection();
}

// The rows the form has selected, without echoing them back to it.
void PLXArchiverView::ShowSelection() {
  QItemSelection selection;
  const auto& items = viewer_.FileList.Items();
  for (int row = 0; row < static_cast<int>(items.size()); ++row) {
    if (!items[static_cast<std::size_t>(row)].selected) continue;
    selection.select(ui_->FileList->model()->index(row, kNameColumn), ui_->FileList->model()->index(row, kSizeColumn));
  }
  const QSignalBlocker quiet(ui_->FileList);
  ui_->FileList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void PLXArchiverView::WriteSelection() {
  const QItemSelectionModel* selected = ui_->FileList->selectionModel();
  for (int row = 0; row < ui_->FileList->rowCount(); ++row) {
    viewer_.FileList.Select(static_cast<std::size_t>(row), selected->isRowSelected(row));
  }
}

void PLXArchiverView::CloseRequested() { viewer_.CancelButtonClick(); }

void PLXArchiverView::FocusActiveControl() { FocusControl(viewer_.Controls(), viewer_.ActiveControl); }

}  // namespace voltare::gui
