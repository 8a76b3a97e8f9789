#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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
    if (c.value)
      ::setenv(name.c_str(), c.value, 1);
    else
      ::unsetenv(name.c_str());
    EXPECT_EQ(EnvironmentValue(name), c.expected);
  }
  ::unsetenv(name.c_str());
}

}  // namespace
}  // namespace plm
