#include "shell/formats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

TEST(FormatsTest, EachExtensionStatesWhatItsFormatCanDo) {
  struct Case {
    const char* name;
    bool converts, memo, renders, images;
  };
  const Case cases[] = {
      {"a.JWW", true, true, true, true},     {"a.jws", true, false, true, false},
      {"a.JWC", false, true, false, false},  {"a.JWK", false, true, false, false},
      {"a.JW$", false, true, false, false},  {"a.BAK", false, true, false, false},
      {"a.BK7", false, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DrawingFormat* format = FormatForName(c.name);
    ASSERT_NE(format, nullptr);
    const FormatHandler& h = *format->Handler;
    EXPECT_EQ(h.CanConvert(), c.converts);
    EXPECT_EQ(format->Converted(), c.converts);
    EXPECT_EQ(h.HasMemo(), c.memo);
    EXPECT_EQ(h.CanRender(), c.renders);
    EXPECT_EQ(h.ExtractsImages(), c.images);
    EXPECT_EQ(h.Streams(), c.images);  // the one format streamed is the one with images
    EXPECT_EQ(!format->NotThisFormat.empty(), c.converts);
  }
  EXPECT_EQ(FormatForName("a.TXT"), nullptr);
}

// A converted format refuses the other's bytes, from memory and from a file, with a
// reason and no drawing; a format that only lists a memo loads nothing.
TEST(FormatsTest, LoadOfAnotherSignatureFailsWithItsReason) {
  plmtest::TempDir dir;
  plmtest::DistinctValues values;
  const std::vector<uint8_t> jww = plmtest::BuildEmptyJwwDrawing(600, values).data();
  plmtest::Bytes jwsBytes = plmtest::JwsHeaderBytes(420);
  jwsBytes.append(plmtest::EncodeBody(plmtest::Body{}, 420, false));
  const std::vector<uint8_t> jws = jwsBytes.data();
  plmtest::WriteFileBytes(dir / "w", jww);
  plmtest::WriteFileBytes(dir / "s", jws);
  struct Case {
    const char* what;
    const DrawingFormat& format;
    const std::vector<uint8_t>& right;
    const std::vector<uint8_t>& wrong;
    const char* rightFile;
    const char* wrongFile;
  };
  const Case cases[] = {
      {"JWW", JwwFormat(), jww, jws, "w", "s"},
      {"JWS", JwsFormat(), jws, jww, "s", "w"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FormatHandler& h = *c.format.Handler;
    EXPECT_TRUE(h.StartsWithSignature(c.right));
    EXPECT_FALSE(h.StartsWithSignature(c.wrong));
    for (bool fromBytes : {true, false}) {
      SCOPED_TRACE(fromBytes ? "bytes" : "file");
      LoadRequest right{dir / c.rightFile, std::nullopt, dir.path()};
      LoadRequest wrong{dir / c.wrongFile, std::nullopt, dir.path()};
      if (fromBytes) {
        right.Bytes = std::span<const uint8_t>(c.right);
        wrong.Bytes = std::span<const uint8_t>(c.wrong);
      }
      const LoadResult good = h.Load(right);
      ASSERT_TRUE(good.Ok()) << good.Failure.Reason;
      EXPECT_EQ(good.Drawing->Version(), c.format.Name == "JWW" ? 600 : 420);
      const LoadResult bad = h.Load(wrong);
      EXPECT_FALSE(bad.Ok());
      EXPECT_FALSE(bad.Failure.Reason.empty());
    }
  }
  const LoadResult none = FormatForName("a.JWC")->Handler->Load({dir / "w", std::nullopt, dir.path()});
  EXPECT_FALSE(none.Ok());
  EXPECT_FALSE(none.Failure.Reason.empty());
}

// A loaded drawing owns the bound images its load extracted: they go with it, unless
// it leaves them to their folder's owner.
TEST(FormatsTest, ALoadedDrawingTakesItsExtractedImagesWithIt) {
  plmtest::Body body = plmtest::RichBody();
  body.Entities.push_back(plmtest::SampleMoji(300, plmtest::MakeAttr(1, 2), 0, -1.0, "^@BM%temp%PIC.BMP,1,2"));
  body.Images = {{"PIC.BMP", 6, {1, 2, 3, 4, 5, 6}}};
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(700);
  bytes.append(plmtest::EncodeBody(body, 700, true));
  const std::vector<uint8_t> file = bytes.data();
  for (bool leave : {false, true}) {
    SCOPED_TRACE(leave ? "left" : "owned");
    plmtest::TempDir dir;
    LoadResult loaded = JwwFormat().Handler->Load({dir / "in", std::span<const uint8_t>(file), dir.path()});
    ASSERT_TRUE(loaded.Ok()) << loaded.Failure.Reason;
    EXPECT_TRUE(loaded.Drawing->CarriesImages());
    ASSERT_EQ(loaded.Drawing->Images().TempImageFiles.size(), 1u);
    const fs::path image = dir / loaded.Drawing->Images().TempImageFiles[0].Name;
    EXPECT_TRUE(fs::exists(image));
    if (leave) loaded.Drawing->LeaveImages();
    loaded.Drawing.reset();
    EXPECT_EQ(fs::exists(image), leave);
  }
}

// A drawing loaded for pictures keeps each image's bytes as the writer would read them
// back, once per name, after its image folder is gone; its written copy shares them.
TEST(FormatsTest, KeptImageBytesOutliveTheImageFolder) {
  plmtest::Body body;
  body.Entities.push_back(plmtest::SampleMoji(1, plmtest::MakeAttr(1, 2), 0, -1.0, "^@BM%temp%PIC.BMP,1,2"));
  body.Images = {{"PIC.BMP", 3, {1, 2, 3}}, {"", 0, {}}, {"ZERO.BMP", 0, {}}, {"PIC.BMP", 2, {7, 8}}};
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(700);
  bytes.append(plmtest::EncodeBody(body, 700, true));
  const std::vector<uint8_t> file = bytes.data();
  std::unique_ptr<LoadedDrawing> drawing;
  {
    plmtest::TempDir dir;
    LoadResult loaded = JwwFormat().Handler->Load({dir / "in", std::span<const uint8_t>(file), dir.path(), true});
    ASSERT_TRUE(loaded.Ok()) << loaded.Failure.Reason;
    drawing = std::move(loaded.Drawing);
    drawing->LeaveImages();
  }
  const RenderSource source = drawing->Source();
  ASSERT_EQ(source.Images.size(), 4u);
  EXPECT_EQ(source.Images[0].Name, "PIC.BMP");
  ASSERT_TRUE(source.Images[0].Bytes);
  EXPECT_EQ(*source.Images[0].Bytes, (std::vector<uint8_t>{7, 8}));  // the later PIC.BMP replaced the file
  EXPECT_EQ(source.Images[3].Bytes, source.Images[0].Bytes);
  EXPECT_FALSE(source.Images[1].Bytes || source.Images[2].Bytes);
  EXPECT_EQ(drawing->CopyAsWritten(ConversionSwitches::All()).Drawing->Source().Images[3].Bytes, source.Images[0].Bytes);
}

}  // namespace
}  // namespace plm
