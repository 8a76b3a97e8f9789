#include "shell/conversion.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/paths.h"
#include "tests/support/bytes.h"
#include "tests/support/convert_one.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;

Bytes JwwDrawing(const std::string& memo) {
  plmtest::DistinctValues values;
  values.SetStr("Memo", -1, memo);
  return plmtest::BuildEmptyJwwDrawing(600, values);
}

// A JWS figure with empty lists: signature, 193 filler bytes, version, the header
// reals and integers, entity count 0, block definition count 0.
Bytes JwsFigure(int32_t version) {
  Bytes b;
  b.raw("JwsData").fill(193, '.').i32(version);
  for (int i = 0; i < 2 + 16; ++i) b.f64(1.5 * i);
  for (int i = 0; i < 6; ++i) b.i32(i);
  for (int i = 0; i < 10; ++i) b.f64(-2.0 * i);
  return b.count(0).count(0);
}

std::unique_ptr<ShellState> NewState(const plmtest::TempDir& dir) {
  auto state = std::make_unique<ShellState>();
  fs::create_directory(dir / "TEMP");
  state->Images.TempFolder = dir / "TEMP";
  return state;
}

const std::vector<uint8_t> kOldOutput = {'o', 'l', 'd'};

TEST(ConversionTest, BackupPathReplacesTheExtensionOfTheName) {
  EXPECT_EQ(BackupPathOf("/s/A.JWW"), fs::path("/s/A.BAK"));
  EXPECT_EQ(BackupPathOf("/s/a.b.jws"), fs::path("/s/a.b.JSB"));  // a figure never shares a drawing's backup
  EXPECT_EQ(BackupPathOf("/s.d/noext"), fs::path("/s.d/noext.BAK"));
}

// The one read that decides an input for the window's batch and for plmconv: the
// name's extension picks the format, the file's first bytes must be its signature.
TEST(ConversionInputTest, TheNamePicksTheFormatAndTheSignatureConfirmsIt) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> jww = JwwDrawing("m").data(), jws = JwsFigure(420).data();
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> content;  // none: no such file
    InputVerdict verdict;
    const DrawingFormat* format;
  };
  const Case cases[] = {
      {"A.JWW", jww, InputVerdict::Readable, &JwwFormat()},  // control
      {"b.jws", jws, InputVerdict::Readable, &JwsFormat()},  // letter case ignored
      {"c.Jww", jww, InputVerdict::Readable, &JwwFormat()},
      {"fake.JWW", jws, InputVerdict::NotThisFormat, &JwwFormat()},
      {"fake.JWS", jww, InputVerdict::NotThisFormat, &JwsFormat()},
      {"short.JWW", std::vector<uint8_t>{'J', 'w', 'w'}, InputVerdict::NotThisFormat, &JwwFormat()},
      {"missing.JWW", std::nullopt, InputVerdict::Unopened, &JwwFormat()},
      {"x.JW$", jww, InputVerdict::OtherName, nullptr},  // listed, never converted
      {"y.BAK", jww, InputVerdict::OtherName, nullptr},
      {"z.JWC", jww, InputVerdict::OtherName, nullptr},
      {"noext", jww, InputVerdict::OtherName, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.content) WriteFileBytes(dir / c.name, *c.content);
    const ConversionInput in = ReadConversionInput(plm::Utf8FromPath(dir / c.name), c.name);
    EXPECT_EQ(in.Verdict, c.verdict);
    EXPECT_EQ(in.Format, c.format);
    EXPECT_EQ(in.Why.empty(), c.verdict != InputVerdict::Unopened) << in.Why;
    if (c.verdict == InputVerdict::Readable) {
      ASSERT_TRUE(in.Bytes);
      EXPECT_FALSE(in.HeadOnly);
      EXPECT_EQ(*in.Bytes, *c.content) << "the bytes read are the ones the load takes";
    }
  }
}

// After the read: the status sentence comes first, then what stops the conversion.
TEST(ConversionInputTest, AReadableInputIsStoppedOnlyByItsRestOrARefusal) {
  plmtest::TempDir in, out;
  WriteFileBytes(in / "A.JWW", JwwDrawing("m").data());
  auto state = NewState(out);
  const std::string input = plm::Utf8FromPath(in / "A.JWW"), output = plm::Utf8FromPath(out / "A.JWW");
  const ConversionInput read = ReadConversionInput(input, "A.JWW");
  ASSERT_EQ(read.Verdict, InputVerdict::Readable);
  struct Case {
    const char* name;
    bool restRead;
    std::string refusal;
    ConvertOutcome expected;
  };
  const Case cases[] = {
      {"dry run", true, "", ConvertOutcome::Checked},
      {"the rest unread", false, "", ConvertOutcome::LoadFailed},
      {"refused", true, "the save folder is gone", ConvertOutcome::SaveFailed},
      {"unread and refused: the input decides first", false, "gone", ConvertOutcome::LoadFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionInput cut = read;
    if (!c.restRead) {
      cut.Bytes.reset();
      cut.Why = "cut short";
    }
    std::vector<std::string> status;
    const PreparedConversion p =
        PrepareReadInput(*state, cut, input, output, OutputTarget{nullptr, output, nullptr}, ConvertMode::DryRun, {},
                         [&](const std::string& s) { status.push_back(s); }, c.refusal);
    EXPECT_EQ(p.Result.Outcome, c.expected);
    EXPECT_EQ(status, std::vector<std::string>{ConversionStatusText(input, output)});
    const std::string reason = !c.restRead ? "cut short" : c.refusal;
    EXPECT_EQ(p.Result.Reason, reason);
  }
  EXPECT_TRUE(fs::is_empty(out / "TEMP"));
}

TEST(ConversionTest, NothingIsWrittenOrMovedUnlessTheConversionCanComplete) {
  plmtest::TempDir in, out;
  std::vector<uint8_t> truncated = JwwDrawing("m").data();
  truncated.resize(truncated.size() / 2);
  WriteFileBytes(in / "T.JWW", truncated);
  std::vector<uint8_t> shortJws = JwsFigure(420).data();
  shortJws.resize(300);
  WriteFileBytes(in / "T.JWS", shortJws);
  WriteFileBytes(in / "D.JWW", JwwDrawing("m").data());
  WriteFileBytes(in / "B.JWW", JwwDrawing("m").data());
  WriteFileBytes(out / "T.JWW", kOldOutput);
  WriteFileBytes(out / "B.JWW", kOldOutput);
  fs::create_directory(out / "B.BAK");
  auto state = NewState(out);
  struct Case {
    const char* name;
    ConvertResult result;
    ConvertOutcome expected;
  };
  const Case cases[] = {
      {"truncated JWW", plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "T.JWW"), plm::Utf8FromPath(out / "T.JWW")),
       ConvertOutcome::LoadFailed},
      {"truncated JWS", plmtest::ConvertOne(*state, JwsFormat(), plm::Utf8FromPath(in / "T.JWS"), plm::Utf8FromPath(out / "T.JWS")),
       ConvertOutcome::LoadFailed},
      {"missing input", plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "none.JWW"), plm::Utf8FromPath(out / "none.JWW")),
       ConvertOutcome::LoadFailed},
      {"dry run", plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "D.JWW"), plm::Utf8FromPath(out / "D.JWW"), ConvertMode::DryRun),
       ConvertOutcome::Checked},
      {"backup impossible", plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "B.JWW"), plm::Utf8FromPath(out / "B.JWW")),
       ConvertOutcome::BackupFailed},
      {"save impossible", plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "D.JWW"), plm::Utf8FromPath(out / "no/D.JWW")),
       ConvertOutcome::SaveFailed},
      // The output is made before the input is read; the input still decides first.
      {"truncated JWW, no output folder",
       plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(in / "T.JWW"), plm::Utf8FromPath(out / "no/T.JWW")), ConvertOutcome::LoadFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.result.Outcome, c.expected);
    EXPECT_EQ(c.result.Ok(), c.expected == ConvertOutcome::Checked);
    EXPECT_EQ(c.result.Reason.empty(), c.result.Ok());
  }
  // Only the files put there before remain, unchanged.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out.path())) names.push_back(plm::Utf8FromPath(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B.BAK", "B.JWW", "T.JWW", "TEMP"}));
  EXPECT_EQ(ReadFileBytes(out / "T.JWW"), kOldOutput);
  EXPECT_EQ(ReadFileBytes(out / "B.JWW"), kOldOutput);
  EXPECT_TRUE(fs::is_empty(out / "B.BAK"));
}

// The same folder by another route: the input is read in full before it is moved to
// its backup, so it survives under that name and the converted file takes its place.
TEST(ConversionTest, ConvertingOntoTheInputKeepsItAsTheBackup) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> original = JwwDrawing("self").data();
  WriteFileBytes(dir / "S.JWW", original);
  auto state = NewState(dir);
  const std::string path = plm::Utf8FromPath(dir / "S.JWW");
  EXPECT_EQ(plmtest::ConvertOne(*state, JwwFormat(), path, path).Outcome, ConvertOutcome::Converted);
  EXPECT_EQ(ReadFileBytes(dir / "S.BAK"), original);
  EXPECT_TRUE(IsJwwFile(dir / "S.JWW"));
}

TEST(ConversionTest, CorpusDrawingsConvertAndTheirImagesAreRemoved) {
  const fs::path corpus = plmtest::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  plmtest::TempDir out;
  auto state = NewState(out);
  state->Options = ConversionSwitches::All();
  int converted = 0;
  for (const auto& e : fs::directory_iterator(corpus)) {
    const std::string ext = plm::Utf8FromPath(e.path().extension());
    const bool jww = ext == ".jww" || ext == ".JWW";
    const bool jws = ext == ".jws" || ext == ".JWS";
    if (!jww && !jws) continue;
    SCOPED_TRACE(plm::Utf8FromPath(e.path()));
    const std::string output = plm::Utf8FromPath(out.path() / e.path().filename());
    const ConvertResult r = jww ? plmtest::ConvertOne(*state, JwwFormat(), plm::Utf8FromPath(e.path()), output)
                                : plmtest::ConvertOne(*state, JwsFormat(), plm::Utf8FromPath(e.path()), output);
    EXPECT_EQ(r.Outcome, ConvertOutcome::Converted) << r.Reason;
    EXPECT_TRUE(fs::is_empty(out / "TEMP"));
    ++converted;
    if (converted >= 12) break;
  }
  EXPECT_GT(converted, 0);
}

}  // namespace
}  // namespace plm
