#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "jww/bytesink.h"
#include "jww/jwwdocument.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace {

using plmtest::Bytes;
using Raw = std::vector<uint8_t>;

Raw Prefix(std::initializer_list<uint8_t> head, size_t fill = 0, uint8_t fillByte = 'x') {
  Raw r(head);
  r.insert(r.end(), fill, fillByte);
  return r;
}

template <class F>
Raw Written(F&& write) {
  plm::ByteSink sink;
  write(sink);
  EXPECT_TRUE(sink.Ok()) << sink.FailureReason();
  return sink.Bytes();
}

TEST(JwwIoTest, StringsAreWrittenInTheirShortestForm) {
  struct Case {
    size_t length;
    Raw head;
  } const cases[] = {
      {0, {0x00}},
      {254, {0xFE}},
      {255, {0xFF, 0xFF, 0x00}},
      {256, {0xFF, 0x00, 0x01}},
      {65535, {0xFF, 0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string s(c.length, 'a');
    const Raw out = Written([&](plm::ByteSink& o) { o.JwwString(s); });
    Raw want = c.head;
    want.insert(want.end(), s.begin(), s.end());
    EXPECT_EQ(out, want);
  }
}

TEST(JwwIoTest, StringTooLongForTheEncodingFailsTheWrite) {
  plm::ByteSink sink;
  sink.JwwString(std::string(65536, 'a'));
  EXPECT_FALSE(sink.Ok());
}

TEST(JwwIoTest, StringsAreReadInEitherForm) {
  struct Case {
    const char* name;
    Raw bytes;
    std::string want;
  } const cases[] = {
      {"short", {0x03, 'a', 'b', 'c'}, "abc"},
      {"empty", {0x00}, ""},
      {"zero bytes inside", {0x03, 'a', 0x00, 'c'}, std::string("a\0c", 3)},
      {"long form below 255", {0xFF, 0x05, 0x00, '1', '2', '3', '4', '5'}, "12345"},
      {"long form of length 0", {0xFF, 0x00, 0x00}, ""},
      {"long form 0xFFFF", Prefix({0xFF, 0xFF, 0xFF}, 65535), std::string(65535, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plm::ByteCursor in;
    in.OpenMemory(c.bytes);
    EXPECT_EQ(in.JwwString({"a test string"}), c.want);
    EXPECT_TRUE(in.Ok()) << in.Failure().Reason;
    EXPECT_EQ(in.Offset(), c.bytes.size());
  }
}

TEST(JwwIoTest, CountsUseTheEscapeAbove0xFFFE) {
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.Count(0); }), (Raw{0x00, 0x00}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.Count(0xFFFE); }), (Raw{0xFE, 0xFF}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.Count(0xFFFF); }), (Raw{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.Count(70000); }), (Raw{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

  struct Case {
    Raw bytes;
    uint32_t want;
  } const cases[] = {
      {Prefix({0xFE, 0xFF}, 0xFFFE), 0xFFFE},
      {Prefix({0xFF, 0xFF, 0x03, 0x00, 0x00, 0x00}, 3), 3},
      {Prefix({0x00, 0x00}), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    plm::ByteCursor in;
    in.OpenMemory(c.bytes);
    EXPECT_EQ(in.Count(1, {"a count"}), c.want);
    EXPECT_TRUE(in.Ok()) << in.Failure().Reason;
  }
}

// A count larger than what is left of the input fails before anything is reserved.
TEST(JwwIoTest, HostileCountFailsAtOnce) {
  struct Case {
    const char* name;
    Raw bytes;
    uint64_t minElementSize;
  } const cases[] = {
      {"32-bit escape near 4 G", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1},
      {"top bit set", {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80}, 1},
      {"one element too many", Prefix({0x05, 0x00}, 9), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plm::ByteCursor in;
    in.OpenMemory(c.bytes);
    in.Count(c.minElementSize, {"the entity count"});
    EXPECT_FALSE(in.Ok());
    EXPECT_EQ(in.Failure().Offset, 0u) << "the count's own offset";
    EXPECT_NE(in.Failure().Reason.find("entity count"), std::string::npos) << in.Failure().Reason;
  }
  plm::ByteCursor exact;
  const Raw fits = Prefix({0x05, 0x00}, 10);
  exact.OpenMemory(fits);
  EXPECT_EQ(exact.Count(2, {"the entity count"}), 5u);
  EXPECT_TRUE(exact.Ok());
}

TEST(JwwIoTest, HostileCountInADrawingFailsTheLoad) {
  plmtest::DistinctValues values;
  for (uint32_t count : {0xFFFFFFFFu, 0x80000000u, 70000u}) {
    SCOPED_TRACE(count);
    Bytes b;
    plmtest::BuildJwwHeader(b, 600, values);
    const size_t countAt = b.size();
    b.u16(0xFFFF).u32(count).zeros(64);
    plm::JwwDocument doc;
    plm::TempImages images;
    plm::ReadFailure failure;
    EXPECT_FALSE(plm::LoadJwwBytes(doc, images, b.data(), &failure));
    EXPECT_EQ(failure.Offset, countAt);
    EXPECT_NE(failure.Reason.find("the entity count"), std::string::npos) << failure.Reason;
  }
}

TEST(JwwIoTest, ClassReferencesSwitchToTheLongFormAt32767) {
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.ClassRef(1); }), (Raw{0x01, 0x80}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.ClassRef(32766); }), (Raw{0xFE, 0xFF}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.ClassRef(32767); }), (Raw{0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80}));
  EXPECT_EQ(Written([](plm::ByteSink& o) { o.NewClass(600, "CDataSen"); }),
            (Raw{0xFF, 0xFF, 0x58, 0x02, 0x08, 0x00, 'C', 'D', 'a', 't', 'a', 'S', 'e', 'n'}));
}

TEST(JwwIoTest, ClassTagsAreRead) {
  struct Case {
    const char* name;
    Raw bytes;
    bool isNew;
    uint32_t index;
    std::string className;
  } const cases[] = {
      {"short reference", {0x05, 0x80}, false, 5, ""},
      {"largest short reference", {0xFE, 0xFF}, false, 32766, ""},
      {"long reference", {0xFF, 0x7F, 0x05, 0x00, 0x00, 0x80}, false, 5, ""},
      {"long reference without top bit", {0xFF, 0x7F, 0x07, 0x00, 0x00, 0x00}, false, 7, ""},
      {"tag below 0x8000 names no class", {0x05, 0x00}, false, 0, ""},
      {"new class", {0xFF, 0xFF, 0x2C, 0x01, 0x09, 0x00, 'C', 'D', 'a', 't', 'a', 'M', 'o', 'j', 'i'}, true, 0,
       "CDataMoji"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plm::ByteCursor in;
    in.OpenMemory(c.bytes);
    const plm::ClassTag tag = in.Tag(2048, {"a class tag"});
    ASSERT_TRUE(in.Ok()) << in.Failure().Reason;
    EXPECT_EQ(tag.IsNew, c.isNew);
    if (!c.isNew) {
      EXPECT_EQ(tag.Index, c.index);
    }
    EXPECT_EQ(tag.Name, c.className);
    EXPECT_EQ(in.Offset(), c.bytes.size());
  }
}

TEST(JwwIoTest, ClassNameLongerThanTheLimitFails) {
  Bytes b;
  b.u16(0xFFFF).u16(600).u16(9).raw("CDataMoji");
  plm::ByteCursor in;
  in.OpenMemory(b.data());
  in.Tag(8, {"a class tag"});
  EXPECT_FALSE(in.Ok());
  EXPECT_EQ(in.Failure().Offset, 4u) << "the offset of the name length";
}

TEST(JwwIoTest, DoublesAreCarriedBitForBit) {
  const uint64_t patterns[] = {
      0x7FF0000000000001ull,  // signalling NaN, smallest payload
      0x7FF4000000000BADull,  // signalling NaN
      0xFFF8DEADBEEF0000ull,  // negative quiet NaN with payload
      0x8000000000000000ull,  // -0.0
      0x0000000000000001ull,  // smallest denormal
      0xFFF0000000000000ull,  // -infinity
      0x3FF0000000000000ull,  // 1.0
  };
  Bytes b;
  for (uint64_t p : patterns) b.f64bits(p);
  plm::ByteCursor in;
  in.OpenMemory(b.data());
  plm::ByteSink out;
  for (uint64_t p : patterns) {
    const double d = in.F64({"a double"});
    uint64_t got;
    std::memcpy(&got, &d, 8);
    EXPECT_EQ(got, p);
    out.F64(d);
  }
  EXPECT_TRUE(in.Ok());
  EXPECT_EQ(out.Bytes(), b.data());
}

TEST(JwwIoTest, IntegersAreLittleEndian) {
  const Raw bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0xFE, 0xFF, 0xFF, 0xFF};  // 8, 16, 32, 32 bits
  plm::ByteCursor in;
  in.OpenMemory(bytes);
  EXPECT_EQ(in.U8({"a"}), 0x01);
  EXPECT_EQ(in.U16({"b"}), 0x0302);
  EXPECT_EQ(in.U32({"c"}), 0x07060504u);
  EXPECT_EQ(in.I32({"d"}), -2);
  EXPECT_TRUE(in.Ok());
  plm::ByteSink out;
  out.U8(0x01);
  out.U16(0x0302);
  out.U32(0x07060504u);
  out.I32(-2);
  EXPECT_EQ(out.Bytes(), bytes);
}

// The first failed read keeps its offset and what was read; later reads fail too
// without replacing it.
TEST(JwwIoTest, FailedReadRecordsOffsetAndWhat) {
  const Raw bytes = {1, 0, 0, 0, 2, 0};
  plm::ByteCursor in;
  in.OpenMemory(bytes);
  EXPECT_EQ(in.U32({"the version"}), 1u);
  in.U32({"the name of layer", 37});
  ASSERT_FALSE(in.Ok());
  EXPECT_EQ(in.Failure().Offset, 6u);
  EXPECT_NE(in.Failure().Reason.find("ends at byte 6"), std::string::npos) << in.Failure().Reason;
  EXPECT_NE(in.Failure().Reason.find("the name of layer 37"), std::string::npos) << in.Failure().Reason;

  const plm::ReadFailure first = in.Failure();
  EXPECT_EQ(in.U8({"something else"}), 0);
  EXPECT_FALSE(in.Ok());
  EXPECT_EQ(in.Failure().Reason, first.Reason);
  EXPECT_EQ(in.Failure().Offset, first.Offset);
}

TEST(JwwIoTest, StringCutShortFails) {
  struct Case {
    const char* name;
    Raw bytes;
  } const cases[] = {
      {"no length", {}},
      {"long form without its length", {0xFF, 0x05}},
      {"bytes missing", {0x04, 'a', 'b', 'c'}},
      {"long form bytes missing", Prefix({0xFF, 0x00, 0x01}, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plm::ByteCursor in;
    in.OpenMemory(c.bytes);
    in.JwwString({"the memo"});
    EXPECT_FALSE(in.Ok());
    EXPECT_EQ(in.Failure().Offset, c.bytes.size());
    EXPECT_NE(in.Failure().Reason.find("ends at byte " + std::to_string(c.bytes.size())), std::string::npos)
        << in.Failure().Reason;
    EXPECT_NE(in.Failure().Reason.find("the memo"), std::string::npos) << in.Failure().Reason;
  }
}

// The writer skips the filter for strings it would give back unchanged: that must be
// exactly the strings CleanString keeps as they are.
TEST(JwwIoTest, CleanStringsAreExactlyThoseTheFilterKeeps) {
  const struct {
    std::string text;
    bool clean;
  } cases[] = {
      {"plain text", true},
      {"", true},
      {" ", true},
      {"a^mb", false},
      {"^M stays", true},
      {"^", true},
      {"tab\there", false},
      {std::string("zero\0byte", 9), false},
      {"\x82\x5e" "m", true},   // double-byte character whose second byte is the caret
      {"\x82\x0a", true},       // control byte as a second byte stays whole
      {"\x0a\x82", false},
      {"\x82", true},            // lead byte at the very end
      {"\x7f\xa0\xdf\xfe\xff", true},
      {"\x1f", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(plm::IsCleanString(c.text), c.clean);
    EXPECT_EQ(plm::CleanString(c.text) == c.text, c.clean);
  }
  // Random strings over the bytes that matter to the filter.
  const uint8_t alphabet[] = {'^', 'm', 'M', 'a', ' ', 0x00, 0x0d, 0x1f, 0x20, 0x7f, 0x80, 0x9f, 0xa0, 0xdf, 0xe0, 0xfd, 0xfe, 0xff};
  std::mt19937 rng(7);
  for (int n = 0; n < 20000; ++n) {
    std::string s(rng() % 7, '\0');
    for (char& ch : s) ch = static_cast<char>(alphabet[rng() % sizeof alphabet]);
    ASSERT_EQ(plm::IsCleanString(s), plm::CleanString(s) == s) << "string of " << s.size() << " bytes, n = " << n;
  }
}

}  // namespace
