// plmconv convert whatever the folders look like: save folders above, around and
// through links to the inputs, inputs named twice, names near the length limit, two
// runs at one save folder. Nothing an input or an earlier output holds may be lost.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <functional>
#include <thread>

#include "app/plmconv.h"
#include "shell/savefolder.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::CliRun;
using plmtest::Plmconv;
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;
using Data = std::vector<uint8_t>;

Data Drawing() {
  plmtest::DistinctValues values;
  return plmtest::BuildEmptyJwwDrawing(600, values).data();
}

Data Figure() {
  plmtest::Bytes b;
  b.raw("JwsData").fill(193, '.').i32(420).zeros(16 + 128 + 24 + 80);
  return b.count(0).count(0).data();
}

// What a drawing converts to: written once, into a folder of its own.
Data Converted(const fs::path& scratch, const Data& input, const std::string& name) {
  fs::create_directories(scratch / "ref-in");
  fs::create_directories(scratch / "ref-out");
  WriteFileBytes(scratch / "ref-in" / name, input);
  Plmconv({"convert", "-o", (scratch / "ref-out").string(), (scratch / "ref-in" / name).string()});
  return ReadFileBytes(scratch / "ref-out" / name);
}

Data Earlier(const std::string& what) { return Data(what.begin(), what.end()); }

std::string Kanji(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "図";
  return s;
}

// A folder shape: `make` lays out files under `d` (which holds empty folders in and
// S), the run's arguments come from `args`, and `check` looks at what the runs left.
// Each shape runs twice, as a user converting the same folder again would.
struct Shape {
  const char* name;
  std::function<void(const fs::path& d)> make;
  std::function<std::vector<std::string>(const fs::path& d)> args;
  int code;
  std::function<void(const fs::path& d, const CliRun& second)> check;
};

TEST(PlmconvSaveFolderTest, NothingIsLostWhateverTheFoldersLookLike) {
  const std::string longName = Kanji(83) + ".jws";  // 253 bytes
  const Shape shapes[] = {
      {"control: a save folder beside the input",
       [](const fs::path& d) {
         fs::create_directories(d / "in" / "sub");
         WriteFileBytes(d / "in" / "a.jww", Drawing());
         WriteFileBytes(d / "in" / "sub" / "a.jww", Figure());  // not a drawing: skipped
         WriteFileBytes(d / "S" / "a.jww", Earlier("earlier a"));
       },
       [](const fs::path& d) { return std::vector<std::string>{"-r", "-o", (d / "S").string(), (d / "in").string()}; },
       kExitOk,
       [](const fs::path& d, const CliRun&) {
         EXPECT_EQ(ReadFileBytes(d / "S" / "a.jww"), Converted(d, Drawing(), "a.jww"));
       }},
      {"the save folder above the input folder",
       [](const fs::path& d) {
         fs::create_directories(d / "S" / "in" / "in");
         WriteFileBytes(d / "S" / "in" / "z.jww", Drawing());
         WriteFileBytes(d / "S" / "in" / "in" / "z.jww", Drawing());
       },
       [](const fs::path& d) {
         return std::vector<std::string>{"-r", "-o", (d / "S").string(), (d / "S" / "in").string()};
       },
       kExitUsage,
       [](const fs::path& d, const CliRun& r) {
         EXPECT_NE(r.err.find("holds the folder"), std::string::npos) << r.err;
         EXPECT_EQ(ReadFileBytes(d / "S" / "in" / "z.jww"), Drawing());
         EXPECT_FALSE(fs::exists(d / "S" / "z.jww"));
         EXPECT_FALSE(fs::exists(d / "S" / "in" / "z.BAK"));
       }},
      {"a link in the save folder leading into the input",
       [](const fs::path& d) {
         fs::create_directories(d / "in" / "sub");
         WriteFileBytes(d / "in" / "a.jww", Drawing());
         WriteFileBytes(d / "in" / "sub" / "a.jww", Drawing());
         fs::create_directory_symlink(d / "in", d / "S" / "sub");
       },
       [](const fs::path& d) { return std::vector<std::string>{"-r", "-o", (d / "S").string(), (d / "in").string()}; },
       kExitFailed,
       [](const fs::path& d, const CliRun& r) {
         EXPECT_NE(r.out.find("sub/a.jww: failed (the output folder " + (d / "S" / "sub").string() + " is a link"),
                   std::string::npos)
             << r.out;
         EXPECT_EQ(ReadFileBytes(d / "in" / "a.jww"), Drawing());
         EXPECT_FALSE(fs::exists(d / "in" / "a.BAK"));
       }},
      {"the same input named twice, through a link and spelled apart",
       [](const fs::path& d) {
         WriteFileBytes(d / "in" / "a.jww", Drawing());
         WriteFileBytes(d / "S" / "a.jww", Earlier("earlier a"));
         fs::create_directory_symlink(d / "in", d / "link");
       },
       [](const fs::path& d) {
         return std::vector<std::string>{"-o", (d / "S").string(), (d / "in").string(), (d / "link").string(),
                                         (d / "in" / "." / "a.jww").string()};
       },
       kExitOk,
       [](const fs::path& d, const CliRun& r) {
         EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
         EXPECT_NE(r.out.find((d / "link" / "a.jww").string() + ": skipped (the same file as "), std::string::npos)
             << r.out;
         // One conversion per run: the first run's output is the backup of the second.
         EXPECT_EQ(ReadFileBytes(d / "S" / "a.BAK"), Converted(d, Drawing(), "a.jww"));
       }},
      {"a name near the length limit with an earlier output",
       [&](const fs::path& d) {
         WriteFileBytes(d / "in" / longName, Figure());
         WriteFileBytes(d / "S" / longName, Earlier("earlier figure"));
       },
       [](const fs::path& d) { return std::vector<std::string>{"-o", (d / "S").string(), (d / "in").string()}; },
       kExitOk,
       [&](const fs::path& d, const CliRun&) {
         EXPECT_EQ(ReadFileBytes(d / "S" / longName), Converted(d, Figure(), longName));
         EXPECT_EQ(ReadFileBytes(d / "S" / plmtest::BackupOf(longName)), Converted(d, Figure(), longName));
       }},
      {"a drawing and a figure of one name",
       [](const fs::path& d) {
         WriteFileBytes(d / "in" / "same.jww", Drawing());
         WriteFileBytes(d / "in" / "same.jws", Figure());
       },
       [](const fs::path& d) { return std::vector<std::string>{"-o", (d / "S").string(), (d / "in").string()}; },
       kExitOk,
       [](const fs::path& d, const CliRun&) {
         EXPECT_EQ(ReadFileBytes(d / "S" / "same.BAK"), Converted(d, Drawing(), "same.jww"));
         EXPECT_EQ(ReadFileBytes(d / "S" / "same.JSB"), Converted(d, Figure(), "same.jws"));
       }},
      {"two inputs of one output name",
       [](const fs::path& d) {
         fs::create_directories(d / "in1");
         fs::create_directories(d / "in2");
         WriteFileBytes(d / "in1" / "a.jww", Drawing());
         WriteFileBytes(d / "in2" / "a.jww", Drawing());
         WriteFileBytes(d / "S" / "a.jww", Earlier("earlier a"));
       },
       [](const fs::path& d) {
         return std::vector<std::string>{"-o", (d / "S").string(), (d / "in1" / "a.jww").string(),
                                         (d / "in2" / "a.jww").string()};
       },
       kExitFailed,
       [](const fs::path& d, const CliRun& r) {
         EXPECT_NE(r.out.find("in2/a.jww: failed (" + (d / "in1" / "a.jww").string() + " has the same output name"),
                   std::string::npos)
             << r.out;
       }},
      {"a save folder reached through a link",
       [](const fs::path& d) {
         fs::create_directories(d / "real");
         for (const char* n : {"a.jww", "b.jws"}) WriteFileBytes(d / "in" / n, n[0] == 'a' ? Drawing() : Figure());
         fs::create_directory_symlink(d / "real", d / "L");
       },
       [](const fs::path& d) { return std::vector<std::string>{"-o", (d / "L").string(), (d / "in").string()}; },
       kExitOk,
       [](const fs::path& d, const CliRun& r) {
         EXPECT_EQ(r.out.find("failed"), std::string::npos) << r.out;
         EXPECT_TRUE(fs::exists(d / "real" / "b.jws"));
       }},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    plmtest::TempDir dir;
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "S");
    s.make(dir.path());
    std::vector<std::string> args{"convert"};
    for (const std::string& a : s.args(dir.path())) args.push_back(a);
    CliRun r{};
    for (int run = 0; run < 2; ++run) {
      r = Plmconv(args);
      EXPECT_EQ(r.code, s.code) << r.out << r.err;
    }
    s.check(dir.path(), r);
    // No temporary stays anywhere.
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      EXPECT_FALSE(e.path().filename().string().starts_with(".plm-")) << e.path();
  }
}

// Another run holds the save folder: --no-wait refuses at once; otherwise the run
// waits, saying so, and only then sweeps the other run's temporaries.
TEST(PlmconvSaveFolderTest, ASecondRunWaitsForTheFirst) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "S" / "sub");
  WriteFileBytes(dir / "in" / "a.jww", Drawing());
  const fs::path live = dir / "S" / ".plm-0123456789abcdef.tmp";  // the other run's temporary
  WriteFileBytes(live, Earlier("being written"));
  auto other = std::make_unique<SaveFolderSession>();
  ASSERT_EQ(other->Open(dir / "S" / "sub", {}), SaveFolderSession::Opened::Ready);  // below it counts too

  const CliRun refused = Plmconv({"convert", "--no-wait", "-o", (dir / "S").string(), (dir / "in").string()});
  EXPECT_EQ(refused.code, kExitUsage);
  EXPECT_NE(refused.err.find("another conversion is writing into this folder"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir / "S" / "a.jww"));

  CliRun waited{};
  std::thread second([&] { waited = Plmconv({"convert", "-o", (dir / "S").string(), (dir / "in").string()}); });
  // Until the other run ends, the waiting run writes nothing and sweeps nothing.
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_FALSE(fs::exists(dir / "S" / "a.jww"));
  }
  other.reset();
  second.join();
  EXPECT_EQ(waited.code, kExitOk) << waited.out << waited.err;
  EXPECT_EQ(waited.err, "plmconv: another conversion is writing into this folder; waiting\n");
  EXPECT_TRUE(fs::exists(dir / "S" / "a.jww"));
  EXPECT_FALSE(fs::exists(live));
}

// Runs the plmconv binary with `env` added to its environment; its exit status.
[[maybe_unused]] int RunBinary(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(std::getenv("PLMCONV"))};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(97);
    ::execv(argv[0], argv.data());
    ::_exit(99);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// On a file system without hard links an earlier output is kept as a complete copy,
// with its permissions and time, and a link as the same link; the output name never
// goes empty, which the crash check shows under kills.
TEST(PlmconvSaveFolderTest, WithoutLinksEarlierOutputsAreKeptAsCopies) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the preloaded library cannot come before the sanitizer's";
#else
  if (!std::getenv("PLMCONV")) GTEST_SKIP() << "PLMCONV not set";
  plmtest::TempDir dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "S");
  for (const char* n : {"a.jww", "b.jww", "c.jws", "l.jww"}) WriteFileBytes(dir / "in" / n, n[0] == 'c' ? Figure() : Drawing());
  WriteFileBytes(dir / "S" / "a.jww", Earlier("earlier a"));
  WriteFileBytes(dir / "S" / "a.BAK", Earlier("older a"));
  WriteFileBytes(dir / "S" / "c.jws", Earlier("earlier c"));
  ::chmod((dir / "S" / "c.jws").c_str(), 0604);
  const fs::file_time_type then = fs::file_time_type::clock::now() - std::chrono::hours(50);
  fs::last_write_time(dir / "S" / "c.jws", then);
  fs::create_symlink("elsewhere.jww", dir / "S" / "l.jww");
  const std::vector<std::string> env{std::string("LD_PRELOAD=") + PLM_KILLSHIM, "PLM_NO_LINKS=1"};
  ASSERT_EQ(RunBinary({"convert", "-o", (dir / "S").string(), (dir / "in").string()}, env), 0);

  EXPECT_EQ(ReadFileBytes(dir / "S" / "a.BAK"), Earlier("earlier a"));
  EXPECT_EQ(ReadFileBytes(dir / "S" / "c.JSB"), Earlier("earlier c"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "S" / "c.JSB").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(fs::last_write_time(dir / "S" / "c.JSB"), then);
  EXPECT_EQ(fs::read_symlink(dir / "S" / "l.BAK"), fs::path("elsewhere.jww"));
  for (const char* n : {"a.jww", "b.jww", "c.jws", "l.jww"}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(ReadFileBytes(dir / "S" / n), Converted(dir.path(), n[0] == 'c' ? Figure() : Drawing(), n));
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir / "S")) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.BAK", "a.jww", "b.jww", "c.JSB", "c.jws", "l.BAK", "l.jww"}));
#endif
}

// A dry run over a very deep empty tree takes memory in proportion to its depth,
// not to its square (which came to hundreds of megabytes).
TEST(PlmconvSaveFolderTest, ADeepTreeIsWalkedInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit";
#else
  plmtest::TempDir dir;
  fs::create_directories(dir / "S");
  fs::path deep = dir / "in";
  fs::create_directories(deep);
  for (int i = 0; i < 1500; ++i) {
    deep /= "a";
    ASSERT_EQ(::mkdir(deep.c_str(), 0777), 0);
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{size_t{96} << 20, size_t{96} << 20};
    ::setrlimit(RLIMIT_AS, &limit);
    const CliRun r = Plmconv({"convert", "--dry-run", "-r", "-o", (dir / "S").string(), (dir / "in").string()});
    ::_exit(r.code == kExitOk ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

}  // namespace
}  // namespace plm
