#include "shell/qt/FileListView.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/keystate.h"
#include "shell/filelist.h"
#include "shell/qt/DialogsQt.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/FolderTreePanel.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/SwitchesDialog.h"
#include "shell/qt/WindowServices.h"
#include "shell/texts.h"

namespace plm {
namespace {

constexpr int kInitialEmptyRows = 4;  // the grid starts as header and four empty rows

}  // namespace

FileListView::FileListView(WindowServices& services, const FolderTreePanel& tree, const QComboBox& fileType)
    : services_(services), tree_(tree), fileType_(fileType) {
  model_ = new FileTableModel(this);
  model_->ReplaceAll(std::vector<FileTableModel::Row>(kInitialEmptyRows));

  setObjectName(QStringLiteral("StringGrid1"));
  setFont(DialogFont(13));
  setModel(model_);
  setShowGrid(false);
  setWordWrap(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setTabKeyNavigation(false);  // Tab moves on to the next control

  // Fixed row heights keep the view fast for very long lists.
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);

  QHeaderView* columns = horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setMinimumSectionSize(0);
  columns->setDefaultSectionSize(64);
  columns->setStretchLastSection(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  // Header titles in the window's font with a slim margin, so that "ファイル名" fits the
  // 64-pixel default column.
  columns->setFont(FormFont(12));
  columns->setStyleSheet(QStringLiteral("QHeaderView::section { padding-left: 2px; padding-right: 0px; }"));
  columns->setSectionsClickable(true);
  columns->viewport()->installEventFilter(this);  // mouse presses land on the viewport
  connect(columns, &QHeaderView::sectionResized, this,
          [this](int column, int, int) { if (column == 1) RepadFileSizes(); });
  connect(this, &QTableView::doubleClicked, this, &FileListView::OpenCurrentFile);
  OpenFile = [](const std::string& path) { return QDesktopServices::openUrl(LocalFileUrl(path)); };
}

QItemSelectionModel::SelectionFlags FileListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  if (event != nullptr && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
        mods == (Qt::ShiftModifier | Qt::ControlModifier))
      return QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows;
  }
  return QTableView::selectionCommand(index, event);
}

bool FileListView::eventFilter(QObject* watched, QEvent* event) {
  QHeaderView* header = horizontalHeader();
  if (watched == header->viewport() && event->type() == QEvent::MouseButtonPress) {
    // A press on a column border starts a resize, not a sort.
    const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    const int column = header->logicalIndexAt(x);
    const bool onBorder = column >= 0 && (header->logicalIndexAt(x - grip) != column ||
                                          header->logicalIndexAt(x + grip) != column);
    HeaderPressed(onBorder ? -1 : column);
  }
  return QTableView::eventFilter(watched, event);
}

void FileListView::Reset() { ResetFileList(*this, state_); }

void FileListView::ListFiles(const std::string& folderPath) {
  ListFolder(services_, services_.State, *this, state_, tree_.State(), folderPath);
}

void FileListView::RepadFileSizes() {
  plm::RepadFileSizes(*this, state_, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')));
}

void FileListView::HeaderPressed(int column) {
  FileListHeaderPressed(services_, services_.State, *this, state_, tree_.State(), column, tree_.SelectedFolderPath());
}

void FileListView::OpenCurrentFile() {
  const std::optional<std::string> path =
      FileToOpen(services_, state_, tree_.State(), currentIndex().row(), Rows(), tree_.SelectedFolderPath());
  if (path && OpenFile && !OpenFile(*path)) services_.SetStatus(texts::kNoOpener);
}

const std::vector<FileRow>& FileListView::Rows() const { return model_->Rows(); }

void FileListView::ReplaceRows(std::vector<FileRow> rows) {
  model_->ReplaceAll(std::move(rows));
  horizontalScrollBar()->setValue(0);  // a new list starts at its left edge
}

void FileListView::ReorderRows(std::vector<FileRow> rows) { model_->UpdateRows(std::move(rows)); }

int FileListView::ColumnWidth(int column) const { return horizontalHeader()->sectionSize(column); }

int FileListView::FilterIndex() const { return fileType_.currentIndex(); }

std::pair<int, int> FileListView::SelectedBlock() const {
  int top = -1, bottom = -1;
  for (const QModelIndex& index : selectionModel()->selectedRows()) {
    top = top < 0 ? index.row() : std::min(top, index.row());
    bottom = std::max(bottom, index.row());
  }
  if (top < 0) top = bottom = std::max(currentIndex().row(), 0);
  return {top, bottom};
}

}  // namespace plm
