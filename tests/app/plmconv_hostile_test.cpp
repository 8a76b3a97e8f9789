// The converter given what users hand it from anywhere: files that are no drawings,
// save folders that refuse the write, a full disk, hostile image names, and mutated
// drawings. It never crashes, hangs or runs away with memory, reports each file on its
// line, and leaves nothing half-written and nothing outside its save and image folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/plmconv.h"
#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/hostile.h"
#include "tests/support/hostile_mutate.h"

namespace {

using namespace std::string_literals;
using plmtest::Body;
using plmtest::Bytes;
using plmtest::ChildLimits;
using plmtest::ChildResult;
using plmtest::MakeAttr;
namespace fs = std::filesystem;

#define SKIP_IF_NO_PRIVILEGE_DROP(result) \
  if ((result).kind == ChildResult::NoPrivilegeDrop) GTEST_SKIP() << "cannot drop privileges to uid 65534"

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(seed + i * 29);
  return d;
}

plmtest::TreeSnapshot Without(plmtest::TreeSnapshot s, const std::string& prefix) {
  std::erase_if(s, [&](const auto& e) { return e.first.starts_with(prefix); });
  return s;
}

// A folder the unprivileged child may write into, for its report and its temporary files.
fs::path WritableFolder(const fs::path& p) {
  fs::create_directories(p);
  plmtest::GiveToNobody(p);
  plmtest::OpenForOthers(p);
  return p;
}

// Runs plmconv in a child with TMPDIR pointing at `tmp` (so its image folder lies where
// the test can see it); the printed lines come back through `report`.
ChildResult RunPlmconv(const ChildLimits& limits, const std::vector<std::string>& args, const fs::path& tmp,
                       const fs::path& report, std::string& printed) {
  const ChildResult r = plmtest::RunInChild(limits, [&] {
    ::setenv("TMPDIR", tmp.c_str(), 1);
    std::ostringstream out, err;
    const int status = plm::PlmconvMain(args, out, err);
    const std::string text = out.str() + err.str();
    plmtest::WriteFileBytes(report, std::vector<uint8_t>(text.begin(), text.end()));
    return status;
  });
  const std::vector<uint8_t> bytes = plmtest::ReadFileBytes(report);
  printed.assign(bytes.begin(), bytes.end());
  return r;
}

std::vector<std::string> Args(std::initializer_list<std::string> head, const std::vector<fs::path>& files) {
  std::vector<std::string> a(head);
  for (const fs::path& f : files) a.push_back(f.string());
  return a;
}

TEST(PlmconvHostileTest, InputsThatAreNoDrawingsFailOrAreSkippedWithoutHanging) {
  for (const std::string ext : {".JWW", ".JWS"}) {
    plmtest::TempDir root;
    const std::vector<uint8_t> drawing = ext == ".JWW" ? plmtest::JwwHeaderBytes(600).u16(0).u16(0).data()
                                                       : plmtest::JwsHeaderBytes(600).u16(0).u16(0).data();
    const auto inputs = plmtest::MakeHostileInputs(root / "in", drawing, ext);
    const fs::path save = WritableFolder(root / "save"), tmp = WritableFolder(root / "tmp"),
                   report = WritableFolder(root / "report") / "out.txt";
    ChildLimits limits;
    limits.unprivileged = true;
    limits.watchdogSeconds = 10;
    for (const plmtest::HostileInput& c : inputs) {
      SCOPED_TRACE(ext + " " + c.name);
      std::string printed;
      const ChildResult r = RunPlmconv(limits, Args({"convert", "--all", "-o", save.string()}, {c.path}), tmp, report, printed);
      SKIP_IF_NO_PRIVILEGE_DROP(r);
      const std::string head = c.path.string() + ": ";
      if (c.control) {
        EXPECT_TRUE(r.ExitedWith(0)) << r.Describe();
        EXPECT_EQ(printed, head + "converted\n");
        EXPECT_TRUE(fs::is_regular_file(save / c.path.filename()));
        fs::remove(save / c.path.filename());
      } else if (fs::is_directory(fs::symlink_status(c.path))) {
        // Refused as a file, or taken as a folder argument that holds no drawing.
        EXPECT_TRUE(r.ExitedWith(1) ? printed.starts_with(head + "failed (") : r.ExitedWith(0) && printed.empty())
            << r.Describe() << ": " << printed;
      } else if (c.emptyOrShort || c.path.extension() != ext) {
        EXPECT_TRUE(r.ExitedWith(0)) << r.Describe();
        EXPECT_EQ(printed.rfind(head + "skipped (", 0), 0u) << printed;
      } else {
        EXPECT_TRUE(r.ExitedWith(1)) << r.Describe();
        EXPECT_EQ(printed.rfind(head + "failed (", 0), 0u) << printed;
      }
      EXPECT_TRUE(fs::is_empty(save));
      EXPECT_TRUE(fs::is_empty(tmp));
    }
    // The whole folder at once: every entry gets its line, the control alone converts.
    SCOPED_TRACE(ext + " the folder of all of them");
    std::string printed;
    const ChildResult r =
        RunPlmconv(limits, Args({"convert", "--all", "-o", save.string()}, {root / "in"}), tmp, report, printed);
    EXPECT_TRUE(r.ExitedWith(1)) << r.Describe();
    std::istringstream lines(printed);
    size_t converted = 0;
    for (std::string line; std::getline(lines, line);) {
      converted += line.ends_with(": converted");
      EXPECT_TRUE(line.ends_with(": converted") || line.find(": skipped (") != std::string::npos ||
                  line.find(": failed (") != std::string::npos)
          << line;
    }
    EXPECT_EQ(converted, 1u) << printed;
    EXPECT_EQ(plmtest::TemporaryFilesIn(save), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

TEST(PlmconvHostileTest, OutputThatCannotBeWrittenFailsAndLeavesNothingHalfWritten) {
  Body body;
  for (int i = 0; i < 3000; ++i) body.Entities.push_back(plmtest::SampleSen(i, MakeAttr(1, 1)));
  Bytes input = plmtest::JwwHeaderBytes(600);
  input.append(plmtest::EncodeBody(body, 600, false));
  const auto expected = plmtest::ExpectedJwwFile(input.data(), plmtest::OptionsFromBits(15));
  ASSERT_TRUE(expected);
  for (const plmtest::HostileOutput& c : plmtest::HostileOutputs(expected->size())) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    const fs::path in = root / "in" / "A.JWW", save = root / "save", output = save / "A.JWW";
    fs::create_directories(in.parent_path());
    plmtest::WriteFileBytes(in, input.data());
    fs::create_directories(save);
    c.prepare(save, output);
    const fs::path tmp = WritableFolder(root / "tmp"), report = WritableFolder(root / "report") / "out.txt";
    plmtest::OpenForOthers(in.parent_path());
    plmtest::OpenForOthers(save);
    const plmtest::TreeSnapshot before = Without(plmtest::Snapshot(root.path()), "report");

    std::string printed;
    const ChildResult r = RunPlmconv(c.limits, Args({"convert", "--all", "-o", save.string()}, {in}), tmp, report, printed);
    SKIP_IF_NO_PRIVILEGE_DROP(r);
    plmtest::TreeSnapshot after = Without(plmtest::Snapshot(root.path()), "report");
    EXPECT_EQ(plmtest::TemporaryFilesIn(save), std::vector<std::string>{});
    if (c.writes) {
      EXPECT_TRUE(r.ExitedWith(0)) << r.Describe() << printed;
      EXPECT_EQ(printed, in.string() + ": converted\n");
      EXPECT_EQ(plmtest::ReadFileBytes(output), *expected);
      EXPECT_EQ(plmtest::CompareSnapshots(Without(before, "save/"), Without(after, "save/")), "");
    } else if (!fs::exists(save)) {
      EXPECT_TRUE(r.ExitedWith(2)) << r.Describe() << printed;  // a usage error: nothing is tried
      EXPECT_EQ(plmtest::CompareSnapshots(before, after), "");
    } else {
      EXPECT_TRUE(r.ExitedWith(1)) << r.Describe() << printed;
      EXPECT_EQ(printed.rfind(in.string() + ": failed (", 0), 0u) << printed;
      // An earlier output survives, under its own name or as the backup.
      if (after.count("save/A.BAK") && !after.count("save/A.JWW")) {
        after["save/A.JWW"] = after["save/A.BAK"];
        after.erase("save/A.BAK");
      }
      EXPECT_EQ(plmtest::CompareSnapshots(before, after), "");
    }
  }
}

// plmconv unpacks bound images into a private folder inside TMPDIR; hostile names must
// not create anything beside that folder, in the input folder or in the save folder.
TEST(PlmconvHostileTest, ImageNamesCreateNothingOutsideThePrivateImageFolder) {
  const std::string names[] = {"PLAIN.BMP", "/", "\\", ":", "..", "a/b", "a\\b", "c:x", "x\0y"s, "../../x"};
  plmtest::TempDir root;
  const fs::path save = WritableFolder(root / "save"), tmp = WritableFolder(root / "tmp"),
                 report = WritableFolder(root / "report") / "out.txt";
  fs::create_directories(root / "in");
  std::vector<fs::path> files;
  for (size_t i = 0; i < std::size(names); ++i) {
    Body body;
    body.Entities.push_back(plmtest::SampleMoji(1, MakeAttr(1, 1), 0, -1.0, "^@BM%temp%" + names[i] + ",1"));
    body.Images = {{names[i], 6, Pattern(6, 1)}};
    Bytes file = plmtest::JwwHeaderBytes(700);
    file.append(plmtest::EncodeBody(body, 700, true));
    files.push_back(root / "in" / ("image" + std::to_string(i) + ".JWW"));
    plmtest::WriteFileBytes(files.back(), file.data());
  }
  plmtest::OpenForOthers(root / "in");
  const plmtest::TreeSnapshot before = Without(plmtest::Snapshot(root.path()), "report");
  ChildLimits limits;
  limits.unprivileged = true;
  std::string printed;
  const ChildResult r = RunPlmconv(limits, Args({"convert", "--all", "-o", save.string()}, files), tmp, report, printed);
  SKIP_IF_NO_PRIVILEGE_DROP(r);
  EXPECT_TRUE(r.ExitedWith(1)) << r.Describe();
  std::istringstream lines(printed);
  std::string line;
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(names[i]);
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line.rfind(files[i].string() + (i == 0 ? ": converted" : ": failed ("), 0), 0u) << line;
  }
  const plmtest::TreeSnapshot after = Without(plmtest::Snapshot(root.path()), "report");
  EXPECT_EQ(plmtest::CompareSnapshots(before, Without(after, "save/image0.JWW")), "");
}

// Without a place for the bound images nothing is converted and nothing is written.
TEST(PlmconvHostileTest, ImageFolderThatCannotBeMadeFailsTheRunAndWritesNothing) {
  plmtest::TempDir root;
  const fs::path save = WritableFolder(root / "save"), tmp = WritableFolder(root / "tmp"),
                 report = WritableFolder(root / "report") / "out.txt", in = root / "in" / "A.JWW";
  fs::permissions(tmp, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directories(in.parent_path());
  Body body;
  body.Entities.push_back(plmtest::SampleMoji(1, MakeAttr(1, 1), 0, -1.0, "^@BM%temp%img.bmp,1"));
  body.Images = {{"IMG.BMP", 6, Pattern(6, 1)}};
  Bytes file = plmtest::JwwHeaderBytes(700);
  file.append(plmtest::EncodeBody(body, 700, true));
  plmtest::WriteFileBytes(in, file.data());
  plmtest::OpenForOthers(in.parent_path());
  ChildLimits limits;
  limits.unprivileged = true;
  std::string printed;
  const ChildResult r = RunPlmconv(limits, Args({"convert", "--all", "-o", save.string()}, {in}), tmp, report, printed);
  SKIP_IF_NO_PRIVILEGE_DROP(r);
  EXPECT_TRUE(r.ExitedWith(1)) << r.Describe();
  EXPECT_NE(printed.find("temporary folder"), std::string::npos) << printed;
  EXPECT_TRUE(fs::is_empty(save));
  EXPECT_TRUE(fs::is_empty(tmp));
}

// A few hundred mutations of drawings of every layout, in process: whatever loads must
// save, and what is saved must load again; nothing is left half-written. Runs in a child
// under a memory bound, which reports the first mutation that breaks a rule.
TEST(PlmconvHostileTest, MutatedDrawingsThatLoadAreSavedAndReloaded) {
  std::vector<std::vector<uint8_t>> seeds;
  Body rich = plmtest::RichBody();
  rich.Entities.push_back(plmtest::SampleMoji(90, MakeAttr(1, 1), 0, -1.0, "^@BM%temp%pic.bmp,1"));
  rich.Images = {{"PIC.BMP", 300, Pattern(300, 4)}, {"", 0, {}}, {"UNUSED.BMP", 5, Pattern(5, 5)}};
  for (int32_t v : {300, 420, 600, 700}) {
    Bytes b = plmtest::JwwHeaderBytes(v);
    b.append(plmtest::EncodeBody(rich, v, v >= 700));
    seeds.push_back(b.data());
  }
  for (int32_t v : {230, 351, 600}) {
    Bytes b = plmtest::JwsHeaderBytes(v);
    b.append(plmtest::EncodeBody(rich, v, false));
    seeds.push_back(b.data());
  }
  plmtest::TempDir root;
  const fs::path temp = root / "TEMP", reloadTemp = root / "TEMP2", out = root / "out", report = root / "report.txt";
  fs::create_directories(temp);
  fs::create_directories(reloadTemp);
  fs::create_directories(out);
  constexpr uint64_t kMutations = 400;
  ChildLimits limits;
  limits.watchdogSeconds = 300;
  const ChildResult r = plmtest::RunInChild(limits, [&] {
    uint64_t loaded = 0;
    auto fail = [&](const plmtest::Mutation& m, const std::string& what) {
      const std::string text = what + " after " + m.how;
      plmtest::WriteFileBytes(report, std::vector<uint8_t>(text.begin(), text.end()));
      return 1;
    };
    for (uint64_t n = 0; n < kMutations; ++n) {
      const plmtest::Mutation m = plmtest::Mutate(seeds, 2024, n);
      const bool jww = m.bytes.size() >= 8 && std::equal(m.bytes.begin(), m.bytes.begin() + 8, "JwwData.");
      const fs::path output = out / (jww ? "M.JWW" : "M.JWS");
      std::string why;
      plm::ReadFailure failure;
      if (jww) {
        plm::TempImages images, reloadImages;
        images.TempFolder = temp;
        reloadImages.TempFolder = reloadTemp;
        plm::JwwDocument doc, again;
        if (!plm::LoadJwwBytes(doc, images, m.bytes, &failure)) {
          if (failure.Reason.empty()) return fail(m, "a refusal without a reason");
          continue;
        }
        ++loaded;
        plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plmtest::OptionsFromBits(15));
        if (!plm::SaveJwwFile(doc, images, output, doc.Header.Version, &why)) return fail(m, "save failed: " + why);
        if (!plm::LoadJwwFile(again, reloadImages, output, &failure))
          return fail(m, "the output does not load: " + failure.Reason);
        plm::DeleteTempImageFiles(images);
        plm::DeleteTempImageFiles(reloadImages);
      } else {
        plm::JwsDocument doc, again;
        if (!plm::LoadJwsBytes(doc, m.bytes, &failure)) {
          if (failure.Reason.empty()) return fail(m, "a refusal without a reason");
          continue;
        }
        ++loaded;
        plm::ApplySpacingRule(plm::SpacingSubjectOf(doc), plmtest::OptionsFromBits(15));
        if (!plm::SaveJwsFile(doc, output, doc.Version, &why)) return fail(m, "save failed: " + why);
        if (!plm::LoadJwsFile(again, output, &failure)) return fail(m, "the output does not load: " + failure.Reason);
      }
      if (!plmtest::TemporaryFilesIn(out).empty()) return fail(m, "a temporary file was left");
      fs::remove(output);
    }
    const std::string summary = std::to_string(loaded) + " of " + std::to_string(kMutations) + " loaded";
    plmtest::WriteFileBytes(report, std::vector<uint8_t>(summary.begin(), summary.end()));
    // Mutations that all load, or all fail, would test nothing.
    return loaded < kMutations / 10 || loaded > kMutations * 9 / 10 ? 1 : 0;
  });
  const std::vector<uint8_t> text = plmtest::ReadFileBytes(report);
  EXPECT_TRUE(r.ExitedWith(0)) << r.Describe() << ": " << std::string(text.begin(), text.end());
  testing::Test::RecordProperty("mutations", std::string(text.begin(), text.end()));
}

}  // namespace
