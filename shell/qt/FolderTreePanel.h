#pragma once
// The folder panel at the window's left: the search folder box above the folder tree.
// A click on the box chooses the search folder and searches it; the tree shows each
// folder as it is found until ESC stops the search. Choosing a node (a click, a key
// that moves to another node, Return) announces FolderChosen.
#include <QCollator>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "shell/windowflows.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace plm {

struct WindowServices;

class FolderTreePanel : public QWidget, public FolderTreeControl {
  Q_OBJECT
 public:
  // `services` must outlive the panel.
  FolderTreePanel(WindowServices& services, QWidget* parent);

  // Asks for the search folder and searches it; nothing while a search runs.
  void ChooseSearchFolder();
  // Rebuilds the tree from SearchFolder.
  void SearchFolderTree();
  // NodeFolderPath of the tree's selected node; nullopt without one.
  std::optional<std::string> SelectedFolderPath() const;
  bool HasSelectedNode() const;
  // A running search stops at its next directory entry.
  void StopSearch() { state_.StopRequested = state_.Searching; }

  const std::string& SearchFolder() const { return state_.SearchFolder; }  // ends in "/"
  // The folder the next search starts from; the box keeps showing what it shows.
  void SetSearchFolder(const std::string& folder) { state_.SearchFolder = folder; }
  bool Ready() const { return state_.Ready; }  // the last search found the folder
  bool SearchAborted() const { return state_.Aborted; }
  bool Searching() const { return state_.Searching; }
  void ClearFlags() { state_.Ready = state_.Aborted = false; }
  const FolderPanelState& State() const { return state_; }

  // FolderTreeControl.
  void ShowSearchFolder(const std::string& folder) override;
  void SearchStarting() override;
  void NodeAdded(const FolderTree& tree, int id) override;
  void SearchEnded(const FolderTree& sorted) override;
  bool NameBefore(const std::string& a, const std::string& b) override;

 signals:
  // A search is about to empty the tree: what was listed from it goes too.
  void SearchStarted();
  void FolderChosen();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The box as wide as the panel, the tree below it.
  void LayoutChildren();

  WindowServices& services_;
  QLineEdit* searchFolderBox_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  std::vector<QTreeWidgetItem*> found_;  // the items of a running search, by node id
  FolderPanelState state_;
  QCollator collator_;  // the locale's, taken when a search starts
};

}  // namespace plm
