// JWS figures from anywhere: save folders that refuse the write, a full disk, files that
// are no figures, and structures built to exhaust memory. Each gives false, leaves
// nothing under the output name and no temporary file, and touches nothing else.
#include <gtest/gtest.h>

#include "jws/jwsdocument.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/hostile.h"

namespace {

using plmtest::Body;
using plmtest::Bytes;
using plmtest::ChildLimits;
using plmtest::ChildResult;
using plmtest::MakeAttr;
namespace fs = std::filesystem;

// 0 when the call gave true, 1 when false with a reason, 2 when false without one.
int Outcome(bool ok, const std::string& reason) { return ok ? 0 : reason.empty() ? 2 : 1; }

#define SKIP_IF_NO_PRIVILEGE_DROP(result) \
  if ((result).kind == ChildResult::NoPrivilegeDrop) GTEST_SKIP() << "cannot drop privileges to uid 65534"

plmtest::TreeSnapshot Without(plmtest::TreeSnapshot s, const std::string& prefix) {
  std::erase_if(s, [&](const auto& e) { return e.first.starts_with(prefix); });
  return s;
}

// A version-600 figure of 3000 lines, larger than the writer's buffer.
std::vector<uint8_t> LargeFigure() {
  Body body;
  for (int i = 0; i < 3000; ++i) body.Entities.push_back(plmtest::SampleSen(i, MakeAttr(1, 1)));
  Bytes b = plmtest::JwsHeaderBytes(600);
  b.append(plmtest::EncodeBody(body, 600, false));
  return b.data();
}

TEST(JwsHostileTest, OutputThatCannotBeWrittenLeavesNoFileAndTouchesNothingElse) {
  const std::vector<uint8_t> input = LargeFigure();
  const auto expected = plmtest::ExpectedJwsFile(input, {});
  ASSERT_TRUE(expected);
  plm::JwsDocument doc;
  plm::ReadFailure failure;
  ASSERT_TRUE(plm::LoadJwsBytes(doc, input, &failure)) << failure.Reason;
  for (const plmtest::HostileOutput& c : plmtest::HostileOutputs(expected->size())) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    const fs::path save = root / "save", output = save / "A.JWS";
    fs::create_directories(save);
    c.prepare(save, output);
    plmtest::OpenForOthers(save);
    const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());

    const ChildResult r = plmtest::RunInChild(c.limits, [&] {
      std::string why;
      const bool ok = plm::SaveJwsFile(doc, output, doc.Version, &why);
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

TEST(JwsHostileTest, InputsThatAreNoFiguresAreRefusedWithoutHangingOrAllocating) {
  plmtest::TempDir root;
  const std::vector<uint8_t> figure = plmtest::JwsHeaderBytes(600).u16(0).u16(0).data();
  const auto inputs = plmtest::MakeHostileInputs(root / "in", figure, ".JWS");
  const plmtest::TreeSnapshot before = plmtest::Snapshot(root.path());
  ChildLimits limits;
  limits.unprivileged = true;
  limits.watchdogSeconds = 10;
  for (const plmtest::HostileInput& c : inputs) {
    SCOPED_TRACE(c.name);
    // Bit 1: the load, 2: the probe said true; 8: a refusal without a reason.
    const ChildResult r = plmtest::RunInChild(limits, [&] {
      int seen = 0;
      plm::JwsDocument doc;
      plm::ReadFailure failure;
      if (plm::LoadJwsFile(doc, c.path, &failure)) seen |= 1;
      else if (failure.Reason.empty()) seen |= 8;
      if (plm::IsJwsFile(c.path)) seen |= 2;
      return seen;
    });
    SKIP_IF_NO_PRIVILEGE_DROP(r);
    EXPECT_TRUE(r.ExitedWith(c.control ? 3 : 0)) << r.Describe();
  }
  EXPECT_EQ(plmtest::CompareSnapshots(before, plmtest::Snapshot(root.path())), "");
}

TEST(JwsHostileTest, HostileCountsAndClassNamesFailWithinAMemoryBound) {
  struct Case {
    std::string name;
    Bytes body;
    bool loads;
    size_t at = 0;  // of the failure, from the start of the body
  };
  const Bytes pad = Bytes().zeros(64 * 1024);
  std::vector<Case> cases;
  cases.push_back({"control: every entity kind and definitions", plmtest::EncodeBody(plmtest::RichBody(), 600, false), true});
  for (uint32_t n : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    const std::string v = std::to_string(n);
    cases.push_back({"entity count " + v, Bytes().u16(0xFFFF).u32(n).append(pad), false, 0});
    cases.push_back({"definition count " + v, Bytes().u16(0).u16(0xFFFF).u32(n).append(pad), false, 2});
    cases.push_back({"entity count " + v + " inside a definition",
                     Bytes().u16(0).u16(1).newClass(600, "CDataList").zeros(15 + 12).str("n").u16(0xFFFF).u32(n).append(pad),
                     false, 2 + 2 + 15 + 27 + 2});
  }
  const std::string longName(60000, 'C');
  cases.push_back({"control: class name of 200 bytes in a definition",
                   Bytes().u16(0).u16(1).newClass(600, std::string(200, 'L')).zeros(15 + 12).str("n").u16(0), true});
  cases.push_back({"class name of 201 bytes in a definition",
                   Bytes().u16(0).u16(1).newClass(600, std::string(201, 'L')).zeros(15 + 12).str("n").u16(0), false, 8});
  // A class name fails at its length field.
  cases.push_back({"entity class name of 60000 bytes",
                   Bytes().u16(1).u16(0xFFFF).u16(600).u16(60000).raw(longName).append(pad), false, 6});
  cases.push_back({"definition class name of 60000 bytes",
                   Bytes().u16(0).u16(1).u16(0xFFFF).u16(600).u16(60000).raw(longName).append(pad), false, 8});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir root;
    Bytes file = plmtest::JwsHeaderBytes(600);
    const size_t bodyStart = file.size();
    file.append(c.body);
    plmtest::WriteFileBytes(root / "A.JWS", file.data());
    const ChildResult r = plmtest::RunInChild({}, [&] {
      plm::JwsDocument doc;
      plm::ReadFailure failure;
      const bool ok = plm::LoadJwsFile(doc, root / "A.JWS", &failure);
      if (!ok && failure.Offset != bodyStart + c.at) return 3;  // failed elsewhere
      return Outcome(ok, failure.Reason);
    });
    EXPECT_TRUE(r.ExitedWith(c.loads ? 0 : 1)) << r.Describe();
  }
}

}  // namespace
