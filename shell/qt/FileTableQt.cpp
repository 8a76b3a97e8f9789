#include "shell/qt/FileTableQt.h"

#include "shell/filelist.h"

namespace plm {

FileTableModel::FileTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileTableModel::SetHeader(const Row& header) {
  header_ = header;
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void FileTableModel::ReplaceAll(std::vector<Row> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

void FileTableModel::UpdateRows(std::vector<Row> rows) {
  if (rows.size() != rows_.size()) {
    ReplaceAll(std::move(rows));
    return;
  }
  rows_ = std::move(rows);
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, kColumns - 1));
}

int FileTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole: {
      QString text = QString::fromStdString(CellDisplayText(rows_[static_cast<size_t>(index.row())], column));
      // The size is padded to the column's width; drawn right-aligned without the
      // padding, a narrow column still shows the digits rather than an ellipsis.
      return column == kColSize ? text.trimmed() : text;
    }
    case Qt::TextAlignmentRole:
      if (column == kColSize) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      return {};
    case Qt::ToolTipRole:  // the whole name or memo, however narrow its column
      if (column == kColName || column == kColMemo) {
        const QString text = QString::fromStdString(CellDisplayText(rows_[static_cast<size_t>(index.row())], column));
        if (!text.isEmpty()) return text;
      }
      return {};
    default: return {};
  }
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumns)
    return {};
  return QString::fromStdString(header_[static_cast<size_t>(section)]);
}

}  // namespace plm
