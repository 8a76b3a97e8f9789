// Real user figures: every one loads, and writing it back changes only what the JWS
// writing rules normalise.
#include <gtest/gtest.h>

#include <algorithm>

#include "jws/jwsdocument.h"
#include "platform/ansi.h"
#include "platform/paths.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusFigures() {
  std::vector<fs::path> files;
  const fs::path folder = plmtest::CorpusFolder();
  if (folder.empty()) return files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file() && plm::AnsiUpper(plm::Utf8FromPath(e.path().extension())) == ".JWS") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// For each switch set: every figure loads and its written bytes are the model's:
// the filler as dots, the version adjusted, attribute checks, CleanString, the
// image-prefix rewrite, shortest encodings, and the changed spacings.
TEST(JwsCorpusTest, EveryFigureIsWrittenAsTheJwsRulesSay) {
  const std::vector<fs::path> files = CorpusFigures();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  plmtest::TempDir dir;
  for (int bits : {0, 15}) {
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    for (const fs::path& file : files) {
      SCOPED_TRACE(plm::Utf8FromPath(file.filename()) + " switches " + std::to_string(bits));
      const std::vector<uint8_t> input = plmtest::ReadFileBytes(file);
      plm::JwsDocument doc;
      plm::ReadFailure failure;
      ASSERT_TRUE(plm::LoadJwsFile(doc, file, &failure)) << failure.Reason;
      plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
      ASSERT_TRUE(plm::SaveJwsFile(doc, dir / "OUT.JWS", doc.Version));
      const std::vector<uint8_t> out = plmtest::ReadFileBytes(dir / "OUT.JWS");
      std::string why;
      const auto expected = plmtest::ExpectedJwsFile(input, options, &why);
      ASSERT_TRUE(expected) << why;
      EXPECT_EQ(plmtest::FirstDifference(out, *expected), "");
      if (bits == 0 && input.size() >= 200) {
        // Of the JWS normalisations only the filler could touch these figures (their
        // versions need no adjustment and they hold nothing the other rules change),
        // so with the switches off each comes back as read with its filler as dots.
        std::vector<uint8_t> dotted = input;
        std::fill_n(dotted.begin() + 7, 193, '.');
        EXPECT_EQ(plmtest::FirstDifference(out, dotted), "");
      }
    }
  }
}

}  // namespace
