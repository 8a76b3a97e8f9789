// JWW drawings from anywhere: save folders that refuse the write, a full disk, image
// folders that cannot take the bound images, files that are no drawings, and
// structures built to exhaust memory. Each gives false, leaves nothing under the output
// name and no temporary file, and touches nothing outside the save and image folders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/hostile.h"

namespace {

using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::ChildLimits;
using plmtest::ChildResult;
using plmtest::MakeAttr;
namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(seed + i * 29);
  return d;
}

plm::Text Text(int seed, std::string text) { return plmtest::SampleMoji(seed, MakeAttr(1, 1), 0, -1.0, text); }

// A version-700 drawing whose text refers to one bound image of `size` bytes, so its
// output is larger than the writer's buffer.
std::vector<uint8_t> DrawingWithImage(std::string name = "IMG.BMP", size_t size = 100000) {
  Body body;
  body.Entities.push_back(Text(1, "^@BM%temp%" + name + ",1"));
  body.Images.push_back({name, static_cast<int32_t>(size), Pattern(size, 7)});
  Bytes b = plmtest::JwwHeaderBytes(700);
  b.append(plmtest::EncodeBody(body, 700, true));
  return b.data();
}

// 0 when the call gave true, 1 when false with a reason, 2 when false without one.
int Outcome(bool ok, const std::string& reason) { return ok ? 0 : reason.empty() ? 2 : 1; }

// Skips the test when the child could not become unprivileged.
#define SKIP_IF_NO_PRIVILEGE_DROP(result) \
  if ((result).kind == ChildResult::NoPrivilegeDrop) GTEST_SKIP() << "cannot drop privileges to uid 65534"

plmtest::TreeSnapshot Without(plmtest::TreeSnapshot s, const std::string& prefix) {
  std::erase_if(s, [&](const auto& e) { return e.first.starts_with(prefix); });
  return s;
}

TEST(JwwHostileTest, OutputThatCannotBeWrittenLeavesNoFileAndTouchesNothingElse) {
  const std::vector<uint8_t> input = DrawingWithImage();
  const auto expected = plmtest::ExpectedJwwFile(input, {});
  ASSERT_TRUE(expected);
  for (const plmtest::HostileOutput& c : plmtest::HostileOutputs(expected->size())) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    const fs::path save = root / "save", temp = root / "TEMP", output = save / "A.JWW";
    fs::create_directories(save);
    fs::create_directories(temp);
    plm::TempImages images;
    images.TempFolder = temp;
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    ASSERT_TRUE(plm::LoadJwwBytes(doc, images, input, &failure)) << failure.Reason;
    c.prepare(save, output);
    plmtest::OpenForOthers(temp);
    plmtest::OpenForOthers(save);
    const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());

    const ChildResult r = plmtest::RunInChild(c.limits, [&] {
      std::string why;
      const bool ok = plm::SaveJwwFile(doc, images, output, 700, &why);
      return Outcome(ok, why);
    });
    SKIP_IF_NO_PRIVILEGE_DROP(r);
    EXPECT_TRUE(r.ExitedWith(c.writes ? 0 : 1)) << r.Describe();
    EXPECT_EQ(plmtest::TemporaryFilesIn(save), std::vector<std::string>{});
    const plmtest::TreeSnapshot after = plmtest::Snapshot(root.path());
    if (c.writes) {
      EXPECT_EQ(plmtest::ReadFileBytes(output), *expected);
      EXPECT_EQ(plmtest::CompareSnapshots(Without(before, "save/"), Without(after, "save/")), "");
    } else {
      EXPECT_EQ(plmtest::CompareSnapshots(before, after), "");
    }
  }
}

TEST(JwwHostileTest, ImageFolderThatCannotTakeAnImageFailsTheLoadCleanly) {
  struct Case {
    const char* name;
    bool unprivileged;
    std::function<void(const fs::path& temp)> prepare;
    bool loads;
  };
  const Case cases[] = {
      {"control: image folder nobody may write", true, [](const fs::path& t) {
         fs::create_directory(t);
         plmtest::GiveToNobody(t);
       }, true},
      {"image folder missing", false, [](const fs::path&) {}, false},
      {"image folder read-only", true, [](const fs::path& t) {
         fs::create_directory(t);
         plmtest::GiveToNobody(t);
         fs::permissions(t, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       }, false},
      {"image folder is a file", false, [](const fs::path& t) { plmtest::WriteFileBytes(t, {1}); }, false},
  };
  const std::vector<uint8_t> input = DrawingWithImage("IMG.BMP", 5000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    const fs::path in = root / "in" / "A.JWW", temp = root / "TEMP";
    fs::create_directories(in.parent_path());
    plmtest::WriteFileBytes(in, input);
    c.prepare(temp);
    plmtest::OpenForOthers(in.parent_path());
    const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());
    ChildLimits limits;
    limits.unprivileged = c.unprivileged;
    const ChildResult r = plmtest::RunInChild(limits, [&] {
      plm::TempImages images;
      images.TempFolder = temp;
      plm::JwwDocument doc;
      plm::ReadFailure failure;
      const bool ok = plm::LoadJwwFile(doc, images, in, &failure);
      return Outcome(ok, failure.Reason);
    });
    SKIP_IF_NO_PRIVILEGE_DROP(r);
    EXPECT_TRUE(r.ExitedWith(c.loads ? 0 : 1)) << r.Describe();
    const plmtest::TreeSnapshot after = plmtest::Snapshot(root.path());
    if (c.loads) {
      EXPECT_EQ(plmtest::ReadFileBytes(temp / "IMG.BMP"), Pattern(5000, 7));
      EXPECT_EQ(plmtest::CompareSnapshots(before, Without(after, "TEMP/")), "");
    } else {
      EXPECT_EQ(plmtest::CompareSnapshots(before, after), "");
    }
  }
}

// Run as an unprivileged user under a memory bound and a watchdog, so an unreadable
// file binds, a blocking open shows as a hang and an unbounded read as over-memory.
TEST(JwwHostileTest, InputsThatAreNoDrawingsAreRefusedWithoutHangingOrAllocating) {
  plmtest::TempDir root;
  const fs::path temp = root / "TEMP";
  fs::create_directory(temp);
  plmtest::GiveToNobody(temp);
  const std::vector<uint8_t> drawing = plmtest::JwwHeaderBytes(600).u16(0).u16(0).data();
  const auto inputs = plmtest::MakeHostileInputs(root / "in", drawing, ".JWW");
  const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());
  ChildLimits limits;
  limits.unprivileged = true;
  limits.watchdogSeconds = 10;
  for (const plmtest::HostileInput& c : inputs) {
    SCOPED_TRACE(c.name);
    // Bit 1: the load, 2: the probe, 4: the memo reader said true; 8: a refusal without a reason.
    const ChildResult r = plmtest::RunInChild(limits, [&] {
      int seen = 0;
      plm::TempImages images;
      images.TempFolder = temp;
      plm::JwwDocument doc;
      plm::ReadFailure failure;
      if (plm::LoadJwwFile(doc, images, c.path, &failure)) seen |= 1;
      else if (failure.Reason.empty()) seen |= 8;
      if (plm::IsJwwFile(c.path)) seen |= 2;
      plm::JwwDocument memo;
      plm::ReadFailure memoFailure;
      if (plm::ReadJwwMemo(memo, c.path, &memoFailure)) seen |= 4;
      else if (memoFailure.Reason.empty()) seen |= 8;
      return seen;
    });
    SKIP_IF_NO_PRIVILEGE_DROP(r);
    EXPECT_TRUE(r.ExitedWith(c.control ? 7 : 0)) << r.Describe();
  }
  EXPECT_EQ(plmtest::CompareSnapshots(before, plmtest::Snapshot(root.path())), "");
}

// Counts and sizes that claim more than the file holds fail at once; the load runs in a
// child whose memory is bounded, so a reservation for the claim ends it visibly.
TEST(JwwHostileTest, HostileCountsAndSizesFailWithinAMemoryBound) {
  struct Case {
    std::string name;
    Bytes body;  // everything after the header
    int32_t version;
    bool loads;
    size_t at = 0;  // of the failure, from the start of the body
  };
  const Bytes pad = Bytes().zeros(64 * 1024);
  std::vector<Case> cases;
  {
    Body rich = plmtest::RichBody();
    rich.Images.push_back({"R.BMP", 3000, Pattern(3000, 1)});
    cases.push_back({"control: every entity kind, definitions and an image", plmtest::EncodeBody(rich, 700, true), 700, true});
  }
  for (uint32_t n : {0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu}) {
    const std::string v = std::to_string(n);
    cases.push_back({"entity count " + v, Bytes().u16(0xFFFF).u32(n).append(pad), 600, false, 0});
    cases.push_back({"definition count " + v, Bytes().u16(0).u16(0xFFFF).u32(n).append(pad), 600, false, 2});
    cases.push_back({"entity count " + v + " inside a definition",
                     Bytes().u16(0).u16(1).newClass(600, "CDataList").zeros(15 + 12).str("n").u16(0xFFFF).u32(n).append(pad),
                     600, false, 2 + 2 + 15 + 27 + 2});
  }
  // 35 bytes is the smallest tagged entity: the 1 MB of padding cannot hold 400000,
  // but does hold 20000, so there the first tag (0, naming no class) fails.
  cases.push_back({"entity count of 400000 in 1 MB", Bytes().u16(0xFFFF).u32(400000).zeros(1 << 20), 600, false, 0});
  cases.push_back({"entity count that the padding could hold, of tags naming no class",
                   Bytes().u16(0xFFFF).u32(20000).zeros(1 << 20), 600, false, 6});
  cases.push_back({"image count 2^31-1", Bytes().u16(0).u16(0).i32(0x7FFFFFFF).append(pad), 700, false, 4});
  // A count of 0 or less ends the image section; the padding after it is not read.
  cases.push_back({"image count with the top bit set", Bytes().u16(0).u16(0).u32(0x80000000u).append(pad), 700, true});
  cases.push_back({"image count -1", Bytes().u16(0).u16(0).i32(-1).append(pad), 700, true});
  auto image = [](uint32_t size, size_t have) {
    return Bytes().u16(0).u16(0).i32(1).str("A.BMP").u32(size).raw(Pattern(have, 3));
  };
  cases.push_back({"control: image size equal to the bytes left", image(1000, 1000), 700, true});
  // Behind the counts, the name "A.BMP" and the size: where the data would start.
  cases.push_back({"image size one more than the bytes left", image(1001, 1000), 700, false, 4 + 4 + 6 + 4});
  cases.push_back({"image size 2^31-1", image(0x7FFFFFFF, 1000), 700, false, 4 + 4 + 6 + 4});
  cases.push_back({"negative image size: an empty file, no data", image(0x80000000u, 0), 700, true});
  const std::string longName(60000, 'C');
  cases.push_back({"entity class name of 60000 bytes",
                   Bytes().u16(1).u16(0xFFFF).u16(600).u16(60000).raw(longName).append(pad), 600, false, 6});
  // Here the count of 1 already claims more than the 14 bytes left.
  cases.push_back({"entity class name of 60000 bytes, file ends in it",
                   Bytes().u16(1).u16(0xFFFF).u16(600).u16(60000).raw("CDataSen"), 600, false, 0});
  cases.push_back({"definition class name of 60000 bytes",
                   Bytes().u16(0).u16(1).u16(0xFFFF).u16(600).u16(60000).raw(longName).append(pad), 600, false, 8});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    const fs::path in = root / "A.JWW", temp = root / "TEMP";
    fs::create_directory(temp);
    Bytes file = plmtest::JwwHeaderBytes(c.version);
    const size_t bodyStart = file.size();
    file.append(c.body);
    plmtest::WriteFileBytes(in, file.data());
    const ChildResult r = plmtest::RunInChild({}, [&] {
      plm::TempImages images;
      images.TempFolder = temp;
      plm::JwwDocument doc;
      plm::ReadFailure failure;
      const bool ok = plm::LoadJwwFile(doc, images, in, &failure);
      if (!ok && failure.Offset != bodyStart + c.at) return 3;  // failed elsewhere
      return Outcome(ok, failure.Reason);
    });
    EXPECT_TRUE(r.ExitedWith(c.loads ? 0 : 1)) << r.Describe();
  }
}

// Names that would leave the image folder, or name a folder or a stream, fail the load
// before anything is created; the control converts and leaves the image folder empty.
TEST(JwwHostileTest, ImageNamesNeverReachOutsideTheImageFolder) {
  const std::string names[] = {"PLAIN.BMP", "/", "\\", ":", "..", ".", "a/b", "a\\b", "c:x", "x\0y"s, "a/../GOOD.BMP"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const bool control = name == "PLAIN.BMP";
    plmtest::TempDir root;
    const fs::path in = root / "in" / "A.JWW", save = root / "save", temp = root / "work" / "TEMP";
    fs::create_directories(in.parent_path());
    fs::create_directories(save);
    fs::create_directories(temp / "a");
    plmtest::WriteFileBytes(root / "work" / "GOOD.BMP", {'k', 'e', 'p', 't'});
    Body body;
    body.Entities.push_back(Text(1, "^@BM%temp%" + name + ",1"));
    body.Entities.push_back(Text(2, "^@BM%temp%GOOD.BMP,1"));
    body.Images = {{name, 6, Pattern(6, 1)}, {"GOOD.BMP", 9, Pattern(9, 2)}};
    Bytes file = plmtest::JwwHeaderBytes(700);
    file.append(plmtest::EncodeBody(body, 700, true));
    plmtest::WriteFileBytes(in, file.data());
    const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());

    plm::TempImages images;
    images.TempFolder = temp;
    plm::JwwDocument doc;
    plm::ReadFailure failure;
    const bool loaded = plm::LoadJwwFile(doc, images, in, &failure);
    EXPECT_EQ(loaded, control) << failure.Reason;
    if (loaded) {
      plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plmtest::OptionsFromBits(15));
      std::string why;
      EXPECT_TRUE(plm::SaveJwwFile(doc, images, save / "A.JWW", 700, &why)) << why;
      plm::DeleteTempImageFiles(images);
    } else {
      // At the first image's name: the section ends with that image (name, size, 6 bytes)
      // and GOOD.BMP (name, size, 9 bytes).
      const size_t goodImage = 1 + 8 + 4 + 9;
      EXPECT_EQ(failure.Offset, file.size() - goodImage - (1 + name.size() + 4 + 6)) << failure.Reason;
    }
    const plmtest::TreeSnapshot after = plmtest::Snapshot(root.path());
    EXPECT_EQ(plmtest::CompareSnapshots(before, Without(after, "save/A.JWW")), "");
  }
}

}  // namespace
