// Replays every input under fuzz/regressions/<target>/ (inputs that once made a target
// fail) and fuzz/seeds/<target>/ (small inputs the fuzzer made and minimised) through
// its fuzz target body, so the ordinary suite keeps checking them.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

// Replays every file of root/<target>/; the number replayed.
int ReplayFolder(const fs::path& root) {
  int replayed = 0;
  std::error_code ec;
  for (const auto& folder : fs::directory_iterator(root, ec)) {
    if (!folder.is_directory()) continue;
    const std::string name = plm::Utf8FromPath(folder.path().filename());
    const plmfuzz::Target target = plmfuzz::TargetNamed(name.c_str());
    EXPECT_NE(target, nullptr) << "no fuzz target named " << name;
    if (!target) continue;
    for (const auto& input : fs::directory_iterator(folder.path())) {
      SCOPED_TRACE(plm::Utf8FromPath(input.path()));
      const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(input.path());
      EXPECT_TRUE(target(bytes.data(), bytes.size()));
      ++replayed;
    }
  }
  return replayed;
}

TEST(FuzzRegressionsTest, EveryStoredFailingInputHoldsItsTargetsInvariants) {
  if (ReplayFolder(plmtest::SourceFolder() / "fuzz" / "regressions") == 0)
    GTEST_SKIP() << "no stored failing inputs";
}

TEST(FuzzRegressionsTest, MinimisedSeedsHoldEveryTargetsInvariants) {
  EXPECT_GT(ReplayFolder(plmtest::SourceFolder() / "fuzz" / "seeds"), 0) << "fuzz/seeds/ holds no inputs";
}

// The targets' invariants hold on the project's own example drawings.
TEST(FuzzRegressionsTest, ExampleDrawingsPassEveryTarget) {
  const char* examples = std::getenv("PLMEXAMPLES");
  if (!examples) GTEST_SKIP() << "PLMEXAMPLES not set";
  plmtest::TempDir dir;
  ASSERT_EQ(std::system((std::string(examples) + " " + plm::Utf8FromPath(dir.path()) + " >/dev/null").c_str()), 0);
  for (const char* name : {"load_jww", "load_jws", "jww_memo", "jwc_memo", "jwk_memo", "probes", "roundtrip_jww",
                           "roundtrip_jws"}) {
    for (const auto& file : fs::directory_iterator(dir.path())) {
      if (!file.is_regular_file()) continue;
      SCOPED_TRACE(std::string(name) + " " + plm::Utf8FromPath(file.path()));
      const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(file.path());
      EXPECT_TRUE(plmfuzz::TargetNamed(name)(bytes.data(), bytes.size()));
    }
  }
}

}  // namespace
