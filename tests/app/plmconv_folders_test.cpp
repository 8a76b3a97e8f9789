// plmconv convert with folders as arguments, the progress line, and the documentation
// of every option.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/plmconv.h"
#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;

using plmtest::CliRun;
using plmtest::Plmconv;

std::vector<uint8_t> Drawing() {
  plmtest::DistinctValues values;
  return plmtest::BuildEmptyJwwDrawing(600, values).data();
}

std::vector<uint8_t> Figure() {
  Bytes b;
  b.raw("JwsData").fill(193, '.').i32(420).zeros(16 + 128 + 24 + 80);
  return b.count(0).count(0).data();
}

// Every file below `root`, as relative paths in name order.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    names.push_back(fs::relative(e.path(), root).generic_string() + (e.is_directory() ? "/" : ""));
  std::sort(names.begin(), names.end());
  return names;
}

// A search folder with drawings, other files, a hidden drawing and two levels of
// sub-folders.
void MakeInputTree(const fs::path& in) {
  fs::create_directories(in / "sub" / "deeper");
  fs::create_directories(in / "empty");
  WriteFileBytes(in / "b.JWW", Drawing());
  WriteFileBytes(in / "A.jws", Figure());
  WriteFileBytes(in / "a.JWW", Drawing());
  WriteFileBytes(in / "notes.txt", {'x'});
  WriteFileBytes(in / "old.BAK", Drawing());
  WriteFileBytes(in / "fake.JWW", {'n', 'o'});
  WriteFileBytes(in / ".hidden.JWW", Drawing());
  WriteFileBytes(in / "sub" / "c.JWW", Drawing());
  WriteFileBytes(in / "sub" / "deeper" / "d.JWS", Figure());
}

TEST(PlmconvFoldersTest, AFolderStandsForItsDrawingsInNameOrder) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in", out = dir / "out";
  MakeInputTree(in);
  fs::create_directory(out);
  const std::string i = in.string() + "/";
  const CliRun r = Plmconv({"convert", "-o", out.string(), in.string()});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, (in / "A.jws").string() + ": converted\n" + (in / "a.JWW").string() + ": converted\n" +
                       (in / "b.JWW").string() + ": converted\n" + (in / "fake.JWW").string() +
                       ": skipped (not a JWW drawing: the signature does not match)\n");
  EXPECT_EQ(Tree(out), (std::vector<std::string>{"A.jws", "a.JWW", "b.JWW"}));
}

TEST(PlmconvFoldersTest, RecursiveMirrorsSubFoldersUnderTheSaveFolder) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in", out = dir / "out";
  MakeInputTree(in);
  fs::create_directory(out);
  // A link to a folder is not entered (it could lead back up the tree).
  fs::create_directory_symlink(in / "sub", in / "link");

  const CliRun dry = Plmconv({"convert", "--dry-run", "-r", "-o", out.string(), in.string()});
  EXPECT_EQ(dry.code, kExitOk) << dry.out << dry.err;
  EXPECT_TRUE(fs::is_empty(out)) << "a dry run creates no folders";

  const CliRun r = Plmconv({"convert", "--recursive", "-o", out.string(), in.string()});
  EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
  EXPECT_EQ(Tree(out), (std::vector<std::string>{"A.jws", "a.JWW", "b.JWW", "sub/", "sub/c.JWW", "sub/deeper/",
                                                 "sub/deeper/d.JWS"}));
  const size_t c = r.out.find((in / "sub" / "c.JWW").string() + ": converted\n");
  const size_t d = r.out.find((in / "sub" / "deeper" / "d.JWS").string() + ": converted\n");
  EXPECT_TRUE(c != std::string::npos && d != std::string::npos && r.out.find("fake.JWW") < c && c < d) << r.out;
  EXPECT_TRUE(IsJwsFile(out / "sub" / "deeper" / "d.JWS"));
}

TEST(PlmconvFoldersTest, ASaveFolderInsideTheInputIsNeverEntered) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in", save = dir / "in" / "save";
  MakeInputTree(in);
  fs::create_directory(save);
  WriteFileBytes(save / "earlier.JWW", Drawing());  // an output of an earlier run
  const std::vector<std::string> first = {"A.jws",      "a.JWW",       "b.JWW",     "earlier.JWW", "sub/",
                                          "sub/c.JWW", "sub/deeper/", "sub/deeper/d.JWS"};
  const std::vector<std::string> second = {"A.JSB",   "A.jws",     "a.BAK",       "a.JWW",
                                           "b.BAK",      "b.JWW",     "earlier.JWW", "sub/",
                                           "sub/c.BAK",  "sub/c.JWW", "sub/deeper/", "sub/deeper/d.JSB",
                                           "sub/deeper/d.JWS"};
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run + 1));
    const CliRun r = Plmconv({"convert", "-r", "-o", save.string(), in.string()});
    EXPECT_EQ(r.code, kExitOk) << r.out << r.err;
    EXPECT_EQ(r.out.find("earlier"), std::string::npos) << r.out;
    // The second run backs up the first run's outputs and converts nothing from them.
    EXPECT_EQ(Tree(save), run == 0 ? first : second);
  }
}

TEST(PlmconvFoldersTest, FolderArgumentUsageErrors) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in";
  MakeInputTree(in);
  fs::create_directory(dir / "out");
  fs::create_directory_symlink(in, dir / "link");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int code;
  } const cases[] = {
      {"control", {"convert", "-o", (dir / "out").string(), in.string()}, kExitOk},
      {"the save folder is the folder argument", {"convert", "-o", in.string(), in.string()}, kExitUsage},
      {"the same through a link", {"convert", "-r", "-o", (dir / "link").string(), in.string()}, kExitUsage},
      {"the same spelled with ..", {"convert", "-o", (in / "sub" / "..").string(), in.string()}, kExitUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CliRun r = Plmconv(c.args);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    if (c.code == kExitUsage) {
      EXPECT_FALSE(r.err.empty());
    }
  }
  EXPECT_EQ(ReadFileBytes(in / "a.JWW"), Drawing());
  EXPECT_FALSE(fs::exists(in / "a.BAK"));
}

TEST(PlmconvFoldersTest, AnUnreadableSubFolderFailsAndTheRestConverts) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  plmtest::TempDir dir;
  const fs::path in = dir / "in", out = dir / "out";
  MakeInputTree(in);
  fs::create_directory(out);
  fs::permissions(in / "sub" / "deeper", fs::perms::none);
  const CliRun r = Plmconv({"convert", "-r", "-o", out.string(), in.string()});
  fs::permissions(in / "sub" / "deeper", fs::perms::owner_all);
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_NE(r.out.find((in / "sub" / "deeper").string() + ": failed (the folder cannot be read"), std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::exists(out / "sub" / "c.JWW"));
}

// On a terminal the progress line is drawn for each file and erased before every
// other line and at the end; without one nothing of it is written.
TEST(PlmconvFoldersTest, ProgressLineOnlyOnATerminalAndErasedAtTheEnd) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in";
  MakeInputTree(in);
  fs::create_directory(dir / "out");
  const std::string erase = "\r\x1b[K";
  struct Case {
    const char* name;
    bool terminal;
    int width;
    bool verbose;
  } const cases[] = {
      {"control: no terminal", false, 80, false},
      {"no terminal, verbose", false, 80, true},
      {"terminal", true, 80, false},
      {"narrow terminal, verbose", true, 30, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir out;
    std::vector<std::string> args = {"convert", "-r", "-o", out.path().string(), in.string()};
    if (c.verbose) args.push_back("-v");
    const CliRun r = Plmconv(args, {c.terminal, c.width});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    if (!c.terminal) {
      EXPECT_EQ(r.err.find('\r'), std::string::npos);
      EXPECT_EQ(r.err.empty(), !c.verbose);
      continue;
    }
    EXPECT_TRUE(r.err.ends_with(erase)) << r.err;
    EXPECT_NE(r.err.find(erase + "[0/6] "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(erase + "[5/6] "), std::string::npos) << r.err;
    // No drawn line is wider than the terminal, so each can be erased.
    size_t from = 0;
    while ((from = r.err.find(erase, from)) != std::string::npos) {
      from += erase.size();
      const size_t to = std::min(r.err.find_first_of("\r\n", from), r.err.size());
      std::string drawn = r.err.substr(from, to - from);
      size_t columns = 0;
      for (unsigned char ch : drawn) columns += (ch & 0xC0) != 0x80 ? (ch >= 0xE1 ? 2 : 1) : 0;
      if (r.err.compare(to, 1, "\n") != 0) {
        EXPECT_LT(columns, static_cast<size_t>(c.width)) << drawn;
      }
    }
    // A status sentence always starts after an erase, on a line of its own.
    if (c.verbose) {
      EXPECT_NE(r.err.find(erase + "ファイル「"), std::string::npos) << r.err;
    }
  }
}

// Every option the parser takes is in --help and in the manual page, and so are the
// exit statuses.
TEST(PlmconvHelpTest, EveryOptionAndExitStatusIsDocumented) {
  const CliRun help = Plmconv({"--help"});
  ASSERT_EQ(help.code, kExitOk);
  std::ifstream page(fs::path(PLM_SOURCE_DIR) / "doc" / "plmconv.1");
  ASSERT_TRUE(page) << "doc/plmconv.1 missing";
  std::stringstream pageText;
  pageText << page.rdbuf();
  // roff writes a hyphen in an option as "\-".
  std::string manual = pageText.str();
  for (size_t p = 0; (p = manual.find("\\-", p)) != std::string::npos;) manual.erase(p, 1);
  const char* const documented[] = {
      "--type-spacing", "--free-spacing", "--dimension-values", "--block-texts", "--all", "--dry-run",
      "--report", "--verify", "--recursive", "-r", "--output", "-o", "--verbose", "-v", "--type", "--help",
      "convert", "list", "info", ".csv", ".json", ".BAK", ".JSB", "--no-wait",
  };
  for (const char* option : documented) {
    SCOPED_TRACE(option);
    EXPECT_NE(help.out.find(option), std::string::npos);
    EXPECT_NE(manual.find(option), std::string::npos);
  }
  for (const char* status : {"0", "1", "2"}) {
    SCOPED_TRACE(status);
    EXPECT_NE(help.out.find(std::string(status) + " "), std::string::npos);
    EXPECT_NE(manual.find(std::string(".B ") + status), std::string::npos);
  }
  // Each option the parser knows is accepted (not reported as unknown).
  plmtest::TempDir dir;
  for (const char* option : {"--type-spacing", "--free-spacing", "--dimension-values", "--block-texts", "--all",
                             "--dry-run", "--verify", "--recursive", "-r", "--verbose", "-v", "--no-wait"}) {
    SCOPED_TRACE(option);
    const CliRun r = Plmconv({"convert", option, "-o", dir.path().string()});
    EXPECT_TRUE(r.err.starts_with("plmconv: no files given")) << r.err;
  }
}

}  // namespace
}  // namespace plm
