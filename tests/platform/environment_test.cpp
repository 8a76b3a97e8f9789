#include "platform/environment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/environment.h"

namespace plm {
namespace {

// A variable unset tells apart from one set to nothing: the settings folder falls
// back differently for each.
TEST(EnvironmentTest, UnsetDiffersFromEmpty) {
  struct Case {
    const char* value;  // null: unset
    std::optional<std::string> expected;
  } const cases[] = {
      {"/home/u", "/home/u"},  // control
      {"", ""},
      {nullptr, std::nullopt},
      {"図面/フォルダ", "図面/フォルダ"},
  };
  const std::string name = "PLM_ENVIRONMENT_TEST_VARIABLE";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    plmtest::SetEnvironment(name, c.value);
    EXPECT_EQ(EnvironmentValue(name), c.expected);
  }
  plmtest::SetEnvironment(name, nullptr);
}

}  // namespace
}  // namespace plm
