#include "shell/foldertree.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/fake_keystate.h"
#include "tests/support/bytes.h"
#include "tests/support/shell_fixtures.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

using plmtest::NameLess;
using plmtest::Slashed;
using plmtest::TreePaths;

TEST(FolderTreeTest, NodeFolderPath) {
  // Names below the root are joined with the system's separator.
  const std::string sep(1, kFolderSeparator);
  EXPECT_EQ(NodeFolderPath(std::vector<std::string>{"/w/"}), "/w/");
  EXPECT_EQ(NodeFolderPath(std::vector<std::string>{"/w/", "A"}), "/w/A" + sep);
  EXPECT_EQ(NodeFolderPath(std::vector<std::string>{"/w/", "A", "B"}), "/w/A" + sep + "B" + sep);
  EXPECT_EQ(NodeFolderPath(std::vector<std::string>{}), "");

  FolderTree tree;
  const int root = tree.AddRoot("C:/W/");
  const int a = tree.AddChild(root, "A");
  const int b = tree.AddChild(a, "B");
  tree.AddChild(root, "Z");
  EXPECT_EQ(NodeFolderPath(tree, b), "C:/W/A" + sep + "B" + sep);
  EXPECT_EQ(NodeFolderPath(tree, root), "C:/W/");
}

TEST(FolderTreeTest, EscapeStopsTheSearchAndKeepsWhatWasFound) {
  plmtest::TempDir dir;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 4; ++j) fs::create_directories(dir / ("d" + std::to_string(i)) / ("e" + std::to_string(j)));

  FolderTree full;
  SearchFolderTree(full, Slashed(dir.path()), {});
  ASSERT_EQ(full.Count(), 1u + 6 + 24);

  for (int heldAfter : {0, 3, 10}) {
    SCOPED_TRACE(heldAfter);
    plmtest::FakeKeyState keys(heldAfter);
    FolderTree tree;
    FolderSearchHooks hooks;
    hooks.EscapeHeld = [&] { return keys.EscapeHeld(); };
    EXPECT_EQ(SearchFolderTree(tree, Slashed(dir.path()), hooks), SearchOutcome::Aborted);
    EXPECT_GE(tree.Count(), 1u);
    EXPECT_LT(tree.Count(), full.Count());
    // The search ends at once: at most the loop's own check follows the answer "held".
    EXPECT_LE(keys.Queries, heldAfter + 2);
  }
}

TEST(FolderTreeTest, MissingOrUnreadableFolderGivesNoChildren) {
  FolderTree tree;
  EXPECT_EQ(SearchFolderTree(tree, "/nonexistent-plm-folder/", {}), SearchOutcome::Completed);
  EXPECT_EQ(tree.Count(), 1u);
}

TEST(FolderTreeTest, SortChildrenOrdersEveryLevelAndKeepsEqualNames) {
  FolderTree tree;
  const int root = tree.AddRoot("/r/");
  const int b = tree.AddChild(root, "b");
  tree.AddChild(root, "a");
  tree.AddChild(b, "z");
  tree.AddChild(b, "y");
  const int first = tree.AddChild(root, "a");
  tree.SortChildren(NameLess);
  EXPECT_EQ(TreePaths(tree), (std::vector<std::string>{"", "a/", "a/", "b/", "b/y/", "b/z/"}));
  EXPECT_EQ(tree.Node(root).Children[1], first);  // equal names keep their order
}

}  // namespace
}  // namespace plm
