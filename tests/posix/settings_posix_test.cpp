// Settings files written through a symbolic link keep the link and the target's mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>

#include "platform/fsutil.h"
#include "shell/settings.h"
#include "tests/support/text_files.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::ReadText;
using plmtest::WriteText;

TEST(SettingsTest, WriteReplacesTheFileSafely) {
  ScopedTempFolder dir("plm-ini-");
  const fs::path real = dir.Path() / "real.ini";
  const fs::path link = dir.Path() / "plmtool.ini";
  WriteText(real, "[Form]\nF1_X=1\n");
  ::chmod(real.c_str(), 0600);
  fs::create_symlink(real, link);

  ASSERT_TRUE(IniWriteString(link, "Form", "F1_X", "2"));
  EXPECT_TRUE(fs::is_symlink(link));  // the link survives; its target is replaced
  EXPECT_EQ(ReadText(real), "[Form]\nF1_X=2\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);

  // A folder that does not exist: false, and nothing is created.
  EXPECT_FALSE(IniWriteString(dir.Path() / "missing" / "a.ini", "A", "x", "1"));
  EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
}

}  // namespace
}  // namespace plm
