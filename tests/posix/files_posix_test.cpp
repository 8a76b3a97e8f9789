#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

TEST(FilesPosixTest, ReplacedContentsKeepThePermissionsAndFollowALink) {
  plmtest::TempDir dir;
  plmtest::WriteFileBytes(dir / "real.ini", {'o', 'l', 'd'});
  ::chmod((dir / "real.ini").c_str(), 0640);
  fs::create_symlink(dir / "real.ini", dir / "link.ini");
  ASSERT_TRUE(ReplaceFileContents(dir / "link.ini", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(plmtest::ReadFileBytes(dir / "real.ini"), (std::vector<uint8_t>{'n', 'e', 'w'}));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A FIFO is refused at once, never opened for a read that would block.
TEST(FilesPosixTest, ReadingRefusesAFifoWithoutBlocking) {
  plmtest::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string why;
  InputFile in;
  EXPECT_FALSE(in.Open(dir / "fifo", &why));
  EXPECT_EQ(why.rfind("is not a regular file", 0), 0u) << why;
  EXPECT_FALSE(ReadWholeFile(dir / "fifo"));
}

}  // namespace
}  // namespace plm
