#pragma once
// The folder tree without a window: the search that builds it one folder at a time,
// the full path of a node and the final ordering of every node's children.
#include <functional>
#include <string>
#include <vector>

namespace plm {

struct FolderTreeNode {
  std::string Text;  // the root: the whole search folder, ending in "/"; others: a bare name
  int Parent = -1;
  std::vector<int> Children;
};

// Nodes are kept by id (creation order); the root has id 0.
class FolderTree {
 public:
  void Clear() { nodes_.clear(); }
  int AddRoot(std::string text);
  int AddChild(int parent, std::string text);
  size_t Count() const { return nodes_.size(); }
  const FolderTreeNode& Node(int id) const { return nodes_[static_cast<size_t>(id)]; }
  // Ids in depth-first order (a node, its descendants, then its next sibling): the
  // position of an id here is the node's absolute index.
  std::vector<int> DepthFirst() const;
  // Orders the children of every node by `less` on their texts, keeping the order of
  // equal texts.
  void SortChildren(const std::function<bool(const std::string&, const std::string&)>& less);

 private:
  std::vector<FolderTreeNode> nodes_;
};

// The full path of a node from the texts on the way down, root text first: the root
// text (ending in a separator) followed by each folder name and the system's separator.
// An ancestor whose text equals the root's is taken unchanged, as it already ends in
// the separator.
std::string NodeFolderPath(const std::vector<std::string>& textsFromRoot);
std::string NodeFolderPath(const FolderTree& tree, int id);

struct FolderSearchHooks {
  // Called after each directory entry but the first of a folder: the window lets
  // pending events run here.
  std::function<void()> ProcessEvents;
  // Polled before each folder is scanned and after each directory entry.
  std::function<bool()> EscapeHeld;
  // A node was appended (the window mirrors it at once).
  std::function<void(int id)> NodeAdded;
};

enum class SearchOutcome { Completed, Aborted };  // Aborted: ESC stopped it

// Appends one child per visible sub-folder of folderPath (ending in "/") to `parent`,
// in the order the file system lists them. Names starting with "." (hidden, "." and
// "..") and links are left out, so a link loop cannot make the search endless. A
// folder that cannot be read gets no children.
SearchOutcome AddSubFolders(FolderTree& tree, const std::string& folderPath, int parent, const FolderSearchHooks& hooks);

// Rebuilds the tree from searchFolder (ending in "/"): the root, then every folder in
// depth-first order, parents before children, each scanned once. When ESC ends the
// search, the nodes found until then stay.
SearchOutcome SearchFolderTree(FolderTree& tree, const std::string& searchFolder, const FolderSearchHooks& hooks);

}  // namespace plm
