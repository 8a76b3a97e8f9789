#include "shell/Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/dialogs.h"
#include "shell/FileTableQt.h"
#include "shell/Unit2.h"
#include "shell/UnitIni.h"

namespace plm {
namespace {

constexpr int kInitialPanelWidth = 160;
constexpr int kInitialEmptyRows = 4;  // the grid starts as header and four empty rows

QString PathText(const std::string& path) { return QFile::decodeName(path.c_str()); }

QAction* AddItem(QMenu* menu, const char* name, const char* text) {
  QAction* action = menu->addAction(QString::fromUtf8(text));
  action->setObjectName(QString::fromUtf8(name));
  return action;
}

}  // namespace

QFont FormFont(int pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixelSize);
  return font;
}

TForm1::TForm1(Dialogs& dialogs, std::string programFolder, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), programFolderOverride_(std::move(programFolder)) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Pallimo Ver.1.01"));
  setFont(FormFont(12));
  // A stored size of 0 (or garbage read as 0) must not leave an unreachable window.
  setMinimumSize(320, 200);
  move(192, 107);
  resize(696, 478);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("Splitter1"));
  splitter_->setHandleWidth(3);
  splitter_->setChildrenCollapsible(false);
  CreatePanel1();
  auto* right = new QWidget(splitter_);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);
  rightLayout->addWidget(CreateTopStrip());
  CreateStringGrid();
  rightLayout->addWidget(StringGrid1, 1);
  splitter_->addWidget(Panel1);
  splitter_->addWidget(right);
  splitter_->setStretchFactor(0, 0);  // the panel keeps its width when the window resizes
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kInitialPanelWidth, 696 - kInitialPanelWidth});
  setCentralWidget(splitter_);

  CreateMainMenu();
  CreateStatusBar();
  state_.Status = [this](const std::string& text) { SetStatusText(text); };
}

TForm1::~TForm1() = default;

void TForm1::CreatePanel1() {
  // Children are placed by Panel1Resize, which keeps Edit1 as wide as the panel.
  Panel1 = new QWidget(splitter_);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setMinimumWidth(0);
  Panel1->installEventFilter(this);

  Edit1 = new QLineEdit(Panel1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setReadOnly(true);
  Edit1->installEventFilter(this);

  TreeView1 = new QTreeWidget(Panel1);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->viewport()->installEventFilter(this);
}

QWidget* TForm1::CreateTopStrip() {
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("TopStrip"));
  auto* grid = new QGridLayout(strip);
  grid->setContentsMargins(4, 3, 4, 3);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);

  ComboBox1 = new QComboBox(strip);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  for (const char* item : {"全てのファイル(*.*)", "*.JW?", "*.JWW", "*.JWS"})
    ComboBox1->addItem(QString::fromUtf8(item));
  ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);

  Button1 = new QPushButton(QStringLiteral("変換設定"), strip);
  Button1->setObjectName(QStringLiteral("Button1"));
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

  Edit2 = new QLineEdit(strip);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setReadOnly(true);

  Button3 = new QPushButton(QStringLiteral("参照"), strip);
  Button3->setObjectName(QStringLiteral("Button3"));
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);

  Button4 = new QPushButton(QStringLiteral("変換"), strip);
  Button4->setObjectName(QStringLiteral("Button4"));
  Button4->setFont(FormFont(19));
  Button4->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  Button4->setMinimumWidth(72);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);

  grid->addWidget(new QLabel(QStringLiteral("ファイルの種類"), strip), 0, 0);
  grid->addWidget(ComboBox1, 0, 1, Qt::AlignLeft);
  grid->addWidget(Button1, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("保存先フォルダ"), strip), 1, 0);
  grid->addWidget(Edit2, 1, 1);
  grid->addWidget(Button3, 1, 2);
  grid->addWidget(Button4, 0, 3, 2, 1);
  grid->setColumnStretch(1, 1);
  return strip;
}

void TForm1::CreateStringGrid() {
  fileTable_ = new FileTableModel(this);
  fileTable_->ReplaceAll(std::vector<FileTableModel::Row>(kInitialEmptyRows));

  StringGrid1 = new QTableView;
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setFont(DialogFont(13));
  StringGrid1->setModel(fileTable_);
  StringGrid1->setShowGrid(false);
  StringGrid1->setWordWrap(false);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

  // Fixed row heights keep the view fast for very long lists.
  QHeaderView* rows = StringGrid1->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 4);

  QHeaderView* columns = StringGrid1->horizontalHeader();
  columns->setSectionResizeMode(QHeaderView::Interactive);
  columns->setMinimumSectionSize(0);
  columns->setDefaultSectionSize(64);
  columns->setStretchLastSection(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  columns->setHighlightSections(false);
  // Header titles in the window's font with a slim margin, so that "ファイル名" fits the
  // 64-pixel default column.
  columns->setFont(FormFont(12));
  columns->setStyleSheet(QStringLiteral("QHeaderView::section { padding-left: 2px; padding-right: 0px; }"));
  columns->setSectionsClickable(true);
  columns->installEventFilter(this);
  connect(columns, &QHeaderView::sectionResized, this,
          [this](int column, int, int) { if (column == 1) StringGrid1DrawCell(); });
  connect(StringGrid1, &QTableView::doubleClicked, this, &TForm1::StringGrid1DblClick);
}

void TForm1::CreateMainMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file = bar->addMenu(QStringLiteral("ファイル (&F)"));
  file->setObjectName(QStringLiteral("MnuFile"));
  connect(AddItem(file, "MnuFileSFolder", "検索フォルダの指定 (&S)"), &QAction::triggered, this,
          &TForm1::MnuFileSFolderClick);
  QMenu* types = file->addMenu(QStringLiteral("ファイルの種類 (&T)"));
  types->setObjectName(QStringLiteral("MnuFileType"));
  connect(AddItem(types, "MnuFileType0", "全てのファイル(*.*) (&0)"), &QAction::triggered, this,
          &TForm1::MnuFileType0Click);
  connect(AddItem(types, "MnuFileType1", "(*.jw?) (&1)"), &QAction::triggered, this,
          &TForm1::MnuFileType1Click);
  connect(AddItem(types, "MnuFileType2", "(*.jww) (&2)"), &QAction::triggered, this,
          &TForm1::MnuFileType2Click);
  connect(AddItem(types, "MnuFileType3", "(*.jws) (&3)"), &QAction::triggered, this,
          &TForm1::MnuFileType3Click);
  connect(AddItem(file, "MnuFileHFolder", "保存先フォルダの指定 (&H)"), &QAction::triggered, this,
          &TForm1::Button3Click);
  file->addSeparator();
  connect(AddItem(file, "MnuExit", "終了 (&X)"), &QAction::triggered, this, &TForm1::MnuExitClick);

  QMenu* settings = bar->addMenu(QStringLiteral("設定 (&S)"));
  settings->setObjectName(QStringLiteral("MnuSet"));
  connect(AddItem(settings, "MnuSetConvert", "変換設定 (&1)"), &QAction::triggered, this,
          &TForm1::Button1Click);
}

void TForm1::CreateStatusBar() {
  // A permanent label: unlike a temporary message it is not wiped by menu hovering.
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  statusText_ = new QLabel(bar);
  statusText_->setObjectName(QStringLiteral("StatusBar1Text"));
  bar->addWidget(statusText_, 1);
}

void TForm1::SetStatusText(const std::string& text) {
  statusText_->setText(QString::fromStdString(text));
  statusText_->repaint();
}

QString TForm1::StatusText() const { return statusText_->text(); }

void TForm1::showEvent(QShowEvent* event) {
  if (!shown_ && !event->spontaneous()) {
    shown_ = true;
    FormShow();
  }
  QMainWindow::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    FormClose();
  }
  event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (StringGrid1 == nullptr) return QMainWindow::eventFilter(watched, event);  // still building
  if (watched == Panel1 && event->type() == QEvent::Resize) {
    Panel1Resize();
  } else if (watched == Edit1 && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    MnuFileSFolderClick();
  } else if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    TreeView1Click();
  } else if (watched == StringGrid1->horizontalHeader() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    StringGrid1MouseDown(StringGrid1->horizontalHeader()->logicalIndexAt(mouse->position().toPoint()));
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormShow() {
  // 1. Flags, filter and switches.
  FolderTreeReady = FileListShown = SortDescending = SearchAborted = false;
  ComboBox1->setCurrentIndex(0);
  for (int n = 1; n <= 4; ++n) state_.Options[n] = 0;

  // 2. Every document starts empty.
  ClearJwcData(state_.Jwc);
  ClearJwkData(state_.Jwk);
  InitJwwData(state_.Jww);
  ClearJwsData(state_.Jws);
  ClearTempImageFiles(state_.Images);

  // 3. Program folder and image folder. An installed copy cannot write beside the
  // program, so its settings and images move to the user's configuration folder.
  ProgramFolder = programFolderOverride_;
  if (ProgramFolder.empty()) ProgramFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
  if (ProgramFolder.empty() || ProgramFolder.back() != '/') ProgramFolder += '/';
  SettingsFolder = SettingsFolderFor(ProgramFolder);
  state_.Images.TempFolder = SettingsFolder + "TEMP/";
  std::error_code ec;
  std::filesystem::create_directory(state_.Images.TempFolder, ec);

  // 4. Folders and the settings file.
  SearchFolder = ProgramFolder;
  SaveFolder.clear();
  IniFileName = SettingsFolder + "plmtool.ini";

  // 5. Stored settings over the defaults.
  ShellSettings s;
  s.FLD1 = SearchFolder;
  s.FLD2 = SaveFolder;
  ReadShellSettings(IniFileName, s);
  move(s.F1_X, s.F1_Y);
  resize(s.F1_W, s.F1_H);
  if (form2_ != nullptr) form2_->move(s.F2_X, s.F2_Y);
  layout()->activate();  // the splitter takes its final width before the panel is sized
  splitter_->setSizes({s.F1P1, std::max(0, splitter_->width() - s.F1P1 - splitter_->handleWidth())});
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    StringGrid1->horizontalHeader()->resizeSection(c, s.F1S[static_cast<size_t>(c)]);
  SearchFolder = s.FLD1;
  SaveFolder = s.FLD2;
  ComboBox1->setCurrentIndex(s.FTYP >= 0 && s.FTYP < ComboBox1->count() ? s.FTYP : -1);
  state_.Options = s.Options;

  // 6. Header row of the file list.
  fileTable_->SetHeader({"ファイル名", "Bytes", "種類", "図面メモ", "更新日時", "属性"});

  // 7. Save folder shown; search folder box, tree and list stay empty.
  Edit2->setText(PathText(SaveFolder));

  // 8.
  SetStatusText("検索フォルダを指定して下さい。");
}

void TForm1::FormClose() {
  // 1. Removing succeeds only when the folder is empty; failures are ignored.
  std::error_code ec;
  std::filesystem::remove(state_.Images.TempFolder, ec);

  // 2.
  ClearTempImageFiles(state_.Images);
  ClearJwcData(state_.Jwc);
  ClearJwkData(state_.Jwk);
  ClearJwwData(state_.Jww);
  ClearJwsData(state_.Jws);

  // 3. Settings, written in one safe replacement of the file; failures are ignored.
  if (IniFileName.empty()) return;  // never shown: nothing was read, nothing to keep
  ShellSettings s;
  const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
  const QRect bounds = normal ? QRect(pos(), size()) : normalGeometry();
  s.F1_X = bounds.x();
  s.F1_Y = bounds.y();
  s.F1_W = bounds.width();
  s.F1_H = bounds.height();
  if (form2_ != nullptr) {
    s.F2_X = form2_->x();
    s.F2_Y = form2_->y();
  }
  s.F1P1 = Panel1->width();
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    s.F1S[static_cast<size_t>(c)] = StringGrid1->horizontalHeader()->sectionSize(c);
  s.FLD1 = SearchFolder;
  s.FLD2 = SaveFolder;
  s.FTYP = ComboBox1->currentIndex();
  s.Options = state_.Options;
  WriteShellSettings(IniFileName, s);
}

void TForm1::Panel1Resize() {
  const int width = Panel1->width();
  const int editHeight = std::max(19, Edit1->sizeHint().height());
  Edit1->setGeometry(0, 0, width, editHeight);
  TreeView1->setGeometry(0, editHeight, width, std::max(0, Panel1->height() - editHeight));
}

void TForm1::MnuExitClick() {
  if (dialogs_.MessageBox(BoxKind::Confirmation, "終了します。よろしいですか？", BoxButtons::YesNo) ==
      BoxAnswer::Yes)
    close();
}

void TForm1::Button1Click() {
  if (form2_ != nullptr) form2_->exec();
}

void TForm1::Button3Click() {
  const std::optional<std::string> folder =
      dialogs_.ChooseFolder("保存先フォルダの指定", QFile::encodeName(Edit2->text()).toStdString());
  if (!folder) return;
  SaveFolder = *folder;
  Edit2->setText(PathText(SaveFolder));
}

void TForm1::MnuFileSFolderClick() {}
void TForm1::TreeView1Click() {}
void TForm1::ComboBox1Change() {}
void TForm1::MnuFileType0Click() {}
void TForm1::MnuFileType1Click() {}
void TForm1::MnuFileType2Click() {}
void TForm1::MnuFileType3Click() {}
void TForm1::StringGrid1DrawCell() {}
void TForm1::StringGrid1MouseDown(int /*column*/) {}
void TForm1::StringGrid1DblClick() {}
void TForm1::Button4Click() {}

}  // namespace plm
