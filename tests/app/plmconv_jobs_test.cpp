// plmconv convert -j N: several drawings at once, with lines, report rows, progress
// sentences and outputs exactly as one drawing after the other gives them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;

Data Figure(int seed, int32_t version) {
  plmtest::Body body;
  for (int i = 0; i <= seed % 5; ++i)
    body.Entities.push_back(plmtest::SampleMoji(seed + i, plmtest::MakeAttr(1, 2), 0, -0.25 * (i + 1),
                                                "t" + std::to_string(seed) + "." + std::to_string(i)));
  plmtest::Bytes b = plmtest::JwsHeaderBytes(version);
  b.append(plmtest::EncodeBody(body, version, false));
  return b.data();
}

std::map<std::string, Data> Contents(const fs::path& folder) {
  std::map<std::string, Data> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[fs::relative(e.path(), folder).string()] = plmtest::ReadFileBytes(e.path());
  return files;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A tree of drawings that convert, fail (truncated, unreadable as a file) or are
// skipped (no signature, another extension), some over earlier outputs.
fs::path MixedTree(const fs::path& root) {
  const fs::path in = root / "in";
  for (int i = 0; i < 300; ++i) {
    const fs::path folder = in / (i % 4 == 0 ? "sub" : "");
    fs::create_directories(folder);
    char name[16];
    std::snprintf(name, sizeof name, "D%03d.%s", i, i % 11 == 3 ? "txt" : "JWS");
    Data d = Figure(i, i % 2 ? 600 : 351);
    if (i % 7 == 2) d.resize(d.size() - 9);  // ends early: fails
    if (i % 13 == 5) d[1] = 'x';             // no signature: skipped
    if (i % 17 == 8)
      fs::create_directories(folder / name);  // a folder under a drawing's name: fails
    else
      plmtest::WriteFileBytes(folder / name, d);
  }
  return in;
}

void Earlier(const fs::path& save) {
  fs::create_directories(save / "sub");
  for (int i = 0; i < 300; i += 5) {
    char name[16];
    std::snprintf(name, sizeof name, "D%03d.JWS", i);
    plmtest::WriteFileBytes((i % 4 == 0 ? save / "sub" : save) / name, Data{'e', 'a', 'r', 'l', 'y'});
  }
}

TEST(PlmconvJobsTest, LinesReportsAndOutputsDoNotDependOnTheNumberOfJobs) {
  plmtest::TempDir root;
  const fs::path in = MixedTree(root.path());
  for (const bool dryRun : {false, true}) {
    SCOPED_TRACE(dryRun ? "dry run" : "write");
    std::map<std::string, std::string> lines, reports, status;
    std::map<std::string, std::map<std::string, Data>> saved;
    for (const std::string jobs : {"1", "4", "3"}) {
      const std::string leaf = std::string(dryRun ? "dry" : "out") + jobs;
      const fs::path save = root / leaf;
      fs::create_directories(save);
      Earlier(save);
      const fs::path report = root / (leaf + ".csv");
      std::vector<std::string> args = {"convert", "--all", "-r", "--verify", "-v", "-j", jobs,
                                       "--report", report.string(), "-o", save.string(), in.string()};
      if (dryRun) args.insert(args.begin() + 2, "--dry-run");
      const plmtest::CliRun r = plmtest::Plmconv(args);
      EXPECT_EQ(r.code, 1) << r.err;  // some files fail
      lines[jobs] = Replace(r.out, save.string(), "SAVE");
      status[jobs] = Replace(r.err, save.string(), "SAVE");
      reports[jobs] = [&] {
        const Data d = plmtest::ReadFileBytes(report);
        return std::string(d.begin(), d.end());
      }();
      saved[jobs] = Contents(save);
    }
    // The control: every kind of line is there.
    for (const char* kind : {": converted\n", ": failed (", ": skipped (", ": would change "})
      if (dryRun != (std::string(kind) == ": converted\n")) {
        EXPECT_NE(lines["1"].find(kind), std::string::npos) << kind;
      }
    EXPECT_GT(reports["1"].size(), 1000u);
    for (const std::string jobs : {"4", "3"}) {
      SCOPED_TRACE("-j " + jobs);
      EXPECT_EQ(lines[jobs], lines["1"]);
      EXPECT_EQ(status[jobs], status["1"]);
      EXPECT_EQ(reports[jobs], reports["1"]);
      EXPECT_EQ(saved[jobs], saved["1"]);
    }
  }
}

TEST(PlmconvJobsTest, TheNumberOfJobsMustBeAWholeNumber) {
  plmtest::TempDir in, out;
  plmtest::WriteFileBytes(in / "A.JWS", Figure(1, 600));
  for (const char* bad : {"0", "-1", "x", "2.5", "", "257", "1000000000000"}) {
    SCOPED_TRACE(bad);
    const plmtest::CliRun r = plmtest::Plmconv({"convert", "--all", "-j", bad, "-o", out.path().string(),
                                                (in / "A.JWS").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("-j needs a whole number from 1 to 256"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(out.path()));
  }
  for (const char* good : {"-j1", "--jobs=256", "-j2"}) {
    const plmtest::CliRun r =
        plmtest::Plmconv({"convert", "--all", good, "-o", out.path().string(), (in / "A.JWS").string()});
    EXPECT_EQ(r.code, 0) << good << r.err;
  }
}

}  // namespace
}  // namespace plm
