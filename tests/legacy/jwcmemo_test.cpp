#include "legacy/jwcmemo.h"
#include "platform/ansi.h"

#include <gtest/gtest.h>

#include "tests/support/bytes.h"

namespace plm {
namespace {

using plmtest::Bytes;

constexpr char kSignature[] = "jw_cad(c)data.......";

// A JWC text header: line 1 with signature field and the two memo fields, lines 2
// to 4 filled with digits and commas, then `extra` bytes of drawing data.
Bytes JwcHeader(std::string_view sig40, std::string_view memo1, std::string_view memo2, size_t extra = 0) {
  Bytes b;
  b.raw(sig40).fill(40 - sig40.size(), ' ');
  b.raw(memo1).fill(32 - memo1.size(), ' ');
  b.raw(memo2).fill(32 - memo2.size(), ' ');
  b.fill(96, ' ');
  for (int line = 0; line < 3; ++line) b.raw("1,2,3,").fill(194, '0');
  return b.fill(extra, 0x55);
}

TEST(JwcUnitTest, IsJwcFileComparesTheTwentyByteSignature) {
  struct Case {
    const char* name;
    std::vector<uint8_t> content;
    bool expected;
  };
  const Case cases[] = {
      {"control: the signature and more", Bytes().raw(kSignature).raw("rest").data(), true},
      {"exactly 20 bytes", Bytes().raw(kSignature).data(), true},
      {"19 bytes", Bytes().raw(std::string_view(kSignature, 19)).data(), false},
      {"signature in capitals", Bytes().raw(plm::AnsiUpper(kSignature)).data(), false},
      {"a zero byte inside cuts the text", Bytes().raw("jw_cad(c)data").u8(0).raw("......").data(), false},
      {"six full stops and a space", Bytes().raw("jw_cad(c)data...... ").data(), false},
      {"a JWW signature", Bytes().raw("JwwData.").zeros(20).data(), false},
      {"empty file", {}, false},
  };
  plmtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / "x.jwc";
    plmtest::WriteFileBytes(path, c.content);
    EXPECT_EQ(IsJwcFile(path), c.expected);
  }
  EXPECT_FALSE(IsJwcFile(dir / "missing.jwc"));
  EXPECT_FALSE(IsJwcFile(dir.path()));
}

TEST(JwcUnitTest, ReadJwcMemoTakesTheFieldsOfLineOne) {
  plmtest::TempDir dir;
  const auto path = dir / "a.jwc";
  plmtest::WriteFileBytes(path, JwcHeader(kSignature, "\x90\x7D\x96\xCA", "memo 2", 5000).data());
  jwc::THeader h;
  ASSERT_TRUE(ReadJwcMemo(h, path));
  EXPECT_EQ(h.Signature, std::string(kSignature) + std::string(20, ' '));
  EXPECT_EQ(h.MemoPart1, "\x90\x7D\x96\xCA" + std::string(28, ' '));
  EXPECT_EQ(h.MemoPart2, "memo 2" + std::string(26, ' '));
}

TEST(JwcUnitTest, ReadJwcMemoKeepsZeroBytesAndNeedsNoSignature) {
  plmtest::TempDir dir;
  const auto path = dir / "b.jwc";
  Bytes b;
  for (int i = 0; i < 800; ++i) b.u8(static_cast<uint8_t>(i));  // not a JWC file
  b.data()[45] = 0;
  plmtest::WriteFileBytes(path, b.data());
  jwc::THeader h;
  ASSERT_TRUE(ReadJwcMemo(h, path));
  std::string expected1, expected2;
  for (int i = 40; i < 72; ++i) expected1 += static_cast<char>(i == 45 ? 0 : i);
  for (int i = 72; i < 104; ++i) expected2 += static_cast<char>(i);
  EXPECT_EQ(h.MemoPart1, expected1);
  EXPECT_EQ(h.MemoPart2, expected2);
  EXPECT_EQ(h.Signature.size(), 40u);
}

TEST(JwcUnitTest, ReadJwcMemoNeedsAllFourLines) {
  plmtest::TempDir dir;
  jwc::THeader h;
  // A failed read leaves no memo of an earlier file behind.
  plmtest::WriteFileBytes(dir / "full.jwc", JwcHeader(kSignature, "old", "memo").data());
  ASSERT_TRUE(ReadJwcMemo(h, dir / "full.jwc"));
  for (size_t size : {799u, 600u, 200u, 40u, 0u}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes = JwcHeader(kSignature, "old", "memo").data();
    bytes.resize(size);
    plmtest::WriteFileBytes(dir / "short.jwc", bytes);
    EXPECT_FALSE(ReadJwcMemo(h, dir / "short.jwc"));
    EXPECT_TRUE(h.Signature.empty() && h.MemoPart1.empty() && h.MemoPart2.empty());
  }
  EXPECT_FALSE(ReadJwcMemo(h, dir / "missing.jwc"));
  EXPECT_FALSE(ReadJwcMemo(h, dir.path()));
}

TEST(JwcUnitTest, ClearJwcDataEmptiesTheHeader) {
  jwc::THeader h{"sig", "m1", "m2"};
  ClearJwcData(h);
  EXPECT_TRUE(h.Signature.empty() && h.MemoPart1.empty() && h.MemoPart2.empty());
}

}  // namespace
}  // namespace plm
