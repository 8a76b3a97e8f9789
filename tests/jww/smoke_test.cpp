#include <gtest/gtest.h>

#include "jww/jwwunit.h"
#include "tests/support/bytes.h"

TEST(JwwSmokeTest, CorpusFolderIsFoundOrSkipped) {
  if (plmtest::CorpusFolder().empty()) GTEST_SKIP() << "corpus folder absent";
  EXPECT_TRUE(std::filesystem::exists(plmtest::CorpusFolder()));
}
