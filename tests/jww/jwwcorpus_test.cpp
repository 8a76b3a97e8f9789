// Real user drawings: every one loads, and writing it back changes only what the
// writing rules normalise.
#include <gtest/gtest.h>

#include <algorithm>

#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "platform/ansi.h"
#include "platform/paths.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CorpusDrawings() {
  std::vector<fs::path> files;
  const fs::path folder = plmtest::CorpusFolder();
  if (folder.empty()) return files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file() && plm::AnsiUpper(plm::Utf8FromPath(e.path().extension())) == ".JWW") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The input with the two reserved parts of the header zeroed: block 4 (56 bytes
// after the memo, paper block and layer block) and the Reserved2 word of block 5.
std::vector<uint8_t> WithReservedZeroed(std::vector<uint8_t> input) {
  size_t p = 12;
  p += input[p] == 0xFF ? 3 + (input[p + 1] | input[p + 2] << 8) : 1 + input[p];
  p += 8 + 16 * 148;
  std::fill_n(input.begin() + static_cast<ptrdiff_t>(p), 56, 0);
  std::fill_n(input.begin() + static_cast<ptrdiff_t>(p + 56 + 20), 4, 0);
  return input;
}

struct Converted {
  bool ok = false;
  std::string why;
  std::vector<uint8_t> bytes;
};

Converted Convert(const fs::path& file, const plm::ConversionSwitches& options) {
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir / "TEMP";
  fs::create_directory(images.TempFolder);
  plm::JwwDocument doc;
  plm::ReadFailure failure;
  Converted c;
  if (!plm::LoadJwwFile(doc, images, file, &failure)) {
    c.why = failure.Reason;
    return c;
  }
  plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
  c.ok = plm::SaveJwwFile(doc, images, dir / "OUT.JWW", doc.Header.Version, &c.why);
  c.bytes = plmtest::ReadFileBytes(dir / "OUT.JWW");
  return c;
}

TEST(JwwCorpusTest, EveryDrawingIsWrittenBackWithOnlyTheReservedHeaderWordsZeroed) {
  const std::vector<fs::path> files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  for (const fs::path& file : files) {
    SCOPED_TRACE(plm::Utf8FromPath(file.filename()));
    const std::vector<uint8_t> input = plmtest::ReadFileBytes(file);
    const Converted out = Convert(file, {});
    ASSERT_TRUE(out.ok) << out.why;
    std::string why;
    const auto expected = plmtest::ExpectedJwwFile(input, {}, nullptr, &why);
    ASSERT_TRUE(expected) << why;
    EXPECT_EQ(plmtest::FirstDifference(out.bytes, *expected), "");
    // For these drawings the rules normalise nothing but the reserved words.
    EXPECT_EQ(plmtest::FirstDifference(out.bytes, WithReservedZeroed(input)), "");
  }
}

TEST(JwwCorpusTest, EveryDrawingConvertedWithAllSwitchesGivesTheModelBytes) {
  const std::vector<fs::path> files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "corpus folder absent";
  for (int bits : {1, 2, 15}) {
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    for (const fs::path& file : files) {
      SCOPED_TRACE(plm::Utf8FromPath(file.filename()) + " switches " + std::to_string(bits));
      const std::vector<uint8_t> input = plmtest::ReadFileBytes(file);
      const Converted out = Convert(file, options);
      ASSERT_TRUE(out.ok) << out.why;
      EXPECT_EQ(plmtest::FirstDifference(out.bytes, *plmtest::ExpectedJwwFile(input, options)), "");
    }
  }
}

}  // namespace
