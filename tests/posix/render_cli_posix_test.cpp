// plmconv render on a file whose name is code page 932 bytes, as archives made on
// Japanese Windows leave them on a POSIX file system: the picture shows it decoded.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"
#include "tests/support/render_cli_fixture.h"
#include "tests/support/text_files.h"

namespace {

namespace fs = std::filesystem;
using namespace rendertest;
using plmtest::Plmconv;
using plmtest::ReadText;

TEST(RenderCliTest, CodePage932FileNameIsShownDecoded) {
  plmtest::TempDir dir;
  const fs::path in = dir / "\x95\x7E\x92\x6E\x90\x7D.JWW", out = dir / "a.svg";  // 敷地図.JWW
  plmtest::WriteFileBytes(in, DrawingBytes());
  const plmtest::CliRun run = Plmconv({"render", plm::Utf8FromPath(in), "-o", plm::Utf8FromPath(out)});
  ASSERT_EQ(run.code, plm::kExitOk) << run.err;
  EXPECT_NE(ReadText(out).find("敷地図.JWW"), std::string::npos);
}

}  // namespace
