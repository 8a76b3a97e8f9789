// Replays every input under fuzz/regressions/<target>/ through its fuzz target body, so
// an input that once failed keeps being checked by the ordinary suite.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

TEST(FuzzRegressionsTest, EveryStoredInputHoldsItsTargetsInvariants) {
  const fs::path root = fs::path(PLM_SOURCE_DIR) / "fuzz" / "regressions";
  int replayed = 0;
  std::error_code ec;
  for (const auto& folder : fs::directory_iterator(root, ec)) {
    if (!folder.is_directory()) continue;
    const std::string name = folder.path().filename().string();
    const plmfuzz::Target target = plmfuzz::TargetNamed(name.c_str());
    ASSERT_NE(target, nullptr) << "no fuzz target named " << name;
    for (const auto& input : fs::directory_iterator(folder.path())) {
      SCOPED_TRACE(input.path().string());
      const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(input.path());
      EXPECT_TRUE(target(bytes.data(), bytes.size()));
      ++replayed;
    }
  }
  if (replayed == 0) GTEST_SKIP() << "no stored regression inputs";
}

// The targets' invariants hold on the project's own example drawings.
TEST(FuzzRegressionsTest, ExampleDrawingsPassEveryTarget) {
  const char* examples = std::getenv("PLMEXAMPLES");
  if (!examples) GTEST_SKIP() << "PLMEXAMPLES not set";
  plmtest::TempDir dir;
  ASSERT_EQ(std::system((std::string(examples) + " " + dir.path().string() + " >/dev/null").c_str()), 0);
  for (const char* name : {"load_jww", "load_jws", "jww_memo", "jwc_memo", "jwk_memo", "probes", "roundtrip_jww",
                           "roundtrip_jws"}) {
    for (const auto& file : fs::directory_iterator(dir.path())) {
      if (!file.is_regular_file()) continue;
      SCOPED_TRACE(std::string(name) + " " + file.path().string());
      const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(file.path());
      EXPECT_TRUE(plmfuzz::TargetNamed(name)(bytes.data(), bytes.size()));
    }
  }
}

}  // namespace
