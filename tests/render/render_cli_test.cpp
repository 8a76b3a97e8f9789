// plmconv render: usage, the picture of a built drawing, failures, and every drawing of
// the corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/ansi.h"
#include "platform/paths.h"
#include "tests/render/render_fixture.h"
#include "tests/support/cli.h"
#include "tests/support/render_cli_fixture.h"
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using namespace rendertest;
using plmtest::Body;
using plmtest::Plmconv;
using plmtest::ReadText;

size_t Occurrences(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size())) ++n;
  return n;
}


TEST(RenderCliTest, UsageErrors) {
  plmtest::TempDir dir;
  const fs::path in = dir / "A.JWW";
  plmtest::WriteFileBytes(in, DrawingBytes());
  const std::vector<std::vector<std::string>> cases = {
      {"render", plm::Utf8FromPath(in)},
      {"render", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(dir / "a.png")},
      {"render", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(dir / "B.JWW")},
      {"render", "-o", plm::Utf8FromPath(dir / "a.svg")},
      {"render", plm::Utf8FromPath(in), plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(dir / "a.svg")},
      {"render", "--bogus", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(dir / "a.svg")},
      {"render", "--view", "sideways", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(dir / "a.svg")},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.size() > 2 ? args[1] + " " + args[2] : args[1]);
    const plmtest::CliRun run = Plmconv(args);
    EXPECT_EQ(run.code, plm::kExitUsage) << run.err;
    EXPECT_NE(run.err.find("usage: plmconv render"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir / "a.svg"));
  EXPECT_FALSE(fs::exists(dir / "B.JWW"));
}

TEST(RenderCliTest, PictureMarksWhatTheSwitchesChange) {
  plmtest::TempDir dir;
  const fs::path in = dir / "A.JWW", out = dir / "a.svg";
  plmtest::WriteFileBytes(in, DrawingBytes());
  struct Case {
    std::vector<std::string> switches;
    size_t marked;  // per panel
    const char* legend;
  };
  const Case cases[] = {
      {{}, 0, "負の文字間隔: 0 件"},
      {{"--free-spacing"}, 1, "負の文字間隔: 1 件"},
      {{"--type-spacing"}, 1, "負の文字間隔: 1 件"},
      {{"--all"}, 2, "負の文字間隔: 2 件"},
  };
  for (const Case& c : cases) {
    for (const char* view : {"current", "both"}) {
      SCOPED_TRACE(std::string(view) + " " + (c.switches.empty() ? "" : c.switches[0]));
      std::vector<std::string> args = {"render"};
      args.insert(args.end(), c.switches.begin(), c.switches.end());
      args.insert(args.end(), {"--view", view, plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(out)});
      const plmtest::CliRun run = Plmconv(args);
      ASSERT_EQ(run.code, plm::kExitOk) << run.err;
      const std::string svg = ReadText(out);
      const size_t panels = std::string(view) == "both" ? 2 : 1;
      EXPECT_EQ(Occurrences(svg, "class=\"panel\""), panels);
      EXPECT_EQ(Occurrences(svg, "class=\"marked\""), c.marked * panels);
      EXPECT_NE(svg.find(c.legend), std::string::npos);
      EXPECT_NE(svg.find(">文字</text>"), std::string::npos);  // decoded from code page 932
      EXPECT_FALSE(fs::exists(dir / "a.svg.part"));
    }
  }
  EXPECT_EQ(plmtest::ReadFileBytes(in), DrawingBytes());  // the drawing is only read
}

TEST(RenderCliTest, FailuresLeaveNoPicture) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> good = DrawingBytes();
  const fs::path truncated = dir / "T.JWW", text = dir / "N.JWW", out = dir / "a.svg";
  plmtest::WriteFileBytes(truncated, std::vector<uint8_t>(good.begin(), good.end() - 20));
  plmtest::WriteFileBytes(text, std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
  for (const fs::path& in : {truncated, text, dir / "missing.jww"}) {
    SCOPED_TRACE(plm::Utf8FromPath(in.filename()));
    const plmtest::CliRun run = Plmconv({"render", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(out)});
    EXPECT_EQ(run.code, plm::kExitFailed);
    EXPECT_NE(run.err.find("failed ("), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }
  const fs::path good_in = dir / "A.JWW";
  plmtest::WriteFileBytes(good_in, good);
  const plmtest::CliRun run = Plmconv({"render", plm::Utf8FromPath(good_in), "-o", plm::Utf8FromPath(dir / "no" / "a.svg")});
  EXPECT_EQ(run.code, plm::kExitFailed);
  EXPECT_NE(run.err.find("cannot create"), std::string::npos) << run.err;
}

TEST(RenderCliTest, BoundImagesAreEmbeddedFromTheDrawing) {
  plmtest::TempDir dir;
  const fs::path in = dir / "A.JWW", out = dir / "a.svg";
  Body body;
  body.Entities = {Line(0, 0, 100, 50), Text("^@BM%temp%pic.png,40,30", 10, 10, 5, 5, 0)};
  body.Images = {{"PIC.PNG", 8, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}}};
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(700);
  bytes.append(plmtest::EncodeBody(body, 700, true));
  plmtest::WriteFileBytes(in, bytes.data());
  const plmtest::CliRun run =
      Plmconv({"render", "--view", "both", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(out)});
  ASSERT_EQ(run.code, plm::kExitOk) << run.err;
  const std::string svg = ReadText(out);
  EXPECT_EQ(Occurrences(svg, "xlink:href=\"data:image/png;base64,iVBORw0KGgo=\""), 1u);
  EXPECT_EQ(Occurrences(svg, "<use xlink:href=\"#picture-0\""), 2u);  // in both views
  EXPECT_EQ(svg.find("^@BM"), std::string::npos);
}

TEST(RenderCliTest, EveryCorpusDrawingRenders) {
  const fs::path folder = plmtest::CorpusFolder();
  if (folder.empty()) GTEST_SKIP() << "no corpus folder";
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string ext = plm::AnsiUpper(plm::Utf8FromPath(e.path().extension()));
    if (e.is_regular_file() && (ext == ".JWW" || ext == ".JWS")) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  plmtest::TempDir dir;
  for (const fs::path& f : files) {
    SCOPED_TRACE(plm::Utf8FromPath(f.filename()));
    const fs::path out = dir / "picture.svg";
    const plmtest::CliRun run = Plmconv({"render", "--all", "--view", "both", plm::Utf8FromPath(f), "-o", plm::Utf8FromPath(out)});
    EXPECT_EQ(run.code, plm::kExitOk) << run.err;
    const std::string svg = ReadText(out);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
    EXPECT_EQ(svg.find("描画できなかった要素"), std::string::npos);  // real drawings draw in full
  }
}

}  // namespace
