#include "legacy/jwkmemo.h"

#include <gtest/gtest.h>

#include "tests/support/bytes.h"

namespace plm {
namespace {

using plmtest::Bytes;

// A JWK text header: line 1 (signature field, two memo fields, rest) and line 2.
Bytes JwkHeader(std::string_view memo1, std::string_view memo2) {
  Bytes b;
  b.raw("figure header.......").fill(20, ' ');
  b.raw(memo1).fill(32 - memo1.size(), ' ');
  b.raw(memo2).fill(32 - memo2.size(), ' ');
  b.fill(96, ' ');
  return b.raw("1,2,3,4,5,6,7,8,9").fill(183, ' ');
}

TEST(JwkUnitTest, ReadJwkMemoNeedsBothLines) {
  struct Case {
    size_t size;
    bool expected;
  };
  const Case cases[] = {{400, true}, {1326, true}, {399, false}, {200, false}, {0, false}};
  plmtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes b = JwkHeader("parts memo", "");
    b.data().resize(c.size, 0x20);
    plmtest::WriteFileBytes(dir / "p.jwk", b.data());
    jwk::THeader h{"stale", "stale", "stale"};
    EXPECT_EQ(ReadJwkMemo(h, dir / "p.jwk"), c.expected);
    if (c.expected) {
      EXPECT_EQ(h.MemoPart1, "parts memo" + std::string(22, ' '));
      EXPECT_EQ(h.MemoPart2, std::string(32, ' '));
      EXPECT_EQ(h.Signature, "figure header......." + std::string(20, ' '));
    } else {
      EXPECT_TRUE(h.Signature.empty() && h.MemoPart1.empty() && h.MemoPart2.empty());
    }
  }
}

// There is no signature test: any 400 bytes give a memo from offsets 40 to 103.
TEST(JwkUnitTest, ReadJwkMemoReadsAnyContent) {
  plmtest::TempDir dir;
  Bytes b;
  for (int i = 0; i < 400; ++i) b.u8(static_cast<uint8_t>(255 - i % 256));
  plmtest::WriteFileBytes(dir / "any.jwk", b.data());
  jwk::THeader h;
  ASSERT_TRUE(ReadJwkMemo(h, dir / "any.jwk"));
  EXPECT_EQ(h.MemoPart1, std::string(reinterpret_cast<const char*>(b.data().data()) + 40, 32));
  EXPECT_EQ(h.MemoPart2, std::string(reinterpret_cast<const char*>(b.data().data()) + 72, 32));
  EXPECT_FALSE(ReadJwkMemo(h, dir / "missing.jwk"));
  EXPECT_FALSE(ReadJwkMemo(h, dir.path()));
}

}  // namespace
}  // namespace plm
