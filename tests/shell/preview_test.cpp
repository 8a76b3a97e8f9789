#include "shell/preview.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jww/jwwdocument.h"
#include "tests/support/body_model.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

plm::Text Text(const std::string& cp932, double spacing) {
  plm::Text t;
  t.Attr = plmtest::MakeAttr(1, 2);
  t.SizeX = t.SizeY = 4;
  t.Spacing = spacing;
  t.FontName = "MS Gothic";
  t.Text = cp932;
  return t;
}

std::vector<uint8_t> TwoTexts() {
  plmtest::Body body;
  body.Entities = {Text("ab", -1), Text("cd", 0)};
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes.data();
}

plm::ConversionSwitches FreeSpacing() {
  plm::ConversionSwitches o;
  o.ZeroFreeSpacing = true;
  return o;
}

TEST(PreviewTest, SummaryCountsWhatTheSwitchesChangeAndNamesUnconvertedNames) {
  plmtest::TempDir dir;
  plmtest::WriteFileBytes(dir / "a.JWW", TwoTexts());
  plmtest::WriteFileBytes(dir / "a.BAK", TwoTexts());
  struct Case {
    const char* name;
    plm::ConversionSwitches options;
    std::string summary;
  };
  const std::string note = plm::previewtexts::kNotConverted;
  const Case cases[] = {
      {"a.JWW", FreeSpacing(), "負の文字間隔: 1 件（変換で 0 に）"},
      {"a.JWW", {}, "負の文字間隔: 0 件（変換で 0 に）"},
      {"a.BAK", FreeSpacing(), "負の文字間隔: 1 件" + note},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const plm::PreviewResult r = plm::PreviewFile(plm::Utf8FromPath(dir / c.name), c.options);
    ASSERT_TRUE(r.Ok) << r.Reason;
    EXPECT_EQ(r.Summary, c.summary);
    ASSERT_EQ(r.Current.Texts.size(), 2u);
    EXPECT_EQ(r.Current.Texts[0].Marked, c.options.ZeroFreeSpacing);
    EXPECT_EQ(r.Written.Texts[0].Spacing, c.options.ZeroFreeSpacing ? 0.0 : -1.0);
    EXPECT_FALSE(r.Bounds.Empty);
  }
}

TEST(PreviewTest, ReasonsForWhatCannotBeShown) {
  plmtest::TempDir dir;
  std::vector<uint8_t> cut = TwoTexts();
  cut.resize(cut.size() - 5);
  plmtest::WriteFileBytes(dir / "cut.JWW", cut);
  plmtest::WriteFileBytes(dir / "note.txt", {'x'});
  const std::string cannot = plm::previewtexts::kCannotRead;
  struct Case {
    const char* name;
    std::string reasonStart;
  };
  const Case cases[] = {{"note.txt", plm::previewtexts::kNotADrawing},
                        {"cut.JWW", cannot},
                        {"missing.JWW", cannot}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const plm::PreviewResult r = plm::PreviewFile(plm::Utf8FromPath(dir / c.name), FreeSpacing());
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Reason.rfind(c.reasonStart, 0), 0u) << r.Reason;
    EXPECT_GT(r.Reason.size(), cannot.size());
  }
}

TEST(PreviewTest, ACancelledBuildShowsNothing) {
  plmtest::TempDir dir;
  plmtest::WriteFileBytes(dir / "a.JWW", TwoTexts());
  plm::PreviewDocument doc;
  std::string reason;
  ASSERT_TRUE(plm::LoadPreviewDocument(plm::Utf8FromPath(dir / "a.JWW"), doc, reason)) << reason;
  EXPECT_TRUE(plm::BuildPreview(doc, FreeSpacing(), [] { return false; }).Ok);  // control
  const plm::PreviewResult r = plm::BuildPreview(doc, FreeSpacing(), [] { return true; });
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(r.Current.Texts.empty());
}

TEST(PreviewTest, EveryCorpusDrawingShows) {
  const fs::path corpus = plmtest::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "corpus folder absent";
  const plm::ConversionSwitches all = plm::ConversionSwitches::All();
  int shown = 0;
  for (const auto& e : fs::directory_iterator(corpus)) {
    std::string ext = plm::Utf8FromPath(e.path().extension());
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext != ".jww" && ext != ".jws") continue;
    SCOPED_TRACE(plm::Utf8FromPath(e.path().filename()));
    const plm::PreviewResult r = plm::PreviewFile(plm::Utf8FromPath(e.path()), all);
    EXPECT_TRUE(r.Ok) << r.Reason;
    EXPECT_FALSE(r.Bounds.Empty);
    EXPECT_EQ(r.Current.Texts.size(), r.Written.Texts.size());
    ++shown;
  }
  EXPECT_GT(shown, 0);
}

}  // namespace
