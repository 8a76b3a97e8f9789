// The file-list model: whole replacement and row swaps, as listing and sorting use them;
// the memo is held in code page 932 and shown decoded.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "shell/FileTableQt.h"
#include "uitest.h"

class FileTableTest : public QObject {
  Q_OBJECT
 private slots:
  void replaceAllAndSwapRowsOnALongList() {
    plm::FileTableModel model;
    QTableView view;  // a real view on top, to catch signals it cannot digest
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.show();

    std::vector<plm::FileTableModel::Row> rows(100000);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = {"F" + std::to_string(i) + ".JWW", "12", ".JWW", "\x83\x81\x83\x82", "", ""};
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.ReplaceAll(std::move(rows));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 100000);
    QCOMPARE(model.data(model.index(99999, 0), Qt::DisplayRole).toString(), QStringLiteral("F99999.JWW"));
    QCOMPARE(model.data(model.index(5, 3), Qt::DisplayRole).toString(), QStringLiteral("メモ"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SwapRows(0, 99999);
    QCOMPARE(model.Rows()[0][0], std::string("F99999.JWW"));
    QCOMPARE(model.Rows()[99999][0], std::string("F0.JWW"));
    QCOMPARE(changed.count(), 2);
    model.SwapRows(0, 100000);  // out of range: nothing happens
    model.SetText(100000, 0, "x");
    QCOMPARE(changed.count(), 2);

    view.scrollToBottom();
    model.ReplaceAll({plm::FileTableModel::Row{}});
    QCOMPARE(model.rowCount(), 1);
  }
};

PLM_UI_TEST(FileTableTest);

#include "FileTable_test.moc"
