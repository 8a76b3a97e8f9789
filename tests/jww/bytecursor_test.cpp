// The cursor reading from a file: fields that straddle the first read and the buffer
// refills after it decode exactly as the same bytes in memory would, and a drawing
// whose records cross those places loads as the model says.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "jww/bytecursor.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "jww/jwwversions.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace {

using plm::What;
using Raw = std::vector<uint8_t>;

// Where the cursor's buffer ends when a file is read front to back by skips: the first
// read takes 8 KB, every refill after it 64 KB. 65536 itself is no boundary of this
// reader but would be of one that read 64 KB first, so it is checked as well.
constexpr size_t kFirst = 8192;
constexpr size_t kRefill = 65536;
const size_t kBoundaries[] = {kFirst, kRefill, kFirst + kRefill, kFirst + 2 * kRefill};
constexpr size_t kBefore = 10;  // start offsets from boundary - kBefore ...
constexpr size_t kAfter = 2;    // ... to boundary + kAfter

std::vector<size_t> StartOffsets() {
  std::vector<size_t> out;
  for (size_t b : kBoundaries)
    for (size_t s = b - kBefore; s <= b + kAfter; ++s) out.push_back(s);
  return out;
}

// Byte i is i mod 251: neighbouring bytes always differ, so a field read in the wrong
// byte order never gives the right value, and 0xFF never occurs (strings and counts
// stay in their short form unless a test plants the long one).
Raw Pattern(size_t size) {
  Raw r(size);
  for (size_t i = 0; i < size; ++i) r[i] = static_cast<uint8_t>(i % 251);
  return r;
}

// The little-endian value of n bytes at p, from the bytes themselves.
uint64_t Le(const Raw& b, size_t p, int n) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(b.at(p + static_cast<size_t>(i))) << (8 * i);
  return v;
}

uint64_t DoubleBits(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return bits;
}

// A cursor on the file, moved to `start` by skipping.
void OpenAt(plm::ByteCursor& in, const std::filesystem::path& path, size_t start) {
  ASSERT_TRUE(in.OpenFile(path)) << in.Failure().Reason;
  ASSERT_TRUE(in.Skip(start, {"the lead-in"})) << in.Failure().Reason;
  ASSERT_EQ(in.Offset(), start);
}

// Reads every field kind at `start` (one fresh cursor each) and compares with the
// values the file's bytes give.
void ExpectFieldsAt(const std::filesystem::path& path, const Raw& bytes, size_t start) {
  SCOPED_TRACE("start offset " + std::to_string(start));
  const What what{"a field"};
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    EXPECT_EQ(in.U16(what), Le(bytes, start, 2)) << "U16";
    EXPECT_EQ(in.Offset(), start + 2);
    EXPECT_TRUE(in.Ok()) << in.Failure().Reason;
  }
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    EXPECT_EQ(in.U32(what), Le(bytes, start, 4)) << "U32";
    EXPECT_EQ(in.Offset(), start + 4);
  }
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    EXPECT_EQ(in.I32(what), static_cast<int32_t>(Le(bytes, start, 4))) << "I32";
  }
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    EXPECT_EQ(DoubleBits(in.F64(what)), Le(bytes, start, 8)) << "F64";
    EXPECT_EQ(in.Offset(), start + 8);
  }
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    size_t length = bytes[start], at = start + 1;
    if (length == 0xFF) {
      length = Le(bytes, start + 1, 2);
      at = start + 3;
    }
    const std::string want(bytes.begin() + static_cast<ptrdiff_t>(at),
                           bytes.begin() + static_cast<ptrdiff_t>(at + length));
    EXPECT_EQ(in.JwwString(what), want) << "JwwString";
    EXPECT_EQ(in.Offset(), at + length);
    EXPECT_TRUE(in.Ok()) << in.Failure().Reason;
  }
  {
    plm::ByteCursor in;
    OpenAt(in, path, start);
    uint64_t want = Le(bytes, start, 2), end = start + 2;
    if (want == 0xFFFF) {
      want = Le(bytes, start + 2, 4);
      end = start + 6;
    }
    EXPECT_EQ(in.Count(1, what), want) << "Count";
    EXPECT_EQ(in.Offset(), end);
    EXPECT_TRUE(in.Ok()) << in.Failure().Reason;
  }
}

// Room behind the last window for the longest string or count a field may name.
const size_t kFileSize = kFirst + 2 * kRefill + 80000;

TEST(JwwCursorTest, FieldsAcrossTheFirstReadAndEveryRefillDecodeAsTheirBytes) {
  plmtest::TempDir dir;
  const Raw bytes = Pattern(kFileSize);
  plmtest::WriteFileBytes(dir / "pattern.bin", bytes);
  for (size_t start : StartOffsets()) ExpectFieldsAt(dir / "pattern.bin", bytes, start);
}

// The long string form and the escaped count put their 16- and 32-bit parts across
// the refill too.
TEST(JwwCursorTest, LongStringsAndEscapedCountsAcrossARefillDecodeAsTheirBytes) {
  plmtest::TempDir dir;
  const Raw pattern = Pattern(kFileSize);
  struct Plant {
    const char* name;
    Raw head;
  } const plants[] = {
      {"long string of 259 bytes", {0xFF, 0x03, 0x01}},
      {"long string of 65280 bytes", {0xFF, 0x00, 0xFF}},
      {"escaped count 66051", {0xFF, 0xFF, 0x03, 0x02, 0x01, 0x00}},
      {"escaped count 0xFFFF", {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
  };
  for (const Plant& p : plants) {
    SCOPED_TRACE(p.name);
    for (size_t start : StartOffsets()) {
      Raw bytes = pattern;
      std::copy(p.head.begin(), p.head.end(), bytes.begin() + static_cast<ptrdiff_t>(start));
      plmtest::WriteFileBytes(dir / "planted.bin", bytes);
      ExpectFieldsAt(dir / "planted.bin", bytes, start);
    }
  }
}

// Read front to back in a cycle of field widths whose length is odd, so the fields
// meet the buffer ends at every phase; the read past the end fails at the file size.
TEST(JwwCursorTest, WholeFileReadFieldByFieldMatchesItsBytes) {
  plmtest::TempDir dir;
  const Raw bytes = Pattern(kFirst + 3 * kRefill + 13);
  plmtest::WriteFileBytes(dir / "walk.bin", bytes);
  plm::ByteCursor in;
  ASSERT_TRUE(in.OpenFile(dir / "walk.bin")) << in.Failure().Reason;
  const int widths[] = {1, 2, 4, 8, 4, 2};  // 21 bytes a cycle
  const What what{"a walked field"};
  size_t p = 0, mismatches = 0;
  for (size_t k = 0; p + 8 <= bytes.size(); ++k) {
    const int n = widths[k % 6];
    uint64_t got = 0;
    switch (n) {
      case 1: got = in.U8(what); break;
      case 2: got = in.U16(what); break;
      case 4: got = k % 6 == 2 ? in.U32(what) : static_cast<uint32_t>(in.I32(what)); break;
      default: got = DoubleBits(in.F64(what)); break;
    }
    if (got != Le(bytes, p, n) && ++mismatches <= 5)
      ADD_FAILURE() << n << "-byte field at " << p << ": read " << got << ", bytes say " << Le(bytes, p, n);
    p += static_cast<size_t>(n);
    ASSERT_EQ(in.Offset(), p);
  }
  EXPECT_EQ(mismatches, 0u);
  ASSERT_TRUE(in.Ok()) << in.Failure().Reason;
  ASSERT_TRUE(in.Skip(bytes.size() - p, what));
  in.U16({"the last field"});
  ASSERT_FALSE(in.Ok());
  EXPECT_EQ(in.Failure().Offset, bytes.size());
  EXPECT_NE(in.Failure().Reason.find("the last field"), std::string::npos) << in.Failure().Reason;
}

// A file that ends inside a field that straddles a refill fails at the file's end.
TEST(JwwCursorTest, FileEndingInsideAFieldAtARefillFailsAtItsEnd) {
  plmtest::TempDir dir;
  for (size_t boundary : {kFirst, kFirst + kRefill}) {
    for (size_t cut : {boundary + 1, boundary + 3}) {
      SCOPED_TRACE("file of " + std::to_string(cut) + " bytes");
      const Raw bytes = Pattern(cut);
      plmtest::WriteFileBytes(dir / "cut.bin", bytes);
      plm::ByteCursor in;
      OpenAt(in, dir / "cut.bin", boundary - 2);
      in.F64({"the cut field"});
      ASSERT_FALSE(in.Ok());
      EXPECT_EQ(in.Failure().Offset, cut);
      EXPECT_NE(in.Failure().Reason.find("ends at byte " + std::to_string(cut)), std::string::npos)
          << in.Failure().Reason;
    }
  }
}

// A drawing large enough to cross the first read and two refills, loaded through its
// file at several shifts (the memo's length moves every later field by one byte), is
// written back as the model says.
TEST(JwwCursorTest, DrawingLoadedFromAFileAcrossRefillsIsWrittenAsTheModelSays) {
  plmtest::Body body = plmtest::RichBody();
  for (int i = 0; i < 1800; ++i) {
    const plm::EntityAttributes a = plmtest::MakeAttr(static_cast<uint8_t>(1 + i % 9), static_cast<uint16_t>(1 + i % 9),
                                              static_cast<uint16_t>(i), static_cast<uint16_t>(i % 16),
                                              static_cast<uint16_t>(i % 15), static_cast<uint32_t>(i * 977),
                                              static_cast<uint16_t>(i * 3));
    switch (i % 4) {
      case 0: body.Entities.push_back(plmtest::SampleSen(i, a)); break;
      case 1: body.Entities.push_back(plmtest::SampleMoji(i, a, static_cast<uint32_t>(i % 3), -0.5,
                                                          std::string(static_cast<size_t>(i % 37), static_cast<char>('a' + i % 26))));
        break;
      case 2: body.Entities.push_back(plmtest::SampleTen(i, plmtest::MakeAttr(100, 3, 1, 2, 3, 4, 5))); break;
      default: body.Entities.push_back(plmtest::SampleSunpo(i, a, 0, -1.0)); break;
    }
  }
  const plm::ConversionSwitches options = plmtest::OptionsFromBits(3);
  for (int shift = 0; shift < 8; ++shift) {
    SCOPED_TRACE("memo of " + std::to_string(shift) + " bytes");
    plmtest::JwwHeaderFill fill;
    fill.Memo = std::string(static_cast<size_t>(shift), 'm');
    plmtest::Bytes file = plmtest::JwwHeaderBytes(plm::kVerImages, fill);
    file.append(plmtest::EncodeBody(body, plm::kVerImages, true));
    ASSERT_GT(file.size(), kFirst + 2 * kRefill);

    plmtest::TempDir dir;
    plmtest::WriteFileBytes(dir / "large.jww", file.data());
    plm::TempImages images;
    images.TempFolder = dir / "images";
    std::filesystem::create_directory(images.TempFolder);
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    ASSERT_TRUE(plm::LoadJwwFile(doc, images, dir / "large.jww", &failure)) << failure.Offset << ": " << failure.Reason;
    plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), options);
    plm::ByteSink sink;
    plm::WriteJwwHeader(sink, doc, doc.Header.Version);
    plm::WriteJwwBody(sink, doc, images, doc.Header.Version);
    ASSERT_TRUE(sink.Ok()) << sink.FailureReason();
    std::string why;
    const auto expected = plmtest::ExpectedJwwFile(file.data(), options, nullptr, &why);
    ASSERT_TRUE(expected) << why;
    EXPECT_EQ(plmtest::FirstDifference(sink.Bytes(), *expected), "");
    if (shift % 3 == 0) {
      // Through the file writer, whose records now and then meet the end of its buffer.
      ASSERT_TRUE(plm::SaveJwwFile(doc, images, dir / "out.jww", doc.Header.Version, &why)) << why;
      EXPECT_EQ(plmtest::FirstDifference(plmtest::ReadFileBytes(dir / "out.jww"), *expected), "");
    }
  }
}

// A file cut inside any of the records that straddle a refill fails at its end, naming
// the field it ends in, exactly as the same bytes in memory do.
TEST(JwwCursorTest, DrawingCutInsideARecordAtARefillFailsAsInMemory) {
  // Few enough entities that their count fits every cut file: the cut, not the count,
  // must be what fails.
  plmtest::Body body;
  for (int i = 0; i < 1200; ++i) {
    const plm::EntityAttributes a = plmtest::MakeAttr(1, 1, 0, 0, 0, static_cast<uint32_t>(i), 0);
    if (i % 2 == 0) body.Entities.push_back(plmtest::SampleSen(i, a));
    else body.Entities.push_back(plmtest::SampleSunpo(i, a, 0, -1.0));
  }
  plmtest::Bytes file = plmtest::JwwHeaderBytes(plm::kVerImages, {});
  file.append(plmtest::EncodeBody(body, plm::kVerImages, true));
  ASSERT_GT(file.size(), kFirst + 2 * kRefill + 400);
  plmtest::TempDir dir;
  for (size_t boundary : {kFirst, kFirst + kRefill, kFirst + 2 * kRefill}) {
    for (size_t cut = boundary - 200; cut <= boundary + 200; cut += 7) {
      SCOPED_TRACE("file cut to " + std::to_string(cut) + " bytes");
      const Raw bytes(file.data().begin(), file.data().begin() + static_cast<ptrdiff_t>(cut));
      plmtest::WriteFileBytes(dir / "cut.jww", bytes);
      plm::TempImages images;
      images.TempFolder = dir / "images";
      plm::JwwDocument fromFile, fromMemory;
      plm::ReadFailure fileFailure, memoryFailure;
      ASSERT_FALSE(plm::LoadJwwFile(fromFile, images, dir / "cut.jww", &fileFailure));
      ASSERT_FALSE(plm::LoadJwwBytes(fromMemory, images, bytes, &memoryFailure));
      EXPECT_EQ(fileFailure.Offset, cut);
      EXPECT_EQ(fileFailure.Offset, memoryFailure.Offset);
      EXPECT_EQ(fileFailure.Reason, memoryFailure.Reason);
    }
  }
}

}  // namespace
