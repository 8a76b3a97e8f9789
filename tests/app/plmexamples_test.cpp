// The example generator prints its usage for --help and for anything option-like,
// and never writes into a folder named after such an argument.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

struct ExamplesRun {
  int code;
  std::string out;
};

// Runs plmexamples with one argument inside `cwd`; stdout and stderr together.
ExamplesRun Examples(const fs::path& cwd, const std::string& arg) {
  const std::string command = "cd '" + cwd.string() + "' && '" + std::getenv("PLMEXAMPLES") + "' " + arg + " 2>&1";
  ExamplesRun run{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(PlmexamplesTest, OptionsPrintUsageAndWriteNothing) {
  if (std::getenv("PLMEXAMPLES") == nullptr) GTEST_SKIP() << "PLMEXAMPLES not set";
  plmtest::TempDir dir;
  struct Case {
    const char* arg;
    int code;
  } cases[] = {{"--help", 0}, {"-h", 0}, {"--version", 2}, {"-x", 2}, {"--", 2}, {"''", 2}, {"a b", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    const ExamplesRun run = Examples(dir.path(), c.arg);
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.out.rfind("usage: plmexamples FOLDER\n", 0), 0u) << run.out;
    EXPECT_TRUE(fs::is_empty(dir.path()));
  }
  // Control: a folder argument gets the drawings.
  const ExamplesRun run = Examples(dir.path(), "out");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_TRUE(fs::exists(dir.path() / "out" / "plan700.jww"));
}

}  // namespace
