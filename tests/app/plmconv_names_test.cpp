// File and folder names that are not UTF-8 (code page 932 names unpacked from archives
// made on Japanese Windows) on the command line: converted under their own bytes and
// printed decoded.
#include <gtest/gtest.h>

#include "app/plmconv.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/cli.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;
using plmtest::Plmconv;

const std::string kSjisSite = "\x95\x7E\x92\x6E\x90\x7D";  // 敷地図
const std::string kSjisDrawings = "\x90\x7D\x96\xCA";       // 図面

// A figure with two free-size texts of spacing -0.5.
std::vector<uint8_t> Figure() {
  plmtest::Body body;
  for (int i = 0; i < 2; ++i)
    body.Entities.push_back(plmtest::SampleMoji(i, plmtest::MakeAttr(1, 2, 0, 3, 4), 0, -0.5, "t"));
  Bytes bytes = plmtest::JwsHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes.data();
}

std::vector<std::string> NamesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlmconvNamesTest, CodePage932NamesConvertUnderTheirBytesAndPrintDecoded) {
  plmtest::TempDir dir;
  const fs::path in = dir / kSjisDrawings;
  const fs::path out = dir / "out";
  fs::create_directories(in);
  fs::create_directories(out);
  const std::vector<uint8_t> figure = Figure();
  plmtest::WriteFileBytes(in / (kSjisSite + ".jws"), figure);
  plmtest::WriteFileBytes(in / "敷地図.jws", figure);
  const std::string shownIn = (dir / "図面").string() + "/";

  // A folder argument, and the same file named on its own.
  for (const std::vector<std::string>& inputs :
       {std::vector<std::string>{in.string()}, {(in / (kSjisSite + ".jws")).string(), (in / "敷地図.jws").string()}}) {
    SCOPED_TRACE(inputs.size());
    std::vector<std::string> args = {"convert", "--free-spacing", "--verify", "-o", out.string()};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const plmtest::CliRun run = Plmconv(args);
    ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
    EXPECT_EQ(run.out, shownIn + "敷地図.jws: converted\n" + shownIn + "敷地図.jws: converted\n");
  }
  EXPECT_EQ(NamesIn(out),
            (std::vector<std::string>{kSjisSite + ".JSB", kSjisSite + ".jws", "敷地図.JSB", "敷地図.jws"}));
  EXPECT_EQ(plmtest::ReadFileBytes(out / (kSjisSite + ".jws")), plmtest::ReadFileBytes(out / "敷地図.jws"));
  EXPECT_NE(plmtest::ReadFileBytes(out / "敷地図.jws"), figure);  // the spacings were changed

  // The list and the info of such a file read as the window shows them.
  const plmtest::CliRun list = Plmconv({"list", in.string()});
  ASSERT_EQ(list.code, kExitOk) << list.err;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3);
  EXPECT_EQ(list.out.find(kSjisSite), std::string::npos);
  size_t shownNames = 0;
  for (size_t at = 0; (at = list.out.find("\n敷地図.jws\t", at)) != std::string::npos; ++at) ++shownNames;
  EXPECT_EQ(shownNames, 2u);
  EXPECT_EQ(list.err, "2 Files  パス名「" + shownIn + "」\n");
  const plmtest::CliRun info = Plmconv({"info", (in / (kSjisSite + ".jws")).string()});
  ASSERT_EQ(info.code, kExitOk) << info.err;
  EXPECT_TRUE(info.out.starts_with(shownIn + "敷地図.jws\n")) << info.out;

  // A failure's line names the file readably too.
  plmtest::WriteFileBytes(in / (kSjisSite + "2.jws"), std::vector<uint8_t>(figure.begin(), figure.begin() + 300));
  const plmtest::CliRun cut = Plmconv({"convert", "-o", out.string(), (in / (kSjisSite + "2.jws")).string()});
  EXPECT_EQ(cut.code, kExitFailed);
  EXPECT_TRUE(cut.out.starts_with(shownIn + "敷地図2.jws: failed (")) << cut.out;
}

// A name that would forge a result line, split a list row and reach the terminal with
// escape sequences: one quoted line in each output; the file converts under its bytes.
TEST(PlmconvNamesTest, ControlCharactersInNamesPrintQuotedOnOneLine) {
  plmtest::TempDir dir;
  const fs::path in = dir / "in", out = dir / "out";
  fs::create_directories(in);
  fs::create_directories(out);
  const std::string name = "b.jws: converted\na\t\x1B[2J\xC2\x9B.jws";
  const std::string quoted = "'b.jws: converted'$'\\n''a'$'\\t\\033''[2J'$'\\302\\233''.jws'";
  const std::string shown = "'" + in.string() + "/" + quoted.substr(1);
  std::string jsonShown;  // the JSON string escapes each backslash
  for (char c : shown) jsonShown += c == '\\' ? "\\\\" : std::string(1, c);
  plmtest::WriteFileBytes(in / name, Figure());
  for (const char* report : {"r.csv", "r.json"}) {
    const plmtest::CliRun run = Plmconv(
        {"convert", "--free-spacing", "--report", (dir / report).string(), "-o", out.string(), (in / name).string()});
    ASSERT_EQ(run.code, kExitOk) << run.out << run.err;
    EXPECT_EQ(run.out, shown + ": converted\n");
  }
  EXPECT_TRUE(fs::exists(out / name));
  const std::vector<uint8_t> csvBytes = plmtest::ReadFileBytes(dir / "r.csv");
  const std::vector<uint8_t> jsonBytes = plmtest::ReadFileBytes(dir / "r.json");
  const std::string csv(csvBytes.begin(), csvBytes.end()), json(jsonBytes.begin(), jsonBytes.end());
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << csv;  // the header and two rows
  EXPECT_NE(csv.find("\r\n" + shown + ",main list,"), std::string::npos) << csv;
  EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 4) << json;
  EXPECT_NE(json.find("{\"file\": \"" + jsonShown + "\", "), std::string::npos) << json;

  const plmtest::CliRun list = Plmconv({"list", in.string()});
  ASSERT_EQ(list.code, kExitOk) << list.err;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 2) << list.out;   // the header and one row
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\t'), 10) << list.out;  // six cells each
  EXPECT_NE(list.out.find("\n" + quoted + "\t"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace plm
