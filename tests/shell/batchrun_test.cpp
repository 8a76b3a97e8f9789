// Many conversions at once: what the user sees and what lands in the save folder must
// be what one conversion after the other gives, and a fault between the steps of a
// group must leave every output name whole.
#include "shell/batchrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <stdexcept>

#include "platform/paths.h"
#include "shell/batch.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;

std::string Slashed(const fs::path& p) { return plm::Utf8FromPath(p) + "/"; }

// A figure whose texts (negative spacing) depend on `seed`, so every output differs.
Data Figure(int seed) {
  plmtest::Body body;
  for (int i = 0; i <= seed % 7; ++i)
    body.Entities.push_back(plmtest::SampleMoji(seed * 10 + i, plmtest::MakeAttr(1, 2), 0, -0.5 - i,
                                                "text " + std::to_string(seed) + "/" + std::to_string(i)));
  plmtest::Bytes bytes = plmtest::JwsHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes.data();
}

Data Earlier(const std::string& name) { return Data(name.begin(), name.end()); }

std::string BackupName(const std::string& name) { return plmtest::BackupOf(name); }

std::map<std::string, Data> Contents(const fs::path& folder) {
  std::map<std::string, Data> files;
  for (const auto& e : fs::directory_iterator(folder)) files[plm::Utf8FromPath(e.path().filename())] = plmtest::ReadFileBytes(e.path());
  return files;
}

// A source folder of `count` rows with every kind of row mixed in: figures that
// convert (some over an earlier output, some also over an older backup), truncated
// ones that fail to load, ones that fail the probe, other extensions and a folder.
struct MixedFolder {
  plmtest::TempDir dir;
  std::vector<FileRow> rows;
  explicit MixedFolder(int count) {
    fs::create_directories(dir / "src");
    for (int i = 0; i < count; ++i) {
      char name[32];
      const int kind = i % 9;
      std::snprintf(name, sizeof name, kind == 6 ? "F%04d.TXT" : "F%04d.JWS", i);
      const fs::path path = dir / "src" / name;
      Data data = Figure(i);
      if (kind == 4) data.resize(data.size() / 2);  // fails to load
      if (kind == 5) data[0] = 'X';                 // fails the probe
      if (kind == 7)
        fs::create_directories(path);  // a folder under a drawing's name
      else
        plmtest::WriteFileBytes(path, data);
      rows.push_back({name, "1", "", "", "", ""});
    }
  }
  // A save folder with the earlier outputs of a third of the rows, half of them with
  // an older backup too.
  fs::path SaveFolder(const std::string& leaf) const {
    const fs::path save = dir / leaf;
    fs::create_directories(save);
    for (size_t i = 0; i < rows.size(); i += 3) {
      const std::string& name = rows[i][kColName];
      plmtest::WriteFileBytes(save / name, Earlier(name));
      if (i % 2 == 0) plmtest::WriteFileBytes(save / BackupName(name), Earlier("older " + name));
    }
    return save;
  }
};

struct BatchRun {
  BatchResults results;
  std::vector<std::string> status;
  std::vector<int> rowsStarted;
  std::map<std::string, Data> saved;
};

BatchRun RunWithWorkers(const MixedFolder& src, const std::string& leaf, int workers) {
  BatchRun run;
  const fs::path save = src.SaveFolder(leaf);
  const fs::path images = src.dir / (leaf + "-images");
  fs::create_directories(images);
  ShellState state;
  state.Options = plmtest::OptionsFromBits(15);
  state.Images.TempFolder = images;
  state.BatchWorkers = workers;
  state.Status = [&](const std::string& s) { run.status.push_back(s); };
  run.results = RunBatchRows(state, src.rows, 2, static_cast<int>(src.rows.size()) - 2, Slashed(src.dir / "src"),
                             Slashed(save), [&](int r) { run.rowsStarted.push_back(r); });
  run.saved = Contents(save);
  EXPECT_TRUE(fs::is_empty(images)) << "the workers' image folders stay behind";
  return run;
}

TEST(BatchRunTest, SeveralWorkersGiveWhatOneGives) {
  // More rows than two groups and the workers' lead, so groups and slots turn over.
  const MixedFolder src(400);
  const BatchRun one = RunWithWorkers(src, "one", 1);
  const BatchRun four = RunWithWorkers(src, "four", 4);

  // The control: the single worker converted, failed and skipped what it should.
  std::map<ConvertOutcome, int> outcomes;
  for (const BatchRowResult& r : one.results.Rows) ++outcomes[r.Result.Outcome];
  EXPECT_GT(outcomes[ConvertOutcome::Converted], 200);
  EXPECT_GT(outcomes[ConvertOutcome::LoadFailed], 30);
  EXPECT_GT(outcomes[ConvertOutcome::NotADrawing], 30);
  EXPECT_EQ(one.results.Handed(), outcomes[ConvertOutcome::Converted] + outcomes[ConvertOutcome::LoadFailed] +
                                      outcomes[ConvertOutcome::NotADrawing]);
  // Rows that never reached a converter (not of their format, a folder) have no
  // status sentence.
  size_t neverOpened = 0;
  for (const BatchRowResult& r : one.results.Rows)
    neverOpened += r.Result.Outcome == ConvertOutcome::NotADrawing || r.Result.Reason.starts_with("is a folder");

  ASSERT_EQ(four.results.Rows.size(), one.results.Rows.size());
  for (size_t i = 0; i < one.results.Rows.size(); ++i) {
    const BatchRowResult &a = one.results.Rows[i], &b = four.results.Rows[i];
    SCOPED_TRACE(a.Name);
    EXPECT_EQ(b.Row, a.Row);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.Format, a.Format);
    EXPECT_EQ(b.Result.Outcome, a.Result.Outcome);
    EXPECT_EQ(b.Result.Reason, a.Result.Reason);
    EXPECT_EQ(b.Result.Changes.Total(), a.Result.Changes.Total());
  }
  // The same status sentences in the same order, but for the save folder's name.
  ASSERT_EQ(four.status.size(), one.status.size());
  ASSERT_EQ(one.status.size(), one.results.Rows.size() - neverOpened);
  for (size_t i = 0; i < one.status.size(); ++i) {
    // Separators as one, whichever the system shows.
    std::string expected = one.status[i], got = four.status[i];
    std::replace(expected.begin(), expected.end(), '\\', '/');
    std::replace(got.begin(), got.end(), '\\', '/');
    expected.replace(expected.find("/one/"), 5, "/four/");
    EXPECT_EQ(got, expected);
  }
  EXPECT_EQ(four.rowsStarted, one.rowsStarted);
  EXPECT_TRUE(std::is_sorted(one.rowsStarted.begin(), one.rowsStarted.end()));
  // Byte for byte the same save folders: outputs, backups, nothing else.
  EXPECT_EQ(four.saved, one.saved);
  for (const BatchRowResult& r : one.results.Rows) {
    if (r.Result.Outcome != ConvertOutcome::Converted) continue;
    const auto backup = one.saved.find(BackupName(r.Name));
    if (r.Row % 3 == 0) {
      ASSERT_NE(backup, one.saved.end()) << r.Name;
      EXPECT_EQ(backup->second, Earlier(r.Name));
    }
  }
}

// Rows of prepared figures through the run itself, with a probe of the save folder at
// each step and a fault at one row.
struct GroupProbe {
  plmtest::TempDir dir;
  int rows;
  explicit GroupProbe(int n) : rows(n) {
    fs::create_directories(dir / "src");
    fs::create_directories(dir / "save");
    fs::create_directories(dir / "images");
    for (int i = 0; i < n; ++i) {
      plmtest::WriteFileBytes(dir / "src" / Name(i), Figure(i));
      plmtest::WriteFileBytes(dir / "save" / Name(i), Earlier(Name(i)));
    }
  }
  static std::string Name(int i) { return "G" + std::to_string(1000 + i) + ".JWS"; }
  fs::path Output(int i) const { return dir / "save" / Name(i); }
  bool HoldsEarlier(int i) const { return plmtest::ReadFileBytes(Output(i)) == Earlier(Name(i)); }
};

TEST(BatchRunTest, GroupsTakeTheirNamesInRowOrderAndAFaultLosesNothing) {
  for (const int workers : {1, 4}) {
    for (const int faultAt : {-1, 0, 127, 128, 300}) {  // -1: the control, no fault
      SCOPED_TRACE("workers " + std::to_string(workers) + ", fault at row " + std::to_string(faultAt));
      GroupProbe g(320);
      ShellState state;
      state.Options = plmtest::OptionsFromBits(15);
      state.Images.TempFolder = g.dir / "images";
      std::vector<size_t> done;
      std::atomic<int> early{0};
      RowOrderedRun run;
      run.Rows = static_cast<size_t>(g.rows);
      run.Workers = workers;
      run.Prepare = [&](size_t i, int, ShellState& ws, const std::function<void(const std::string&)>&) {
        if (static_cast<int>(i) == faultAt) throw std::runtime_error("fault");
        // Nothing of a row's output is under its name before the row is prepared.
        if (!g.HoldsEarlier(static_cast<int>(i))) ++early;
        ConvertHooks hooks;
        hooks.DeferFlush = true;
        BatchRowWork w;
        w.Conversion = PrepareConversion(ws, JwsFormat(), plm::Utf8FromPath(g.dir / "src" / g.Name(static_cast<int>(i))),
                                         g.Output(static_cast<int>(i)).string(), ConvertMode::Write, hooks);
        return w;
      };
      run.Done = [&](size_t i, BatchRowWork&, const ConvertResult& r) {
        EXPECT_EQ(r.Outcome, ConvertOutcome::Converted) << r.Reason;
        // Reported only once it is in place, with the earlier output as its backup,
        // and only after every row before it.
        EXPECT_FALSE(g.HoldsEarlier(static_cast<int>(i)));
        EXPECT_EQ(plmtest::ReadFileBytes(g.dir / "save" / BackupName(g.Name(static_cast<int>(i)))),
                  Earlier(g.Name(static_cast<int>(i))));
        EXPECT_TRUE(done.empty() || done.back() + 1 == i);
        done.push_back(i);
      };
      if (faultAt < 0) {
        RunRowOrdered(state, run);
        EXPECT_EQ(done.size(), static_cast<size_t>(g.rows));
      } else {
        EXPECT_THROW(RunRowOrdered(state, run), std::runtime_error);
      }
      EXPECT_EQ(early.load(), 0);
      // Every name holds the earlier output, or the new one with the earlier one as
      // its backup; the rows after the fault's group were never touched, and no
      // temporary stays.
      const std::set<std::string> names = [&] {
        std::set<std::string> n;
        for (const auto& e : fs::directory_iterator(g.dir / "save")) n.insert(plm::Utf8FromPath(e.path().filename()));
        return n;
      }();
      int replaced = 0;
      for (int i = 0; i < g.rows; ++i) {
        const std::string backup = BackupName(g.Name(i));
        if (g.HoldsEarlier(i)) {
          EXPECT_FALSE(names.count(backup)) << g.Name(i);
          EXPECT_TRUE(faultAt >= 0 && i >= faultAt / 128 * 128) << g.Name(i) << " was never put in place";
        } else {
          ++replaced;
          EXPECT_EQ(plmtest::ReadFileBytes(g.dir / "save" / backup), Earlier(g.Name(i))) << g.Name(i);
        }
      }
      if (faultAt >= 0) {
        EXPECT_EQ(replaced, faultAt / 128 * 128);
      }
      for (const std::string& n : names) EXPECT_FALSE(n.starts_with(".")) << "left behind: " << n;
      EXPECT_TRUE(fs::is_empty(g.dir / "images"));
    }
  }
}

}  // namespace
}  // namespace plm
