// The settings dialog edits the switches only through OK, and only to 0 or 1.
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "uitest.h"

namespace {

using plmtest::Session;

std::array<bool, 4> Switches(const Session& s) {
  const plm::ConversionSwitches& o = s.Form1->State().Options;
  return {o.ZeroTypeSpacing, o.ZeroFreeSpacing, o.ChangeDimensionValues, o.ChangeBlockTexts};
}

std::array<bool, 4> Boxes(const Session& s) {
  return {s.Form2->CheckBox(1)->isChecked(), s.Form2->CheckBox(2)->isChecked(),
          s.Form2->CheckBox(3)->isChecked(), s.Form2->CheckBox(4)->isChecked()};
}

void Open(const Session& s) {
  s.Form2->open();
  QVERIFY(QTest::qWaitForWindowExposed(s.Form2));
}

}  // namespace

class SwitchesDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void okStoresOneForAStoredFiveAndWritesIt() {
    Session s;
    s.WriteIni("[JWW]\nC1=5\n");
    s.Start();
    QCOMPARE(Switches(s), (std::array<bool, 4>{true, false, false, false}));

    // Through the real button: the dialog runs modally until OK is pressed.
    bool seen = false;
    QTimer::singleShot(0, [&] {
      seen = s.Form2->isVisible() && Boxes(s) == std::array<bool, 4>{true, false, false, false};
      QTest::mouseClick(s.Form2->CheckBox(3), Qt::LeftButton);
      QTest::mouseClick(s.Form2->findChild<QPushButton*>("Button3"), Qt::LeftButton);
    });
    QTest::mouseClick(s.Find<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(seen);
    QVERIFY(!s.Form2->isVisible());
    QCOMPARE(Switches(s), (std::array<bool, 4>{true, false, true, false}));

    s.Form1->close();
    const std::string ini = s.ReadIni();
    QVERIFY(ini.find("[JWW]\nC1=1\nC2=0\nC3=1\nC4=0\n") != std::string::npos);
  }

  void enterActsAsOk() {
    Session s;
    s.Start();
    Open(s);
    QTest::keyClick(s.Form2->CheckBox(4), Qt::Key_Space);
    QTest::keyClick(s.Form2, Qt::Key_Return);
    QTRY_VERIFY(!s.Form2->isVisible());
    QCOMPARE(Switches(s), (std::array<bool, 4>{false, false, false, true}));
  }

  void cancelEscapeAndCloseChangeNothing() {
    Session s;
    s.WriteIni("[JWW]\nC2=1\n");
    s.Start();
    const std::array<bool, 4> before{false, true, false, false};
    const std::array<bool, 4> shown{false, true, false, false};

    Open(s);
    QCOMPARE(Boxes(s), shown);
    QTest::mouseClick(s.Form2->CheckBox(1), Qt::LeftButton);
    QVERIFY(s.Form2->CheckBox(1)->isChecked());
    QTest::mouseClick(s.Form2->findChild<QPushButton*>("Button4"), Qt::LeftButton);
    QTRY_VERIFY(!s.Form2->isVisible());
    QCOMPARE(Switches(s), before);

    Open(s);
    QCOMPARE(Boxes(s), shown);  // the change before Cancel is forgotten
    QTest::mouseClick(s.Form2->CheckBox(2), Qt::LeftButton);
    QVERIFY(!s.Form2->CheckBox(2)->isChecked());
    QTest::keyClick(s.Form2, Qt::Key_Escape);
    QTRY_VERIFY(!s.Form2->isVisible());
    QCOMPARE(Switches(s), before);

    Open(s);
    QTest::mouseClick(s.Form2->CheckBox(3), Qt::LeftButton);
    QVERIFY(s.Form2->CheckBox(3)->isChecked());
    s.Form2->close();  // the title-bar button
    QTRY_VERIFY(!s.Form2->isVisible());
    QCOMPARE(Switches(s), before);
  }

  void focusStartsAtBoxThreeAndFollowsTheTabOrder() {
    Session s;
    s.Start();
    Open(s);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(s.Form2->CheckBox(3)));
    QStringList order;
    for (int i = 0; i < 6; ++i) {
      order << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, (QStringList{"CheckBox3", "CheckBox4", "Button3", "Button4", "CheckBox1", "CheckBox2"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("CheckBox3"));
    s.Form2->reject();
  }

  void dialogIsFixedAndTextsFit() {
    Session s;
    s.Start();
    Open(s);
    QCOMPARE(s.Form2->size(), QSize(633, 204));
    QCOMPARE(s.Form2->minimumSize(), s.Form2->maximumSize());
    // Every text fits its control inside the dialog.
    for (QWidget* w : s.Form2->findChildren<QWidget*>()) {
      QVERIFY2(s.Form2->rect().contains(w->geometry()), qPrintable(w->objectName()));
      QVERIFY2(w->sizeHint().width() <= w->width(), qPrintable(w->objectName()));
    }
    s.Form2->reject();
  }
};

PLM_UI_TEST(SwitchesDialogTest);

#include "SwitchesDialog_test.moc"
