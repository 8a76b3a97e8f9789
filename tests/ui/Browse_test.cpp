// The folder tree, the file list and the batch command driven through the real window,
// with the folder chooser, the boxes and the ESC key answered by test doubles.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "tests/support/fake_keystate.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/KeyStateQt.h"
#include "uitest.h"

namespace {

namespace fs = std::filesystem;
using plmtest::Session;

std::string Slashed(const fs::path& p) { return p.string() + "/"; }

// The real drawings beside the project; empty when absent.
fs::path Corpus() {
  const fs::path here = fs::path(__FILE__).parent_path();  // tests/ui
  const fs::path corpus = here.parent_path().parent_path().parent_path() / "shared" / "corpus";
  return fs::is_directory(corpus) ? corpus : fs::path();
}

fs::path CorpusFile(const std::string& extension) {
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(Corpus()))
    if (e.path().extension() == extension) found.push_back(e.path());
  std::sort(found.begin(), found.end());
  return found.empty() ? fs::path() : found.front();
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

QTreeWidget* Tree(const Session& s) { return s.Find<QTreeWidget>("TreeView1"); }
QTableView* Grid(const Session& s) { return s.Find<QTableView>("StringGrid1"); }

// Chooses `folder` as the search folder through a click on Edit1.
void ChooseSearchFolder(Session& s, const fs::path& folder) {
  s.Dialogs.setNextFolder(Slashed(folder));
  QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
}

// The node reached by the names below the root.
QTreeWidgetItem* Node(const Session& s, const std::vector<QString>& names) {
  QTreeWidgetItem* item = Tree(s)->topLevelItem(0);
  for (const QString& name : names) {
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; item != nullptr && i < item->childCount(); ++i)
      if (item->child(i)->text(0) == name) next = item->child(i);
    item = next;
  }
  return item;
}

QStringList ChildNames(QTreeWidgetItem* item) {
  QStringList names;
  for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
  return names;
}

// A click on a tree node, as the user selects a folder.
void ClickNode(Session& s, QTreeWidgetItem* item) {
  QTreeWidget* tree = Tree(s);
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void ClickHeader(Session& s, int column) {
  QHeaderView* header = Grid(s)->horizontalHeader();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

QStringList Column(const Session& s, int column) {
  QStringList texts;
  const plm::FileTableModel& model = s.Form1->FileTable();
  for (int r = 0; r < model.rowCount(); ++r) texts << model.data(model.index(r, column), Qt::DisplayRole).toString();
  return texts;
}

QString Status(const Session& s) { return s.Form1->StatusText(); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

class BrowseTest : public QObject {
  Q_OBJECT
 private slots:
  void searchFolderWithoutSubFoldersAndAMissingFolder() {
    plm::ScopedTempFolder dir("plm-browse-");
    WriteText(dir.Path() / "file.JWW", "x");
    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    ChooseSearchFolder(s, dir.Path());

    QCOMPARE(s.Dialogs.Folders.size(), size_t{1});
    QCOMPARE(s.Dialogs.Folders[0].Title, std::string("検索フォルダの指定"));
    QCOMPARE(s.Dialogs.Folders[0].StartFolder, s.ProgramFolder());
    QCOMPARE(s.Find<QLineEdit>("Edit1")->text(), Q(Slashed(dir.Path())));
    QCOMPARE(Tree(s)->topLevelItemCount(), 1);
    QCOMPARE(Tree(s)->topLevelItem(0)->text(0), Q(Slashed(dir.Path())));
    QCOMPARE(Tree(s)->topLevelItem(0)->childCount(), 0);
    QVERIFY(Tree(s)->isEnabled());
    QVERIFY(s.Form1->FolderTreeReady());
    QVERIFY(!s.Form1->SearchAborted());
    QCOMPARE(Status(s), QString());
    QCOMPARE(s.Form1->FileTable().rowCount(), 1);  // the list is reduced to one empty row
    QVERIFY(s.Dialogs.Boxes.empty());

    // A cancelled chooser changes nothing, the status line included.
    s.Form1->SetStatusText("検索フォルダを指定して下さい。");
    QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
    QCOMPARE(Status(s), QStringLiteral("検索フォルダを指定して下さい。"));
    QCOMPARE(Tree(s)->topLevelItemCount(), 1);
    QCOMPARE(s.Form1->SearchFolder(), Slashed(dir.Path()));

    // A folder that is gone: the box, and the old tree stays.
    s.Dialogs.Events.clear();
    ChooseSearchFolder(s, dir.Path() / "gone");
    QCOMPARE(s.Dialogs.Events, (std::vector<std::string>{"folder", "beep", "box"}));
    QCOMPARE(s.Dialogs.Boxes.back().Kind, plm::BoxKind::Information);
    QCOMPARE(s.Dialogs.Boxes.back().Text, std::string("検索フォルダのディスクドライブの準備が出来ていません。"));
    QCOMPARE(Status(s), QStringLiteral("検索フォルダを指定して下さい。"));
    QCOMPARE(Tree(s)->topLevelItem(0)->text(0), Q(Slashed(dir.Path())));
    QVERIFY(s.Form1->FolderTreeReady());
  }

  void hiddenFoldersLeftOutChildrenSortedAndNodePaths() {
    plm::ScopedTempFolder dir("plm-browse-");
    for (const char* f : {"b", "a/x", "a/y", ".hidden/inner", "ro"}) fs::create_directories(dir.Path() / f);
    fs::permissions(dir.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    ChooseSearchFolder(s, dir.Path());
    fs::permissions(dir.Path() / "ro", fs::perms::owner_all);

    QCOMPARE(ChildNames(Tree(s)->topLevelItem(0)), (QStringList{"a", "b", "ro"}));
    QCOMPARE(ChildNames(Node(s, {"a"})), (QStringList{"x", "y"}));
    QVERIFY(keys.Queries > 0);  // ESC was asked

    QVERIFY(!s.Form1->SelectedFolderPath());
    ClickNode(s, Node(s, {"a", "y"}));
    QCOMPARE(s.Form1->SelectedFolderPath().value_or(""), Slashed(dir.Path()) + "a/y/");
    QCOMPARE(Status(s), Q("0 Files  パス名「" + Slashed(dir.Path()) + "a/y/」"));
    QVERIFY(!s.Form1->FileListShown());
    Tree(s)->setCurrentItem(Tree(s)->topLevelItem(0));
    QCOMPARE(s.Form1->SelectedFolderPath().value_or(""), Slashed(dir.Path()));
  }

  void escapeDuringTheSearchKeepsThePartialTree() {
    plm::ScopedTempFolder dir("plm-browse-");
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        fs::create_directories(dir.Path() / ("d" + std::to_string(i)) / ("e" + std::to_string(j)));
    Session s;
    s.Start();
    plmtest::FakeKeyState keys(4);
    s.Form1->SetKeyState(&keys);
    ChooseSearchFolder(s, dir.Path());

    QCOMPARE(Status(s), QStringLiteral("フォルダ検索を中断しました。"));
    QVERIFY(s.Form1->SearchAborted());
    QVERIFY(s.Form1->FolderTreeReady());
    QVERIFY(Tree(s)->isEnabled());
    int nodes = 0;
    for (QTreeWidgetItemIterator it(Tree(s)); *it; ++it) ++nodes;
    QVERIFY(nodes >= 1 && nodes < 1 + 5 + 25);
    // The partial tree is usable: its root lists.
    ClickNode(s, Tree(s)->topLevelItem(0));
    QCOMPARE(Status(s), Q("0 Files  パス名「" + Slashed(dir.Path()) + "」"));
  }

  void listWithFiltersAndAbort() {
    plm::ScopedTempFolder dir("plm-browse-");
    WriteText(dir.Path() / "A.JWW", "not a drawing");
    WriteText(dir.Path() / "B.jws", "JwsData");
    WriteText(dir.Path() / "C.txt", "12345");
    WriteText(dir.Path() / "noext", "");
    WriteText(dir.Path() / ".hidden.jww", "x");
    fs::create_directories(dir.Path() / "sub.jww");
    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    ChooseSearchFolder(s, dir.Path());
    ClickNode(s, Tree(s)->topLevelItem(0));

    const std::string path = Slashed(dir.Path());
    QCOMPARE(Status(s), Q("4 Files  パス名「" + path + "」"));
    QVERIFY(s.Form1->FileListShown());
    QStringList names = Column(s, 0);
    names.sort();
    QCOMPARE(names, (QStringList{"A.JWW", "B.jws", "C.txt", "noext"}));
    const int c = static_cast<int>(Column(s, 0).indexOf("C.txt"));
    QCOMPARE(s.Form1->FileTable().Rows()[static_cast<size_t>(c)][1], std::string("       5"));  // 64 px / 8
    QCOMPARE(Column(s, 1)[c], QStringLiteral("5"));  // shown right-aligned without the padding
    QCOMPARE(Column(s, 2)[c], QStringLiteral(".TXT"));
    QCOMPARE(Column(s, 2)[static_cast<int>(Column(s, 0).indexOf("noext"))], QString());

    // The four menu items set the filter and list again.
    struct { const char* action; QStringList rows; } filters[] = {
        {"MnuFileType3", {"B.jws"}}, {"MnuFileType2", {"A.JWW"}}, {"MnuFileType1", {"A.JWW", "B.jws"}},
        {"MnuFileType0", {"A.JWW", "B.jws", "C.txt", "noext"}}};
    for (const auto& f : filters) {
      s.Find<QAction>(f.action)->trigger();
      QStringList rows = Column(s, 0);
      rows.sort();
      QCOMPARE(rows, f.rows);
    }
    QCOMPARE(s.Find<QComboBox>("ComboBox1")->currentIndex(), 0);

    // The filter box lists again when the user picks an item.
    QComboBox* box = s.Find<QComboBox>("ComboBox1");
    box->setCurrentIndex(3);
    emit box->activated(3);
    QCOMPARE(Column(s, 0), (QStringList{"B.jws"}));
    QCOMPARE(Column(s, 3), (QStringList{""}));
    QCOMPARE(Status(s), Q("1 Files  パス名「" + path + "」"));

    // ESC held before the third file: two rows stay.
    box->setCurrentIndex(0);
    plmtest::FakeKeyState esc(2);
    s.Form1->SetKeyState(&esc);
    ClickNode(s, Tree(s)->topLevelItem(0));
    QCOMPARE(Status(s), QStringLiteral("検索を中断しました。"));
    QCOMPARE(s.Form1->FileTable().rowCount(), 2);
    QVERIFY(s.Form1->FileListShown());
  }

  void headerClicksSortNamesAndAttributeRelists() {
    plm::ScopedTempFolder dir("plm-browse-");
    for (const char* n : {"c.txt", "a.txt", "B.txt", "d.txt"}) WriteText(dir.Path() / n, n);
    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    ChooseSearchFolder(s, dir.Path());
    ClickNode(s, Tree(s)->topLevelItem(0));
    const QStringList listed = Column(s, 0);
    QCOMPARE(listed, (QStringList{"a.txt", "B.txt", "c.txt", "d.txt"}));  // name order from the start

    ClickHeader(s, 0);
    QCOMPARE(Column(s, 0), (QStringList{"a.txt", "B.txt", "c.txt", "d.txt"}));
    QVERIFY(s.Form1->SortDescending());
    ClickHeader(s, 0);
    QCOMPARE(Column(s, 0), (QStringList{"d.txt", "c.txt", "B.txt", "a.txt"}));
    QVERIFY(!s.Form1->SortDescending());
    ClickHeader(s, 5);
    QCOMPARE(Column(s, 0), listed);  // listed again, in name order
    QVERIFY(!s.Form1->SortDescending());
    QCOMPARE(Status(s), Q("4 Files  パス名「" + Slashed(dir.Path()) + "」"));

    // A narrower size column re-pads every size to its width.
    Grid(s)->horizontalHeader()->resizeSection(1, 40);
    const int digit = Grid(s)->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    QCOMPARE(s.Form1->FileTable().Rows()[0][1].size(), size_t(std::max(40 / std::max(digit, 3), 3)));
  }

  void batchChecksEachWithItsBox() {
    plm::ScopedTempFolder dir("plm-browse-");
    fs::create_directories(dir.Path() / "src");
    fs::create_directories(dir.Path() / "out");
    WriteText(dir.Path() / "src" / "A.JWW", "x");
    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    QPushButton* convert = s.Find<QPushButton>("Button4");

    auto expect = [&](std::vector<std::string> events, plm::BoxKind kind, const char* text, QString status) {
      QCOMPARE(s.Dialogs.Events, events);
      QCOMPARE(s.Dialogs.Boxes.back().Kind, kind);
      QCOMPARE(s.Dialogs.Boxes.back().Text, std::string(text));
      QCOMPARE(Status(s), status);
      s.Dialogs.Events.clear();
    };
    // 1. No tree.
    QTest::mouseClick(convert, Qt::LeftButton);
    expect({"beep", "box"}, plm::BoxKind::Error, "検索フォルダを指定して下さい。", "検索フォルダを指定して下さい。");
    QCOMPARE(s.Dialogs.Boxes.back().Buttons, plm::BoxButtons::Ok);
    // 2. A tree but no list: the status stays.
    ChooseSearchFolder(s, dir.Path());
    s.Dialogs.Events.clear();
    QTest::mouseClick(convert, Qt::LeftButton);
    expect({"beep", "box"}, plm::BoxKind::Error, "ファイル一覧が表示されていません。", QString());
    // 3. No save folder.
    ClickNode(s, Node(s, {"src"}));
    const QString listed = Status(s);
    QTest::mouseClick(convert, Qt::LeftButton);
    expect({"beep", "box"}, plm::BoxKind::Confirmation, "保存先フォルダを指定して下さい。", listed);
    QCOMPARE(s.Dialogs.Boxes.back().Buttons, plm::BoxButtons::Ok);
    // 4. The save folder is the source folder, spelled otherwise.
    s.Dialogs.setNextFolder(Slashed(dir.Path() / "out" / ".." / "src"));
    QTest::mouseClick(s.Find<QPushButton>("Button3"), Qt::LeftButton);
    s.Dialogs.Events.clear();
    QTest::mouseClick(convert, Qt::LeftButton);
    expect({"beep", "box"}, plm::BoxKind::Confirmation, "保存先フォルダとファイルのフォルダが同じになっています。", listed);
    QCOMPARE(s.Dialogs.Boxes.back().Buttons, plm::BoxButtons::Ok);
    // 5. Answering No changes no file.
    s.Dialogs.setNextFolder(Slashed(dir.Path() / "out"));
    QTest::mouseClick(s.Find<QPushButton>("Button3"), Qt::LeftButton);
    s.Dialogs.Events.clear();
    Grid(s)->selectAll();
    s.Dialogs.setNextAnswer(plm::BoxAnswer::No);
    QTest::mouseClick(convert, Qt::LeftButton);
    expect({"box"}, plm::BoxKind::Confirmation, "変換を開始します。よろしいですか？", QStringLiteral("変換作業をキャンセルしました。"));
    QCOMPARE(s.Dialogs.Boxes.back().Buttons, plm::BoxButtons::YesNo);
    QVERIFY(fs::is_empty(dir.Path() / "out"));
    QCOMPARE(ReadAll(dir.Path() / "src" / "A.JWW"), std::string("x"));
  }

  void batchConvertsTheSelectedJwwAndJwsRows() {
    if (Corpus().empty()) QSKIP("corpus folder absent");
    plm::ScopedTempFolder dir("plm-browse-");
    const fs::path src = dir.Path() / "src";
    const fs::path out = dir.Path() / "out";
    fs::create_directories(src);
    fs::create_directories(out);
    fs::copy_file(CorpusFile(".jww"), src / "a1.JWW");
    fs::copy_file(CorpusFile(".jws"), src / "a2.jws");
    WriteText(src / "a3.JWW", "JwsData not a drawing");  // fails the probe: a failed row
    fs::copy_file(CorpusFile(".jww"), src / "a4.BAK");
    WriteText(src / "a5.txt", "text");
    fs::copy_file(CorpusFile(".jws"), src / "a6.JWS");  // outside the selection
    const std::string input = ReadAll(src / "a1.JWW");

    Session s;
    s.Start();
    plmtest::FakeKeyState keys;
    s.Form1->SetKeyState(&keys);
    s.Dialogs.setNextFolder(Slashed(out));
    QTest::mouseClick(s.Find<QPushButton>("Button3"), Qt::LeftButton);
    ChooseSearchFolder(s, dir.Path());
    ClickNode(s, Node(s, {"src"}));
    ClickHeader(s, 0);  // by name: a1 .. a6
    QCOMPARE(Column(s, 0), (QStringList{"a1.JWW", "a2.jws", "a3.JWW", "a4.BAK", "a5.txt", "a6.JWS"}));

    // Rows 0 to 4 selected as a block, as a shift-click makes it.
    QTableView* grid = Grid(s);
    grid->selectionModel()->select(
        QItemSelection(grid->model()->index(0, 0), grid->model()->index(4, 5)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QStringList statuses;
    QLabel* label = s.Find<QLabel>("StatusBar1Text");
    s.Dialogs.setNextAnswer(plm::BoxAnswer::Yes);
    s.Form1->State().Status = [&](const std::string& t) {
      statuses << Q(t);
      s.Form1->SetStatusText(t);
      QCOMPARE(label->text(), Q(t));
    };
    QTest::mouseClick(s.Find<QPushButton>("Button4"), Qt::LeftButton);

    QCOMPARE(Status(s), QStringLiteral("変換作業を完了しました。（失敗 1 件）"));
    QCOMPARE(s.Dialogs.Results.size(), size_t(1));
    QCOMPARE(s.Dialogs.Results[0].Lines[0].Name, std::string("a3.JWW"));
    QCOMPARE(s.Dialogs.Results[0].Lines[0].Detail, std::string("図面ではありません"));
    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(out)) written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    QCOMPARE(written, (std::vector<std::string>{"a1.JWW", "a2.jws"}));
    QCOMPARE(statuses.size(), 2);
    // Which of the five selected rows is being converted, then the driver's sentence.
    QCOMPARE(statuses[0], Q("(1/5) ファイル「" + Slashed(src) + "a1.JWW」→「" + Slashed(out) + "a1.JWW」変換中です。"));
    QVERIFY(statuses[1].startsWith(QStringLiteral("(2/5) ファイル「")));
    QCOMPARE(ReadAll(src / "a1.JWW"), input);  // inputs stay as they were
    QVERIFY(!fs::exists(src / "a1.BAK"));
  }

  void keyStateSeesEscapeAndSwallowsInputWhileAsked() {
    plm::QtKeyState keys;
    QPushButton button(QStringLiteral("x"));
    button.show();
    QSignalSpy clicked(&button, &QPushButton::clicked);
    QVERIFY(!keys.EscapeHeld());

    // Events queued while the listing runs: ESC is noted, the click never lands.
    QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    const QPointF at(button.rect().center());
    QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonPress, at, button.mapToGlobal(at),
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonRelease, at, button.mapToGlobal(at),
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    QVERIFY(keys.EscapeHeld());
    QCOMPARE(clicked.count(), 0);
    QVERIFY(keys.EscapeHeld());  // still held: no release came

    QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier, {}, true));
    QVERIFY(keys.EscapeHeld());  // a key repeat's release is not a release
    QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
    QVERIFY(!keys.EscapeHeld());

    // ESC that closes a dialog: its release reaches no window of the program, but the
    // change of the active window ends the press.
    QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QVERIFY(keys.EscapeHeld());
    QCoreApplication::postEvent(&button, new QEvent(QEvent::WindowDeactivate));
    QVERIFY(!keys.EscapeHeld());
  }
};

PLM_UI_TEST(BrowseTest);

#include "Browse_test.moc"
