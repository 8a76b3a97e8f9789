// Bound images of JWW drawings where POSIX decides: an image file nobody may read,
// and a file-size limit that stops an image while it is being extracted.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "jww/jwwbody.h"
#include "jww/jwwdocument.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwimages_fixture.h"

namespace {

using plmtest::Body;
using namespace plmtest::jwwimages;
namespace fs = std::filesystem;

TEST(JwwImagesTest, ImageFileThatCannotBeOpenedFailsTheWriteAndLeavesNoOutput) {
  if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind the super-user";
  const std::vector<uint8_t> input = Drawing(ImageCases());
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir / "TEMP";
  fs::create_directory(images.TempFolder);
  plm::JwwDocument doc;
  ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input));
  fs::permissions(images.TempFolder / "BLK.BMP", fs::perms::none);
  fs::create_directory(dir / "save");
  std::string why;
  EXPECT_FALSE(plm::SaveJwwFile(doc, images, dir / "save" / "OUT.JWW", 700, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_TRUE(fs::is_empty(dir / "save"));
}

// An image file that cannot be written in full is dropped, and the images after it
// are still read in step.
TEST(JwwImagesTest, ImageThatFailsWhileBeingExtractedIsSkippedAndTheNextIsReadInStep) {
  Body body;
  body.Images = {Img("BIG.BMP", 20000, 1), Img("SMALL.BMP", 100, 2)};
  body.Entities.push_back(Text(1, "^@BM%temp%small.bmp,1"));
  body.Entities.push_back(Text(2, "^@BM%temp%big.bmp,1"));
  const std::vector<uint8_t> input = Drawing(body);
  plmtest::TempDir dir;
  plm::TempImages images;
  images.TempFolder = dir.path();
  plm::JwwDocument doc;
  plm::ReadFailure failure;

  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 8192;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool ok = plm::LoadJwwBytes(doc, images, input, &failure);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  ASSERT_TRUE(ok) << failure.Reason;
  EXPECT_FALSE(fs::exists(dir / "BIG.BMP"));
  EXPECT_EQ(plmtest::ReadFileBytes(dir / "SMALL.BMP"), Data(100, 2));
  ASSERT_EQ(images.TempImageFiles.size(), 2u);
  // The writer leaves out the image whose file is gone.
  plmtest::ImageFiles files{{"SMALL.BMP", Data(100, 2)}};
  plm::ByteSink sink;
  plm::WriteJwwHeader(sink, doc, 700);
  plm::WriteJwwBody(sink, doc, images, 700);
  EXPECT_EQ(plmtest::FirstDifference(sink.Bytes(), *plmtest::ExpectedJwwFile(input, {}, &files)), "");
}

}  // namespace
