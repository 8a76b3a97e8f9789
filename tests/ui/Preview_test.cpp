// The preview pane below the file list: the drawing of one selected row with the texts
// the current switches change, a short reason otherwise, and its size in the settings.
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <limits>

#include "render/displaylist.h"
#include "shell/preview.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/PreviewPane.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "uitest.h"

namespace {

namespace fs = std::filesystem;
using plmtest::Session;

plm::Text Text(const std::string& cp932, double x, double y, double size, double spacing) {
  plm::Text t;
  t.Attr = plmtest::MakeAttr(1, 2);
  t.StartX = x, t.StartY = y;
  t.SizeX = t.SizeY = size;
  t.Spacing = spacing;
  t.FontName = "MS Gothic";
  t.Text = cp932;
  return t;
}

plm::Line Line(double x1, double y1, double x2, double y2) {
  plm::Line e;
  e.Attr = plmtest::MakeAttr(1, 1);
  e.StartX = x1, e.StartY = y1, e.EndX = x2, e.EndY = y2;
  return e;
}

// A JWW drawing with the given entities (and bound images from version 700), as file
// bytes.
std::vector<uint8_t> Drawing(const std::vector<plmtest::Entity>& entities, int32_t version = 600,
                             std::vector<plmtest::Image> images = {}) {
  plmtest::Body body;
  body.Entities = entities;
  body.Images = std::move(images);
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(version);
  bytes.append(plmtest::EncodeBody(body, version, version >= 700));
  return bytes.data();
}

// A frame, two free-size texts with negative spacing ("ABC" and the two double-byte
// characters 図面) and one with none.
std::vector<uint8_t> NegativeSpacingDrawing() {
  return Drawing({Line(0, 0, 100, 0), Line(100, 0, 100, 60), Line(100, 60, 0, 60), Line(0, 60, 0, 0),
                  Text("ABC", 10, 10, 8, -3), Text("\x90\x7d\x96\xca", 10, 30, 8, -4), Text("ok", 10, 45, 8, 0)});
}

std::string Slashed(const fs::path& p) { return p.string() + "/"; }

// Lists `folder` in the window: the search folder chosen through Edit1, then a click on
// the tree's first node.
void ListFolder(Session& s, const fs::path& folder) {
  s.Dialogs.setNextFolder(Slashed(folder));
  QTest::mouseClick(s.Find<QLineEdit>("Edit1"), Qt::LeftButton);
  QTreeWidget* tree = s.Find<QTreeWidget>("TreeView1");
  QVERIFY(tree->topLevelItemCount() == 1);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(0)).center());
}

int RowOf(const Session& s, const std::string& name) {
  const auto& rows = s.Form1->FileTable().Rows();
  for (size_t r = 0; r < rows.size(); ++r)
    if (rows[r][0] == name) return static_cast<int>(r);
  return -1;
}

void SelectRows(Session& s, int top, int bottom) {
  QTableView* grid = s.Find<QTableView>("StringGrid1");
  grid->selectionModel()->select(QItemSelection(grid->model()->index(top, 0), grid->model()->index(bottom, 5)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Selects the row of `name` and waits until the pane has what it asked for.
plm::PreviewPane& Preview(Session& s, const std::string& name) {
  const int row = RowOf(s, name);
  [&] { QVERIFY2(row >= 0, name.c_str()); }();
  SelectRows(s, row, row);
  plm::PreviewPane& pane = s.Form1->Preview();
  [&] { QTRY_VERIFY_WITH_TIMEOUT(!pane.Busy(), 10000); }();
  return pane;
}

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Pixels of the canvas that are neither white nor near it.
int InkedPixels(plm::PreviewPane& pane) {
  QWidget* canvas = pane.findChild<QWidget*>(QStringLiteral("PreviewCanvas"));
  const QImage image = canvas->grab().toImage();
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 200) ++n;
  return n;
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT
 private slots:
  void singleRowShowsTheDrawingWithItsChangedTexts() {
    plm::ScopedTempFolder dir("plm-preview-");
    plmtest::WriteFileBytes(dir.Path() / "neg.JWW", NegativeSpacingDrawing());
    Session s;
    s.WriteIni("[JWW]\nC2=1\n");  // free-size texts on
    s.Start();
    ListFolder(s, dir.Path());
    plm::PreviewPane& pane = Preview(s, "neg.JWW");

    const plm::PreviewResult* r = pane.Result();
    QVERIFY(r != nullptr && r->Ok);
    QCOMPARE(pane.CountText(), Q("負の文字間隔: 2 件（変換で 0 に）"));
    QCOMPARE(r->Current.Segments.size(), size_t{4});
    QCOMPARE(r->Current.Texts.size(), size_t{3});
    const std::vector<bool> marked = {r->Current.Texts[0].Marked, r->Current.Texts[1].Marked, r->Current.Texts[2].Marked};
    QCOMPARE(marked, (std::vector<bool>{true, true, false}));
    // As it is, the cells of "ABC" overlap; as written they stand side by side.
    QCOMPARE(r->Current.Texts[0].Cells[1].X, 4.0 - 1.5);
    QCOMPARE(r->Written.Texts[0].Cells[1].X, 4.0);
    QCOMPARE(r->Written.Texts[1].Cells[1].X, 8.0);
    QVERIFY(InkedPixels(pane) > 200);

    // Dragging moves the picture; a double click fits it again.
    QWidget* canvas = pane.findChild<QWidget*>(QStringLiteral("PreviewCanvas"));
    const QImage fitted = canvas->grab().toImage();
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(50, 30));
    QMouseEvent move(QEvent::MouseMove, QPointF(90, 30), canvas->mapToGlobal(QPointF(90, 30)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);
    const QImage dragging = canvas->grab().toImage();
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(90, 30));
    const QImage moved = canvas->grab().toImage();
    QVERIFY(moved != fitted);
    QCOMPARE(dragging, moved);  // the picture of the drag start, shifted, is what a fresh paint gives
    QTest::mouseDClick(canvas, Qt::LeftButton, {}, QPoint(90, 30));
    QCOMPARE(canvas->grab().toImage(), fitted);

    pane.SetShowWritten(true);
    QVERIFY(pane.ShowsWritten());
    QVERIFY(InkedPixels(pane) > 200);

    // Switches changed in the settings dialog mark the drawing again.
    QTimer::singleShot(0, [&] {
      QTest::mouseClick(s.Form2->CheckBox(2), Qt::LeftButton);
      QTest::mouseClick(s.Form2->findChild<QPushButton*>("Button3"), Qt::LeftButton);
    });
    QTest::mouseClick(s.Find<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(!s.Form1->State().Options.ZeroFreeSpacing);
    QTRY_VERIFY_WITH_TIMEOUT(!pane.Busy(), 10000);
    QCOMPARE(pane.CountText(), Q("負の文字間隔: 0 件（変換で 0 に）"));
    QVERIFY(!pane.Result()->Current.Texts[0].Marked);
    QVERIFY(pane.ShowsWritten());  // the chosen view stays
  }

  void emptyWithAReasonForWhatCannotBeShown() {
    plm::ScopedTempFolder dir("plm-preview-");
    std::vector<uint8_t> bytes = NegativeSpacingDrawing();
    plmtest::WriteFileBytes(dir.Path() / "a.JWW", bytes);
    bytes.resize(bytes.size() * 2 / 3);
    plmtest::WriteFileBytes(dir.Path() / "cut.JWW", bytes);
    plmtest::WriteFileBytes(dir.Path() / "note.txt", {'h', 'e', 'l', 'l', 'o'});
    plmtest::WriteFileBytes(dir.Path() / "b.BAK", NegativeSpacingDrawing());
    Session s;
    s.Start();
    plm::PreviewPane& pane = s.Form1->Preview();
    QCOMPARE(pane.ReasonText(), Q(plm::previewtexts::kNoSelection));
    ListFolder(s, dir.Path());

    Preview(s, "note.txt");
    QVERIFY(pane.Result() == nullptr);
    QCOMPARE(pane.ReasonText(), Q(plm::previewtexts::kNotADrawing));
    QVERIFY(pane.CountText().isEmpty());

    Preview(s, "cut.JWW");
    QVERIFY(pane.Result() == nullptr);
    QVERIFY2(pane.ReasonText().startsWith(Q(plm::previewtexts::kCannotRead)), qPrintable(pane.ReasonText()));
    QVERIFY(pane.ReasonText().size() > Q(plm::previewtexts::kCannotRead).size());  // the reader's reason
    QVERIFY(InkedPixels(pane) > 0);  // the reason is drawn

    // A drawing under a name the batch does not convert is shown, and says so.
    Preview(s, "b.BAK");
    QVERIFY(pane.Result() != nullptr);
    QVERIFY(pane.CountText().endsWith(Q(plm::previewtexts::kNotConverted)));

    Preview(s, "a.JWW");
    QVERIFY(pane.Result() != nullptr);
    SelectRows(s, 0, 1);
    QVERIFY(pane.Result() == nullptr);
    QCOMPARE(pane.ReasonText(), Q(plm::previewtexts::kManyRows));

    // A new listing leaves nothing selected.
    Preview(s, "a.JWW");
    s.Form1->ListFiles(Slashed(dir.Path()));
    QVERIFY(pane.Result() == nullptr);
    QCOMPARE(pane.ReasonText(), Q(plm::previewtexts::kNoSelection));
  }

  void aNewerSelectionWinsOverAnOlderLoad() {
    plm::ScopedTempFolder dir("plm-preview-");
    plmtest::WriteFileBytes(dir.Path() / "a.JWW", NegativeSpacingDrawing());
    plmtest::WriteFileBytes(dir.Path() / "b.JWW", Drawing({Line(0, 0, 1, 1)}));
    Session s;
    s.Start();
    ListFolder(s, dir.Path());
    // Both asked for at once: only the second is shown.
    SelectRows(s, RowOf(s, "a.JWW"), RowOf(s, "a.JWW"));
    SelectRows(s, RowOf(s, "b.JWW"), RowOf(s, "b.JWW"));
    plm::PreviewPane& pane = s.Form1->Preview();
    QTRY_VERIFY_WITH_TIMEOUT(!pane.Busy(), 10000);
    QTest::qWait(50);  // an older result still on its way would land now
    QVERIFY(pane.Result() != nullptr);
    QCOMPARE(pane.Result()->Current.Segments.size(), size_t{1});
    QVERIFY(pane.Path().ends_with("b.JWW"));
  }

  void boundImagesGoToAPrivateFolderThatIsRemoved() {
    plm::ScopedTempFolder dir("plm-preview-");
    plm::ScopedTempFolder tmp("plm-preview-tmp-");
    plmtest::WriteFileBytes(dir.Path() / "img.JWW", Drawing({Text("^@BM%temp%p.bmp,0", 0, 0, 5, -1), Line(0, 0, 9, 9)},
                                                            700, {{"p.bmp", 5, {1, 2, 3, 4, 5}}}));
    Session s;
    s.Start();
    ListFolder(s, dir.Path());
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.Path().string()));
    plm::PreviewPane& pane = Preview(s, "img.JWW");
    qputenv("TMPDIR", oldTmp);
    QVERIFY(pane.Result() != nullptr);
    QVERIFY(fs::is_empty(tmp.Path()));                         // the private folder is gone
    QVERIFY(fs::is_empty(s.Folder.Path() / "TEMP"));          // the window's folder never saw the image
    QVERIFY(s.Form1->State().Images.TempImageFiles.empty());  // nor its list
  }

  void absurdGeometryAtAnyZoomPaintsAndReturns() {
    plm::ScopedTempFolder dir("plm-preview-");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    plmtest::WriteFileBytes(dir.Path() / "odd.JWW",
                            Drawing({Line(-1e9, -1e9, 1e9, 1e9), Line(0, 0, nan, 5), Line(0, 0, 1e300, 1),
                                     Line(-1e9, 1e9, 1e9, -1e9), Text("ABC", 0, 0, 1e8, -1e7), Text("x", 0, 0, 0, -1),
                                     Text("y", 0, 0, -5, -1), Text("z", nan, 0, 2, -1), Text("w", 1, 1, 1e-6, -1)}));
    Session s;
    s.WriteIni("[JWW]\nC2=1\n");
    s.Start();
    ListFolder(s, dir.Path());
    plm::PreviewPane& pane = Preview(s, "odd.JWW");
    QVERIFY(pane.Result() != nullptr);
    QVERIFY2(pane.CountText().contains(Q("描画できなかった要素")), qPrintable(pane.CountText()));
    QWidget* canvas = pane.findChild<QWidget*>(QStringLiteral("PreviewCanvas"));
    // Zoomed far in around the middle, then far out; every step paints.
    const QPointF at(canvas->width() / 2.0, canvas->height() / 2.0);
    for (int step = 0; step < 80; ++step) {
      const int delta = step < 60 ? 120 : -120 * 4;
      QWheelEvent wheel(at, canvas->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QCoreApplication::sendEvent(canvas, &wheel);
      canvas->grab();
    }
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(canvas, QPoint(60, 40));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(60, 40));
    canvas->grab();
  }

  void sizeIsKeptInItsOwnSection() {
    {
      Session s;
      s.Start();
      QVERIFY(QTest::qWaitForWindowExposed(s.Form1.get()));
      QSplitter* split = s.Find<QSplitter>("Splitter2");
      QCOMPARE(split->sizes().value(1), 150);
      s.Form1->close();
      QVERIFY(s.ReadIni().ends_with("[JWW]\nC1=0\nC2=0\nC3=0\nC4=0\n\n[Preview]\nSize=150\n"));
    }
    {
      Session s;
      s.WriteIni("[Preview]\nSize=97\n");
      s.Start();
      QVERIFY(QTest::qWaitForWindowExposed(s.Form1.get()));
      QSplitter* split = s.Find<QSplitter>("Splitter2");
      QCOMPARE(split->sizes().value(1), 97);
      QCOMPARE(split->sizes().value(0) + split->handleWidth() + 97, split->height());
      split->setSizes({split->height() - split->handleWidth() - 80, 80});
      s.Form1->close();
      const std::string ini = s.ReadIni();
      QVERIFY2(ini.starts_with("[Preview]\nSize=80\n"), ini.c_str());
    }
    {
      Session s;  // folded away, and garbage read as 0
      s.WriteIni("[Preview]\nSize=x\n");
      s.Start();
      QCOMPARE(s.Find<QSplitter>("Splitter2")->sizes().value(1), 0);
    }
  }
};

PLM_UI_TEST(PreviewTest);

#include "Preview_test.moc"
