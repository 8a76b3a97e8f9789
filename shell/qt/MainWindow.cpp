#include "shell/qt/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCollator>
#include <QDesktopServices>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "platform/cp932.h"
#include "platform/files.h"
#include "platform/dialogs.h"
#include "platform/fsutil.h"
#include "platform/keystate.h"
#include "shell/settings.h"
#include "shell/batch.h"
#include "shell/batchreport.h"
#include "shell/filelist.h"
#include "shell/foldertree.h"
#include "shell/preview.h"
#include "shell/qt/DialogsQt.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/KeyStateQt.h"
#include "shell/qt/PreviewPane.h"
#include "shell/qt/ScreenFitQt.h"
#include "shell/qt/SwitchesDialog.h"
#include "shell/texts.h"

namespace plm {
namespace {

constexpr int kInitialPanelWidth = 160;
constexpr int kInitialEmptyRows = 4;  // the grid starts as header and four empty rows

// A path or name as the user reads it (ShownName: decoded, quoted when it holds a
// control character); the bytes themselves stay in the window's state, never taken
// back from the shown text.
QString PathText(const std::string& path) { return QString::fromStdString(ShownName(path)); }

// The folder bytes of a tree node, kept beside its display text so that names which
// are not valid UTF-8 still make the right path.
constexpr int kFolderBytesRole = Qt::UserRole;

// ImageList1: two 16 x 16 folder images, yellow then red; every node shows the first.
QIcon FolderImage(const QColor& fill) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(fill.darker(170));
  painter.setBrush(fill.darker(115));
  painter.drawRect(1, 2, 6, 3);  // tab
  painter.setBrush(fill);
  painter.drawRect(1, 4, 13, 9);  // body
  return QIcon(pixmap);
}

const std::vector<QIcon>& ImageList1() {
  static const std::vector<QIcon> images = {FolderImage(QColor(250, 210, 70)), FolderImage(QColor(225, 60, 50))};
  return images;
}

QTreeWidgetItem* MakeFolderItem(const std::string& text) {
  auto* item = new QTreeWidgetItem;
  item->setIcon(0, ImageList1()[0]);
  item->setText(0, PathText(text));
  item->setToolTip(0, item->text(0));  // the whole name, however narrow the panel
  item->setData(0, kFolderBytesRole, QByteArray::fromStdString(text));
  return item;
}

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QAction* AddItem(QMenu* menu, const char* name, std::string_view text) {
  QAction* action = menu->addAction(ToQString(text));
  action->setObjectName(QString::fromUtf8(name));
  return action;
}

// The folder tree: a key that moves to another node, and Return or Enter on a node,
// choose that node as a click does.
class FolderTreeWidget : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void()> NodeChosen;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const QTreeWidgetItem* before = currentItem();
    const bool choose = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QTreeWidget::keyPressEvent(event);
    if ((choose || currentItem() != before) && currentItem() != nullptr && NodeChosen) NodeChosen();
  }
};

// The file list: whole rows, one contiguous block. Shift+Ctrl+Home and Shift+Ctrl+End
// extend the block to the first and last row as Shift+Home and Shift+End would.
class FileGridView : public QTableView {
 public:
  using QTableView::QTableView;

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override {
    if (event != nullptr && event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<const QKeyEvent*>(event);
      const Qt::KeyboardModifiers mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
      if ((key->key() == Qt::Key_Home || key->key() == Qt::Key_End) &&
          mods == (Qt::ShiftModifier | Qt::ControlModifier))
        return QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows;
    }
    return QTableView::selectionCommand(index, event);
  }
};

// Drops user input from its start to its end, including what is still queued at the
// end, so that a click or key made meanwhile never runs afterwards. Repaints go on.
class BlockedInput {
 public:
  explicit BlockedInput(QtKeyState& gate) : gate_(gate), outer_(gate.InputBlocked()) { gate_.SetInputBlocked(true); }
  ~BlockedInput() {
    if (outer_) return;
    gate_.RunPendingEvents();
    gate_.SetInputBlocked(false);
  }
  BlockedInput(const BlockedInput&) = delete;
  BlockedInput& operator=(const BlockedInput&) = delete;

 private:
  QtKeyState& gate_;
  bool outer_;
};

// Room the window manager's frame takes, for placing a window before it has one.
constexpr QMargins kAssumedFrame(4, 30, 4, 4);

QList<QRect> AvailableScreenAreas() {
  QList<QRect> areas;
  if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != QGuiApplication::primaryScreen()) areas << screen->availableGeometry();
  return areas;
}

}  // namespace

QFont FormFont(int pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixelSize);
  return font;
}

MainWindow::MainWindow(Dialogs& dialogs, std::string programFolder, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), programFolderOverride_(std::move(programFolder)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(ToQString(texts::kMainWindowCaption));
  setFont(FormFont(12));
  // A stored size of 0 (or garbage read as 0) must not leave an unreachable window.
  setMinimumSize(320, 200);
  // Position and size are those of the area inside the frame, as the settings keep them.
  setGeometry(192, 107, 696, 478);

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("Splitter1"));
  splitter_->setHandleWidth(3);
  splitter_->setChildrenCollapsible(false);
  CreateFolderPanel();
  auto* right = new QWidget(splitter_);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);
  rightLayout->addWidget(CreateTopStrip());
  CreateFileList();
  rightLayout->addWidget(CreatePreviewSplitter(), 1);
  splitter_->addWidget(Panel1);
  splitter_->addWidget(right);
  splitter_->setStretchFactor(0, 0);  // the panel keeps its width when the window resizes
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kInitialPanelWidth, 696 - kInitialPanelWidth});
  setCentralWidget(splitter_);

  CreateMainMenu();
  CreateStatusBar();
  state_.Status = [this](const std::string& text) { SetStatusText(text); };
  ownKeys_ = std::make_unique<QtKeyState>();
  keys_ = ownKeys_.get();
  OpenFile = [](const std::string& path) { return QDesktopServices::openUrl(LocalFileUrl(path)); };
}

void MainWindow::SetKeyState(KeyState* keys) { keys_ = keys != nullptr ? keys : ownKeys_.get(); }

MainWindow::~MainWindow() = default;

void MainWindow::CreateFolderPanel() {
  // Children are placed by LayoutFolderPanel, which keeps Edit1 as wide as the panel.
  Panel1 = new QWidget(splitter_);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setMinimumWidth(0);
  Panel1->installEventFilter(this);

  Edit1 = new QLineEdit(Panel1);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setReadOnly(true);
  Edit1->installEventFilter(this);

  auto* tree = new FolderTreeWidget(Panel1);
  tree->NodeChosen = [this] { ListSelectedFolder(); };
  TreeView1 = tree;
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setHeaderHidden(true);
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->viewport()->installEventFilter(this);
}

QWidget* MainWindow::CreateTopStrip() {
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("TopStrip"));
  auto* grid = new QGridLayout(strip);
  grid->setContentsMargins(4, 3, 4, 3);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);

  ComboBox1 = new QComboBox(strip);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  for (std::string_view item : texts::kFileTypeItems) ComboBox1->addItem(ToQString(item));
  ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(ComboBox1, &QComboBox::activated, this, &MainWindow::FileTypeChanged);

  Button1 = new QPushButton(ToQString(texts::kSwitchesButtonCaption), strip);
  Button1->setObjectName(QStringLiteral("Button1"));
  connect(Button1, &QPushButton::clicked, this, &MainWindow::OpenSwitchesDialog);

  Edit2 = new QLineEdit(strip);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setReadOnly(true);

  Button3 = new QPushButton(ToQString(texts::kBrowseButtonCaption), strip);
  Button3->setObjectName(QStringLiteral("Button3"));
  connect(Button3, &QPushButton::clicked, this, &MainWindow::ChooseSaveFolder);

  Button4 = new QPushButton(ToQString(texts::kConvertButtonCaption), strip);
  Button4->setObjectName(QStringLiteral("Button4"));
  Button4->setFont(FormFont(19));
  Button4->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  Button4->setMinimumWidth(72);
  connect(Button4, &QPushButton::clicked, this, &MainWindow::ConvertSelected);

  grid->addWidget(new QLabel(ToQString(texts::kFileTypeLabel), strip), 0, 0);
  grid->addWidget(ComboBox1, 0, 1, Qt::AlignLeft);
  grid->addWidget(Button1, 0, 2);
  grid->addWidget(new QLabel(ToQString(texts::kSaveFolderLabel), strip), 1, 0);
  grid->addWidget(Edit2, 1, 1);
  grid->addWidget(Button3, 1, 2);
  grid->addWidget(Button4, 0, 3, 2, 1);
  grid->setColumnStretch(1, 1);
  return strip;
}

void MainWindow::CreateFileList() {
  fileTable_ = new FileTableModel(this);
  fileTable_->ReplaceAll(std::vector<FileTableModel::Row>(kInitialEmptyRows));

  StringGrid1 = new FileGridView;
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setFont(DialogFont(13));
  StringGrid1->setModel(fileTable_);
  StringGrid1->setShowGrid(false);
  StringGrid1->setWordWrap(false);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
  StringGrid1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  StringGrid1->setTabKeyNavigation(false);  // Tab moves on to the next control

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
  columns->viewport()->installEventFilter(this);  // mouse presses land on the viewport
  connect(columns, &QHeaderView::sectionResized, this,
          [this](int column, int, int) { if (column == 1) RepadFileSizes(); });
  connect(StringGrid1, &QTableView::doubleClicked, this, &MainWindow::OpenCurrentFile);
}

QWidget* MainWindow::CreatePreviewSplitter() {
  // The list above, the preview below; the pane may be folded away to nothing.
  previewSplitter_ = new QSplitter(Qt::Vertical);
  previewSplitter_->setObjectName(QStringLiteral("Splitter2"));
  previewSplitter_->setHandleWidth(3);
  previewSplitter_->setChildrenCollapsible(true);
  preview_ = new PreviewPane;
  previewSplitter_->addWidget(StringGrid1);
  previewSplitter_->addWidget(preview_);
  previewSplitter_->setCollapsible(0, false);
  previewSplitter_->setStretchFactor(0, 1);
  previewSplitter_->setStretchFactor(1, 0);
  QItemSelectionModel* selection = StringGrid1->selectionModel();
  connect(selection, &QItemSelectionModel::selectionChanged, this, [this] { PreviewSelection(); });
  connect(selection, &QItemSelectionModel::currentRowChanged, this, [this] { PreviewSelection(); });
  // Sorting moves other files under the selected row numbers.
  connect(fileTable_, &QAbstractItemModel::dataChanged, this, [this] { PreviewSelection(); });
  connect(fileTable_, &QAbstractItemModel::modelReset, this, [this] { PreviewSelection(); });
  return previewSplitter_;
}

void MainWindow::PreviewSelection() {
  const QModelIndexList rows = StringGrid1->selectionModel()->selectedRows();
  if (rows.size() > 1) {
    preview_->ShowReason(previewtexts::kManyRows);
    return;
  }
  const int row = rows.size() == 1 ? rows.front().row() : -1;
  const std::vector<FileRow>& all = fileTable_->Rows();
  if (row < 0 || static_cast<size_t>(row) >= all.size() || all[static_cast<size_t>(row)][kColName].empty() ||
      listedFolder_.empty()) {
    preview_->ShowReason(previewtexts::kNoSelection);
    return;
  }
  preview_->ShowFile(listedFolder_ + all[static_cast<size_t>(row)][kColName]);
}

void MainWindow::ReadPreviewSettings() {
  PreviewSettings p;
  plm::ReadPreviewSettings(IniFileName, p);
  // The splitter may not have its final height yet: the list takes whatever the pane
  // leaves, now and on every later resize.
  const int pane = std::min(p.Size, 4000);
  previewSplitter_->setSizes({std::max(previewSplitter_->height(), pane + 200) - pane, pane});
  preview_->SetOptions(state_.Options);
}

void MainWindow::WritePreviewSettings() {
  PreviewSettings p;
  p.Size = previewSplitter_->sizes().value(1);
  plm::WritePreviewSettings(IniFileName, p);
}

void MainWindow::CreateMainMenu() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file = bar->addMenu(ToQString(texts::kMenuFile));
  file->setObjectName(QStringLiteral("MnuFile"));
  connect(AddItem(file, "MnuFileSFolder", texts::kMenuSearchFolder), &QAction::triggered, this,
          &MainWindow::ChooseSearchFolder);
  QMenu* types = file->addMenu(ToQString(texts::kMenuFileType));
  types->setObjectName(QStringLiteral("MnuFileType"));
  for (int i = 0; i < 4; ++i) {
    const std::string name = "MnuFileType" + std::to_string(i);
    connect(AddItem(types, name.c_str(), texts::kMenuFileTypeItems[static_cast<size_t>(i)]), &QAction::triggered, this,
            [this, i] { SelectFileType(i); });
  }
  connect(AddItem(file, "MnuFileHFolder", texts::kMenuSaveFolder), &QAction::triggered, this,
          &MainWindow::ChooseSaveFolder);
  file->addSeparator();
  connect(AddItem(file, "MnuExit", texts::kMenuExit), &QAction::triggered, this, &MainWindow::ConfirmExit);

  QMenu* settings = bar->addMenu(ToQString(texts::kMenuSettings));
  settings->setObjectName(QStringLiteral("MnuSet"));
  connect(AddItem(settings, "MnuSetConvert", texts::kMenuSwitches), &QAction::triggered, this,
          &MainWindow::OpenSwitchesDialog);
}

void MainWindow::CreateStatusBar() {
  // A permanent label: unlike a temporary message it is not wiped by menu hovering.
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  statusText_ = new QLabel(bar);
  statusText_->setObjectName(QStringLiteral("StatusBar1Text"));
  bar->addWidget(statusText_, 1);
}

void MainWindow::SetStatusText(const std::string& text) {
  statusText_->setText(QString::fromStdString(text));
  statusText_->repaint();
  // During a batch or a listing the rest of the window repaints too; user input is
  // dropped.
  if (ownKeys_->InputBlocked()) ownKeys_->RunPendingEvents();
}

QString MainWindow::StatusText() const { return statusText_->text(); }

void MainWindow::showEvent(QShowEvent* event) {
  if (!shown_ && !event->spontaneous()) {
    shown_ = true;
    Start();
  }
  QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (batchRunning_) {  // a batch cannot be aborted; the window stays until it ends
    event->ignore();
    return;
  }
  stopSearch_ = searching_;
  if (!closed_) {
    closed_ = true;
    Finish();
  }
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (StringGrid1 == nullptr) return QMainWindow::eventFilter(watched, event);  // still building
  if (watched == Panel1 && event->type() == QEvent::Resize) {
    LayoutFolderPanel();
  } else if (watched == Edit1 && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ChooseSearchFolder();
  } else if (watched == TreeView1->viewport() && event->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    ListSelectedFolder();
  } else if (watched == StringGrid1->horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress) {
    // A press on a column border starts a resize, not a sort.
    QHeaderView* header = StringGrid1->horizontalHeader();
    const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
    const int grip = header->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, header);
    const int column = header->logicalIndexAt(x);
    const bool onBorder = column >= 0 && (header->logicalIndexAt(x - grip) != column ||
                                          header->logicalIndexAt(x + grip) != column);
    HeaderPressed(onBorder ? -1 : column);
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::Start() {
  // 1. Flags, filter and switches.
  FolderTreeReady = FileListShown = SortDescending = SearchAborted = false;
  ComboBox1->setCurrentIndex(0);
  state_.Options = {};

  // 2. Every document starts empty.
  ClearJwcData(state_.Jwc);
  ClearJwkData(state_.Jwk);
  InitJwwData(state_.Jww);
  ClearJwsData(state_.Jws);
  ClearTempImageFiles(state_.Images);

  // 3. Program folder and image folder. An installed copy cannot write beside the
  // program, so its settings and images move to the user's configuration folder.
  ProgramFolder = programFolderOverride_;
  if (ProgramFolder.empty()) ProgramFolder = LocalPathBytes(QCoreApplication::applicationDirPath());
  if (ProgramFolder.empty() || ProgramFolder.back() != '/') ProgramFolder += '/';
  SettingsFolder = SettingsFolderFor(ProgramFolder);
  state_.Images.TempFolder = SettingsFolder + "TEMP/";
  CreateFolderQuietly(state_.Images.TempFolder);

  // 4. Folders and the settings file.
  SearchFolder = ProgramFolder;
  SaveFolder.clear();
  IniFileName = SettingsFolder + "plmtool.ini";

  // 5. Stored settings over the defaults.
  ShellSettings s;
  s.FLD1 = SearchFolder;
  s.FLD2 = SaveFolder;
  ReadShellSettings(IniFileName, s);
  // Read and written as the area inside the frame, so the values stay put from run to
  // run; a stored place off every screen, or a window larger than its screen, is
  // brought back where the user can reach it.
  setGeometry(FitOnScreens(QRect(s.F1_X, s.F1_Y, s.F1_W, s.F1_H), AvailableScreenAreas(), minimumSize(),
                           kAssumedFrame));
  if (form2_ != nullptr)
    form2_->setGeometry(FitOnScreens(QRect(QPoint(s.F2_X, s.F2_Y), form2_->size()), AvailableScreenAreas(),
                                     form2_->minimumSize(), kAssumedFrame));
  layout()->activate();  // the splitter takes its final width before the panel is sized
  splitter_->setSizes({s.F1P1, std::max(0, splitter_->width() - s.F1P1 - splitter_->handleWidth())});
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    StringGrid1->horizontalHeader()->resizeSection(c, s.F1S[static_cast<size_t>(c)]);
  SearchFolder = s.FLD1;
  SaveFolder = s.FLD2;
  ComboBox1->setCurrentIndex(s.FTYP >= 0 && s.FTYP < ComboBox1->count() ? s.FTYP : -1);
  state_.Options = s.Options;
  ReadPreviewSettings();

  // 6. Header row of the file list.
  FileTableModel::Row header;
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    header[static_cast<size_t>(c)] = std::string(texts::kFileListHeader[static_cast<size_t>(c)]);
  fileTable_->SetHeader(header);

  // 7. Save folder shown; search folder box, tree and list stay empty.
  Edit2->setText(PathText(SaveFolder));

  // 8.
  SetStatusText(texts::kSpecifySearchFolder);
}

void MainWindow::Finish() {
  // 1. Removing succeeds only when the folder is empty; failures are ignored.
  RemoveEmptyFolderQuietly(state_.Images.TempFolder);

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
  const QRect bounds = normal ? geometry() : normalGeometry();
  s.F1_X = bounds.x();
  s.F1_Y = bounds.y();
  s.F1_W = bounds.width();
  s.F1_H = bounds.height();
  if (form2_ != nullptr) {
    s.F2_X = form2_->geometry().x();
    s.F2_Y = form2_->geometry().y();
  }
  s.F1P1 = Panel1->width();
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    s.F1S[static_cast<size_t>(c)] = StringGrid1->horizontalHeader()->sectionSize(c);
  s.FLD1 = SearchFolder;
  s.FLD2 = SaveFolder;
  s.FTYP = ComboBox1->currentIndex();
  s.Options = state_.Options;
  WriteShellSettings(IniFileName, s);
  WritePreviewSettings();
}

void MainWindow::LayoutFolderPanel() {
  const int width = Panel1->width();
  const int editHeight = std::max(19, Edit1->sizeHint().height());
  Edit1->setGeometry(0, 0, width, editHeight);
  TreeView1->setGeometry(0, editHeight, width, std::max(0, Panel1->height() - editHeight));
}

void MainWindow::ConfirmExit() {
  if (dialogs_.MessageBox(BoxKind::Confirmation, texts::kExitQuestion, BoxButtons::YesNo) ==
      BoxAnswer::Yes)
    close();
}

void MainWindow::OpenSwitchesDialog() {
  if (form2_ != nullptr) form2_->exec();
  preview_->SetOptions(state_.Options);
}

void MainWindow::ChooseSaveFolder() {
  const std::optional<std::string> folder =
      dialogs_.ChooseFolder(texts::kSaveFolderTitle, SaveFolder, FolderUse::Save);
  if (!folder) return;
  SaveFolder = *folder;
  Edit2->setText(PathText(SaveFolder));
}

void MainWindow::ChooseSearchFolder() {
  if (searching_) return;  // one search at a time
  SetStatusText("");
  const std::optional<std::string> folder = dialogs_.ChooseFolder(texts::kSearchFolderTitle, SearchFolder, FolderUse::Search);
  if (!folder) return;
  SearchFolder = *folder;
  Edit1->setText(PathText(SearchFolder));
  SearchFolderTree();
}

void MainWindow::ResetFileList() {
  FileListShown = false;
  fileTable_->ReplaceAll(std::vector<FileTableModel::Row>(1));
}

void MainWindow::SearchFolderTree() {
  if (searching_) return;
  SetStatusText(texts::kSearchingFolders);
  if (!IsExistingFolder(SearchFolder)) {
    dialogs_.Beep();
    dialogs_.MessageBox(BoxKind::Information, texts::kDriveNotReady, BoxButtons::Ok);
    SetStatusText(texts::kSpecifySearchFolder);
    return;
  }
  ResetFileList();
  FolderTreeReady = false;
  SearchAborted = false;
  searching_ = true;
  stopSearch_ = false;
  TreeView1->setEnabled(false);
  TreeView1->clear();

  // The tree shows each folder as it is found; the window runs pending events after
  // each directory entry, while the tree itself takes no input.
  FolderTree tree;
  std::vector<QTreeWidgetItem*> items;
  FolderSearchHooks hooks;
  hooks.ProcessEvents = [] { QCoreApplication::processEvents(); };
  hooks.EscapeHeld = [this] { return stopSearch_ || keys_->EscapeHeld(); };
  hooks.NodeAdded = [&](int id) {
    const FolderTreeNode& node = tree.Node(id);
    QTreeWidgetItem* item = MakeFolderItem(node.Text);
    if (node.Parent < 0) TreeView1->addTopLevelItem(item);
    else items[static_cast<size_t>(node.Parent)]->addChild(item);
    items.push_back(item);
    if (node.Parent == 0) item->parent()->setExpanded(true);
  };
  SearchAborted = plm::SearchFolderTree(tree, SearchFolder, hooks) == plm::SearchOutcome::Aborted;

  // Children in the locale's order of names, the tree built again in that order.
  QCollator collator{QLocale()};
  tree.SortChildren([&](const std::string& a, const std::string& b) {
    return collator.compare(PathText(a), PathText(b)) < 0;
  });
  TreeView1->clear();
  std::vector<QTreeWidgetItem*> sorted(tree.Count(), nullptr);
  for (int id : tree.DepthFirst()) {
    const FolderTreeNode& node = tree.Node(id);
    QTreeWidgetItem* item = MakeFolderItem(node.Text);
    if (node.Parent < 0) TreeView1->addTopLevelItem(item);
    else sorted[static_cast<size_t>(node.Parent)]->addChild(item);
    sorted[static_cast<size_t>(id)] = item;
  }
  if (TreeView1->topLevelItemCount() > 0) TreeView1->topLevelItem(0)->setExpanded(true);
  TreeView1->setCurrentItem(nullptr);

  TreeView1->setEnabled(true);
  searching_ = false;
  SetStatusText(SearchAborted ? texts::kFolderSearchAborted : "");
  if (TreeView1->topLevelItemCount() > 0) FolderTreeReady = true;
}

std::optional<std::string> MainWindow::SelectedFolderPath() const {
  const QTreeWidgetItem* item = TreeView1->currentItem();
  if (item == nullptr) return std::nullopt;
  std::vector<std::string> texts;
  for (; item != nullptr; item = item->parent())
    texts.push_back(item->data(0, kFolderBytesRole).toByteArray().toStdString());
  std::reverse(texts.begin(), texts.end());
  return NodeFolderPath(texts);
}

void MainWindow::BoxAndStatus(const std::string& text) {
  dialogs_.Beep();
  dialogs_.MessageBox(BoxKind::Error, text, BoxButtons::Ok);
  SetStatusText(text);
}

void MainWindow::ListSelectedFolder() {
  if (searching_) return;  // no listing from inside a running search
  if (!FolderTreeReady) {
    BoxAndStatus(texts::kSpecifySearchFolder);
    return;
  }
  if (const std::optional<std::string> folder = SelectedFolderPath()) ListFiles(*folder);
}

void MainWindow::ListFiles(const std::string& folderPath) {
  if (searching_ || listing_) return;
  listing_ = true;
  BlockedInput block(*ownKeys_);
  listedFolder_ = folderPath;
  ResetFileList();
  // ESC is asked before each file; the toolkit's answer runs pending repaints but
  // swallows user input, so nothing else starts while the list fills.
  ListFilesResult result = plm::ListFiles(state_, folderPath, ComboBox1->currentIndex(),
                                          StringGrid1->horizontalHeader()->sectionSize(kColSize),
                                          [this] { return keys_->EscapeHeld(); });
  if (result.Rows.empty()) result.Rows.resize(1);
  fileTable_->ReplaceAll(std::move(result.Rows));
  StringGrid1->horizontalScrollBar()->setValue(0);  // a new list starts at its left edge
  FileListShown = result.FileListShown;
  listing_ = false;
}

void MainWindow::FileTypeChanged() {
  if (FolderTreeReady && TreeView1->currentItem() != nullptr) ListSelectedFolder();
}

void MainWindow::SelectFileType(int index) {
  ComboBox1->setCurrentIndex(index);
  if (FolderTreeReady) ListSelectedFolder();
}

void MainWindow::RepadFileSizes() {
  if (!FileListShown) return;
  std::vector<FileRow> rows = fileTable_->Rows();
  RepadSizeColumn(rows, StringGrid1->horizontalHeader()->sectionSize(kColSize),
                  QFontMetrics(StringGrid1->font()).horizontalAdvance(QLatin1Char('0')));
  fileTable_->UpdateRows(std::move(rows));
}

void MainWindow::HeaderPressed(int column) {
  if (!FileListShown || column < 0) return;
  if (column == kColAttr) {
    if (const std::optional<std::string> folder = SelectedFolderPath()) ListFiles(*folder);
    return;
  }
  std::vector<FileRow> rows = fileTable_->Rows();
  if (HeaderClickSort(rows, column, FileListShown, SortDescending) == HeaderClickAction::Sorted)
    fileTable_->UpdateRows(std::move(rows));  // the selection stays on the same row numbers
}

void MainWindow::OpenCurrentFile() {
  if (!FolderTreeReady) {
    BoxAndStatus(texts::kSpecifySearchFolder);
    return;
  }
  if (!FileListShown) {
    dialogs_.Beep();
    SetStatusText(texts::kSpecifyDrawingFolder);
    return;
  }
  const QModelIndex current = StringGrid1->currentIndex();
  if (!current.isValid()) return;
  const std::string& name = fileTable_->Rows()[static_cast<size_t>(current.row())][kColName];
  const std::optional<std::string> folder = SelectedFolderPath();
  if (name.empty() || !folder) return;
  if (OpenFile && !OpenFile(*folder + name)) SetStatusText(texts::kNoOpener);
}

void MainWindow::ConvertSelected() {
  if (batchRunning_) return;
  const std::string source = SelectedFolderPath().value_or(std::string());
  const BatchCheck check = CheckBatchStart(FolderTreeReady, FileListShown, SaveFolder, source);
  if (check != BatchCheck::Ready) {
    const BatchCheckReport report = ReportOf(check);
    if (report.Beep) dialogs_.Beep();
    dialogs_.MessageBox(report.Error ? BoxKind::Error : BoxKind::Confirmation, report.Text, BoxButtons::Ok);
    if (report.SetsStatus) SetStatusText(report.Text);
    return;
  }
  if (dialogs_.MessageBox(BoxKind::Confirmation, kBatchQuestion, BoxButtons::YesNo) == BoxAnswer::No) {
    SetStatusText(kBatchCancelled);
    return;
  }

  // The selected block of rows; without one, the current row (the first data row
  // when there is none).
  int top = -1, bottom = -1;
  for (const QModelIndex& index : StringGrid1->selectionModel()->selectedRows()) {
    top = top < 0 ? index.row() : std::min(top, index.row());
    bottom = std::max(bottom, index.row());
  }
  if (top < 0) top = bottom = std::max(StringGrid1->currentIndex().row(), 0);

  batchRunning_ = true;
  std::vector<ResultLine> skipped;
  {
    BlockedInput block(*ownKeys_);
    // Row by row, so the progress sentence can say which of the selected rows it is on.
    const std::vector<FileRow> rows = fileTable_->Rows();
    bottom = std::min(bottom, static_cast<int>(rows.size()) - 1);
    const std::function<void(const std::string&)> sink = state_.Status;
    std::string place;
    state_.Status = [&](const std::string& text) {
      if (sink) sink(place + text);
    };
    // Another run writing into the save folder is waited for, with the status text
    // saying so, until it ends or ESC gives up.
    SaveFolderWait wait;
    wait.OnBusy = [this] { SetStatusText(texts::kWaitingForSaveFolder); };
    wait.KeepWaiting = [this] {
      SetStatusText(texts::kWaitingForSaveFolder);
      return !keys_->EscapeHeld();
    };
    LastBatch = RunBatchRows(
        state_, rows, top, bottom, source, SaveFolder,
        [&](int r) { place = "(" + std::to_string(r - top + 1) + "/" + std::to_string(bottom - top + 1) + ") "; },
        wait);
    state_.Status = sink;
    skipped = SkippedLines(LastBatch, rows, top, bottom);
  }
  batchRunning_ = false;
  if (LastBatch.GaveUpWaiting) {
    SetStatusText(kBatchCancelled);
    return;
  }
  // Without a failure the design's sentence alone; otherwise the count of failed files
  // and the list of what became of each.
  const std::string summary = BatchSummaryText(LastBatch);
  SetStatusText(summary);
  if (BatchShowsResults(LastBatch))
    dialogs_.ShowResults(summary + "\n" + BatchCountsText(LastBatch, static_cast<int>(skipped.size())),
                         BatchResultLines(LastBatch, skipped));
}

}  // namespace plm
