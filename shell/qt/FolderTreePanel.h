#pragma once
// The folder panel at the window's left: the search folder box above the folder tree.
// A click on the box chooses the search folder and searches it; the tree shows each
// folder as it is found until ESC stops the search. Choosing a node (a click, a key
// that moves to another node, Return) announces FolderChosen.
#include <QWidget>
#include <optional>
#include <string>

class QLineEdit;
class QTreeWidget;

namespace plm {

struct WindowServices;

class FolderTreePanel : public QWidget {
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
  void StopSearch() { stopSearch_ = searching_; }

  const std::string& SearchFolder() const { return searchFolder_; }  // ends in "/"
  // The folder the next search starts from; the box keeps showing what it shows.
  void SetSearchFolder(const std::string& folder) { searchFolder_ = folder; }
  bool Ready() const { return ready_; }  // the last search found the folder
  bool SearchAborted() const { return aborted_; }
  bool Searching() const { return searching_; }
  void ClearFlags() { ready_ = aborted_ = false; }

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
  std::string searchFolder_;
  bool ready_ = false;
  bool aborted_ = false;
  bool searching_ = false;
  bool stopSearch_ = false;  // the window closes during a search
};

}  // namespace plm
