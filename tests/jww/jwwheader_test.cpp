#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <map>

#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace {

using plmtest::BuildEmptyJwwDrawing;
using plmtest::BuildJwwHeader;
using plmtest::Bytes;
using plmtest::DistinctValues;
using plmtest::HeaderField;
using plmtest::HeaderLayout;
using plmtest::WrittenValues;

const int32_t kVersions[] = {220, 221, 222, 223, 224, 225, 226, 227, 228, 229, 230, 250,
                             299, 300, 350, 351, 400, 419, 420, 421, 600, 700, 701};

uint64_t BitsOf(double d) {
  uint64_t b;
  std::memcpy(&b, &d, 8);
  return b;
}

// The values of a header test drawing: every field distinct, the writer's special
// cases pinned. `variant` picks the eleventh switch and the line width limit.
DistinctValues TestHeaderValues(int variant = 0) {
  struct Pair {
    int32_t switch11, maxLineWidth;
  };
  static const Pair kPairs[] = {{23, -300}, {1, -102}, {-5, -101}, {0, -100}, {-23, 7}, {10, INT32_MIN}};
  const Pair p = kPairs[variant % 6];
  DistinctValues v(static_cast<uint64_t>(variant) + 7);
  v.SetInt("Switch11", -1, static_cast<uint32_t>(p.switch11))
      .SetInt("MaxLineWidth", -1, static_cast<uint32_t>(p.maxLineWidth))
      .SetStr("Memo", -1, std::string("memo\x01\r\n\0^m\x83\x5Em end\x1f", 19))
      .SetStr("Layers.Name", 0, "\x01\x02\x1F")
      .SetStr("Layers.Name", 1, "")
      .SetStr("Layers.Name", 2, "A^mB")
      .SetStr("Layers.Name", 3, "x^My")
      .SetStr("Layers.Name", 4, "\x83\x5Em")
      .SetStr("Layers.Name", 5, std::string("a\0b\tc", 5))
      .SetStr("Layers.Name", 6, std::string(255, 'N'))
      .SetStr("Layers.Name", 7, "tail\x81")
      .SetStr("Layers.Name", 8, "\x7F\xA0\xDF\xFE\xFF")
      .SetStr("Layers.Name", 9, "^^mm")
      .SetStr("Layers.Name", 255, std::string(300, '\x01') + "z")
      .SetStr("LayerGroups.Name", 0, "\x1B")
      .SetStr("LayerGroups.Name", 15, "G^m")
      .SetStr("ExtColors.Name", 0, "\x01")
      .SetStr("ExtColors.Name", 256, "C^mX")
      .SetStr("ExtLineTypes.Name", 32, "\x83^m")
      .SetDouble("TextTypeSettings.Spacing", 0, -0.5)
      .SetReal("TextTypeSettings.Spacing", 1, 0x7FF0000000000001ull)  // signalling NaN
      .SetReal("TextTypeSettings.Spacing", 2, 0x8000000000000000ull)  // -0.0
      .SetDouble("TextTypeSettings.Spacing", 3, 2.5)
      .SetDouble("TextTypeSettings.Spacing", 4, -std::numeric_limits<double>::infinity())
      .SetDouble("TextTypeSettings.Spacing", 5, 0.0)
      .SetReal("TextTypeSettings.Spacing", 6, 0xFFF8000000000123ull)  // negative quiet NaN
      .SetReal("TextTypeSettings.Spacing", 7, 0x8000000000000001ull)  // smallest negative denormal
      .SetDouble("TextTypeSettings.Spacing", 8, std::numeric_limits<double>::infinity())
      .SetDouble("TextTypeSettings.Spacing", 9, 1e-300)
      .SetReal("PrintScale", -1, 0x8000000000000000ull)
      .SetReal("GridOriginY", -1, 0x8000000000000000ull)
      .SetReal("MarkJumpZoom", 0, 0x7FF4000000000BADull)
      .SetReal("BaseShiftY", 2, 0xFFF0000000000077ull)
      .SetReal("ExtLineTypes.Segments", 32, 0x8000000000000000ull, 9);
  return v;
}

// Reads field values back out of a loaded document, so that building the header from
// it shows where the reader put every value.
class DocumentValues : public plmtest::HeaderValueSource {
 public:
  explicit DocumentValues(const plm::JwwDocument& d) : d_(d) {}

  uint32_t Int(const HeaderField& f) override {
    const auto& h = d_.Header;
    const int i = f.index;
    static const std::map<std::string_view, std::function<int32_t(const plm::JwwDocument&, int, int)>> kInts = {
        {"PaperSize", [](auto& d, int, int) { return d.Header.PaperSize; }},
        {"WriteLayerGroup", [](auto& d, int, int) { return d.Header.WriteLayerGroup; }},
        {"LayerGroups.State", [](auto& d, int i, int) { return d.LayerGroups[i].State; }},
        {"LayerGroups.WriteLayer", [](auto& d, int i, int) { return d.LayerGroups[i].WriteLayer; }},
        {"LayerGroups.Protect", [](auto& d, int i, int) { return d.LayerGroups[i].Protect; }},
        {"Layers.State", [](auto& d, int i, int) { return d.Layers[i].State; }},
        {"Layers.Protect", [](auto& d, int i, int) { return d.Layers[i].Protect; }},
        {"Reserved1", [](auto& d, int i, int) { return d.Header.Reserved1[i]; }},
        {"DimSettings", [](auto& d, int i, int) { return d.Header.DimSettings[i]; }},
        {"Reserved2", [](auto& d, int, int) { return d.Header.Reserved2; }},
        {"MaxLineWidth", [](auto& d, int, int) { return d.Header.MaxLineWidth; }},
        {"PrintRotation", [](auto& d, int, int) { return d.Header.PrintRotation; }},
        {"GridMode", [](auto& d, int, int) { return d.Header.GridMode; }},
        {"ShadowHours", [](auto& d, int, int) { return d.Header.ShadowHours; }},
        {"Unit3D", [](auto& d, int, int) { return d.Header.Unit3D; }},
        {"MarkJumpGroup", [](auto& d, int i, int) { return d.Header.MarkJumpGroup[i]; }},
        {"ViewExtra.Flag", [](auto& d, int i, int) { return d.Header.ViewExtra[i].Flag; }},
        {"PenSettings.Color", [](auto& d, int i, int) { return d.PenSettings[i].Color; }},
        {"PenSettings.Width", [](auto& d, int i, int) { return d.PenSettings[i].Width; }},
        {"PenSettings.PrintColor", [](auto& d, int i, int) { return d.PenSettings[i].PrintColor; }},
        {"PenSettings.PrintWidth", [](auto& d, int i, int) { return d.PenSettings[i].PrintWidth; }},
        {"LineTypes.Pattern", [](auto& d, int i, int) { return d.LineTypes[i].Pattern; }},
        {"LineTypes.UnitDots", [](auto& d, int i, int) { return d.LineTypes[i].UnitDots; }},
        {"LineTypes.Pitch", [](auto& d, int i, int) { return d.LineTypes[i].Pitch; }},
        {"LineTypes.PrintPitch", [](auto& d, int i, int) { return d.LineTypes[i].PrintPitch; }},
        {"RandomLines.Pattern", [](auto& d, int i, int) { return d.RandomLines[i].Pattern; }},
        {"RandomLines.Amplitude", [](auto& d, int i, int) { return d.RandomLines[i].Amplitude; }},
        {"RandomLines.Pitch", [](auto& d, int i, int) { return d.RandomLines[i].Pitch; }},
        {"RandomLines.PrintAmplitude", [](auto& d, int i, int) { return d.RandomLines[i].PrintAmplitude; }},
        {"RandomLines.PrintPitch", [](auto& d, int i, int) { return d.RandomLines[i].PrintPitch; }},
        {"DoubleLineTypes.Pattern", [](auto& d, int i, int) { return d.DoubleLineTypes[i].Pattern; }},
        {"DoubleLineTypes.UnitDots", [](auto& d, int i, int) { return d.DoubleLineTypes[i].UnitDots; }},
        {"DoubleLineTypes.Pitch", [](auto& d, int i, int) { return d.DoubleLineTypes[i].Pitch; }},
        {"DoubleLineTypes.PrintPitch", [](auto& d, int i, int) { return d.DoubleLineTypes[i].PrintPitch; }},
        {"SwitchFlags", [](auto& d, int i, int) { return d.Header.SwitchFlags[i]; }},
        {"DrawTime", [](auto& d, int, int) { return d.Header.DrawTime; }},
        {"View3DSet", [](auto& d, int, int) { return d.Header.View3DSet; }},
        {"View3DAngle", [](auto& d, int i, int) { return d.Header.View3DAngle[i]; }},
        {"SolidAnyColor", [](auto& d, int, int) { return d.Header.SolidAnyColor; }},
        {"SolidColor", [](auto& d, int, int) { return d.Header.SolidColor; }},
        {"ExtColors.Color", [](auto& d, int i, int) { return d.ExtColors[i].Color; }},
        {"ExtColors.Width", [](auto& d, int i, int) { return d.ExtColors[i].Width; }},
        {"ExtColors.PrintColor", [](auto& d, int i, int) { return d.ExtColors[i].PrintColor; }},
        {"ExtColors.PrintWidth", [](auto& d, int i, int) { return d.ExtColors[i].PrintWidth; }},
        {"ExtLineTypes.Pattern", [](auto& d, int i, int) { return d.ExtLineTypes[i].Pattern; }},
        {"ExtLineTypes.UnitDots", [](auto& d, int i, int) { return d.ExtLineTypes[i].UnitDots; }},
        {"ExtLineTypes.Pitch", [](auto& d, int i, int) { return d.ExtLineTypes[i].Pitch; }},
        {"ExtLineTypes.PrintPitch", [](auto& d, int i, int) { return d.ExtLineTypes[i].PrintPitch; }},
        {"ExtLineTypes.SegmentCount", [](auto& d, int i, int) { return d.ExtLineTypes[i].SegmentCount; }},
        {"TextTypeSettings.ColorNo", [](auto& d, int i, int) { return d.TextTypeSettings[i].ColorNo; }},
        {"WriteTextColor", [](auto& d, int, int) { return d.Header.WriteTextColor; }},
        {"WriteTextType", [](auto& d, int, int) { return d.Header.WriteTextType; }},
        {"BaseShiftOn", [](auto& d, int, int) { return d.Header.BaseShiftOn; }},
    };
    // The eleventh switch is held split; tens * 10 + units restores the value read.
    if (f.name == "Switch11") return static_cast<uint32_t>(h.Switch11Tens * 10 + h.Switch11Units);
    auto it = kInts.find(f.name);
    if (it == kInts.end()) {
      ADD_FAILURE() << "no document field for " << f.name;
      return 0;
    }
    return static_cast<uint32_t>(it->second(d_, i, f.sub));
  }

  uint64_t Real(const HeaderField& f) override {
    static const std::map<std::string_view, std::function<double(const plm::JwwDocument&, int, int)>> kReals = {
        {"LayerGroups.Scale", [](auto& d, int i, int) { return d.LayerGroups[i].Scale; }},
        {"PrintOriginX", [](auto& d, int, int) { return d.Header.PrintOriginX; }},
        {"PrintOriginY", [](auto& d, int, int) { return d.Header.PrintOriginY; }},
        {"PrintScale", [](auto& d, int, int) { return d.Header.PrintScale; }},
        {"GridMinPitch", [](auto& d, int, int) { return d.Header.GridMinPitch; }},
        {"GridPitchX", [](auto& d, int, int) { return d.Header.GridPitchX; }},
        {"GridPitchY", [](auto& d, int, int) { return d.Header.GridPitchY; }},
        {"GridOriginX", [](auto& d, int, int) { return d.Header.GridOriginX; }},
        {"GridOriginY", [](auto& d, int, int) { return d.Header.GridOriginY; }},
        {"ShadowLevel", [](auto& d, int, int) { return d.Header.ShadowLevel; }},
        {"ShadowLatitude", [](auto& d, int, int) { return d.Header.ShadowLatitude; }},
        {"WallShadowLevel", [](auto& d, int, int) { return d.Header.WallShadowLevel; }},
        {"SkyLevel", [](auto& d, int, int) { return d.Header.SkyLevel; }},
        {"SkyRadius", [](auto& d, int, int) { return d.Header.SkyRadius; }},
        {"SaveZoom", [](auto& d, int, int) { return d.Header.SaveZoom; }},
        {"SaveOriginX", [](auto& d, int, int) { return d.Header.SaveOriginX; }},
        {"SaveOriginY", [](auto& d, int, int) { return d.Header.SaveOriginY; }},
        {"RangeZoom", [](auto& d, int, int) { return d.Header.RangeZoom; }},
        {"RangeOriginX", [](auto& d, int, int) { return d.Header.RangeOriginX; }},
        {"RangeOriginY", [](auto& d, int, int) { return d.Header.RangeOriginY; }},
        {"MarkJumpZoom", [](auto& d, int i, int) { return d.Header.MarkJumpZoom[i]; }},
        {"MarkJumpX", [](auto& d, int i, int) { return d.Header.MarkJumpX[i]; }},
        {"MarkJumpY", [](auto& d, int i, int) { return d.Header.MarkJumpY[i]; }},
        {"ViewExtra.Values", [](auto& d, int i, int k) { return d.Header.ViewExtra[i].Values[k]; }},
        {"ParallelPitch", [](auto& d, int i, int) { return d.Header.ParallelPitch[i]; }},
        {"BothSideExtension", [](auto& d, int, int) { return d.Header.BothSideExtension; }},
        {"PenSettings.PointRadius", [](auto& d, int i, int) { return d.PenSettings[i].PointRadius; }},
        {"View3DValue", [](auto& d, int i, int) { return d.Header.View3DValue[i]; }},
        {"LastLineLength", [](auto& d, int, int) { return d.Header.LastLineLength; }},
        {"LastBoxWidth", [](auto& d, int, int) { return d.Header.LastBoxWidth; }},
        {"LastBoxHeight", [](auto& d, int, int) { return d.Header.LastBoxHeight; }},
        {"LastRadius", [](auto& d, int, int) { return d.Header.LastRadius; }},
        {"ExtColors.PointRadius", [](auto& d, int i, int) { return d.ExtColors[i].PointRadius; }},
        {"ExtLineTypes.Segments", [](auto& d, int i, int k) { return d.ExtLineTypes[i].Segments[k]; }},
        {"TextTypeSettings.Width", [](auto& d, int i, int) { return d.TextTypeSettings[i].Width; }},
        {"TextTypeSettings.Height", [](auto& d, int i, int) { return d.TextTypeSettings[i].Height; }},
        {"TextTypeSettings.Spacing", [](auto& d, int i, int) { return d.TextTypeSettings[i].Spacing; }},
        {"WriteTextWidth", [](auto& d, int, int) { return d.Header.WriteTextWidth; }},
        {"WriteTextHeight", [](auto& d, int, int) { return d.Header.WriteTextHeight; }},
        {"WriteTextSpacing", [](auto& d, int, int) { return d.Header.WriteTextSpacing; }},
        {"ArrangePitch", [](auto& d, int, int) { return d.Header.ArrangePitch; }},
        {"ArrangeCount", [](auto& d, int, int) { return d.Header.ArrangeCount; }},
        {"BaseShiftX", [](auto& d, int i, int) { return d.Header.BaseShiftX[i]; }},
        {"BaseShiftY", [](auto& d, int i, int) { return d.Header.BaseShiftY[i]; }},
    };
    auto it = kReals.find(f.name);
    if (it == kReals.end()) {
      ADD_FAILURE() << "no document field for " << f.name;
      return 0;
    }
    return BitsOf(it->second(d_, f.index, f.sub));
  }

  std::string Str(const HeaderField& f) override {
    if (f.name == "Signature") return d_.Header.Signature;
    if (f.name == "Memo") return d_.Header.Memo;
    if (f.name == "Layers.Name") return d_.Layers[f.index].Name;
    if (f.name == "LayerGroups.Name") return d_.LayerGroups[f.index].Name;
    if (f.name == "ExtColors.Name") return d_.ExtColors[f.index].Name;
    if (f.name == "ExtLineTypes.Name") return d_.ExtLineTypes[f.index].Name;
    ADD_FAILURE() << "no document field for " << f.name;
    return {};
  }

 private:
  const plm::JwwDocument& d_;
};

// Which header block an offset falls in, for failure messages.
std::string Where(const HeaderLayout& l, size_t offset) {
  for (int b = 1; b <= 19; ++b)
    if (offset >= l.begin[b] && offset < l.end[b])
      return "block " + std::to_string(b) + " +" + std::to_string(offset - l.begin[b]);
  return offset < l.begin[1] ? "signature/version" : "after the header";
}

// Compares byte strings and names the first difference by header block.
::testing::AssertionResult SameBytes(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                                     const HeaderLayout& layout) {
  const size_t n = std::min(got.size(), want.size());
  for (size_t i = 0; i < n; ++i)
    if (got[i] != want[i])
      return ::testing::AssertionFailure() << "first difference at byte " << i << " (" << Where(layout, i)
                                           << "): got " << int(got[i]) << ", want " << int(want[i]);
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << "sizes differ: got " << got.size() << ", want " << want.size() << " ("
                                         << Where(layout, n) << ")";
  return ::testing::AssertionSuccess();
}

bool Load(plm::JwwDocument& doc, const Bytes& b, plm::ReadFailure* failure = nullptr) {
  plm::TempImages images;
  return plm::LoadJwwBytes(doc, images, b.data(), failure);
}

std::vector<uint8_t> WriteHeader(const plm::JwwDocument& doc, int32_t version) {
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, version);
  EXPECT_TRUE(sink.Ok()) << sink.FailureReason();
  return sink.Bytes();
}

TEST(JwwHeaderTest, ReaderPutsEveryValueInItsField) {
  for (int32_t version : kVersions) {
    SCOPED_TRACE(version);
    DistinctValues input = TestHeaderValues(version);
    HeaderLayout layout;
    const Bytes file = BuildEmptyJwwDrawing(version, input, &layout);
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    ASSERT_TRUE(Load(doc, file, &failure)) << failure.Reason;
    EXPECT_EQ(doc.Header.Version, version);

    DocumentValues held(doc);
    Bytes rebuilt;
    BuildJwwHeader(rebuilt, version, held);
    const std::vector<uint8_t> header(file.data().begin(), file.data().begin() + layout.end[19]);
    EXPECT_TRUE(SameBytes(rebuilt.data(), header, layout));
  }
}

TEST(JwwHeaderTest, SwitchElevenSplitIntoTensAndUnits) {
  struct Case {
    int32_t raw, tens, units;
  } const cases[] = {{23, 2, 3}, {-5, 0, -5}, {-23, -2, -3}, {10, 1, 0}, {0, 0, 0}, {7, 0, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    DistinctValues input;
    input.SetInt("Switch11", -1, static_cast<uint32_t>(c.raw));
    plm::JwwDocument doc;
    ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(600, input)));
    EXPECT_EQ(doc.Header.Switch11Tens, c.tens);
    EXPECT_EQ(doc.Header.Switch11Units, c.units);
  }
}

// Every version, every special value and both states of the type-spacing switch: the
// written header is the model's, byte for byte.
TEST(JwwHeaderTest, WrittenExactlyAsTheWritingRulesSay) {
  for (int32_t version : kVersions) {
    for (int variant = 0; variant < 6; ++variant) {
      for (bool zeroType : {false, true}) {
        SCOPED_TRACE(testing::Message() << "version " << version << " variant " << variant << " type spacing "
                                        << zeroType);
        DistinctValues input = TestHeaderValues(variant);
        plm::JwwDocument doc;
        ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(version, input)));
        plm::ConversionSwitches options;
        options.ZeroTypeSpacing = zeroType;
        options.ZeroFreeSpacing = options.ChangeDimensionValues = options.ChangeBlockTexts = true;
        plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);

        WrittenValues written(input, version, zeroType);
        Bytes want;
        const HeaderLayout layout = BuildJwwHeader(want, version, written);
        EXPECT_TRUE(SameBytes(WriteHeader(doc, version), want.data(), layout));
      }
    }
  }
}

TEST(JwwHeaderTest, WritesTheLayoutOfTheVersionAskedFor) {
  DistinctValues input = TestHeaderValues(0);
  plm::JwwDocument doc;
  ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(700, input)));
  for (int32_t version : {220, 223, 225, 230, 250, 300, 351, 420, 600, 700}) {
    SCOPED_TRACE(version);
    WrittenValues written(input, version, false);
    Bytes want;
    const HeaderLayout layout = BuildJwwHeader(want, version, written);
    EXPECT_TRUE(SameBytes(WriteHeader(doc, version), want.data(), layout));
  }
}

TEST(JwwHeaderTest, SwitchElevenRecombinedFrom600) {
  struct Case {
    int32_t version, raw, written;
  } const cases[] = {
      {600, 23, 23}, {600, 1, 11}, {420, 23, 3}, {700, 23, 23}, {599, 23, 3},
      {600, 0, 10},  {600, -5, 5}, {701, -23, 7}, {220, -5, -5}, {600, 10, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << " " << c.raw);
    DistinctValues input;
    input.SetInt("Switch11", -1, static_cast<uint32_t>(c.raw));
    plm::JwwDocument doc;
    HeaderLayout layout;
    ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(c.version, input, &layout)));
    const std::vector<uint8_t> out = WriteHeader(doc, c.version);
    ASSERT_GE(out.size(), layout.begin[16] + 44);
    int32_t v;
    std::memcpy(&v, out.data() + layout.begin[16] + 40, 4);
    EXPECT_EQ(v, c.written);
  }
}

TEST(JwwHeaderTest, MaxLineWidthClampedOnlyUpTo420) {
  struct Case {
    int32_t version, stored, written;
  } const cases[] = {
      {420, -300, -101}, {420, -101, -101}, {420, -100, -100}, {220, -102, -101},
      {421, -300, -300}, {600, -300, -300}, {700, INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version << " " << c.stored);
    DistinctValues input;
    input.SetInt("MaxLineWidth", -1, static_cast<uint32_t>(c.stored));
    plm::JwwDocument doc;
    HeaderLayout layout;
    ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(c.version, input, &layout)));
    const std::vector<uint8_t> out = WriteHeader(doc, c.version);
    int32_t v;
    std::memcpy(&v, out.data() + layout.begin[5] + 24, 4);
    EXPECT_EQ(v, c.written);
    EXPECT_EQ(doc.Header.MaxLineWidth, c.stored) << "the writer must not change the field";
  }
}

TEST(JwwHeaderTest, OldestLayoutLeavesLaterFieldsAtTheirDefaults) {
  DistinctValues input;
  plm::JwwDocument doc;
  ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(220, input)));
  const plm::THeader& h = doc.Header;
  for (int i = 4; i < 8; ++i) {
    EXPECT_EQ(h.MarkJumpZoom[i], 1.0);
    EXPECT_EQ(BitsOf(h.MarkJumpX[i]), 0u);
    EXPECT_EQ(BitsOf(h.MarkJumpY[i]), 0u);
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(h.MarkJumpGroup[i], -1);
  EXPECT_EQ(h.SkyLevel, 0.0);
  EXPECT_EQ(h.DrawTime, 0);
  EXPECT_EQ(h.SolidColor, 0);
  EXPECT_EQ(h.LastRadius, 0.0);
  for (const auto& c : doc.ExtColors) {
    EXPECT_EQ(c.Color, 0);
    EXPECT_TRUE(c.Name.empty());
  }
  for (const auto& t : doc.ExtLineTypes) {
    EXPECT_EQ(t.SegmentCount, 0);
    EXPECT_TRUE(t.Name.empty());
  }
}

TEST(JwwHeaderTest, ReadingAgainResetsTheDocument) {
  DistinctValues input;
  plm::JwwDocument doc;
  ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(701, input)));
  ASSERT_FALSE(doc.ExtColors[5].Name.empty());
  ASSERT_TRUE(Load(doc, BuildEmptyJwwDrawing(220, input)));
  EXPECT_TRUE(doc.ExtColors[5].Name.empty());
  EXPECT_EQ(doc.Header.MarkJumpGroup[0], -1);
  EXPECT_EQ(doc.Header.SkyRadius, 0.0);
}

TEST(JwwHeaderTest, TrailingBytesAreIgnored) {
  DistinctValues input;
  Bytes file = BuildEmptyJwwDrawing(600, input);
  file.raw("trailing garbage \xFF\xFF\xFF\xFF");
  plm::JwwDocument doc;
  EXPECT_TRUE(Load(doc, file));
}

TEST(JwwHeaderTest, VersionBelow220IsRefused) {
  for (int32_t version : {219, 0, -1, INT32_MIN}) {
    SCOPED_TRACE(version);
    DistinctValues input;
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    EXPECT_FALSE(Load(doc, BuildEmptyJwwDrawing(version, input), &failure));
    EXPECT_EQ(failure.Offset, 8u) << "the offset of the version";
    EXPECT_NE(failure.Reason.find(std::to_string(version)), std::string::npos) << failure.Reason;
  }
}

// Every proper prefix of a drawing is refused, with a reason that names the byte
// at which the file ends.
TEST(JwwHeaderTest, TruncatedAtEveryOffsetIsRefused) {
  for (int32_t version : {220, 701}) {
    SCOPED_TRACE(version);
    DistinctValues input = TestHeaderValues(1);
    HeaderLayout layout;
    const Bytes file = BuildEmptyJwwDrawing(version, input, &layout);
    plm::JwwDocument doc;
    for (size_t cut = 0; cut < file.size(); ++cut) {
      plm::ReadFailure failure;
      plm::TempImages images;
      const bool ok = plm::LoadJwwBytes(doc, images, std::span(file.data().data(), cut), &failure);
      if (ok || failure.Offset != cut || failure.Reason.find("byte " + std::to_string(cut)) == std::string::npos) {
        ADD_FAILURE() << "cut at " << cut << " (" << Where(layout, cut) << "): ok " << ok << ", reason \""
                      << failure.Reason << "\" at " << failure.Offset;
        break;
      }
    }
  }
}

TEST(JwwHeaderTest, MissingFileAndFolderAreRefused) {
  plmtest::TempDir dir;
  plm::JwwDocument doc;
  plm::TempImages images;
  plm::ReadFailure failure;
  EXPECT_FALSE(plm::LoadJwwFile(doc, images, dir / "absent.JWW", &failure));
  EXPECT_FALSE(failure.Reason.empty());
  EXPECT_EQ(failure.Offset, 0u);
  failure = {};
  std::filesystem::create_directory(dir / "folder.JWW");
  EXPECT_FALSE(plm::LoadJwwFile(doc, images, dir / "folder.JWW", &failure));
  EXPECT_FALSE(failure.Reason.empty());
  EXPECT_EQ(failure.Offset, 0u);
}

}  // namespace
