// plmconv run by the shell on files whose extension names the other format: the
// signature decides, so both are skipped, and files that fail to load leave nothing in
// the save folder and set the exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/jws_figure.h"

namespace {

using plmtest::Bytes;
namespace fs = std::filesystem;

fs::path PlmconvPath() {
  if (const char* env = std::getenv("PLMCONV"); env && *env) return env;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path().parent_path() / "app" / "plmconv";
}

TEST(JwsUnitTest, PlmconvSkipsAMismatchedExtensionAndSavesNothingForFilesThatFailToLoad) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> jws = plmtest::JwsFigure(351, plmtest::Body{});
  Bytes jww = plmtest::JwwHeaderBytes(600);
  jww.u16(0).u16(0);
  plmtest::WriteFileBytes(dir / "jwwdata.JWS", jww.data());
  plmtest::WriteFileBytes(dir / "jwsdata.JWW", jws);

  const fs::path plmconv = PlmconvPath();
  if (plmconv.empty() || !fs::exists(plmconv)) GTEST_SKIP() << "plmconv not found";
  fs::create_directory(dir / "save");
  const std::string command = "'" + plmconv.string() + "' convert -o '" + (dir / "save").string() + "' '" +
                              (dir / "jwwdata.JWS").string() + "' '" + (dir / "jwsdata.JWW").string() + "' > '" +
                              (dir / "out.txt").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(dir / "out.txt");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(status, 0) << text.str();
  EXPECT_NE(text.str().find("jwwdata.JWS: skipped ("), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("jwsdata.JWW: skipped ("), std::string::npos) << text.str();
  EXPECT_TRUE(fs::is_empty(dir / "save"));

  // Files that fail to load leave nothing in the save folder, and the exit status says so.
  std::vector<uint8_t> cutJws(jws.begin(), jws.end() - 1);
  std::vector<uint8_t> cutJww(jww.data().begin(), jww.data().end() - 1);
  plmtest::WriteFileBytes(dir / "cut.JWS", cutJws);
  plmtest::WriteFileBytes(dir / "cut.JWW", cutJww);
  const std::string failing = "'" + plmconv.string() + "' convert -o '" + (dir / "save").string() + "' '" +
                              (dir / "cut.JWS").string() + "' '" + (dir / "cut.JWW").string() + "' > '" +
                              (dir / "out2.txt").string() + "' 2>&1";
  const int failedStatus = std::system(failing.c_str());
  std::ifstream in2(dir / "out2.txt");
  std::stringstream text2;
  text2 << in2.rdbuf();
  EXPECT_TRUE(WIFEXITED(failedStatus) && WEXITSTATUS(failedStatus) == 1) << text2.str();
  EXPECT_NE(text2.str().find("cut.JWS: failed ("), std::string::npos) << text2.str();
  EXPECT_NE(text2.str().find("cut.JWW: failed ("), std::string::npos) << text2.str();
  EXPECT_TRUE(fs::is_empty(dir / "save"));
}

}  // namespace
