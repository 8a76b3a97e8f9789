#include "shell/FileTableQt.h"

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

void FileTableModel::SwapRows(int a, int b) {
  const int n = static_cast<int>(rows_.size());
  if (a == b || a < 0 || b < 0 || a >= n || b >= n) return;
  std::swap(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
  emit dataChanged(index(a, 0), index(a, kColumns - 1));
  emit dataChanged(index(b, 0), index(b, kColumns - 1));
}

void FileTableModel::SetText(int row, int column, std::string text) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= kColumns) return;
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text);
  emit dataChanged(index(row, column), index(row, column));
}

int FileTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant FileTableModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(rows_.size()))
    return {};
  return QString::fromStdString(CellDisplayText(rows_[static_cast<size_t>(index.row())], index.column()));
}

QVariant FileTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumns)
    return {};
  return QString::fromStdString(header_[static_cast<size_t>(section)]);
}

}  // namespace plm
