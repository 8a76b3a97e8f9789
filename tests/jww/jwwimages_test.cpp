// Bound images of JWW drawings (version 700 and later): extraction into the image
// folder, which images the writer packs back, and hostile image sections.
#include <gtest/gtest.h>

#include <algorithm>

#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "platform/paths.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwimages_fixture.h"

namespace {

using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::Image;
using plmtest::MakeAttr;
namespace fs = std::filesystem;
using namespace plmtest::jwwimages;

std::vector<std::string> WrittenImageNames(const std::vector<uint8_t>& out) {
  const auto header = plmtest::ExpectedJwwHeader(out, false);
  const auto body = plmtest::DecodeBody(out, header->End, header->Version, true, 2048);
  std::vector<std::string> names;
  if (body)
    for (const Image& im : body->body.Images) names.push_back(im.Name);
  return names;
}

TEST(JwwImagesTest, OnlyImagesThatTextsReferToAreWrittenBackForEverySwitchCombination) {
  const std::vector<uint8_t> input = Drawing(ImageCases());
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument loaded;
  plm::ReadFailure failure;
  ASSERT_TRUE(plm::LoadJwwBytes(loaded, images, input, &failure)) << failure.Reason;
  for (int bits = 0; bits < 16; ++bits) {
    SCOPED_TRACE(bits);
    const plm::ConversionSwitches options = plmtest::OptionsFromBits(bits);
    plm::JwwDocument doc = loaded;
    plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
    ASSERT_TRUE(plm::SaveJwwFile(doc, images, dir / "OUT.JWW", 700));
    const std::vector<uint8_t> out = plmtest::ReadFileBytes(dir / "OUT.JWW");
    EXPECT_EQ(plmtest::FirstDifference(out, *plmtest::ExpectedJwwFile(input, options)), "");
    EXPECT_EQ(WrittenImageNames(out), (std::vector<std::string>{"A.BMP", "ABC.BMP", "X.BMPX", "BLK.BMP"}));
  }
  std::vector<bool> used;
  for (const plm::BoundImageFile& im : images.TempImageFiles) used.push_back(im.Used);
  EXPECT_EQ(used, (std::vector<bool>{true, true, false, true, false, false, false, false, false, true}));
}

TEST(JwwImagesTest, ReadingExtractsEachImageWithDataIntoTheImageFolder) {
  const Body body = ImageCases();
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  images.TempImageFiles = {{"OLD.BMP", 1, true}};
  plm::JwwDocument doc;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, Drawing(body)));
  ASSERT_EQ(images.TempImageFiles.size(), body.Images.size());
  for (size_t i = 0; i < body.Images.size(); ++i) {
    const Image& m = body.Images[i];
    SCOPED_TRACE(m.Name);
    EXPECT_EQ(images.TempImageFiles[i].Name, m.Name);
    EXPECT_EQ(images.TempImageFiles[i].Size, m.Size);
    EXPECT_FALSE(images.TempImageFiles[i].Used);
    if (!m.Name.empty() && m.Size > 0) {
      EXPECT_EQ(plmtest::ReadFileBytes(dir / m.Name), m.Data);
    }
  }
  EXPECT_FALSE(fs::exists(dir / "ZERO.BMP"));
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 8u);

  // A drawing without an image section leaves the list alone.
  const auto before = images.TempImageFiles.size();
  plm::JwwDocument older;
  ASSERT_TRUE(plm::LoadJwwBytes(older, images, Drawing(Body{}, 600)));
  EXPECT_EQ(images.TempImageFiles.size(), before);
}

TEST(JwwImagesTest, WriterTakesEachImageFromItsFileAsItIsNow) {
  const std::vector<uint8_t> input = Drawing(ImageCases());
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument doc;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input));
  plmtest::ImageFiles files;
  for (const char* name : {"A.BMP", "ABC.BMP", "ABC.BMPX", "DIM.BMP", "UNREF.BMP", "NOCOMMA.BMP", "BLK.BMP"})
    files[name] = plmtest::ReadFileBytes(dir / name);
  files["ABC.BMP"] = Data(5000, 99);  // grown past two 2048-byte pieces
  plmtest::WriteFileBytes(dir / "ABC.BMP", files["ABC.BMP"]);
  files["A.BMP"] = {};  // emptied
  plmtest::WriteFileBytes(dir / "A.BMP", {});
  fs::remove(dir / "X.BMPX");  // gone: left out, and not counted
  ASSERT_TRUE(plm::SaveJwwFile(doc, images, dir / "OUT.JWW", 700));
  const std::vector<uint8_t> out = plmtest::ReadFileBytes(dir / "OUT.JWW");
  EXPECT_EQ(plmtest::FirstDifference(out, *plmtest::ExpectedJwwFile(input, {}, &files)), "");
  EXPECT_EQ(WrittenImageNames(out), (std::vector<std::string>{"A.BMP", "ABC.BMP", "BLK.BMP"}));
  EXPECT_FALSE(images.TempImageFiles[3].Used) << "an image whose file is gone loses its mark";
}

TEST(JwwImagesTest, ImageWhosePathIsAFolderIsLeftOutLikeAMissingFile) {
  const std::vector<uint8_t> input = Drawing(ImageCases());
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument doc;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input));
  plmtest::ImageFiles files;
  for (const char* name : {"A.BMP", "ABC.BMP", "X.BMPX"}) files[name] = plmtest::ReadFileBytes(dir / name);
  fs::remove(dir / "BLK.BMP");
  fs::create_directory(dir / "BLK.BMP");
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, 700);
  plm::WriteJwwBody(sink, doc, images, 700);
  EXPECT_EQ(plmtest::FirstDifference(sink.Bytes(), *plmtest::ExpectedJwwFile(input, {}, &files)), "");
}

TEST(JwwImagesTest, NoTextReferenceGivesAnImageCountOfZero) {
  Body body;
  body.Entities.push_back(Text(1, "plain"));
  body.Images = {Img("P.BMP", 3, 1)};
  const std::vector<uint8_t> input = Drawing(body);
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument doc;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input));
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, 700);
  plm::WriteJwwBody(sink, doc, images, 700);
  const std::vector<uint8_t>& out = sink.Bytes();
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(out.end() - 4, out.end()), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(plmtest::FirstDifference(out, *plmtest::ExpectedJwwFile(input, {})), "");
}

TEST(JwwImagesTest, ImageNamesThatLeaveTheFolderFailTheLoadAndWriteNothing) {
  struct Case {
    std::string name;
    bool safe;
  };
  plmtest::TempDir root;
  const std::vector<Case> cases = {
      {"PLAIN.BMP", true},
      {"\x83\x5C.bmp", true},  // a double-byte character whose trail byte is 0x5C
      {"a\x83\x5C\x83\x5C", true},
      {"../evil.bmp", false},
      {"..\\evil.bmp", false},
      {"sub/evil.bmp", false},
      {"sub\\evil.bmp", false},
      {"C:evil.bmp", false},
      {"evil.bmp:stream", false},
      {plm::Utf8FromPath(root / "abs_evil.bmp"), false},
      {".", false},
      {"..", false},
      {"a\0b.bmp"s, false},
      {"\\", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(plm::IsSafeImageName(c.name), c.safe);
    Body body;
    body.Images = {Img(c.name, 4, 1), Img("AFTER.BMP", 4, 2)};
    const fs::path temp = root / "TEMP";
    fs::create_directories(temp / "sub");
    plm::TempImages images;
    images.TempFolder = temp;
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    const bool ok = plm::LoadJwwBytes(doc, images, Drawing(body), &failure);
    EXPECT_EQ(ok, c.safe) << failure.Reason;
    if (ok) {
      EXPECT_EQ(plmtest::ReadFileBytes(plm::PathOfStoredName(temp, c.name)), Data(4, 1));
    } else {
      // The first image's name, behind the entity and definition counts and the image count.
      EXPECT_EQ(failure.Offset, plmtest::JwwHeaderBytes(700).size() + 2 + 2 + 4) << failure.Reason;
    }
    // Nothing outside the image folder, nothing in its sub-folder.
    std::vector<std::string> outside;
    for (const auto& e : fs::directory_iterator(root.path()))
      if (e.path().filename() != "TEMP") outside.push_back(plm::Utf8FromPath(e.path().filename()));
    EXPECT_TRUE(outside.empty()) << outside.front();
    EXPECT_TRUE(fs::is_empty(temp / "sub"));
    fs::remove_all(temp);
  }
}

TEST(JwwImagesTest, EmptyNamesStayLegalAndCarryNoData) {
  Body body;
  body.Images = {Img("", 0, 1), {"", 12, {}}, Img("Z.BMP", 2, 3)};
  body.Entities.push_back(Text(1, "^@BM%temp%z.bmp,"));
  const std::vector<uint8_t> input = Drawing(body);
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument doc;
  plm::ReadFailure failure;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input, &failure)) << failure.Reason;
  ASSERT_EQ(images.TempImageFiles.size(), 3u);
  EXPECT_EQ(images.TempImageFiles[1].Size, 12);
  EXPECT_EQ(plmtest::ReadFileBytes(dir / "Z.BMP"), Data(2, 3));
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, 700);
  plm::WriteJwwBody(sink, doc, images, 700);
  EXPECT_EQ(plmtest::FirstDifference(sink.Bytes(), *plmtest::ExpectedJwwFile(input, {})), "");
}

TEST(JwwImagesTest, ImageSizesBeyondTheFileAndAbsurdImageCountsFail) {
  struct Case {
    const char* name;
    Bytes section;
    bool loads;
    size_t at;  // of the failure, from the start of the section: the count, or the data an image size names
  };
  // An image is a name ("A.BMP": 6 bytes), a 32-bit size and its data.
  const Case cases[] = {
      {"control: size equal to the bytes left", Bytes().i32(1).str("A.BMP").i32(3).u8(1).u8(2).u8(3), true, 0},
      {"size one more than the bytes left", Bytes().i32(1).str("A.BMP").i32(4).u8(1).u8(2).u8(3), false, 4 + 6 + 4},
      {"size 2^31-1", Bytes().i32(1).str("A.BMP").i32(0x7FFFFFFF).zeros(100), false, 4 + 6 + 4},
      {"second image short", Bytes().i32(2).str("A.BMP").i32(1).u8(1).str("B.BMP").i32(9).zeros(8), false,
       4 + 6 + 4 + 1 + 6 + 4},
      {"image count 2^31-1", Bytes().i32(0x7FFFFFFF).str("A.BMP").i32(0).zeros(1000), false, 0},
      {"image count larger than the rest", Bytes().i32(50).str("A.BMP").i32(0), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = plmtest::JwwHeaderBytes(700);
    file.u16(0).u16(0);
    const size_t sectionStart = file.size();
    file.append(c.section);
    plmtest::TempDir dir;
    plm::TempImages images;
    images.TempFolder = dir.path();
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    EXPECT_EQ(plm::LoadJwwBytes(doc, images, file.data(), &failure), c.loads) << failure.Reason;
    if (!c.loads) {
      EXPECT_FALSE(failure.Reason.empty());
      EXPECT_EQ(failure.Offset, sectionStart + c.at) << failure.Reason;
    }
  }
}

TEST(JwwImagesTest, ImageReferenceOfFollowsTheTextForm) {
  const std::string cases[] = {
      "^@BM%temp%abc.bmp,0", "^@BM%temp%abc.bmp", "^@BM%temp%,", "^@BM%temp%", "^@BM%temp%x", "^@BM%temp%x,",
      "^@bm%temp%abc.bmp,0", "x^@BM%temp%abc.bmp,0", "^@BM%temp%a,b,c", "^@BM%temp%\x83\x41z,1", "^@BM%temp%\x83\x61z,1", "",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(plm::ImageReferenceOf(text), plmtest::ImageRefModel(text));
  }
  EXPECT_EQ(plm::ImageReferenceOf("^@BM%temp%abc.bmp,0"), "ABC.BMP");
}

// The selector against the writer's rule walked in list order, over names with shared
// starts, repeats, empty names and double-byte characters whose trail byte is a letter.
TEST(JwwImagesTest, ImageSelectorPicksTheFirstEntryWhoseNameBeginsWithTheReference) {
  const std::vector<std::string> names = {"ABC.BMPX", "b.png", "", "ABC.BMP", "\x83\x61z.jpg", "B.PNG", "abd",
                                          "\x83\x41Z.JPG", "ab"};
  const plm::ImageSelector selector(names, [](const std::string& n) -> std::string_view { return n; });
  const auto model = [&](const std::string& ref) -> std::optional<size_t> {
    if (ref.empty()) return std::nullopt;
    for (size_t i = 0; i < names.size(); ++i)
      if (plmtest::UpperAnsiModel(names[i]).starts_with(ref)) return i;
    return std::nullopt;
  };
  const std::string refs[] = {"ABC.BMP", "A", "AB", "ABC.BMPX", "ABC.BMPXY", "B.PNG", "B", "\x83\x61Z", "\x83\x41Z",
                              "\x83", "ABD", "", "Z", "\xFF"};
  for (const std::string& ref : refs) {
    SCOPED_TRACE(ref);
    EXPECT_EQ(selector.Select(ref), model(ref));
  }
  EXPECT_EQ(selector.Select("ABC.BMP"), 0u);
  EXPECT_EQ(selector.Select("B.PNG"), 1u);
  const plm::ImageSelector none(std::vector<std::string>{}, [](const std::string& n) -> std::string_view { return n; });
  EXPECT_EQ(none.Select("A"), std::nullopt);
}

}  // namespace
