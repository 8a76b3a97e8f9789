// The window as a desktop user meets it: input made while a batch or a listing runs
// is dropped, the stored position stays put and stays reachable, the keyboard reaches
// everything, names sort by their code page 932 bytes, and the small helps of the list.
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "shell/settings.h"
#include "shell/batch.h"
#include "shell/qt/FileListView.h"
#include "shell/qt/DialogsQt.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/ScreenFitQt.h"
#include "shell/texts.h"
#include "tests/support/fake_keystate.h"
#include "uitest.h"

namespace {

namespace fs = std::filesystem;
using plmtest::Session;

std::string Slashed(const fs::path& p) { return p.string() + "/"; }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

QTreeWidget* Tree(const Session& s) { return s.Find<QTreeWidget>("TreeView1"); }
QTableView* Grid(const Session& s) { return s.Find<QTableView>("StringGrid1"); }

QStringList Names(const Session& s) {
  QStringList names;
  for (const auto& row : s.Form1->FileTable().Rows()) names << QString::fromStdString(row[0]);
  return names;
}

// A started window with `folder` as the search folder, its root node listed.
void StartListing(Session& s, plmtest::FakeKeyState& keys, const fs::path& folder) {
  s.Start();
  s.Form1->SetKeyState(&keys);
  s.Dialogs.setNextFolder(Slashed(folder));
  QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
  QTreeWidget* tree = Tree(s);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(0)).center());
}

// A click and a key press on `target`, queued as the window system queues them while
// the program is busy.
void QueueClickAndKey(QWidget* target) {
  const QPointF at(target->rect().center());
  const QPointF global(target->mapToGlobal(at.toPoint()));
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
}

void SelectRows(QTableView* grid, int top, int bottom) {
  grid->selectionModel()->select(QItemSelection(grid->model()->index(top, 0), grid->model()->index(bottom, 5)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QList<int> SelectedRows(QTableView* grid) {
  QList<int> rows;
  for (const QModelIndex& i : grid->selectionModel()->selectedRows()) rows << i.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string IniValue(const Session& s, const char* section, const char* key) {
  std::string text;
  plm::IniReadString(s.IniPath(), section, key, 22, text);
  return text;
}

}  // namespace

class DesktopTest : public QObject {
  Q_OBJECT
 private slots:
  void inputQueuedDuringABatchIsDroppedAfterIt() {
    plm::ScopedTempFolder dir("plm-desktop-");
    fs::create_directories(dir.Path() / "out");
    // Each passes the probe and fails to load: the driver runs and writes nothing.
    WriteText(dir.Path() / "a.JWW", "JwwData.broken");
    WriteText(dir.Path() / "b.JWW", "JwwData.broken");
    Session s;
    plmtest::FakeKeyState keys;
    s.WriteIni("[Set]\nFLD2=" + Slashed(dir.Path() / "out") + "\n");
    StartListing(s, keys, dir.Path());
    QCOMPARE(Names(s).size(), 2);
    auto* convert = s.Find<QPushButton>("Button4");
    auto* settings = s.Find<QPushButton>("Button1");

    // Control: the same queued input while nothing runs reaches 変換.
    QueueClickAndKey(convert);
    QTRY_COMPARE(s.Dialogs.Boxes.size(), size_t(2));  // the click and the key each asked
    QCOMPARE(s.Dialogs.Boxes.back().Text, std::string(plm::kBatchQuestion));
    s.Dialogs.Boxes.clear();

    // During the batch: clicks and keys on 変換 and 変換設定, some handled by the
    // repaint after each status text, some still queued when the batch ends.
    SelectRows(Grid(s), 0, 1);
    QStringList statuses;
    const auto sink = s.Form1->State().Status;
    s.Form1->State().Status = [&](const std::string& t) {
      QueueClickAndKey(convert);
      QueueClickAndKey(settings);
      sink(t);
      statuses << QString::fromStdString(t);
      QueueClickAndKey(convert);
      QueueClickAndKey(settings);
    };
    // A replayed 変換設定 would open the modal dialog: note it and close it again.
    bool settingsOpened = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (s.Form2->isVisible()) settingsOpened = true, s.Form2->reject();
    });
    closer.start(5);
    s.Dialogs.setNextAnswer(plm::BoxAnswer::Yes);
    QTest::mouseClick(convert, Qt::LeftButton);
    s.Form1->State().Status = sink;
    QCOMPARE(statuses.size(), 2);
    QVERIFY(statuses[0].startsWith(QStringLiteral("(1/2) ファイル「")));
    QVERIFY(statuses[1].startsWith(QStringLiteral("(2/2) ファイル「")));

    QTest::qWait(50);
    QCoreApplication::processEvents();
    QCOMPARE(s.Dialogs.Boxes.size(), size_t(1));  // the one confirmation, not a second
    QVERIFY(!settingsOpened);
    // Both files failed to load: said so, with the one results dialog after the batch.
    QCOMPARE(s.Form1->StatusText(), QStringLiteral("変換作業を完了しました。（失敗 2 件）"));
    QCOMPARE(s.Dialogs.Results.size(), size_t(1));
    QVERIFY(fs::is_empty(dir.Path() / "out"));

    // Input works again after the batch.
    QueueClickAndKey(convert);
    QTRY_COMPARE(s.Dialogs.Boxes.size(), size_t(3));
  }

  void inputQueuedDuringAListingIsDropped() {
    plm::ScopedTempFolder dir("plm-desktop-");
    for (int i = 0; i < 5; ++i) WriteText(dir.Path() / ("f" + std::to_string(i) + ".txt"), "x");
    Session s;
    plmtest::FakeKeyState keys;
    StartListing(s, keys, dir.Path());
    auto* convert = s.Find<QPushButton>("Button4");
    s.Dialogs.Events.clear();

    const auto sink = s.Form1->State().Status;
    s.Form1->State().Status = [&](const std::string& t) {
      QueueClickAndKey(convert);
      sink(t);
      QueueClickAndKey(convert);
    };
    QTreeWidget* tree = Tree(s);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(0)).center());
    s.Form1->State().Status = sink;
    QTest::qWait(50);
    QCoreApplication::processEvents();
    QCOMPARE(Names(s).size(), 5);
    QVERIFY(s.Dialogs.Events.empty());  // no 変換 ran: it would have beeped and asked
  }

  void positionStaysPutOverTenRestarts() {
    Session s;
    s.WriteIni("[Form]\nF1_X=300\nF1_Y=200\nF1_W=420\nF1_H=300\nF2_X=310\nF2_Y=220\n");
    for (int cycle = 0; cycle < 10; ++cycle) {
      s.Start();
      QVERIFY(QTest::qWaitForWindowExposed(s.Form1.get()));
      QTest::qWait(20);  // the window manager may place and frame the window meanwhile
      s.Form1->close();
      QVERIFY(!s.Form1->isVisible());
    }
    QCOMPARE(IniValue(s, "Form", "F1_X"), std::string("300"));
    QCOMPARE(IniValue(s, "Form", "F1_Y"), std::string("200"));
    QCOMPARE(IniValue(s, "Form", "F1_W"), std::string("420"));
    QCOMPARE(IniValue(s, "Form", "F1_H"), std::string("300"));
    QCOMPARE(IniValue(s, "Form", "F2_X"), std::string("310"));
    QCOMPARE(IniValue(s, "Form", "F2_Y"), std::string("220"));
  }

  void aWindowStoredOffEveryScreenOpensOnOne() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
      const char* ini;
      bool dialogOff;  // the settings dialog is stored off the screen too
    } cases[] = {{"[Form]\nF1_X=-5000\nF1_Y=-5000\nF2_X=9000\nF2_Y=9000\n", true},
                 {"[Form]\nF1_X=100\nF1_Y=50\nF1_W=5000\nF1_H=4000\n", false}};
    for (const Case& c : cases) {
      Session s;
      s.WriteIni(c.ini);
      s.Start();
      QVERIFY2(screen.contains(s.Form1->geometry()), c.ini);
      if (c.dialogOff) QVERIFY2(screen.contains(s.Form2->geometry()), c.ini);
      // 変換 and the status bar are inside the screen too.
      for (const char* name : {"Button4", "StatusBar1"}) {
        auto* w = s.Find<QWidget>(name);
        QVERIFY2(screen.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size())), name);
      }
      // Moved and shrunk only for this screen, the windows are stored as they were.
      s.Form1->close();
      if (c.dialogOff) QCOMPARE(IniValue(s, "Form", "F2_X"), std::string("9000"));
      if (!c.dialogOff) QCOMPARE(IniValue(s, "Form", "F1_W") + "x" + IniValue(s, "Form", "F1_H"), std::string("5000x4000"));
    }
  }

  void fitOnScreensMovesOnlyWhatCannotBeReached() {
    const QList<QRect> two = {QRect(0, 0, 1000, 700), QRect(1000, 0, 800, 600)};
    const QSize minimum(320, 200);
    const QMargins frame(4, 30, 4, 4);
    struct Case {
      const char* what;
      QRect window;
      QRect expected;
    } cases[] = {
        {"inside the primary screen: unchanged", QRect(192, 107, 696, 478), QRect(192, 107, 696, 478)},
        {"on the second screen: unchanged", QRect(1100, 100, 500, 400), QRect(1100, 100, 500, 400)},
        {"partly off but its title bar shows: unchanged", QRect(900, 500, 500, 400), QRect(900, 500, 500, 400)},
        {"far left and up: onto the nearest screen", QRect(-5000, -5000, 400, 300), QRect(4, 30, 400, 300)},
        {"right of the second screen: onto it", QRect(2500, 100, 400, 300), QRect(1396, 100, 400, 300)},
        {"below both: onto the nearer", QRect(1200, 2000, 400, 300), QRect(596, 396, 400, 300)},
        {"larger than its screen: shrunk to it", QRect(100, 50, 1400, 900), QRect(4, 30, 992, 666)},
        {"title bar above the screen: moved down", QRect(300, -200, 400, 300), QRect(300, 30, 400, 300)},
    };
    for (const Case& c : cases) QCOMPARE(plm::FitOnScreens(c.window, two, minimum, frame), c.expected);
    // A tiny screen cannot shrink the window below its minimum; no screens: unchanged.
    QCOMPARE(plm::FitOnScreens(QRect(0, 0, 696, 478), {QRect(0, 0, 200, 150)}, minimum).size(), minimum);
    QCOMPARE(plm::FitOnScreens(QRect(-9, -9, 5, 5), {}, minimum), QRect(-9, -9, 5, 5));
  }

  void tabLeavesTheListAndShiftCtrlEndHomeExtendTheRows() {
    plm::ScopedTempFolder dir("plm-desktop-");
    for (int i = 0; i < 40; ++i) WriteText(dir.Path() / ("f" + std::to_string(100 + i) + ".txt"), "x");
    Session s;
    plmtest::FakeKeyState keys;
    StartListing(s, keys, dir.Path());
    QTableView* grid = Grid(s);
    QCOMPARE(grid->model()->rowCount(), 40);
    s.Form1->activateWindow();
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());

    grid->setCurrentIndex(grid->model()->index(5, 2));
    QTest::keyClick(grid, Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(SelectedRows(grid).size(), 35);
    QCOMPARE(SelectedRows(grid).front(), 5);
    QCOMPARE(SelectedRows(grid).back(), 39);
    QTest::keyClick(grid, Qt::Key_Home, Qt::ShiftModifier | Qt::ControlModifier);
    QCOMPARE(SelectedRows(grid), (QList<int>{0, 1, 2, 3, 4, 5}));
    // Without Shift, Ctrl+End only moves.
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(grid->currentIndex().row(), 39);

    // Tab and Shift+Tab leave the list, however many cells it has.
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(!grid->hasFocus());
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(!grid->hasFocus());
  }

  void settingsDialogAnswersPlainYAndN() {
    Session s;
    s.WriteIni("[JWW]\nC2=1\n");
    s.Start();
    auto open = [&] {
      s.Form2->open();
      QVERIFY(QTest::qWaitForWindowExposed(s.Form2));
    };
    open();
    QTest::keyClick(s.Form2->CheckBox(1), Qt::Key_Space);  // box 1 on, focus stays on a box
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
    QTRY_VERIFY(!s.Form2->isVisible());
    QVERIFY(!s.Form1->State().Options.ZeroTypeSpacing);

    open();
    QTest::keyClick(s.Form2->CheckBox(4), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y);
    QTRY_VERIFY(!s.Form2->isVisible());
    QVERIFY(s.Form1->State().Options.ZeroFreeSpacing);
    QVERIFY(s.Form1->State().Options.ChangeBlockTexts);

    // With Ctrl the letter is not an answer.
    open();
    QTest::keyClick(s.Form2, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(s.Form2->isVisible());
    s.Form2->reject();
  }

  void treeKeysListTheFolderTheyReach() {
    plm::ScopedTempFolder dir("plm-desktop-");
    for (const char* f : {"a", "b"}) fs::create_directories(dir.Path() / f);
    WriteText(dir.Path() / "a" / "in-a.txt", "x");
    WriteText(dir.Path() / "b" / "in-b.txt", "x");
    WriteText(dir.Path() / "top.txt", "x");
    Session s;
    plmtest::FakeKeyState keys;
    s.Start();
    s.Form1->SetKeyState(&keys);
    s.Dialogs.setNextFolder(Slashed(dir.Path()));
    QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
    QTreeWidget* tree = Tree(s);
    tree->setFocus();

    tree->setCurrentItem(tree->topLevelItem(0));
    QVERIFY(!s.Form1->FileListShown());  // choosing by program lists nothing
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(Names(s), (QStringList{"top.txt"}));
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(Names(s), (QStringList{"in-a.txt"}));
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(Names(s), (QStringList{"in-b.txt"}));
    QCOMPARE(s.Form1->StatusText(), Q("1 Files  パス名「" + Slashed(dir.Path()) + "b/」"));
    QTest::keyClick(tree, Qt::Key_Home);
    QCOMPARE(Names(s), (QStringList{"top.txt"}));
  }

  void namesSortByTheirCodePage932Bytes() {
    plm::ScopedTempFolder dir("plm-desktop-");
    // UTF-8 puts 敷 (E6 95 B7) before 旧 (E6 97 A7) and half-width ｱ (EF BD B1) after
    // both; code page 932 puts 旧 (8B 8C) before 敷 (95 7E) and ｱ (B1) after them.
    for (const char* n : {"敷地図.jww", "旧図面.jww", "b.jww", "ｱ.jww", "A.jww"}) WriteText(dir.Path() / n, "x");
    Session s;
    plmtest::FakeKeyState keys;
    StartListing(s, keys, dir.Path());
    QHeaderView* header = Grid(s)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2));
    const QStringList ascending{"A.jww", "b.jww", "旧図面.jww", "敷地図.jww", "ｱ.jww"};
    QCOMPARE(Names(s), ascending);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2));
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    QCOMPARE(Names(s), descending);
  }

  void listHelpsTooltipsNarrowSizesScrollAndNoOpener() {
    plm::ScopedTempFolder dir("plm-desktop-");
    const std::string longName = std::string(80, 'n') + ".txt";
    WriteText(dir.Path() / longName, std::string(123456, 'x'));
    fs::create_directories(dir.Path() / (std::string(60, 'd') + "フォルダ"));
    Session s;
    plmtest::FakeKeyState keys;
    StartListing(s, keys, dir.Path());
    const plm::FileTableModel& model = s.Form1->FileTable();

    // The whole name as a tooltip, in the list and in the tree.
    QCOMPARE(model.data(model.index(0, 0), Qt::ToolTipRole).toString(), Q(longName));
    QTreeWidgetItem* child = Tree(s)->topLevelItem(0)->child(0);
    QCOMPARE(child->toolTip(0), child->text(0));

    // A size column narrower than its padding still shows the digits, right-aligned.
    Grid(s)->horizontalHeader()->resizeSection(1, 50);
    QCOMPARE(model.data(model.index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("123456"));
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignRight | Qt::AlignVCenter);

    // Listing again starts at the list's left edge.
    Grid(s)->horizontalHeader()->resizeSection(3, 2000);
    QScrollBar* sideways = Grid(s)->horizontalScrollBar();
    QTRY_VERIFY(sideways->maximum() > 0);
    sideways->setValue(sideways->maximum());
    QVERIFY(sideways->value() > 0);
    QTreeWidget* tree = Tree(s);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(0)).center());
    QCOMPARE(sideways->value(), 0);

    // A double click that no program can open says so.
    std::string opened;
    s.Form1->FileList().OpenFile = [&](const std::string& path) {
      opened = path;
      return false;
    };
    QTableView* grid = Grid(s);
    const QPoint cell = grid->visualRect(model.index(0, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(opened, Slashed(dir.Path()) + longName);
    QCOMPARE(s.Form1->StatusText(), Q(plm::texts::kNoOpener));
  }

  void onlyTheSaveFolderChooserMayCreateAFolder() {
    Session s;
    s.Start();
    s.Find<QPushButton>("Button3")->click();
    s.Find<QLineEdit>("Edit1");
    QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
    QCOMPARE(s.Dialogs.Folders.size(), size_t(2));
    QCOMPARE(s.Dialogs.Folders[0].Use, plm::FolderUse::Save);
    QCOMPARE(s.Dialogs.Folders[1].Use, plm::FolderUse::Search);
    for (plm::FolderUse use : {plm::FolderUse::Save, plm::FolderUse::Search}) {
      QFileDialog dialog;
      plm::ConfigureFolderDialog(dialog, use);
      QCOMPARE(dialog.testOption(QFileDialog::ReadOnly), use == plm::FolderUse::Search);
      QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
    }
  }
};

PLM_UI_TEST(DesktopTest);

#include "Desktop_test.moc"
