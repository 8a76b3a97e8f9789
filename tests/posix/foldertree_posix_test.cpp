// The folder-tree search over a real tree with a link back to its root and a folder
// that cannot be listed: every visible folder once, parents first.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "shell/foldertree.h"
#include "tests/support/bytes.h"
#include "tests/support/shell_fixtures.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::NameLess;
using plmtest::Slashed;
using plmtest::TreePaths;

TEST(FolderTreeTest, SearchVisitsEveryVisibleFolderOnceParentsFirst) {
  plmtest::TempDir dir;
  for (const char* f : {"a/x/deep", "a/y", "b", ".hidden/inner", "c"}) fs::create_directories(dir / f);
  std::ofstream(dir / "a" / "file.jww") << "x";
  fs::create_directory_symlink(dir.path(), dir / "b" / "loop");  // a link back to the root
  fs::permissions(dir / "c", fs::perms::owner_read | fs::perms::owner_exec);  // read-only folder

  FolderTree tree;
  std::vector<std::string> added;
  int events = 0;
  FolderSearchHooks hooks;
  hooks.ProcessEvents = [&] { ++events; };
  hooks.NodeAdded = [&](int id) { added.push_back(tree.Node(id).Text); };
  EXPECT_EQ(SearchFolderTree(tree, Slashed(dir.path()), hooks), SearchOutcome::Completed);
  fs::permissions(dir / "c", fs::perms::owner_all);

  EXPECT_EQ(tree.Node(0).Text, Slashed(dir.path()));
  EXPECT_EQ(added.size(), tree.Count());
  tree.SortChildren(NameLess);
  EXPECT_EQ(TreePaths(tree), (std::vector<std::string>{"", "a/", "a/x/", "a/x/deep/", "a/y/", "b/", "c/"}));
  EXPECT_GT(events, 0);
}

}  // namespace
}  // namespace plm
