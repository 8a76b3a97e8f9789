// What the window says after a batch: the count of failed files and the results
// dialog; names that are not UTF-8 shown decoded and converted under their own bytes;
// and the files converted are those listed, also when the folder was chosen by key.
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "shell/qt/DialogsQt.h"
#include "shell/qt/FileTableQt.h"
#include "tests/support/fake_keystate.h"
#include "uitest.h"

namespace {

namespace fs = std::filesystem;
using plmtest::Session;

// 敷地図.jww, 図面 and 変換後 in code page 932.
const std::string kSjisSiteName = "\x95\x7E\x92\x6E\x90\x7D.jww";
const std::string kSjisDrawings = "\x90\x7D\x96\xCA";
const std::string kSjisConverted = "\x95\xCF\x8A\xB7\x8C\xE3";

std::string Slashed(const fs::path& p) { return p.string() + "/"; }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

fs::path Corpus() {
  const fs::path corpus = fs::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "shared" / "corpus";
  return fs::is_directory(corpus) ? corpus : fs::path();
}

fs::path FirstCorpusDrawing() {
  std::vector<fs::path> found;
  for (const auto& e : fs::directory_iterator(Corpus()))
    if (e.path().extension() == ".jww") found.push_back(e.path());
  std::sort(found.begin(), found.end());
  return found.empty() ? fs::path() : found.front();
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> NamesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

QTreeWidget* Tree(const Session& s) { return s.Find<QTreeWidget>("TreeView1"); }
QTableView* Grid(const Session& s) { return s.Find<QTableView>("StringGrid1"); }

std::vector<std::string> RawNames(const Session& s) {
  std::vector<std::string> names;
  for (const auto& row : s.Form1->FileTable().Rows()) names.push_back(row[0]);
  std::sort(names.begin(), names.end());
  return names;
}

void ChooseSearchFolder(Session& s, const fs::path& folder) {
  s.Dialogs.setNextFolder(Slashed(folder));
  QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
}

void ChooseSaveFolder(Session& s, const std::string& folder) {
  s.Dialogs.setNextFolder(folder);
  QTest::mouseClick(s.Find<QPushButton>("Button3"), Qt::LeftButton);
}

void ClickNode(Session& s, QTreeWidgetItem* item) {
  QTreeWidget* tree = Tree(s);
  tree->scrollToItem(item);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

// Every row selected, 変換 pressed and the confirmation answered Yes.
void ConvertAllRows(Session& s) {
  Grid(s)->selectAll();
  s.Dialogs.setNextAnswer(plm::BoxAnswer::Yes);
  QTest::mouseClick(s.Find<QPushButton>("Button4"), Qt::LeftButton);
}

}  // namespace

class ResultsTest : public QObject {
  Q_OBJECT
 private slots:
  void aCutDrawingAmongGoodOnesIsCountedAndListed() {
    if (Corpus().empty()) QSKIP("corpus folder absent");
    plm::ScopedTempFolder dir("plm-results-");
    const fs::path src = dir.Path() / "src", out = dir.Path() / "out";
    fs::create_directories(src);
    fs::create_directories(out);
    const std::string drawing = ReadAll(FirstCorpusDrawing());
    std::ofstream(src / "a.jww", std::ios::binary) << drawing;
    std::ofstream(src / "b.jww", std::ios::binary) << drawing.substr(0, drawing.size() / 2);  // cut
    std::ofstream(src / "c.jww", std::ios::binary) << drawing;
    std::ofstream(src / "d.txt", std::ios::binary) << "notes";
    Session s;
    plmtest::FakeKeyState keys;
    s.Start();
    s.Form1->SetKeyState(&keys);
    ChooseSaveFolder(s, Slashed(out));
    ChooseSearchFolder(s, dir.Path());
    ClickNode(s, Tree(s)->topLevelItem(0)->child(1));  // src
    QHeaderView* header = Grid(s)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2));
    QCOMPARE(RawNames(s), (std::vector<std::string>{"a.jww", "b.jww", "c.jww", "d.txt"}));
    QCOMPARE(s.Form1->FileTable().Rows()[0][0], std::string("a.jww"));  // sorted by name
    s.Dialogs.Events.clear();
    ConvertAllRows(s);

    QCOMPARE(s.Form1->StatusText(), QStringLiteral("変換作業を完了しました。（失敗 1 件）"));
    QCOMPARE(s.Dialogs.Events, (std::vector<std::string>{"box", "results"}));  // after the batch, no beep
    QCOMPARE(s.Dialogs.Results.size(), size_t(1));
    const auto& shown = s.Dialogs.Results[0];
    QCOMPARE(shown.Summary, std::string("変換作業を完了しました。（失敗 1 件）\n変換 2 件、失敗 1 件、対象外 1 件"));
    QCOMPARE(shown.Lines.size(), size_t(4));
    QCOMPARE(shown.Lines[0].Name, std::string("b.jww"));  // the failure first
    QVERIFY(shown.Lines[0].Failed);
    QCOMPARE(shown.Lines[0].Outcome, std::string("失敗"));
    QVERIFY(shown.Lines[0].Detail.starts_with("読み込めませんでした: "));
    QVERIFY(shown.Lines[0].Detail.size() > std::string("読み込めませんでした: ").size());
    QCOMPARE(shown.Lines[1].Name, std::string("a.jww"));
    QCOMPARE(shown.Lines[1].Outcome, std::string("変換"));
    QCOMPARE(shown.Lines[3].Name, std::string("d.txt"));
    QCOMPARE(shown.Lines[3].Outcome, std::string("対象外"));
    QCOMPARE(NamesIn(out), (std::vector<std::string>{"a.jww", "c.jww"}));
    // The window keeps what became of each row handed on.
    QCOMPARE(s.Form1->LastBatch().Handed(), 3);
    QCOMPARE(s.Form1->LastBatch().Failed(), 1);

    // The next batch without a failure: the design's sentence alone, no dialog.
    std::filesystem::remove(src / "b.jww");
    ClickNode(s, Tree(s)->topLevelItem(0)->child(1));
    s.Dialogs.Events.clear();
    ConvertAllRows(s);
    QCOMPARE(s.Form1->StatusText(), QStringLiteral("変換作業を完了しました。"));
    QCOMPARE(s.Dialogs.Events, (std::vector<std::string>{"box"}));
    QCOMPARE(s.Dialogs.Results.size(), size_t(1));
  }

  void theResultsDialogShowsEveryLine() {
    const std::vector<plm::ResultLine> lines = {
        {"b.jww", "失敗", "読み込めませんでした: the file ends at byte 4113", true},
        {"敷地図.jww", "変換", "文字間隔 3 件を 0 にしました", false}};
    std::unique_ptr<QDialog> dialog(plm::MakeResultsDialog("変換作業を完了しました。（失敗 1 件）", lines, nullptr));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("変換結果"));
    QCOMPARE(dialog->findChild<QLabel*>("ResultsSummary")->text(), QStringLiteral("変換作業を完了しました。（失敗 1 件）"));
    auto* list = dialog->findChild<QTreeWidget*>("ResultsList");
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("ファイル名"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("読み込めませんでした: the file ends at byte 4113"));
    QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("敷地図.jww"));
    QVERIFY(list->topLevelItem(0)->foreground(0).color() != list->topLevelItem(1)->foreground(0).color());
    // OK closes it.
    dialog->show();
    QPushButton* ok = dialog->findChild<QPushButton*>();
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    ok->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
  }

  void codePage932NamesAreShownDecodedAndConvertedUnderTheirBytes() {
    if (Corpus().empty()) QSKIP("corpus folder absent");
    plm::ScopedTempFolder dir("plm-results-");
    const fs::path drawings = dir.Path() / kSjisDrawings;  // 図面, a folder from an archive
    const fs::path other = dir.Path() / "a";
    const fs::path out = dir.Path() / kSjisConverted;
    for (const fs::path& p : {drawings, other, out}) fs::create_directories(p);
    const std::string drawing = ReadAll(FirstCorpusDrawing());
    std::ofstream(drawings / kSjisSiteName, std::ios::binary) << drawing;
    std::ofstream(drawings / "敷地図.jww", std::ios::binary) << drawing;
    std::ofstream(other / "other.jww", std::ios::binary) << drawing;

    Session s;
    plmtest::FakeKeyState keys;
    s.Start();
    s.Form1->SetKeyState(&keys);
    ChooseSaveFolder(s, Slashed(out));
    QCOMPARE(s.Form1->SaveFolder, Slashed(out));
    QCOMPARE(s.Find<QLineEdit>("Edit2")->text(), Q(Slashed(dir.Path()) + "変換後/"));
    ChooseSearchFolder(s, dir.Path());

    // The tree shows the name decoded, in the locale's order, and keeps its bytes.
    QTreeWidget* tree = Tree(s);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    QCOMPARE(root->childCount(), 3);
    QCOMPARE(root->child(0)->text(0), QStringLiteral("a"));
    QStringList shown{root->child(1)->text(0), root->child(2)->text(0)};
    shown.sort();
    QCOMPARE(shown, (QStringList{"図面", "変換後"}));
    QTreeWidgetItem* drawingsNode = root->child(1)->text(0) == QStringLiteral("図面") ? root->child(1) : root->child(2);

    // Chosen by key: the list follows, and the batch converts what the list shows.
    tree->setFocus();
    tree->setCurrentItem(root->child(0));
    QTest::keyClick(tree, Qt::Key_Return);
    QCOMPARE(RawNames(s), (std::vector<std::string>{"other.jww"}));
    while (tree->currentItem() != drawingsNode) {
      QTreeWidgetItem* before = tree->currentItem();
      QTest::keyClick(tree, Qt::Key_Down);
      QVERIFY(tree->currentItem() != before);
    }
    QCOMPARE(s.Form1->SelectedFolderPath().value_or(""), Slashed(drawings));
    QCOMPARE(RawNames(s), (std::vector<std::string>{kSjisSiteName, "敷地図.jww"}));
    QCOMPARE(s.Form1->StatusText(), Q("2 Files  パス名「" + Slashed(dir.Path()) + "図面/」"));
    const plm::FileTableModel& model = s.Form1->FileTable();
    for (int r = 0; r < 2; ++r) {
      QCOMPARE(model.data(model.index(r, 0), Qt::DisplayRole).toString(), QStringLiteral("敷地図.jww"));
      QCOMPARE(model.data(model.index(r, 2), Qt::DisplayRole).toString(), QStringLiteral(".JWW"));
    }

    QStringList statuses;
    const auto sink = s.Form1->State().Status;
    s.Form1->State().Status = [&](const std::string& t) {
      statuses << Q(t);
      sink(t);
    };
    ConvertAllRows(s);
    s.Form1->State().Status = sink;
    QCOMPARE(s.Form1->StatusText(), QStringLiteral("変換作業を完了しました。"));
    QVERIFY(s.Dialogs.Results.empty());
    QCOMPARE(NamesIn(out), (std::vector<std::string>{kSjisSiteName, "敷地図.jww"}));
    QCOMPARE(ReadAll(out / kSjisSiteName), ReadAll(out / "敷地図.jww"));
    QVERIFY(NamesIn(other) == std::vector<std::string>{"other.jww"});
    QCOMPARE(statuses.size(), 2);
    for (const QString& status : statuses)
      QVERIFY2(status.contains(Q(Slashed(dir.Path()) + "図面/敷地図.jww」→「" + Slashed(dir.Path()) + "変換後/敷地図.jww")),
               qPrintable(status));

    // The save folder's bytes survive the settings file.
    s.Form1->close();
    Session again;
    std::filesystem::copy_file(s.IniPath(), again.IniPath());
    again.Start();
    QCOMPARE(again.Form1->SaveFolder, Slashed(out));
  }

  void aChosenFolderKeepsTheBytesOfItsName() {
    plm::ScopedTempFolder dir("plm-results-");
    const fs::path sjis = dir.Path() / kSjisDrawings / "sub";
    fs::create_directories(sjis);
    // The toolkit hands the chosen folder over as text with the name's bytes replaced.
    const QString asText = QFile::decodeName(QByteArray::fromStdString(sjis.string()));
    QVERIFY(asText.contains(QChar(QChar::ReplacementCharacter)));
    QCOMPARE(plm::LocalPathBytes(asText), sjis.string());
    QCOMPARE(plm::LocalPathBytes(QFile::decodeName(QByteArray::fromStdString(Slashed(sjis)))), Slashed(sjis));
    // A path that does not exist stays as the toolkit spelled it.
    QCOMPARE(plm::LocalPathBytes(QStringLiteral("/no/such/図面")), std::string("/no/such/図面"));

    // Handed to the desktop to open, a file keeps its bytes in the URL.
    QCOMPARE(plm::LocalFileUrl("/d/" + kSjisSiteName).toEncoded(), QByteArray("file:///d/%95~%92n%90%7D.jww"));
    QCOMPARE(plm::LocalFileUrl("/d/敷地図 1.jww"), QUrl::fromLocalFile(QStringLiteral("/d/敷地図 1.jww")));
  }
};

PLM_UI_TEST(ResultsTest);

#include "Results_test.moc"
