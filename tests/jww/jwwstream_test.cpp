// Conversion in one pass: the bytes, the counts and the failures must be those of a
// load, the rule and a save, for bodies read in one piece, in many pieces and with
// the writing on a thread of its own.
#include <gtest/gtest.h>

#include <limits>

#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace {

using plmtest::Body;
using plmtest::MakeAttr;

std::vector<uint8_t> JwwFile(int32_t version, const Body& body, const plmtest::JwwHeaderFill& fill = {}) {
  plmtest::Bytes b = plmtest::JwwHeaderBytes(version, fill);
  b.append(plmtest::EncodeBody(body, version, version >= plm::kVerImages));
  return b.data();
}

struct Streamed {
  bool Loaded = false;
  std::vector<uint8_t> Bytes;
  plm::SpacingChanges Changes;
  plm::ReadFailure Failure;
};

Streamed Stream(const plm::JwwSource& source, const plm::ConversionSwitches& options,
                const std::filesystem::path& imageFolder) {
  Streamed s;
  plm::JwwDocument doc;
  plm::TempImages images;
  images.TempFolder = imageFolder;
  plm::ByteSink out;  // memory
  s.Loaded = plm::ConvertJwwStream(doc, images, source, out, options, s.Changes, &s.Failure);
  EXPECT_TRUE(out.Ok()) << out.FailureReason();
  s.Bytes = out.Bytes();
  plm::DeleteTempImageFiles(images);
  return s;
}

// From memory and from a file, for each switch combination: the model's bytes and counts.
void ExpectModelOutput(const std::vector<uint8_t>& input, const std::vector<int>& combinations) {
  plmtest::TempDir dir;
  const std::filesystem::path file = dir / "IN.JWW";
  plmtest::WriteFileBytes(file, input);
  std::filesystem::create_directories(dir / "images");
  for (int bits : combinations) {
    SCOPED_TRACE("switches " + std::to_string(bits));
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    std::string why;
    const auto expected = plmtest::ExpectedJwwFile(input, options, nullptr, &why);
    ASSERT_TRUE(expected) << why;
    for (const plm::JwwSource& source : {plm::JwwSource{{}, std::span<const uint8_t>(input)}, plm::JwwSource{file, {}}}) {
      SCOPED_TRACE(source.Bytes ? "from memory" : "from the file");
      const Streamed s = Stream(source, options, dir / "images");
      ASSERT_TRUE(s.Loaded) << s.Failure.Reason;
      EXPECT_EQ(plmtest::FirstDifference(s.Bytes, *expected), "");
      plmtest::ExpectChanges(s.Changes, plmtest::ExpectedJwwChanges(input, options));
    }
  }
}

plmtest::JwwHeaderFill NegativeTypeTable() {
  plmtest::JwwHeaderFill fill;
  fill.TypeSpacing = {-1.0, 0.0, -0.0, 2.0, std::numeric_limits<double>::quiet_NaN(), -0.5, 0, 0, 0, -1e300};
  return fill;
}

// About 5 MB of body: the writing runs on its own thread, the main list spans many
// pieces with classes first met late, and one block definition spans three pieces.
Body LargeBody() {
  Body body;
  const int lines = 90000;
  body.Entities.reserve(lines + 12000);
  body.Entities.resize(lines);
  for (int i = 0; i < lines; ++i) std::get<plm::Line>(body.Entities[i]) = plmtest::SampleSen(i, MakeAttr(1, 1));
  for (int i = 0; i < 12000; ++i) {
    switch (i % 5) {
      case 0: body.Entities.push_back(plmtest::SampleMoji(i, MakeAttr(1, 1), i % 3, -0.5, "t" + std::to_string(i))); break;
      case 1: body.Entities.push_back(plmtest::SampleSunpo(i, MakeAttr(1, 1), i % 2, -1.0)); break;
      case 2: body.Entities.push_back(plmtest::SampleTen(i, MakeAttr(i % 8 ? 1 : 100, 1))); break;
      case 3: body.Entities.push_back(plmtest::SampleBlock(i, MakeAttr(1, 1), 1)); break;
      default: body.Entities.push_back(plmtest::SampleMoji(i, MakeAttr(1, 1), 0, -2.0, "^@BM%temp%a.bmp,0")); break;
    }
  }
  plmtest::BlockDef big;
  big.Name = "big";
  for (int i = 0; i < 3 * static_cast<int>(plm::kStreamPiece) - 7; ++i)
    big.Entities.push_back(i % 3 ? plmtest::Entity(plmtest::SampleEnko(i, MakeAttr(1, 1)))
                                 : plmtest::Entity(plmtest::SampleMoji(i, MakeAttr(1, 1), 0, -1.0, "b")));
  plmtest::BlockDef small;
  small.Name = "small";
  small.Time = -1;
  small.Entities.push_back(plmtest::SampleSolid(1, MakeAttr(1, 10)));
  body.BlockDefs = {big, plmtest::BlockDef{}, small};
  plmtest::Image used{"A.BMP", 6, {1, 2, 3, 4, 5, 6}};
  plmtest::Image unused{"z.bmp", 3, {7, 8, 9}};
  body.Images = {unused, used};
  return body;
}

const int32_t kVersions[] = {220, 230, 300, 351, 420, 600, 700, 701};

TEST(JwwStreamTest, RichBodyAtEveryVersionGivesTheModelBytesForEverySwitchCombination) {
  for (int32_t v : kVersions) {
    SCOPED_TRACE("version " + std::to_string(v));
    ExpectModelOutput(JwwFile(v, plmtest::RichBody(), NegativeTypeTable()),
                      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  }
}

TEST(JwwStreamTest, LargeBodyWrittenOnItsOwnThreadGivesTheModelBytes) {
  const std::vector<uint8_t> input = JwwFile(700, LargeBody(), NegativeTypeTable());
  ASSERT_GT(input.size(), size_t{4} << 20);  // the case holds what it claims
  ExpectModelOutput(input, {0, 3, 15});
}

// Records go through as their bytes only where the writer gives those bytes back:
// attributes the check changes, strings the filter changes or that use the long
// form, texts the rule changes or that name an image, long-form class references
// and a class numbering that drifts from the writer's (a block definition tagged
// with an entity class, so the writer declares one more class) all take the decoded
// way.
TEST(JwwStreamTest, RecordsPassAsBytesOnlyWhereTheWriterGivesThemBack) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Body body;
  for (const double spacing : {0.0, -0.0, 1.5, -0.5, nan})
    body.Entities.push_back(plmtest::SampleMoji(1, MakeAttr(1, 1), 0, spacing, "room"));
  for (const char* text : {"a\x01" "b", "^mark", "^@BM%temp%a.bmp,0", "\x81^m"})
    body.Entities.push_back(plmtest::SampleMoji(2, MakeAttr(1, 1), 3, 0.0, text));
  body.Entities.push_back(plmtest::SampleMoji(3, MakeAttr(1, 1), 0, 0.0, std::string(254, 'x')));
  body.Entities.push_back(plmtest::SampleMoji(4, MakeAttr(0, 1), 0, 0.0, "style changed"));
  body.Entities.push_back(plmtest::SampleMoji(5, MakeAttr(1, 1), 0, 0.0, "font", "bad\x02" "font"));
  for (const double spacing : {0.0, -1.0})
    body.Entities.push_back(plmtest::SampleSunpo(6, MakeAttr(1, 1), 0, spacing));
  body.Entities.push_back(plmtest::SampleSunpo(7, MakeAttr(1, 400), 0, 0.0));  // colour changed
  for (int i = 0; i < 3; ++i) body.Entities.push_back(plmtest::SampleSen(i, MakeAttr(1, 1)));
  body.Entities.push_back(plmtest::SampleSen(3, MakeAttr(0, 1)));           // style changed by the check
  body.Entities.push_back(plmtest::SampleSen(4, MakeAttr(1, 1, 0, 16)));    // layer changed by the check
  body.Entities.push_back(plmtest::SampleSolid(5, MakeAttr(1, 10)));        // with its colour word
  body.Entities.push_back(plmtest::SampleTen(6, MakeAttr(100, 1)));         // a coded point
  body.Entities.push_back(plmtest::SampleTen(7, MakeAttr(7, 1)));           // style changed
  body.Entities.push_back(plmtest::SampleSen(8, MakeAttr(35, 105)));        // mapped before version 420
  body.Entities.push_back(plmtest::SampleBlock(9, MakeAttr(1, 1), 1));
  // Tagged as a line, so the writer declares a class of its own here; arcs are first
  // met after it, under numbers that differ by one.
  plmtest::BlockDef drifted;
  drifted.ClassName = "CDataSen";
  drifted.Name = "drift";
  for (int i = 0; i < 6; ++i) drifted.Entities.push_back(plmtest::SampleEnko(20 + i, MakeAttr(1, 1)));
  drifted.Entities.push_back(plmtest::SampleSen(30, MakeAttr(1, 1)));
  plmtest::BlockDef plain;
  plain.Name = "plain";
  for (int i = 0; i < 3; ++i) plain.Entities.push_back(plmtest::SampleTen(40 + i, MakeAttr(1, 1)));
  body.BlockDefs = {drifted, plain};
  for (const int form : {0, 1, 2}) {
    for (const int32_t v : {300, 420, 700}) {
      SCOPED_TRACE("version " + std::to_string(v) + ", form " + std::to_string(form));
      plmtest::Encoding enc;
      enc.Refs = form == 1 ? plmtest::RefForm::Big : plmtest::RefForm::Shortest;
      enc.LongStrings = form == 2;
      plmtest::Bytes b = plmtest::JwwHeaderBytes(v);
      b.append(plmtest::EncodeBody(body, v, v >= plm::kVerImages, enc));
      ExpectModelOutput(b.data(), {0, 15});
    }
  }
}

// A cut drawing fails exactly as the load fails it: same offset, same reason, and no
// counts. Cuts fall on every byte of a small drawing and at spread places of a large
// one, where the reading stops while pieces are still being written.
TEST(JwwStreamTest, CutDrawingsFailWhereAndWhyTheLoadFails) {
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  const std::vector<uint8_t> small = JwwFile(700, plmtest::RichBody());
  const std::vector<uint8_t> large = JwwFile(700, LargeBody());
  std::vector<std::pair<const std::vector<uint8_t>*, size_t>> cuts;
  for (size_t n = 0; n < small.size(); ++n) cuts.emplace_back(&small, n);
  for (size_t i = 1; i < 40; ++i) cuts.emplace_back(&large, large.size() * i / 40 + i);
  cuts.emplace_back(&large, large.size() - 1);
  for (const auto& [full, n] : cuts) {
    const std::vector<uint8_t> cut(full->begin(), full->begin() + static_cast<ptrdiff_t>(n));
    plm::JwwDocument loaded;
    plm::ReadFailure expected;
    ASSERT_FALSE(plm::LoadJwwBytes(loaded, images, cut, &expected)) << "cut to " << n;
    plm::DeleteTempImageFiles(images);
    const Streamed s = Stream({{}, std::span<const uint8_t>(cut)}, plmtest::OptionsFromBits(15), dir.path());
    ASSERT_FALSE(s.Loaded) << "cut to " << n;
    ASSERT_EQ(s.Failure.Offset, expected.Offset) << "cut to " << n;
    ASSERT_EQ(s.Failure.Reason, expected.Reason) << "cut to " << n;
    ASSERT_EQ(s.Changes.Total(), 0u) << "cut to " << n;
  }
}

// A write that fails part-way does not hide a read failure further on; with none,
// the sink's own failure is what remains.
TEST(JwwStreamTest, FailedWriteDoesNotHideALaterReadFailure) {
  plmtest::TempDir dir;
  const std::vector<uint8_t> large = JwwFile(700, LargeBody());
  for (const bool cutInput : {false, true}) {
    SCOPED_TRACE(cutInput ? "cut input" : "whole input");
    const std::vector<uint8_t> input(large.begin(), cutInput ? large.end() - 100 : large.end());
    plm::JwwDocument doc;
    plm::TempImages images;
    images.TempFolder = dir.path();
    plm::ByteSink out;
    ASSERT_FALSE(out.CreateFile(dir / "missing" / "OUT.JWW"));
    plm::SpacingChanges changes;
    plm::ReadFailure failure;
    const bool loaded = plm::ConvertJwwStream(doc, images, {{}, std::span<const uint8_t>(input)}, out, {}, changes,
                                              &failure);
    EXPECT_EQ(loaded, !cutInput) << failure.Reason;
    EXPECT_FALSE(out.Ok());
    plm::DeleteTempImageFiles(images);
  }
}

}  // namespace
