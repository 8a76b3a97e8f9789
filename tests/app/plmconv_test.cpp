#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <sys/wait.h>

#include "app/plmconv.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;
using plmtest::DistinctValues;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome Plmconv(std::vector<std::string> args) {
  std::ostringstream out, err;
  const int status = plm::PlmconvMain(args, out, err);
  return {status, out.str(), err.str()};
}

std::vector<std::string> Args(std::initializer_list<std::string> head, const std::vector<fs::path>& files = {}) {
  std::vector<std::string> a(head);
  for (const fs::path& f : files) a.push_back(f.string());
  return a;
}

// Header values with every field distinct; `variant` moves the writer's special cases.
DistinctValues Values(int variant) {
  static const int32_t kSwitch11[] = {23, 1, -5, 0, -23};
  static const int32_t kMaxLineWidth[] = {-300, -102, -101, -100, 7};
  DistinctValues v(static_cast<uint64_t>(variant) + 100);
  v.SetInt("Switch11", -1, static_cast<uint32_t>(kSwitch11[variant % 5]))
      .SetInt("MaxLineWidth", -1, static_cast<uint32_t>(kMaxLineWidth[variant % 5]))
      .SetStr("Memo", -1, std::string("\x90\x7D\x96\xCA\r\n\0\x01^m", 10))
      .SetStr("Layers.Name", 0, "\x01\x02")
      .SetStr("Layers.Name", 17, "A^mB^M\x83\x5Em")
      .SetStr("LayerGroups.Name", 3, std::string("g\0h", 3))
      .SetStr("ExtColors.Name", 100, "\x1F")
      .SetStr("ExtLineTypes.Name", 0, "x^my")
      .SetDouble("TextTypeSettings.Spacing", 0, -1.0)
      .SetReal("TextTypeSettings.Spacing", 1, 0x7FF0000000000005ull)
      .SetReal("TextTypeSettings.Spacing", 2, 0x8000000000000000ull)
      .SetDouble("TextTypeSettings.Spacing", 3, 0.25)
      .SetReal("TextTypeSettings.Spacing", 4, 0xFFF8000000000001ull)
      .SetReal("PrintScale", -1, 0x8000000000000000ull);
  return v;
}

// An empty drawing and the exact bytes the converter must write for it.
std::pair<Bytes, Bytes> DrawingAndExpected(int32_t version, int variant, bool typeSpacing) {
  DistinctValues input = Values(variant);
  plmtest::WrittenValues written(input, version, typeSpacing);
  return {plmtest::BuildEmptyJwwDrawing(version, input), plmtest::BuildEmptyJwwDrawing(version, written)};
}

TEST(PlmconvTest, EveryVersionIsWrittenExactlyAsTheWritingRulesSay) {
  const int32_t versions[] = {220, 221, 222, 223, 224, 225, 226, 227, 228, 229, 230, 250,
                              300, 350, 351, 400, 419, 420, 421, 600, 700, 701};
  plmtest::TempDir src, dst;
  int variant = 0;
  for (int32_t version : versions) {
    for (bool typeSpacing : {false, true}) {
      SCOPED_TRACE(testing::Message() << "version " << version << " type spacing " << typeSpacing);
      const auto [input, expected] = DrawingAndExpected(version, variant++, typeSpacing);
      const std::string name = "D" + std::to_string(version) + (typeSpacing ? "T" : "") + ".JWW";
      plmtest::WriteFileBytes(src / name, input.data());

      std::vector<std::string> args = {"convert", "-o", dst.path().string()};
      if (typeSpacing) args.push_back("--type-spacing");
      args.push_back((src / name).string());
      const Outcome r = Plmconv(args);
      EXPECT_EQ(r.status, 0) << r.out << r.err;
      EXPECT_EQ(r.out, (src / name).string() + ": converted\n");
      EXPECT_TRUE(plmtest::ReadFileBytes(dst / name) == expected.data()) << "output differs from the model";
      EXPECT_EQ(plmtest::ReadFileBytes(src / name), input.data()) << "the input changed";
    }
  }
}

TEST(PlmconvTest, UsageErrors) {
  plmtest::TempDir dir;
  const fs::path src = dir / "src";
  fs::create_directories(src / "sub");
  fs::create_directory(dir / "out");
  fs::create_directory_symlink(src, dir / "link");
  DistinctValues values = Values(0);
  plmtest::WriteFileBytes(src / "A.JWW", plmtest::BuildEmptyJwwDrawing(600, values).data());
  const std::string file = (src / "A.JWW").string();
  const std::string out = (dir / "out").string();

  struct Case {
    const char* name;
    std::vector<std::string> args;
  } const cases[] = {
      {"no command", {}},
      {"unknown command", {"transmogrify", file}},
      {"unknown option", {"convert", "--bogus", "-o", out, file}},
      {"no save folder", {"convert", file}},
      {"-o without a folder", {"convert", file, "-o"}},
      {"save folder missing", {"convert", "-o", (dir / "nowhere").string(), file}},
      {"save folder is a file", {"convert", "-o", file, file}},
      {"no files", {"convert", "-o", out}},
      {"save folder is the input's folder", {"convert", "-o", src.string(), file}},
      {"the same with a trailing separator", {"convert", "-o", src.string() + "/", file}},
      {"the same through a symlink", {"convert", "-o", (dir / "link").string(), file}},
      {"the same spelled sub/..", {"convert", "-o", (src / "sub" / "..").string(), file}},
      {"the input given through the symlink", {"convert", "-o", src.string(), (dir / "link" / "A.JWW").string()}},
  };
  const Outcome control = Plmconv({"convert", "-o", out, file});
  ASSERT_EQ(control.status, 0) << control.out << control.err;
  fs::remove(dir / "out" / "A.JWW");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = Plmconv(c.args);
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
  EXPECT_EQ(plmtest::ReadFileBytes(src / "A.JWW"), plmtest::BuildEmptyJwwDrawing(600, values).data());
}

TEST(PlmconvTest, FilesThatAreNotDrawingsAreSkipped) {
  plmtest::TempDir src, dst;
  DistinctValues values = Values(1);
  const Bytes drawing = plmtest::BuildEmptyJwwDrawing(420, values);
  plmtest::WriteFileBytes(src / "notes.txt", drawing.data());  // a drawing, but not by its name
  plmtest::WriteFileBytes(src / "old.JWC", drawing.data());
  plmtest::WriteFileBytes(src / "backup.BAK", drawing.data());
  Bytes wrong = drawing;
  wrong.data()[0] = 'j';
  plmtest::WriteFileBytes(src / "wrong.jww", wrong.data());
  plmtest::WriteFileBytes(src / "short.JWW", {'J', 'w', 'w'});

  const Outcome r = Plmconv(Args({"convert", "--all", "-o", dst.path().string()},
                             {src / "notes.txt", src / "old.JWC", src / "backup.BAK", src / "wrong.jww", src / "short.JWW"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  for (const char* name : {"notes.txt", "old.JWC", "backup.BAK", "wrong.jww", "short.JWW"})
    EXPECT_NE(r.out.find((src / name).string() + ": skipped ("), std::string::npos) << name << "\n" << r.out;
  EXPECT_TRUE(fs::is_empty(dst.path()));
}

TEST(PlmconvTest, LowerCaseExtensionConvertedUnderItsOwnName) {
  plmtest::TempDir src, dst;
  const auto [input, expected] = DrawingAndExpected(351, 2, true);
  plmtest::WriteFileBytes(src / "plan.jww", input.data());
  const Outcome r = Plmconv(Args({"convert", "--type-spacing", "-o", dst.path().string()}, {src / "plan.jww"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dst.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"plan.jww"});
  EXPECT_EQ(plmtest::ReadFileBytes(dst / "plan.jww"), expected.data());
}

// Every header block ends or is cut somewhere among these; the converter refuses each
// cut file with a reason naming the byte, and the save folder stays empty.
TEST(PlmconvTest, TruncatedDrawingsFailAndLeaveNothingBehind) {
  plmtest::TempDir src, dst;
  DistinctValues values = Values(3);
  plmtest::HeaderLayout layout;
  const Bytes whole = plmtest::BuildEmptyJwwDrawing(701, values, &layout);
  std::vector<size_t> cuts = {0, 1, 7, 8, 11, 12, whole.size() - 4, whole.size() - 1};
  for (int b = 1; b <= 19; ++b)
    for (size_t at : {layout.begin[b] + 1, (layout.begin[b] + layout.end[b]) / 2, layout.end[b] - 1})
      if (at < whole.size()) cuts.push_back(at);
  std::vector<fs::path> files;
  for (size_t cut : cuts) {
    files.push_back(src / ("cut" + std::to_string(cut) + ".JWW"));
    plmtest::WriteFileBytes(files.back(), std::vector<uint8_t>(whole.data().begin(), whole.data().begin() + cut));
  }
  const Outcome r = Plmconv(Args({"convert", "--all", "-o", dst.path().string()}, files));
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  std::istringstream lines(r.out);
  std::string line;
  size_t n = 0;
  for (; std::getline(lines, line); ++n) {
    ASSERT_LT(n, cuts.size());
    const std::string head = files[n].string() + ": ";
    const bool tooShortForSignature = cuts[n] < 8;
    if (tooShortForSignature) {
      EXPECT_EQ(line.rfind(head + "skipped (", 0), 0u) << line;
    } else {
      EXPECT_EQ(line.rfind(head + "failed (", 0), 0u) << line;
      EXPECT_NE(line.find("byte " + std::to_string(cuts[n])), std::string::npos) << line;
    }
  }
  EXPECT_EQ(n, cuts.size());
  EXPECT_TRUE(fs::is_empty(dst.path()));
}

TEST(PlmconvTest, RefusedInputsFailCleanly) {
  plmtest::TempDir src, dst;
  DistinctValues values = Values(4);
  plmtest::WriteFileBytes(src / "v219.JWW", plmtest::BuildEmptyJwwDrawing(219, values).data());
  fs::create_directory(src / "folder.JWW");
  const std::vector<fs::path> files = {src / "v219.JWW", src / "missing.JWW", src / "folder.JWW"};
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    const Outcome r = Plmconv(Args({"convert", "-o", dst.path().string()}, {f}));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.out.rfind(f.string() + ": failed (", 0), 0u) << r.out;
    EXPECT_TRUE(fs::is_empty(dst.path()));
  }
}

TEST(PlmconvTest, OneFailedFileDoesNotStopTheOthers) {
  plmtest::TempDir src, dst;
  const auto [first, firstWant] = DrawingAndExpected(230, 0, false);
  const auto [second, secondWant] = DrawingAndExpected(700, 1, false);
  plmtest::WriteFileBytes(src / "1.JWW", first.data());
  plmtest::WriteFileBytes(src / "2.JWW", std::vector<uint8_t>(first.data().begin(), first.data().begin() + 500));
  plmtest::WriteFileBytes(src / "3.JWW", second.data());
  const Outcome r = Plmconv(Args({"convert", "-o", dst.path().string()}, {src / "1.JWW", src / "2.JWW", src / "3.JWW"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find((src / "1.JWW").string() + ": converted\n"), 0u) << r.out;
  EXPECT_NE(r.out.find((src / "2.JWW").string() + ": failed ("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find((src / "3.JWW").string() + ": converted\n"), std::string::npos) << r.out;
  EXPECT_EQ(plmtest::ReadFileBytes(dst / "1.JWW"), firstWant.data());
  EXPECT_FALSE(fs::exists(dst / "2.JWW"));
  EXPECT_EQ(plmtest::ReadFileBytes(dst / "3.JWW"), secondWant.data());
}

// A version 600 drawing with one negative spacing that each switch reaches alone:
// a typed text, a free text, a free dimension text, and a free text and a free
// dimension text inside a block definition.
Bytes DrawingForEverySwitch() {
  constexpr int32_t v = 600;
  auto attr = [](Bytes& b, uint8_t penStyle = 1) { b.u32(0).u8(penStyle).u16(1).u16(0).u16(0).u16(0).u16(0); };
  auto line = [&](Bytes& b) {
    attr(b);
    b.f64(0).f64(0).f64(10).f64(0);
  };
  auto moji = [&](Bytes& b, uint32_t code, double spacing) {
    attr(b);
    b.f64(0).f64(0).f64(10).f64(0).u32(code).f64(2.5).f64(2.5).f64(spacing).f64(0).str("MS Gothic").str("text");
  };
  auto sunpo = [&](Bytes& b, uint32_t code, double spacing) {
    attr(b);
    line(b);
    moji(b, code, spacing);
    b.u16(0);
    line(b);
    line(b);
    for (int p = 0; p < 4; ++p) {
      attr(b);
      b.f64(1).f64(2).u32(0);
    }
  };
  DistinctValues values = Values(0);
  Bytes b;
  plmtest::BuildJwwHeader(b, v, values);
  b.count(3);
  b.newClass(v, "CDataMoji");  // class 1
  moji(b, 3, -0.5);            // object 2
  b.classRef(1);
  moji(b, 2000, -0.5);  // 3
  b.newClass(v, "CDataSunpou");  // 4
  sunpo(b, 0, -0.5);             // 5
  b.count(1);
  b.newClass(v, "CDataList");  // 6
  attr(b);
  b.i32(1).i32(0).i32(5).str("block").count(2);  // definition 7
  b.classRef(1);
  moji(b, 0, -0.25);  // 8
  b.classRef(4);
  sunpo(b, 1000, -0.25);  // 9
  return b;
}

TEST(PlmconvTest, AllIsTheFourSwitches) {
  plmtest::TempDir src;
  plmtest::WriteFileBytes(src / "every.JWW", DrawingForEverySwitch().data());
  auto convert = [&](std::vector<std::string> switches) {
    plmtest::TempDir dst;
    std::vector<std::string> args = {"convert", "-o", dst.path().string()};
    args.insert(args.end(), switches.begin(), switches.end());
    args.push_back((src / "every.JWW").string());
    const Outcome r = Plmconv(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return plmtest::ReadFileBytes(dst / "every.JWW");
  };
  const std::vector<std::string> four = {"--type-spacing", "--free-spacing", "--dimension-values", "--block-texts"};
  const auto all = convert({"--all"});
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all, convert(four));
  // Each switch matters for this drawing, so the equality above says something.
  for (size_t leaveOut = 0; leaveOut < four.size(); ++leaveOut) {
    SCOPED_TRACE(four[leaveOut]);
    std::vector<std::string> three = four;
    three.erase(three.begin() + static_cast<long>(leaveOut));
    EXPECT_NE(all, convert(three));
  }
}

TEST(PlmconvTest, InfoShowsFormatVersionAndMemo) {
  plmtest::TempDir dir;
  DistinctValues values;
  // "図面", a line break, a lead byte with an invalid trail byte, and a lone 0xFF.
  values.SetStr("Memo", -1, "\x90\x7D\x96\xCA\r\nA\x81\x20Z\xFF");
  plmtest::WriteFileBytes(dir / "i.JWW", plmtest::BuildEmptyJwwDrawing(420, values).data());
  const Outcome r = Plmconv(Args({"info"}, {dir / "i.JWW"}));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("format: JWW"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("version: 420"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("memo: \xE5\x9B\xB3\xE9\x9D\xA2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("A\xEF\xBF\xBD Z\xEF\xBF\xBD"), std::string::npos) << r.out;
}

// The real drawings convert, and converting a converted drawing again changes nothing.
TEST(PlmconvTest, CorpusDrawingsConvertStably) {
  const fs::path corpus = plmtest::CorpusFolder();
  if (corpus.empty()) GTEST_SKIP() << "corpus folder absent";
  std::vector<fs::path> drawings;
  for (const auto& e : fs::directory_iterator(corpus)) {
    std::string ext = e.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".JWW") drawings.push_back(e.path());
  }
  if (drawings.empty()) GTEST_SKIP() << "no JWW drawings in the corpus";
  plmtest::TempDir once, twice;
  const Outcome first = Plmconv(Args({"convert", "--all", "-o", once.path().string()}, drawings));
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  std::vector<fs::path> converted;
  for (const fs::path& d : drawings) converted.push_back(once / d.filename().string());
  const Outcome second = Plmconv(Args({"convert", "--all", "-o", twice.path().string()}, converted));
  EXPECT_EQ(second.status, 0) << second.out << second.err;
  for (const fs::path& d : drawings) {
    SCOPED_TRACE(d.filename().string());
    const auto a = plmtest::ReadFileBytes(once / d.filename().string());
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == plmtest::ReadFileBytes(twice / d.filename().string()));
  }
}

// The installed command reports usage errors through its exit status.
TEST(PlmconvTest, BinaryExitStatus) {
  const char* binary = std::getenv("PLMCONV");
  if (!binary) GTEST_SKIP() << "PLMCONV not set";
  const std::string quiet = " >/dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(std::system((std::string(binary) + " convert --bogus" + quiet).c_str())), 2);
  EXPECT_EQ(WEXITSTATUS(std::system((std::string(binary) + " --help" + quiet).c_str())), 0);
}

}  // namespace
