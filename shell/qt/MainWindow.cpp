#include "shell/qt/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/files.h"
#include "platform/dialogs.h"
#include "shell/settings.h"
#include "shell/preview.h"
#include "shell/qt/BatchController.h"
#include "shell/qt/DialogsQt.h"
#include "shell/qt/FileListView.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/FolderTreePanel.h"
#include "shell/qt/KeyStateQt.h"
#include "shell/qt/PreviewPane.h"
#include "shell/qt/ScreenFitQt.h"
#include "shell/qt/SwitchesDialog.h"
#include "shell/texts.h"

namespace plm {
namespace {

constexpr int kInitialPanelWidth = 160;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QAction* AddItem(QMenu* menu, const char* name, std::string_view text) {
  QAction* action = menu->addAction(ToQString(text));
  action->setObjectName(QString::fromUtf8(name));
  return action;
}

// Room the window manager's frame takes, for placing a window before it has one.
constexpr QMargins kAssumedFrame(4, 30, 4, 4);

QList<QRect> AvailableScreenAreas() {
  QList<QRect> areas;
  if (QScreen* primary = QGuiApplication::primaryScreen()) areas << primary->availableGeometry();
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != QGuiApplication::primaryScreen()) areas << screen->availableGeometry();
  return areas;
}

WindowPlace PlaceOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

QFont FormFont(int pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixelSize);
  return font;
}

MainWindow::MainWindow(Dialogs& dialogs, std::string programFolder, QWidget* parent)
    : QMainWindow(parent),
      ownKeys_(std::make_unique<QtKeyState>()),
      services_{state_, dialogs, *ownKeys_, ownKeys_.get(), [this](const std::string& text) { SetStatusText(text); },
                [this] { return StatusText().toStdString(); }},
      programFolderOverride_(std::move(programFolder)) {
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
  folderTree_ = new FolderTreePanel(services_, splitter_);
  connect(folderTree_, &FolderTreePanel::FolderChosen, this, &MainWindow::ListSelectedFolder);
  auto* right = new QWidget(splitter_);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->setSpacing(0);
  rightLayout->addWidget(CreateTopStrip());
  fileList_ = new FileListView(services_, *folderTree_, *fileTypeBox_);
  connect(folderTree_, &FolderTreePanel::SearchStarted, this, [this] { fileList_->Reset(); });
  batch_ = std::make_unique<BatchController>(services_, *folderTree_, *fileList_, SaveFolder);
  rightLayout->addWidget(CreatePreviewSplitter(), 1);
  splitter_->addWidget(folderTree_);
  splitter_->addWidget(right);
  splitter_->setStretchFactor(0, 0);  // the panel keeps its width when the window resizes
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kInitialPanelWidth, 696 - kInitialPanelWidth});
  setCentralWidget(splitter_);

  CreateMainMenu();
  CreateStatusBar();
  state_.Status = [this](const std::string& text) { SetStatusText(text); };
}

void MainWindow::SetKeyState(KeyState* keys) { services_.Keys = keys != nullptr ? keys : ownKeys_.get(); }

MainWindow::~MainWindow() = default;

QWidget* MainWindow::CreateTopStrip() {
  auto* strip = new QWidget;
  strip->setObjectName(QStringLiteral("TopStrip"));
  auto* grid = new QGridLayout(strip);
  grid->setContentsMargins(4, 3, 4, 3);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);

  fileTypeBox_ = new QComboBox(strip);
  fileTypeBox_->setObjectName(QStringLiteral("ComboBox1"));
  for (std::string_view item : texts::kFileTypeItems) fileTypeBox_->addItem(ToQString(item));
  fileTypeBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(fileTypeBox_, &QComboBox::activated, this, &MainWindow::FileTypeChanged);

  switchesButton_ = new QPushButton(ToQString(texts::kSwitchesButtonCaption), strip);
  switchesButton_->setObjectName(QStringLiteral("Button1"));
  connect(switchesButton_, &QPushButton::clicked, this, &MainWindow::OpenSwitchesDialog);

  saveFolderBox_ = new QLineEdit(strip);
  saveFolderBox_->setObjectName(QStringLiteral("Edit2"));
  saveFolderBox_->setReadOnly(true);

  chooseSaveFolderButton_ = new QPushButton(ToQString(texts::kBrowseButtonCaption), strip);
  chooseSaveFolderButton_->setObjectName(QStringLiteral("Button3"));
  connect(chooseSaveFolderButton_, &QPushButton::clicked, this, &MainWindow::ChooseSaveFolder);

  convertButton_ = new QPushButton(ToQString(texts::kConvertButtonCaption), strip);
  convertButton_->setObjectName(QStringLiteral("Button4"));
  convertButton_->setFont(FormFont(19));
  convertButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  convertButton_->setMinimumWidth(72);
  connect(convertButton_, &QPushButton::clicked, this, &MainWindow::ConvertSelected);

  grid->addWidget(new QLabel(ToQString(texts::kFileTypeLabel), strip), 0, 0);
  grid->addWidget(fileTypeBox_, 0, 1, Qt::AlignLeft);
  grid->addWidget(switchesButton_, 0, 2);
  grid->addWidget(new QLabel(ToQString(texts::kSaveFolderLabel), strip), 1, 0);
  grid->addWidget(saveFolderBox_, 1, 1);
  grid->addWidget(chooseSaveFolderButton_, 1, 2);
  grid->addWidget(convertButton_, 0, 3, 2, 1);
  grid->setColumnStretch(1, 1);
  return strip;
}

QWidget* MainWindow::CreatePreviewSplitter() {
  // The list above, the preview below; the pane may be folded away to nothing.
  previewSplitter_ = new QSplitter(Qt::Vertical);
  previewSplitter_->setObjectName(QStringLiteral("Splitter2"));
  previewSplitter_->setHandleWidth(3);
  previewSplitter_->setChildrenCollapsible(true);
  preview_ = new PreviewPane;
  previewSplitter_->addWidget(fileList_);
  previewSplitter_->addWidget(preview_);
  previewSplitter_->setCollapsible(0, false);
  previewSplitter_->setStretchFactor(0, 1);
  previewSplitter_->setStretchFactor(1, 0);
  QItemSelectionModel* selection = fileList_->selectionModel();
  connect(selection, &QItemSelectionModel::selectionChanged, this, [this] { PreviewSelection(); });
  connect(selection, &QItemSelectionModel::currentRowChanged, this, [this] { PreviewSelection(); });
  // Sorting moves other files under the selected row numbers.
  connect(&fileList_->Model(), &QAbstractItemModel::dataChanged, this, [this] { PreviewSelection(); });
  connect(&fileList_->Model(), &QAbstractItemModel::modelReset, this, [this] { PreviewSelection(); });
  return previewSplitter_;
}

void MainWindow::PreviewSelection() {
  const QModelIndexList rows = fileList_->selectionModel()->selectedRows();
  if (rows.size() > 1) {
    preview_->ShowReason(previewtexts::kManyRows);
    return;
  }
  const int row = rows.size() == 1 ? rows.front().row() : -1;
  const std::vector<FileRow>& all = fileList_->Model().Rows();
  if (row < 0 || static_cast<size_t>(row) >= all.size() || all[static_cast<size_t>(row)][kColName].empty() ||
      fileList_->ListedFolder().empty()) {
    preview_->ShowReason(previewtexts::kNoSelection);
    return;
  }
  preview_->ShowFile(fileList_->ListedFolder() + all[static_cast<size_t>(row)][kColName]);
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
  connect(AddItem(file, "MnuFileSFolder", texts::kMenuSearchFolder), &QAction::triggered, folderTree_,
          &FolderTreePanel::ChooseSearchFolder);
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
  if (batch_->Running()) {  // a batch cannot be aborted; the window stays until it ends
    event->ignore();
    return;
  }
  folderTree_->StopSearch();
  if (!closed_) {
    closed_ = true;
    Finish();
  }
  event->accept();
}

void MainWindow::Start() {
  // 1. Flags, filter and switches.
  folderTree_->ClearFlags();
  fileList_->ClearFlags();
  fileTypeBox_->setCurrentIndex(0);
  state_.Options = {};

  // 2. The image list starts empty.
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
  folderTree_->SetSearchFolder(ProgramFolder);
  SaveFolder.clear();
  IniFileName = SettingsFolder + "plmtool.ini";

  // 5. Stored settings over the defaults.
  ShellSettings s;
  s.FLD1 = folderTree_->SearchFolder();
  s.FLD2 = SaveFolder;
  ReadShellSettings(IniFileName, s);
  // Read and written as the area inside the frame, so the values stay put from run to
  // run; a stored place off every screen, or a window larger than its screen, is
  // brought back where the user can reach it.
  storedPlace_ = {s.F1_X, s.F1_Y, s.F1_W, s.F1_H};
  const QRect fitted = FitOnScreens(QRect(s.F1_X, s.F1_Y, s.F1_W, s.F1_H), AvailableScreenAreas(), minimumSize(),
                                    kAssumedFrame);
  setGeometry(fitted);
  fittedPlace_ = PlaceOf(fitted);
  if (switchesDialog_ != nullptr) {
    storedDialogPlace_ = {s.F2_X, s.F2_Y, 0, 0};
    const QRect dialog = FitOnScreens(QRect(QPoint(s.F2_X, s.F2_Y), switchesDialog_->size()), AvailableScreenAreas(),
                                      switchesDialog_->minimumSize(), kAssumedFrame);
    switchesDialog_->setGeometry(dialog);
    fittedDialogPlace_ = {dialog.x(), dialog.y(), 0, 0};
  }
  layout()->activate();  // the splitter takes its final width before the panel is sized
  splitter_->setSizes({s.F1P1, std::max(0, splitter_->width() - s.F1P1 - splitter_->handleWidth())});
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    fileList_->horizontalHeader()->resizeSection(c, s.F1S[static_cast<size_t>(c)]);
  folderTree_->SetSearchFolder(s.FLD1);
  SaveFolder = s.FLD2;
  fileTypeBox_->setCurrentIndex(s.FTYP >= 0 && s.FTYP < fileTypeBox_->count() ? s.FTYP : -1);
  state_.Options = s.Options;
  ReadPreviewSettings();

  // 6. Header row of the file list.
  FileTableModel::Row header;
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    header[static_cast<size_t>(c)] = std::string(texts::kFileListHeader[static_cast<size_t>(c)]);
  fileList_->Model().SetHeader(header);

  // 7. Save folder shown; search folder box, tree and list stay empty.
  saveFolderBox_->setText(PathText(SaveFolder));

  // 8.
  SetStatusText(texts::kSpecifySearchFolder);
}

void MainWindow::Finish() {
  // 1. Removing succeeds only when the folder is empty; failures are ignored.
  RemoveEmptyFolderQuietly(state_.Images.TempFolder);

  // 2.
  ClearTempImageFiles(state_.Images);

  // 3. Settings, written in one safe replacement of the file; failures are ignored.
  if (IniFileName.empty()) return;  // never shown: nothing was read, nothing to keep
  ShellSettings s;
  const bool normal = !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
  // What only this session's screens changed is stored as it was read.
  const WindowPlace place = PlaceToStore(PlaceOf(normal ? geometry() : normalGeometry()), storedPlace_, fittedPlace_);
  s.F1_X = place.X;
  s.F1_Y = place.Y;
  s.F1_W = place.W;
  s.F1_H = place.H;
  if (switchesDialog_ != nullptr) {
    const QRect dialog = switchesDialog_->geometry();
    const WindowPlace at = PlaceToStore({dialog.x(), dialog.y(), 0, 0}, storedDialogPlace_, fittedDialogPlace_);
    s.F2_X = at.X;
    s.F2_Y = at.Y;
  }
  s.F1P1 = folderTree_->width();
  for (int c = 0; c < FileTableModel::kColumns; ++c)
    s.F1S[static_cast<size_t>(c)] = fileList_->horizontalHeader()->sectionSize(c);
  s.FLD1 = folderTree_->SearchFolder();
  s.FLD2 = SaveFolder;
  s.FTYP = fileTypeBox_->currentIndex();
  s.Options = state_.Options;
  WriteShellSettings(IniFileName, s);
  WritePreviewSettings();
}

void MainWindow::ConfirmExit() {
  if (services_.Boxes.MessageBox(BoxKind::Confirmation, texts::kExitQuestion, BoxButtons::YesNo) ==
      BoxAnswer::Yes)
    close();
}

void MainWindow::OpenSwitchesDialog() {
  if (switchesDialog_ != nullptr) switchesDialog_->exec();
  preview_->SetOptions(state_.Options);
}

void MainWindow::ChooseSaveFolder() {
  const std::optional<std::string> folder =
      services_.Boxes.ChooseFolder(texts::kSaveFolderTitle, SaveFolder, FolderUse::Save);
  if (!folder) return;
  SaveFolder = *folder;
  saveFolderBox_->setText(PathText(SaveFolder));
}

void MainWindow::ChooseSearchFolder() { folderTree_->ChooseSearchFolder(); }

void MainWindow::SearchFolderTree() { folderTree_->SearchFolderTree(); }

std::optional<std::string> MainWindow::SelectedFolderPath() const { return folderTree_->SelectedFolderPath(); }

void MainWindow::ListSelectedFolder() {
  if (folderTree_->Searching()) return;  // no listing from inside a running search
  if (!folderTree_->Ready()) {
    services_.BoxAndStatus(texts::kSpecifySearchFolder);
    return;
  }
  if (const std::optional<std::string> folder = folderTree_->SelectedFolderPath()) fileList_->ListFiles(*folder);
}

void MainWindow::ListFiles(const std::string& folderPath) { fileList_->ListFiles(folderPath); }

void MainWindow::FileTypeChanged() {
  if (folderTree_->Ready() && folderTree_->HasSelectedNode()) ListSelectedFolder();
}

void MainWindow::SelectFileType(int index) {
  fileTypeBox_->setCurrentIndex(index);
  if (folderTree_->Ready()) ListSelectedFolder();
}

void MainWindow::ConvertSelected() { batch_->ConvertSelected(); }

FileTableModel& MainWindow::FileTable() { return fileList_->Model(); }
bool MainWindow::FolderTreeReady() const { return folderTree_->Ready(); }
bool MainWindow::SearchAborted() const { return folderTree_->SearchAborted(); }
bool MainWindow::FileListShown() const { return fileList_->Shown(); }
bool MainWindow::SortDescending() const { return fileList_->SortDescending(); }
const std::string& MainWindow::SearchFolder() const { return folderTree_->SearchFolder(); }
const BatchResults& MainWindow::LastBatch() const { return batch_->LastBatch(); }

}  // namespace plm
