// plmconv list: the rows of the file list for a folder, as text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "app/plmconv.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;

using plmtest::CliRun;
using plmtest::Plmconv;

// Local time is UTC for the length of a test, so written times are predictable.
class UtcZone {
 public:
  UtcZone() {
    if (const char* tz = std::getenv("TZ")) old_ = tz;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  ~UtcZone() {
    if (old_) ::setenv("TZ", old_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

constexpr std::time_t kMtime = 1704164645;  // 2024-01-02 03:04:05 UTC
constexpr char kMtimeText[] = "2024/01/02 03:04:05";

void SetMtime(const fs::path& p) {
  const timespec times[2] = {{kMtime, 0}, {kMtime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
}

Bytes JwwDrawing(const std::string& memo) {
  plmtest::DistinctValues values;
  values.SetStr("Memo", -1, memo);
  return plmtest::BuildEmptyJwwDrawing(600, values);
}

// 800 bytes: JWC signature, memo fields padded with spaces and zero bytes, settings.
Bytes JwcFile(std::string_view memo1, std::string_view memo2) {
  Bytes b;
  b.raw("jw_cad(c)data.......").fill(20, ' ');
  b.raw(memo1).fill(32 - memo1.size(), ' ').raw(memo2).fill(32 - memo2.size(), 0);
  return b.fill(800 - b.size(), '0');
}

Bytes JwkFile(std::string_view memo1) {
  Bytes b;
  b.raw("figure header.......").fill(20, ' ').raw(memo1).fill(32 - memo1.size(), ' ').fill(32, ' ');
  return b.fill(400 - b.size(), '1');
}

Bytes JwsFigure() {
  Bytes b;
  b.raw("JwsData").fill(193, '.').i32(351).zeros(16 + 128 + 24 + 80);
  return b.count(0).count(0);
}

struct Listed {
  std::string name;
  std::vector<uint8_t> content;
  std::string type, memo;  // memo in UTF-8
  bool readOnly = false;
};

std::string Row(const Listed& f) {
  std::string size = std::to_string(f.content.size());
  size.insert(0, size.size() < 8 ? 8 - size.size() : 0, ' ');
  return f.name + "\t" + size + "\t" + f.type + "\t" + f.memo + "\t" + kMtimeText + "\t" + (f.readOnly ? "R " : "");
}

const char kHeader[] = "ファイル名\tBytes\t種類\t図面メモ\t更新日時\t属性\n";

// A folder of drawings of every kind the list tells apart, with the exact rows expected.
std::vector<Listed> MakeFolder(const fs::path& dir) {
  std::vector<Listed> files = {
      // Control characters dropped; 0x95 0x5C is one character whose second byte is '\'.
      {"synth.jww", JwwDrawing("Plan A\r\n\x95\x5C\x90\x7D\t").data(), ".JWW", "Plan A表図"},
      {"legacy.JWC", JwcFile("jwc memo", "\x83\x81\x83\x82").data(), ".JWC",
       "jwc memo" + std::string(24, ' ') + " メモ"},
      {"legacy.jwk", JwkFile("parts").data(), ".JWK", "parts" + std::string(27, ' ') + " " + std::string(32, ' ')},
      {"old.BAK", JwcFile("from jwc", "").data(), ".BAK", "from jwc" + std::string(24, ' ') + " "},
      {"prev.BK1", JwwDrawing("backup").data(), ".BK1", "backup"},
      {"prev.TMP", JwwDrawing("backup").data(), ".TMP", ""},
      {"parts.bak", JwkFile("no probe").data(), ".BAK", ""},
      {"noext", JwwDrawing("x").data(), "", ""},
      {"fig.JWS", JwsFigure().data(), ".JWS", ""},
      {"ro.jw$", JwwDrawing("read only").data(), ".JW$", "read only", true},
  };
  const fs::path corpus = plmtest::CorpusFolder();
  if (!corpus.empty() && fs::exists(corpus / "3ab55662_サンプル.jww"))
    files.push_back({"real.jww", plmtest::ReadFileBytes(corpus / "3ab55662_サンプル.jww"), ".JWW", "事務所基準階平面図"});
  for (const Listed& f : files) {
    plmtest::WriteFileBytes(dir / f.name, f.content);
    SetMtime(dir / f.name);
    if (f.readOnly) ::chmod((dir / f.name).c_str(), 0444);
  }
  plmtest::WriteFileBytes(dir / ".hidden.jww", JwwDrawing("hidden").data());
  fs::create_directory(dir / "sub.jww");
  return files;
}

// The expected output: the rows of `wanted` in name order (the names here are ASCII:
// upper-cased, then their own bytes).
std::string Expected(const std::vector<Listed>& files, std::vector<std::string> wanted) {
  std::map<std::string, const Listed*> byName;
  for (const Listed& f : files) byName[f.name] = &f;
  const auto upper = [](std::string s) {
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
  };
  std::sort(wanted.begin(), wanted.end(), [&](const std::string& a, const std::string& b) {
    return upper(a) != upper(b) ? upper(a) < upper(b) : a < b;
  });
  std::string text = kHeader;
  for (const std::string& name : wanted) text += Row(*byName.at(name)) + "\n";
  return text;
}

std::vector<std::string> NamesOf(const std::vector<Listed>& files) {
  std::vector<std::string> names;
  for (const Listed& f : files) names.push_back(f.name);
  return names;
}

TEST(PlmconvListTest, ListsEveryFileWithItsMemoInNameOrder) {
  UtcZone utc;
  plmtest::TempDir dir;
  const std::vector<Listed> files = MakeFolder(dir.path());
  const CliRun r = Plmconv({"list", dir.path().string()});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, Expected(files, NamesOf(files)));
  EXPECT_EQ(r.err, std::to_string(files.size()) + " Files  パス名「" + dir.path().string() + "/」\n");
}

TEST(PlmconvListTest, TypeFiltersIgnoreLetterCase) {
  UtcZone utc;
  plmtest::TempDir dir;
  const std::vector<Listed> files = MakeFolder(dir.path());
  const bool real = files.back().name == "real.jww";
  struct Case {
    const char* type;
    std::vector<std::string> names;
  };
  std::vector<Case> cases = {
      {"0", NamesOf(files)},
      {"1", {"synth.jww", "legacy.JWC", "legacy.jwk", "fig.JWS", "ro.jw$", "real.jww"}},
      {"2", {"synth.jww", "real.jww"}},
      {"3", {"fig.JWS"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const CliRun r = Plmconv({"list", "--type", c.type, dir.path().string() + "/"});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out, Expected(files, c.names));
    const size_t count = c.names.size() - (!real && std::string(c.type) != "0" && std::string(c.type) != "3");
    EXPECT_EQ(r.err, std::to_string(count) + " Files  パス名「" + dir.path().string() + "/」\n");
  }
}

TEST(PlmconvListTest, VerboseAlsoPrintsTheStartAndEmptyFoldersListNothing) {
  plmtest::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  const CliRun r = Plmconv({"list", "-v", folder});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, kHeader);
  EXPECT_EQ(r.err, "フォルダ「" + folder + "」を検索中(ESC:中断)\n0 Files  パス名「" + folder + "」\n");
}

TEST(PlmconvListTest, UsageErrors) {
  plmtest::TempDir dir;
  const std::vector<std::vector<std::string>> cases = {
      {"list"},
      {"list", "--type", "4", dir.path().string()},
      {"list", "--type"},
      {"list", (dir / "missing").string()},
      {"list", dir.path().string(), dir.path().string()},
      {"list", "--bogus", dir.path().string()},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.back());
    const CliRun r = Plmconv(args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.out.empty());
  }
}

}  // namespace
}  // namespace plm
