#pragma once
// Test-only fixtures the shell's tests share across folders: folder texts as the shell
// spells them, folder-tree listings and a drawing with a memo.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "shell/foldertree.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"
#include "tests/support/text_files.h"

namespace plmtest {

// A folder as the shell's text: UTF-8 with a trailing slash.
inline std::string Slashed(const std::filesystem::path& p) { return plm::Utf8FromPath(p) + "/"; }

// Every node of the tree as its path relative to the root, in depth-first order.
inline std::vector<std::string> TreePaths(const plm::FolderTree& tree) {
  std::vector<std::string> out;
  const std::string root = tree.Node(0).Text;
  for (int id : tree.DepthFirst()) {
    std::string path = plm::NodeFolderPath(tree, id).substr(root.size());
    std::replace(path.begin(), path.end(), plm::kFolderSeparator, '/');  // the same on every system
    out.push_back(path);
  }
  return out;
}

inline bool NameLess(const std::string& a, const std::string& b) { return a < b; }

// An empty version 600 drawing whose memo is `memo`.
inline Bytes JwwDrawingWithMemo(const std::string& memo) {
  DistinctValues values;
  values.SetStr("Memo", -1, memo);
  return BuildEmptyJwwDrawing(600, values);
}

}  // namespace plmtest
