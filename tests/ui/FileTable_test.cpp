// The file-list model on a long list: whole replacement, and new contents for the same
// rows as sorting and re-padding give them; the memo is held in code page 932 and
// shown decoded.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "shell/qt/FileTableQt.h"
#include "uitest.h"

class FileTableTest : public QObject {
  Q_OBJECT
 private slots:
  void replaceAllAndUpdateRowsOnALongList() {
    plm::FileTableModel model;
    QTableView view;  // a real view on top, to catch signals it cannot digest
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.show();

    std::vector<plm::FileTableModel::Row> rows(100000);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = {"F" + std::to_string(i) + ".JWW", "12", ".JWW", "\x83\x81\x83\x82", "", ""};
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.ReplaceAll(rows);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 100000);
    QCOMPARE(model.data(model.index(99999, 0), Qt::DisplayRole).toString(), QStringLiteral("F99999.JWW"));
    QCOMPARE(model.data(model.index(5, 3), Qt::DisplayRole).toString(), QStringLiteral("メモ"));

    // Same count: the contents change and the selection stays on its row numbers.
    view.selectionModel()->select(model.index(7, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    std::swap(rows.front(), rows.back());
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.UpdateRows(rows);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.Rows()[0][0], std::string("F99999.JWW"));
    QCOMPARE(model.Rows()[99999][0], std::string("F0.JWW"));
    QVERIFY(view.selectionModel()->isRowSelected(7, {}));

    // Another count replaces everything.
    view.scrollToBottom();
    rows.resize(3);
    model.UpdateRows(rows);
    QCOMPARE(reset.count(), 2);
    QCOMPARE(model.rowCount(), 3);
    model.ReplaceAll({plm::FileTableModel::Row{}});
    QCOMPARE(model.rowCount(), 1);
  }

  // A name with a line break shows quoted on one line; the row keeps the bytes that open it.
  void namesWithControlCharactersShowQuoted() {
    plm::FileTableModel model;
    model.ReplaceAll({{"\x95\x7E.jww", "1", ".JWW", "", "", ""}, {"a\nb.jw\x1B", "1", ".JW\x1B", "", "", ""}});
    QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("敷.jww"));  // control
    const QString quoted = QStringLiteral("'a'$'\\n''b.jw'$'\\033'");
    QCOMPARE(model.data(model.index(1, 0), Qt::DisplayRole).toString(), quoted);
    QCOMPARE(model.data(model.index(1, 0), Qt::ToolTipRole).toString(), quoted);
    QCOMPARE(model.data(model.index(1, 2), Qt::DisplayRole).toString(), QStringLiteral("'.JW'$'\\033'"));
    QCOMPARE(model.Rows()[1][0], std::string("a\nb.jw\x1B"));
  }
};

PLM_UI_TEST(FileTableTest);

#include "FileTable_test.moc"
