#include "shell/qt/FolderTreePanel.h"

#include <QCollator>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <vector>

#include "platform/fsutil.h"
#include "platform/keystate.h"
#include "shell/foldertree.h"
#include "shell/qt/WindowServices.h"
#include "shell/texts.h"

namespace plm {
namespace {

// The folder bytes of a tree node, kept beside its display text so that names which
// are not valid UTF-8 still make the right path.
constexpr int kFolderBytesRole = Qt::UserRole;

// Two 16 x 16 folder images, yellow then red; every node shows the first.
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

const std::vector<QIcon>& FolderImages() {
  static const std::vector<QIcon> images = {FolderImage(QColor(250, 210, 70)), FolderImage(QColor(225, 60, 50))};
  return images;
}

QTreeWidgetItem* MakeFolderItem(const std::string& text) {
  auto* item = new QTreeWidgetItem;
  item->setIcon(0, FolderImages()[0]);
  item->setText(0, PathText(text));
  item->setToolTip(0, item->text(0));  // the whole name, however narrow the panel
  item->setData(0, kFolderBytesRole, QByteArray::fromStdString(text));
  return item;
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

}  // namespace

FolderTreePanel::FolderTreePanel(WindowServices& services, QWidget* parent) : QWidget(parent), services_(services) {
  // Children are placed by LayoutChildren, which keeps the box as wide as the panel.
  setObjectName(QStringLiteral("Panel1"));
  setMinimumWidth(0);

  searchFolderBox_ = new QLineEdit(this);
  searchFolderBox_->setObjectName(QStringLiteral("Edit1"));
  searchFolderBox_->setReadOnly(true);
  searchFolderBox_->installEventFilter(this);

  auto* tree = new FolderTreeWidget(this);
  tree->NodeChosen = [this] { emit FolderChosen(); };
  tree_ = tree;
  tree_->setObjectName(QStringLiteral("TreeView1"));
  tree_->setHeaderHidden(true);
  tree_->setIndentation(19);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->viewport()->installEventFilter(this);
}

void FolderTreePanel::resizeEvent(QResizeEvent* event) {
  LayoutChildren();
  QWidget::resizeEvent(event);
}

void FolderTreePanel::LayoutChildren() {
  const int panelWidth = width();
  const int boxHeight = std::max(19, searchFolderBox_->sizeHint().height());
  searchFolderBox_->setGeometry(0, 0, panelWidth, boxHeight);
  tree_->setGeometry(0, boxHeight, panelWidth, std::max(0, height() - boxHeight));
}

bool FolderTreePanel::eventFilter(QObject* watched, QEvent* event) {
  const bool leftRelease = event->type() == QEvent::MouseButtonRelease &&
                           static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
  if (leftRelease && watched == searchFolderBox_) ChooseSearchFolder();
  else if (leftRelease && watched == tree_->viewport()) emit FolderChosen();
  return QWidget::eventFilter(watched, event);
}

void FolderTreePanel::ChooseSearchFolder() {
  if (searching_) return;  // one search at a time
  // The status line is cleared while the chooser is open and comes back when it is
  // cancelled, so what it said is not lost.
  const std::string before = services_.Status ? services_.Status() : std::string();
  services_.SetStatus("");
  const std::optional<std::string> folder =
      services_.Boxes.ChooseFolder(texts::kSearchFolderTitle, searchFolder_, FolderUse::Search);
  if (!folder) {
    services_.SetStatus(before);
    return;
  }
  searchFolder_ = *folder;
  searchFolderBox_->setText(PathText(searchFolder_));
  SearchFolderTree();
}

void FolderTreePanel::SearchFolderTree() {
  if (searching_) return;
  services_.SetStatus(texts::kSearchingFolders);
  if (!IsExistingFolder(searchFolder_)) {
    services_.Boxes.Beep();
    services_.Boxes.MessageBox(BoxKind::Information, texts::kDriveNotReady, BoxButtons::Ok);
    services_.SetStatus(texts::kSpecifySearchFolder);
    return;
  }
  emit SearchStarted();
  ready_ = false;
  aborted_ = false;
  searching_ = true;
  stopSearch_ = false;
  tree_->setEnabled(false);
  tree_->clear();

  // The tree shows each folder as it is found; the window runs pending events after
  // each directory entry, while the tree itself takes no input.
  FolderTree tree;
  std::vector<QTreeWidgetItem*> items;
  FolderSearchHooks hooks;
  hooks.ProcessEvents = [] { QCoreApplication::processEvents(); };
  hooks.EscapeHeld = [this] { return stopSearch_ || services_.Keys->EscapeHeld(); };
  hooks.NodeAdded = [&](int id) {
    const FolderTreeNode& node = tree.Node(id);
    QTreeWidgetItem* item = MakeFolderItem(node.Text);
    if (node.Parent < 0) tree_->addTopLevelItem(item);
    else items[static_cast<size_t>(node.Parent)]->addChild(item);
    items.push_back(item);
    if (node.Parent == 0) item->parent()->setExpanded(true);
  };
  aborted_ = plm::SearchFolderTree(tree, searchFolder_, hooks) == plm::SearchOutcome::Aborted;

  // Children in the locale's order of names, the tree built again in that order.
  QCollator collator{QLocale()};
  tree.SortChildren([&](const std::string& a, const std::string& b) {
    return collator.compare(PathText(a), PathText(b)) < 0;
  });
  tree_->clear();
  std::vector<QTreeWidgetItem*> sorted(tree.Count(), nullptr);
  for (int id : tree.DepthFirst()) {
    const FolderTreeNode& node = tree.Node(id);
    QTreeWidgetItem* item = MakeFolderItem(node.Text);
    if (node.Parent < 0) tree_->addTopLevelItem(item);
    else sorted[static_cast<size_t>(node.Parent)]->addChild(item);
    sorted[static_cast<size_t>(id)] = item;
  }
  if (tree_->topLevelItemCount() > 0) tree_->topLevelItem(0)->setExpanded(true);
  tree_->setCurrentItem(nullptr);

  tree_->setEnabled(true);
  searching_ = false;
  services_.SetStatus(aborted_ ? texts::kFolderSearchAborted : "");
  if (tree_->topLevelItemCount() > 0) ready_ = true;
}

bool FolderTreePanel::HasSelectedNode() const { return tree_->currentItem() != nullptr; }

std::optional<std::string> FolderTreePanel::SelectedFolderPath() const {
  const QTreeWidgetItem* item = tree_->currentItem();
  if (item == nullptr) return std::nullopt;
  std::vector<std::string> texts;
  for (; item != nullptr; item = item->parent())
    texts.push_back(item->data(0, kFolderBytesRole).toByteArray().toStdString());
  std::reverse(texts.begin(), texts.end());
  return NodeFolderPath(texts);
}

}  // namespace plm
