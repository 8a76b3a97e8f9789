#pragma once
// The table model behind the file list: a header of 6 texts and rows of 6 texts each.
// Rows live in one vector and are converted for display only when a cell is painted,
// so replacing or re-ordering 100,000 rows stays cheap. Cells are those of the file list
// (the memo in code page 932) and are shown as CellDisplayText gives them.
#include <QAbstractTableModel>
#include <array>
#include <string>
#include <vector>

namespace plm {

class FileTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kColumns = 6;
  using Row = std::array<std::string, kColumns>;  // a FileRow

  explicit FileTableModel(QObject* parent = nullptr);

  void SetHeader(const Row& header);
  void ReplaceAll(std::vector<Row> rows);
  // New contents for the same number of rows: views keep their selection on the same
  // row numbers. A different count replaces everything.
  void UpdateRows(std::vector<Row> rows);

  const std::vector<Row>& Rows() const { return rows_; }
  const Row& Header() const { return header_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  Row header_;
  std::vector<Row> rows_;
};

}  // namespace plm
