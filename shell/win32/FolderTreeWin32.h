#pragma once
// The folder panel's Win32 controls: the search folder box Edit1 above the folder tree
// TreeView1 (a comctl32 tree view). Each node keeps the bytes of its folder name, so
// the selected node's path is made from them, never from the shown text.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/windowflows.h"
#include "shell/win32/Win32Util.h"

namespace plm::win32 {

class FolderTreeWin32 : public FolderTreeControl {
 public:
  // Creates both controls as children of `parent` with the given ids.
  void Create(HWND parent, int boxId, int treeId);
  HWND Box() const { return box_; }
  HWND Tree() const { return tree_; }
  // The two 16 x 16 folder images at `dpi`: yellow, then red; every node shows the first.
  void SetImages(Dpi dpi);

  // NodeFolderPath of the selected node; nullopt without one.
  std::optional<std::string> SelectedFolderPath() const;
  bool HasSelectedNode() const;

  FolderPanelState& State() { return state_; }
  const FolderPanelState& State() const { return state_; }

  void ShowSearchFolder(const std::string& folder) override;
  void SearchStarting() override;
  void NodeAdded(const FolderTree& tree, int id) override;
  void SearchEnded(const FolderTree& sorted) override;
  bool NameBefore(const std::string& a, const std::string& b) override;

  // Called when a search is about to empty the tree (the list goes with it).
  std::function<void()> OnSearchStarting;

 private:
  HTREEITEM Insert(HTREEITEM parent, const std::string& text);

  HWND box_ = nullptr;
  HWND tree_ = nullptr;
  HIMAGELIST images_ = nullptr;
  FolderPanelState state_;
  std::vector<std::string> names_;  // by the lParam of a node
  std::vector<HTREEITEM> found_;    // the items of a running search, by node id
};

}  // namespace plm::win32
