#include "shell/foldertree.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/paths.h"

namespace plm {

int FolderTree::AddRoot(std::string text) {
  nodes_.clear();
  nodes_.push_back({std::move(text), -1, {}});
  return 0;
}

int FolderTree::AddChild(int parent, std::string text) {
  const int id = static_cast<int>(nodes_.size());
  nodes_.push_back({std::move(text), parent, {}});
  nodes_[static_cast<size_t>(parent)].Children.push_back(id);
  return id;
}

std::vector<int> FolderTree::DepthFirst() const {
  std::vector<int> order;
  if (nodes_.empty()) return order;
  order.reserve(nodes_.size());
  std::vector<int> stack{0};
  while (!stack.empty()) {
    const int id = stack.back();
    stack.pop_back();
    order.push_back(id);
    const auto& kids = nodes_[static_cast<size_t>(id)].Children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
  }
  return order;
}

void FolderTree::SortChildren(const std::function<bool(const std::string&, const std::string&)>& less) {
  for (FolderTreeNode& node : nodes_)
    std::stable_sort(node.Children.begin(), node.Children.end(), [&](int a, int b) {
      return less(nodes_[static_cast<size_t>(a)].Text, nodes_[static_cast<size_t>(b)].Text);
    });
}

std::string NodeFolderPath(const std::vector<std::string>& textsFromRoot) {
  if (textsFromRoot.empty()) return {};
  const std::string& root = textsFromRoot.front();
  std::string path = textsFromRoot.back();
  if (textsFromRoot.size() > 1) path += kFolderSeparator;
  for (size_t i = textsFromRoot.size() - 1; i-- > 0;) {
    const std::string& text = textsFromRoot[i];
    path.insert(0, text == root ? text : text + kFolderSeparator);
  }
  return path;
}

std::string NodeFolderPath(const FolderTree& tree, int id) {
  std::vector<std::string> texts;
  for (int n = id; n >= 0; n = tree.Node(n).Parent) texts.push_back(tree.Node(n).Text);
  std::reverse(texts.begin(), texts.end());
  return NodeFolderPath(texts);
}

namespace {

bool EscapeHeld(const FolderSearchHooks& hooks) { return hooks.EscapeHeld && hooks.EscapeHeld(); }

}  // namespace

SearchOutcome AddSubFolders(FolderTree& tree, const std::string& folderPath, int parent,
                            const FolderSearchHooks& hooks) {
  SearchOutcome outcome = SearchOutcome::Completed;
  bool first = true;
  // A folder that cannot be read simply gets no children.
  ForEachFolderEntry(PathFromUtf8(folderPath), [&](const FolderEntry& entry) {
    if (!first) {
      if (hooks.ProcessEvents) hooks.ProcessEvents();
      if (EscapeHeld(hooks)) {
        outcome = SearchOutcome::Aborted;
        return false;
      }
    }
    first = false;
    if (entry.Hidden || !entry.IsFolder) return true;
    const int id = tree.AddChild(parent, entry.Name);
    if (hooks.NodeAdded) hooks.NodeAdded(id);
    return true;
  });
  return outcome;
}

SearchOutcome SearchFolderTree(FolderTree& tree, const std::string& searchFolder, const FolderSearchHooks& hooks) {
  const int root = tree.AddRoot(searchFolder);
  if (hooks.NodeAdded) hooks.NodeAdded(root);
  // order[i] is the node at absolute index i; the children of a node are inserted
  // directly behind it, so every folder is visited once, parents first.
  std::vector<int> order{root};
  bool aborted = false;
  auto scan = [&](size_t i) {
    const size_t before = tree.Count();
    aborted = AddSubFolders(tree, NodeFolderPath(tree, order[i]), order[i], hooks) == SearchOutcome::Aborted;
    std::vector<int> added;
    for (size_t id = before; id < tree.Count(); ++id) added.push_back(static_cast<int>(id));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(i) + 1, added.begin(), added.end());
  };
  scan(0);
  for (size_t i = 1; i < order.size(); ++i) {
    if (EscapeHeld(hooks)) aborted = true;
    if (aborted) break;
    scan(i);
  }
  return aborted ? SearchOutcome::Aborted : SearchOutcome::Completed;
}

}  // namespace plm
