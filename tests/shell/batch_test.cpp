#include "shell/batch.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;

std::string Slashed(const fs::path& p) { return plm::Utf8FromPath(p) + "/"; }

Bytes JwsFigure() {
  Bytes b;
  b.raw("JwsData").fill(193, '.').i32(600);
  for (int i = 0; i < 2 + 16; ++i) b.f64(1.5 * i);
  for (int i = 0; i < 6; ++i) b.i32(i);
  for (int i = 0; i < 10; ++i) b.f64(-2.0 * i);
  return b.count(0).count(0);
}

Bytes JwwDrawing() {
  plmtest::DistinctValues values;
  return plmtest::BuildEmptyJwwDrawing(600, values);
}

TEST(BatchTest, ChecksComeInTheirOrder) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  const std::string src = Slashed(dir / "src");
  const std::string out = Slashed(dir / "out");
  struct Case {
    bool tree, list;
    std::string save, source;
    BatchCheck expected;
  } cases[] = {
      {true, true, out, src, BatchCheck::Ready},  // control
      {false, false, "", src, BatchCheck::NoSearchFolder},
      {false, true, out, src, BatchCheck::NoSearchFolder},
      {true, false, "", src, BatchCheck::NoFileList},
      {true, true, out, "", BatchCheck::NoFileList},
      {true, true, "", src, BatchCheck::NoSaveFolder},
      {true, true, src, src, BatchCheck::SameFolder},
      {true, true, Slashed(dir / "out" / ".." / "src"), src, BatchCheck::SameFolder},  // same folder, other spelling
      {true, true, "/no/such/folder/", "/no/such/folder/", BatchCheck::SameFolder},   // equal texts suffice
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.save + " | " + c.source);
    EXPECT_EQ(CheckBatchStart(c.tree, c.list, c.save, c.source), c.expected);
  }
}

TEST(BatchTest, EachFailedCheckHasItsBox) {
  const BatchCheckReport tree = ReportOf(BatchCheck::NoSearchFolder);
  EXPECT_TRUE(tree.Beep && tree.Error && tree.SetsStatus);
  EXPECT_EQ(tree.Text, "検索フォルダを指定して下さい。");
  const BatchCheckReport list = ReportOf(BatchCheck::NoFileList);
  EXPECT_TRUE(list.Beep && list.Error && !list.SetsStatus);
  EXPECT_EQ(list.Text, "ファイル一覧が表示されていません。");
  const BatchCheckReport save = ReportOf(BatchCheck::NoSaveFolder);
  EXPECT_TRUE(save.Beep && !save.Error && !save.SetsStatus);
  EXPECT_EQ(save.Text, "保存先フォルダを指定して下さい。");
  const BatchCheckReport same = ReportOf(BatchCheck::SameFolder);
  EXPECT_TRUE(same.Beep && !same.Error && !same.SetsStatus);
  EXPECT_EQ(same.Text, "保存先フォルダとファイルのフォルダが同じになっています。");
}

TEST(BatchTest, RowsConvertByExtensionAndProbe) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  const Bytes jww = JwwDrawing();
  const Bytes jws = JwsFigure();
  plmtest::WriteFileBytes(dir / "src" / "a.jww", jww.data());  // lower case is converted
  plmtest::WriteFileBytes(dir / "src" / "B.JWS", jws.data());
  plmtest::WriteFileBytes(dir / "src" / "fake.JWW", jws.data());  // fails the JWW probe
  plmtest::WriteFileBytes(dir / "src" / "x.JW$", jww.data());
  plmtest::WriteFileBytes(dir / "src" / "y.BAK", jww.data());
  plmtest::WriteFileBytes(dir / "src" / "Z.JWS", jww.data());  // fails the JWS probe
  plmtest::WriteFileBytes(dir / "src" / "last.jws", jws.data());

  const char* names[] = {"a.jww", "B.JWS", "fake.JWW", "x.JW$", "y.BAK", "Z.JWS", "missing.JWW"};
  std::vector<FileRow> rows;
  for (const char* name : names) rows.push_back({name, "1", "", "", "", ""});
  rows.push_back({"last.jws", "1", "", "", "", ""});
  ShellState state;
  fs::create_directories(dir / "TEMP");
  state.Images.TempFolder = dir / "TEMP";
  std::vector<std::string> status;
  state.Status = [&](const std::string& s) { status.push_back(s); };
  // Rows 0..5: the last row lies outside the range. A row named as a drawing that is
  // not one of its format is a failure, never taken for a success.
  const BatchResults first = RunBatchRows(state, rows, 0, 5, Slashed(dir / "src"), Slashed(dir / "out"));
  ASSERT_EQ(first.Handed(), 4);
  EXPECT_EQ(first.Failed(), 2);
  EXPECT_EQ(first.Rows[2].Name, "fake.JWW");
  EXPECT_EQ(first.Rows[2].Result.Outcome, ConvertOutcome::NotADrawing);
  EXPECT_EQ(first.Rows[3].Name, "Z.JWS");
  EXPECT_EQ(first.Rows[3].Result.Outcome, ConvertOutcome::NotADrawing);
  std::vector<std::string> written;
  for (const auto& e : fs::directory_iterator(dir / "out")) written.push_back(plm::Utf8FromPath(e.path().filename()));
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"B.JWS", "a.jww"}));
  ASSERT_EQ(status.size(), 2u);
  EXPECT_EQ(status[0], "ファイル「" + Slashed(dir / "src") + "a.jww」→「" + Slashed(dir / "out") + "a.jww」変換中です。");
  EXPECT_EQ(plmtest::ReadFileBytes(dir / "src" / "a.jww"), jww.data());  // the input stays

  // A range past the end is cut to the rows; a file gone since the listing fails.
  const BatchResults last = RunBatchRows(state, rows, 6, 100, Slashed(dir / "src"), Slashed(dir / "out"));
  ASSERT_EQ(last.Handed(), 2);
  EXPECT_EQ(last.Rows[0].Result.Outcome, ConvertOutcome::Missing);
  EXPECT_TRUE(last.Rows[1].Result.Ok());
  EXPECT_TRUE(fs::exists(dir / "out" / "last.jws"));
}

// While another run writes into the save folder, the batch waits as it is told, and a
// batch given up changes nothing; a batch killed before leaves its image folder to
// the next one to sweep.
TEST(BatchTest, ABatchWaitsForAnotherRunInItsSaveFolder) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "TEMP" / "batch-dead01");  // a killed batch's images
  plmtest::WriteFileBytes(dir / "TEMP" / "batch-dead01" / "image.bmp", {'B', 'M'});
  plmtest::WriteFileBytes(dir / "src" / "a.jww", JwwDrawing().data());
  const std::vector<FileRow> rows{{"a.jww", "1", "", "", "", ""}};
  ShellState state;
  state.Images.TempFolder = dir / "TEMP";
  auto other = std::make_unique<SaveFolderSession>();
  ASSERT_EQ(other->Open(dir / "out", {}), SaveFolderSession::Opened::Ready);
  int told = 0, asked = 0;
  SaveFolderWait wait{[&] { ++told; }, [&] { return ++asked < 3; }};

  const BatchResults givenUp = RunBatchRows(state, rows, 0, 0, Slashed(dir / "src"), Slashed(dir / "out"), {}, wait);
  EXPECT_TRUE(givenUp.GaveUpWaiting);
  EXPECT_EQ(givenUp.Handed(), 0);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(fs::is_empty(dir / "out"));

  // The other run ends while this one waits.
  wait.KeepWaiting = [&] {
    other.reset();
    return true;
  };
  const BatchResults done = RunBatchRows(state, rows, 0, 0, Slashed(dir / "src"), Slashed(dir / "out"), {}, wait);
  EXPECT_FALSE(done.GaveUpWaiting);
  ASSERT_EQ(done.Handed(), 1);
  EXPECT_TRUE(done.Rows[0].Result.Ok()) << done.Rows[0].Result.Reason;
  EXPECT_TRUE(fs::exists(dir / "out" / "a.jww"));
  EXPECT_TRUE(fs::is_empty(dir / "TEMP"));
}

// The batch answers the probe from the bytes it reads for the load; its answer must be
// the probe's, byte for byte.
TEST(BatchTest, TheSignatureCheckOnReadBytesAgreesWithTheProbes) {
  plmtest::TempDir dir;
  const std::string contents[] = {"JwwData.", "JwwData.rest", "JwwData", "JwwDatA.", "jwwData.", "JwsData",
                                  "JwsData.", "JwsDat",       "",        std::string("Jww\0ata."), "XJwwData."};
  int n = 0;
  for (const std::string& c : contents) {
    const fs::path file = dir / ("f" + std::to_string(n++));
    plmtest::WriteFileBytes(file, std::vector<uint8_t>(c.begin(), c.end()));
    const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(file);
    for (const DrawingFormat* f : {&JwwFormat(), &JwsFormat()}) {
      SCOPED_TRACE(std::string(f->Name) + " on \"" + c + "\"");
      EXPECT_EQ(f->Handler->StartsWithSignature(bytes), f->Handler->Probe(file));
    }
  }
}

}  // namespace
}  // namespace plm
