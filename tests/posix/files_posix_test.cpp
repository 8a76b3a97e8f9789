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
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;

const std::vector<uint8_t> kOld{'o', 'l', 'd'};
const std::vector<uint8_t> kNew{'n', 'e', 'w'};

TEST(FilesTest, ReplacedContentsKeepThePermissionsAndFollowALink) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "real.ini", kOld);
  ::chmod((dir / "real.ini").c_str(), 0640);
  fs::create_symlink(dir / "real.ini", dir / "link.ini");
  ASSERT_TRUE(ReplaceFileContents(dir / "link.ini", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFileBytes(dir / "real.ini"), kNew);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(FilesTest, ReadingRefusesWhatIsNotARegularFileWithoutBlocking) {
  plmtest::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  struct Case {
    const char* name;
    fs::path path;
    const char* reason;
  } cases[] = {
      {"FIFO", dir / "fifo", "is not a regular file"},
      {"folder", dir.path(), "is a folder, not a file"},
      {"missing", dir / "none", "cannot be opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    InputFile in;
    EXPECT_FALSE(in.Open(c.path, &why));
    EXPECT_EQ(why.rfind(c.reason, 0), 0u) << why;
    EXPECT_FALSE(ReadWholeFile(c.path));
  }
}

}  // namespace
}  // namespace plm
