// plmconv convert through the per-file drivers: existing outputs kept as backups.
#include <gtest/gtest.h>

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

Bytes JwwDrawing() {
  plmtest::DistinctValues values;
  return plmtest::BuildEmptyJwwDrawing(600, values);
}

Bytes JwsFigure() {
  Bytes b;
  b.raw("JwsData").fill(193, '.').i32(420).zeros(16 + 128 + 24 + 80);
  return b.count(0).count(0);
}

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

TEST(PlmconvBackupTest, AnExistingOutputIsKeptAsBak) {
  plmtest::TempDir in, out;
  WriteFileBytes(in / "A.JWW", JwwDrawing().data());
  WriteFileBytes(out / "A.JWW", kOld);
  const std::string input = (in / "A.JWW").string();
  const CliRun r = Plmconv({"convert", "-v", "-o", out.path().string(), input});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, input + ": converted\n");
  EXPECT_EQ(r.err, "ファイル「" + input + "」→「" + (out / "A.JWW").string() + "」変換中です。\n");
  EXPECT_EQ(ReadFileBytes(out / "A.BAK"), kOld);
  EXPECT_TRUE(IsJwwFile(out / "A.JWW"));
}

// A drawing and a figure of one name each keep their own earlier output.
TEST(PlmconvBackupTest, JwwAndJwsOfOneNameKeepABackupEach) {
  plmtest::TempDir in, out;
  WriteFileBytes(in / "A.JWW", JwwDrawing().data());
  WriteFileBytes(in / "A.JWS", JwsFigure().data());
  WriteFileBytes(out / "A.JWW", {'w'});
  WriteFileBytes(out / "A.JWS", {'s'});
  const CliRun r = Plmconv({"convert", "-o", out.path().string(), (in / "A.JWW").string(), (in / "A.JWS").string()});
  EXPECT_EQ(r.code, kExitOk) << r.out;
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(ReadFileBytes(out / "A.BAK"), (std::vector<uint8_t>{'w'}));
  EXPECT_EQ(ReadFileBytes(out / "A.JSB"), (std::vector<uint8_t>{'s'}));
  EXPECT_TRUE(IsJwwFile(out / "A.JWW"));
  EXPECT_TRUE(IsJwsFile(out / "A.JWS"));
}

TEST(PlmconvBackupTest, FailedLoadsAndDryRunsMakeNoBackupAndNoOutput) {
  plmtest::TempDir in, out;
  std::vector<uint8_t> truncated = JwwDrawing().data();
  truncated.resize(truncated.size() - 3);
  WriteFileBytes(in / "T.JWW", truncated);
  WriteFileBytes(in / "D.JWS", JwsFigure().data());
  WriteFileBytes(out / "D.JWS", kOld);
  const std::string t = (in / "T.JWW").string(), d = (in / "D.JWS").string();

  CliRun r = Plmconv({"convert", "-o", out.path().string(), t});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_TRUE(r.out.starts_with(t + ": failed (")) << r.out;
  EXPECT_FALSE(fs::exists(out / "T.JWW"));
  EXPECT_FALSE(fs::exists(out / "T.BAK"));

  r = Plmconv({"convert", "--dry-run", "--all", "-o", out.path().string(), d});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_TRUE(r.out.starts_with(d + ": would change 0 spacing values")) << r.out;
  EXPECT_EQ(ReadFileBytes(out / "D.JWS"), kOld);
  EXPECT_FALSE(fs::exists(out / "D.BAK"));
}

TEST(PlmconvBackupTest, AnOutputThatCannotBeBackedUpIsLeftAlone) {
  plmtest::TempDir in, out;
  WriteFileBytes(in / "A.JWW", JwwDrawing().data());
  WriteFileBytes(out / "A.JWW", kOld);
  fs::create_directory(out / "A.BAK");
  const std::string input = (in / "A.JWW").string();
  const CliRun r = Plmconv({"convert", "-o", out.path().string(), input});
  EXPECT_EQ(r.code, kExitFailed);
  EXPECT_TRUE(r.out.starts_with(input + ": failed (the existing output could not be renamed to ")) << r.out;
  EXPECT_EQ(ReadFileBytes(out / "A.JWW"), kOld);
}

}  // namespace
}  // namespace plm
