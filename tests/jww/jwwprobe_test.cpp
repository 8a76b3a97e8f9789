#include <gtest/gtest.h>

#include "jww/jwwdocument.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace {

using plmtest::Bytes;
using plmtest::DistinctValues;
using plmtest::HeaderLayout;

std::vector<uint8_t> Text(std::string_view s) { return {s.begin(), s.end()}; }

TEST(JwwProbeTest, SignatureDecides) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool want;
  } const cases[] = {
      {"signature and more", Text("JwwData.\x5E\x02\x00\x00 anything"), true},
      {"exactly the signature", Text("JwwData."), true},
      {"lower case", Text("jwwdata.\x5E\x02\x00\x00"), false},
      {"comma for the point", Text("JwwData,\x5E\x02\x00\x00"), false},
      {"zero byte in the first 8", Text(std::string_view("JwwData\0\x5E\x02\x00\x00", 12)), false},
      {"7 bytes", Text("JwwData"), false},
      {"empty", {}, false},
      {"JWS signature", Text("JwsData.\x5E\x02\x00\x00"), false},
  };
  plmtest::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / "probe.JWW";
    plmtest::WriteFileBytes(path, c.bytes);
    EXPECT_EQ(plm::IsJwwFile(path), c.want);
  }
}

TEST(JwwProbeTest, FolderAndMissingFileAreNotDrawings) {
  plmtest::TempDir dir;
  std::filesystem::create_directory(dir / "folder.JWW");
  EXPECT_FALSE(plm::IsJwwFile(dir / "folder.JWW"));
  EXPECT_FALSE(plm::IsJwwFile(dir / "absent.JWW"));
}

struct MemoFile {
  Bytes bytes;
  HeaderLayout layout;
};

MemoFile HeaderWithMemo(int32_t version, std::string memo) {
  DistinctValues values;
  values.SetStr("Memo", -1, std::move(memo));
  MemoFile f;
  f.layout = plmtest::BuildJwwHeader(f.bytes, version, values);
  return f;
}

bool ReadMemo(plm::JwwDocument& doc, const std::vector<uint8_t>& bytes, plm::ReadFailure* failure = nullptr) {
  plmtest::TempDir dir;
  const auto path = dir / "memo.JWW";
  plmtest::WriteFileBytes(path, bytes);
  return plm::ReadJwwMemo(doc, path, failure);
}

TEST(JwwMemoTest, MemoIsReadAsStored) {
  struct Case {
    const char* name;
    std::string memo;
  } const cases[] = {
      {"empty", ""},
      {"code page 932 with line breaks", "\x90\x7D\x96\xCA\r\n2F"},
      {"control and zero bytes", std::string("a\0\x01^m\x1f", 6)},
      {"long form", std::string(300, 'M')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    plm::JwwDocument doc;
    doc.Header.Memo = "left over";
    ASSERT_TRUE(ReadMemo(doc, HeaderWithMemo(600, c.memo).bytes.data()));
    EXPECT_EQ(doc.Header.Memo, c.memo);
    EXPECT_EQ(doc.Header.Version, 600);
    EXPECT_EQ(doc.Header.Signature, "JwwData.");
  }
}

// The memo reader stops after the switches block, whose size depends on the version:
// a file that ends right there is read, one a byte shorter is not.
TEST(JwwMemoTest, EndsExactlyAfterTheSwitchesBlock) {
  for (int32_t version : {219, 220, 222, 223, 224, 225, 229, 230, 250, 300, 420, 700}) {
    SCOPED_TRACE(version);
    const MemoFile f = HeaderWithMemo(version, "memo");
    const size_t end16 = f.layout.end[16];
    std::vector<uint8_t> cut(f.bytes.data().begin(), f.bytes.data().begin() + end16);
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    EXPECT_TRUE(ReadMemo(doc, cut, &failure)) << failure.Reason;
    EXPECT_EQ(doc.Header.Memo, "memo");
    EXPECT_EQ(doc.Header.Version, version);

    cut.pop_back();
    EXPECT_FALSE(ReadMemo(doc, cut, &failure));
    EXPECT_EQ(failure.Offset, end16 - 1);
    EXPECT_NE(failure.Reason.find("byte " + std::to_string(end16 - 1)), std::string::npos) << failure.Reason;
  }
}

TEST(JwwMemoTest, TruncatedInTheLayerNamesIsRefused) {
  const MemoFile f = HeaderWithMemo(420, "read before the cut");
  const size_t middle = (f.layout.begin[7] + f.layout.end[7]) / 2;
  std::vector<uint8_t> cut(f.bytes.data().begin(), f.bytes.data().begin() + middle);
  plm::JwwDocument doc;
  plm::ReadFailure failure;
  EXPECT_FALSE(ReadMemo(doc, cut, &failure));
  EXPECT_EQ(failure.Offset, middle) << failure.Reason;
  EXPECT_EQ(doc.Header.Memo, "read before the cut");
}

TEST(JwwMemoTest, AnyContentLongEnoughIsRead) {
  // Not a drawing: the memo reader does not probe, so whatever stands where the memo
  // would be comes back as the memo.
  const std::vector<uint8_t> bytes(40000, 'A');
  plm::JwwDocument doc;
  plm::ReadFailure failure;
  EXPECT_TRUE(ReadMemo(doc, bytes, &failure)) << failure.Reason;
  EXPECT_EQ(doc.Header.Memo, std::string(0x41, 'A'));
  EXPECT_EQ(doc.Header.Signature, "AAAAAAAA");
}

TEST(JwwMemoTest, MissingFileIsRefused) {
  plmtest::TempDir dir;
  plm::JwwDocument doc;
  EXPECT_FALSE(plm::ReadJwwMemo(doc, dir / "absent.JWW"));
  std::filesystem::create_directory(dir / "folder.JWW");
  EXPECT_FALSE(plm::ReadJwwMemo(doc, dir / "folder.JWW"));
}

}  // namespace
