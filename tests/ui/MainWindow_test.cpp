// The main window started, used and closed as a user would, with the settings file
// checked before and after.
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "shell/qt/FileTableQt.h"
#include "shell/settings.h"
#include "uitest.h"

namespace {

using plmtest::Session;

std::string AllKeys(const std::string& fld1, const std::string& fld2, const std::string& ftyp,
                    const std::string& c) {
  return "[Form]\nF1_X=192\nF1_Y=107\nF1_W=696\nF1_H=478\nF2_X=192\nF2_Y=111\n\n"
         "[Comp]\nF1P1=160\nF1S0=64\nF1S1=64\nF1S2=64\nF1S3=64\nF1S4=64\nF1S5=64\n\n"
         "[Set]\nFLD1=" + fld1 + "\nFLD2=" + fld2 + "\nFTYP=" + ftyp + "\n\n"
         "[JWW]\nC1=" + c.substr(0, 1) + "\nC2=" + c.substr(1, 1) + "\nC3=" + c.substr(2, 1) +
         "\nC4=" + c.substr(3, 1) + "\n\n[Preview]\nSize=150\n";
}

int Column(const Session& s, int c) { return s.Find<QTableView>("StringGrid1")->horizontalHeader()->sectionSize(c); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void firstRunGivesDefaultsAndWritesEveryKey() {
    Session s;
    s.Start();
    QTRY_VERIFY(s.Form1->isVisible());
    plm::MainWindow& f = *s.Form1;
    QCOMPARE(f.geometry().topLeft(), QPoint(192, 107));
    QCOMPARE(f.size(), QSize(696, 478));
    QCOMPARE(s.Form2->geometry().topLeft(), QPoint(192, 111));
    QCOMPARE(s.Find<QWidget>("Panel1")->width(), 160);
    QCOMPARE(s.Find<QLineEdit>("Edit1")->width(), 160);
    for (int c = 0; c < 6; ++c) QCOMPARE(Column(s, c), 64);
    QCOMPARE(s.Find<QComboBox>("ComboBox1")->currentText(), QStringLiteral("全てのファイル(*.*)"));
    QVERIFY(f.State().Options == plm::ConversionSwitches{});
    QVERIFY(s.Find<QLineEdit>("Edit1")->text().isEmpty());
    QVERIFY(s.Find<QLineEdit>("Edit2")->text().isEmpty());
    QCOMPARE(f.SearchFolder(), s.ProgramFolder());
    QCOMPARE(f.StatusText(), QStringLiteral("検索フォルダを指定して下さい。"));
    QCOMPARE(f.FileTable().rowCount(), 4);
    QCOMPARE(f.FileTable().headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("図面メモ"));
    QVERIFY(std::filesystem::is_directory(s.Folder.Path() / "TEMP"));

    f.close();
    QCOMPARE(s.ReadIni(), AllKeys(s.ProgramFolder(), "", "0", "0000"));
    QVERIFY(!std::filesystem::exists(s.Folder.Path() / "TEMP"));
  }

  void storedValuesAreApplied() {
    Session s;
    s.WriteIni("[Form]\nF1_X=50\nF1_Y=60\nF1_W=640\nF1_H=400\nF2_X=70\nF2_Y=80\n"
               "[Comp]\nF1P1=120\nF1S3=99\n[Set]\nFLD1=/w/\nFLD2=/out/\nFTYP=2\n");
    s.Start();
    QCOMPARE(s.Form1->geometry().topLeft(), QPoint(50, 60));
    QCOMPARE(s.Form1->size(), QSize(640, 400));
    QCOMPARE(s.Form2->geometry().topLeft(), QPoint(70, 80));
    QCOMPARE(s.Find<QWidget>("Panel1")->width(), 120);
    QCOMPARE(Column(s, 3), 99);
    QCOMPARE(s.Form1->SearchFolder(), std::string("/w/"));
    QVERIFY(s.Find<QLineEdit>("Edit1")->text().isEmpty());  // shown only after a choice
    QCOMPARE(s.Find<QLineEdit>("Edit2")->text(), QStringLiteral("/out/"));
    QCOMPARE(s.Find<QComboBox>("ComboBox1")->currentIndex(), 2);
  }

  void switchTwoAloneFromJwwSection() {
    Session s;
    s.WriteIni("[JWW]\nC2=1\n");
    s.Start();
    const plm::ConversionSwitches& o = s.Form1->State().Options;
    QVERIFY(o == (plm::ConversionSwitches{false, true, false, false}));
  }

  void filterOutOfRangeLeavesNoSelection() {
    Session s;
    s.WriteIni("[Set]\nFTYP=7\n");
    s.Start();
    QCOMPARE(s.Find<QComboBox>("ComboBox1")->currentIndex(), -1);
    QVERIFY(s.Find<QComboBox>("ComboBox1")->currentText().isEmpty());
  }

  void invalidNumbersApplyAsZeroAndLongValuesAreCut() {
    Session s;
    const std::string longFolder = "/" + std::string(600, 'a') + "/";
    // F1P1 holds 22 bytes: the 21 kept read as 20.
    s.WriteIni("[Comp]\nF1P1=0000000000000000000200\nF1S2=12a\n[Set]\nFTYP=3x\nFLD1=" + longFolder +
               "\nFLD2=" + longFolder + "\n");
    s.Start();
    QCOMPARE(s.Find<QWidget>("Panel1")->width(), 20);
    QCOMPARE(Column(s, 2), 0);
    QCOMPARE(Column(s, 1), 64);
    QCOMPARE(s.Find<QComboBox>("ComboBox1")->currentIndex(), 0);
    QCOMPARE(s.Form1->SearchFolder(), longFolder.substr(0, 511));
    QCOMPARE(s.Form1->SaveFolder, longFolder.substr(0, 511));
    QCOMPARE(s.Find<QLineEdit>("Edit2")->text().size(), 511);
  }

  void exitAnsweredNoKeepsRunningAndWritesNothing() {
    Session s;
    s.Start();
    QAction* exit = s.Find<QAction>("MnuExit");
    exit->trigger();
    QCOMPARE(s.Dialogs.Boxes.size(), size_t(1));
    QCOMPARE(s.Dialogs.Boxes[0].Kind, plm::BoxKind::Confirmation);
    QCOMPARE(s.Dialogs.Boxes[0].Buttons, plm::BoxButtons::YesNo);
    QCOMPARE(s.Dialogs.Boxes[0].Text, std::string("終了します。よろしいですか？"));
    QVERIFY(s.Form1->isVisible());
    QVERIFY(!std::filesystem::exists(s.IniPath()));

    s.Dialogs.setNextAnswer(plm::BoxAnswer::Yes);
    exit->trigger();
    QTRY_VERIFY(!s.Form1->isVisible());
    QVERIFY(std::filesystem::exists(s.IniPath()));
  }

  void unknownLinesSurviveARun() {
    Session s;
    s.WriteIni("; kept comment\n[form]\nf1_x=10\nCustom=keep me\n[Other]\nKey=Value\n");
    s.Start();
    QCOMPARE(s.Form1->geometry().x(), 10);
    s.Form1->close();
    const std::string all = AllKeys(s.ProgramFolder(), "", "0", "0000");
    const std::string rest = all.substr(all.find("\n[Comp]"));
    QCOMPARE(s.ReadIni(), "; kept comment\n[form]\nf1_x=10\nCustom=keep me\nF1_Y=107\nF1_W=696\n"
                          "F1_H=478\nF2_X=192\nF2_Y=111\n[Other]\nKey=Value\n" + rest);
  }

  void saveFolderChoiceFillsEdit2() {
    Session s;
    s.WriteIni("[Set]\nFLD2=/old/\n");
    s.Start();
    auto* edit2 = s.Find<QLineEdit>("Edit2");

    QTest::mouseClick(s.Find<QPushButton>("Button3"), Qt::LeftButton);  // cancelled
    QCOMPARE(edit2->text(), QStringLiteral("/old/"));

    s.Dialogs.setNextFolder("/tmp/保存先/");
    s.Find<QAction>("MnuFileHFolder")->trigger();
    QCOMPARE(edit2->text(), QStringLiteral("/tmp/保存先/"));
    QCOMPARE(s.Form1->SaveFolder, std::string("/tmp/保存先/"));
    QCOMPARE(s.Dialogs.Folders.size(), size_t(2));
    QCOMPARE(s.Dialogs.Folders[0].Title, std::string("保存先フォルダの指定"));
    QCOMPARE(s.Dialogs.Folders[1].StartFolder, std::string("/old/"));
    QCOMPARE(s.Dialogs.Events, (std::vector<std::string>{"folder", "folder"}));  // no beep, no box

    s.Form1->close();
    QVERIFY(s.ReadIni().find("FLD2=/tmp/保存先/\n") != std::string::npos);
  }

  void userChangesAreWrittenOnClose() {
    Session s;
    s.Start();
    s.Find<QTableView>("StringGrid1")->horizontalHeader()->resizeSection(4, 130);
    s.Form1->setGeometry(40, 30, 800, 500);
    s.Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
    s.Form1->close();
    std::string text;
    QVERIFY(plm::IniReadString(s.IniPath(), "Comp", "F1S4", 22, text) && text == "130");
    QVERIFY(plm::IniReadString(s.IniPath(), "Form", "F1_X", 22, text) && text == "40");
    QVERIFY(plm::IniReadString(s.IniPath(), "Form", "F1_W", 22, text) && text == "800");
    QVERIFY(plm::IniReadString(s.IniPath(), "Set", "FTYP", 22, text) && text == "1");
  }
};

PLM_UI_TEST(MainWindowTest);

#include "MainWindow_test.moc"
