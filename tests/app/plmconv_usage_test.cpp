// plmconv's usage paths: help, unknown commands and options, missing and unsuitable
// option values, for every command; and the option parser's styles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/plmconv.h"
#include "app/plmconv_options.h"
#include "tests/support/cli.h"

namespace {

using plmtest::Plmconv;

enum class Shows { Nothing, PlmconvUsage, RenderHelp };

const std::string& Text(Shows shows) {
  static const std::string nothing, plmconv = Plmconv({"--help"}).out, render = Plmconv({"render", "--help"}).out;
  return shows == Shows::PlmconvUsage ? plmconv : shows == Shows::RenderHelp ? render : nothing;
}

TEST(PlmconvUsageTest, UsageOfPlmconvListsEveryCommandOnce) {
  const std::string& usage = Text(Shows::PlmconvUsage);
  const char* const inOrder[] = {
      "usage: plmconv convert [",  "\n       plmconv list [",  "\n       plmconv info FILE...\n",
      "\n       plmconv render [", "\n       plmconv --help\n\nconvert  Sets", "\nlist     Prints",
      "\ninfo     Prints",        "\n\nExit status: 0",
  };
  size_t at = 0;
  for (const char* piece : inOrder) {
    SCOPED_TRACE(piece);
    const size_t found = usage.find(piece, at);
    ASSERT_NE(found, std::string::npos);
    at = found + 1;
  }
  EXPECT_EQ(usage.find("render   Writes"), std::string::npos);  // render's own help only
  EXPECT_EQ(Text(Shows::RenderHelp).rfind("usage: plmconv render [--type-spacing]", 0), 0u);
}

TEST(PlmconvUsageTest, HelpAndUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    int code;
    Shows out;
    const char* message;  // the line before the usage on standard error; null for none
    Shows err;
  } const cases[] = {
      {{"--help"}, 0, Shows::PlmconvUsage, nullptr, Shows::Nothing},
      {{"-h"}, 0, Shows::PlmconvUsage, nullptr, Shows::Nothing},
      {{"help", "render"}, 0, Shows::PlmconvUsage, nullptr, Shows::Nothing},
      {{"--help", "--bogus"}, 0, Shows::PlmconvUsage, nullptr, Shows::Nothing},
      {{}, 2, Shows::Nothing, "no command given", Shows::PlmconvUsage},
      {{"bogus"}, 2, Shows::Nothing, "unknown command bogus", Shows::PlmconvUsage},
      {{""}, 2, Shows::Nothing, "unknown command ", Shows::PlmconvUsage},
      {{"-x"}, 2, Shows::Nothing, "unknown command -x", Shows::PlmconvUsage},
      // convert and list: the GNU style, syntax errors before unsuitable values
      {{"convert", "--help"}, 2, Shows::Nothing, "unknown option --help", Shows::PlmconvUsage},
      {{"convert", "--bogus=1"}, 2, Shows::Nothing, "unknown option --bogus", Shows::PlmconvUsage},
      {{"convert", "-vx"}, 2, Shows::Nothing, "unknown option -x", Shows::PlmconvUsage},
      {{"convert", "--all=1"}, 2, Shows::Nothing, "option --all takes no value", Shows::PlmconvUsage},
      {{"convert", "-o"}, 2, Shows::Nothing, "option -o needs a folder", Shows::PlmconvUsage},
      {{"convert", "--report"}, 2, Shows::Nothing, "option --report needs a file", Shows::PlmconvUsage},
      {{"convert", "-j"}, 2, Shows::Nothing, "option -j needs a number", Shows::PlmconvUsage},
      {{"convert", "-j0", "x"}, 2, Shows::Nothing, "-j needs a whole number from 1 to 256, not \"0\"",
       Shows::PlmconvUsage},
      {{"convert", "x"}, 2, Shows::Nothing, "no save folder given (-o SAVE_FOLDER)", Shows::PlmconvUsage},
      {{"list", "--help"}, 2, Shows::Nothing, "unknown option --help", Shows::PlmconvUsage},
      {{"list", "--type"}, 2, Shows::Nothing, "option --type needs 0, 1, 2 or 3", Shows::PlmconvUsage},
      {{"list", "--type=9", "."}, 2, Shows::Nothing, "option --type needs 0, 1, 2 or 3, not 9", Shows::PlmconvUsage},
      {{"list", "--type", "00", "."}, 2, Shows::Nothing, "option --type needs 0, 1, 2 or 3, not 00",
       Shows::PlmconvUsage},
      {{"list", "--type", "9", "--bogus"}, 2, Shows::Nothing, "unknown option --bogus", Shows::PlmconvUsage},
      {{"list", ".", "."}, 2, Shows::Nothing, "list takes one folder", Shows::PlmconvUsage},
      {{"list"}, 2, Shows::Nothing, "no folder given", Shows::PlmconvUsage},
      // info: every argument is a file
      {{"info"}, 2, Shows::Nothing, "no files given", Shows::PlmconvUsage},
      // render: one option per argument, the first problem in argument order
      {{"render", "--help"}, 0, Shows::RenderHelp, nullptr, Shows::Nothing},
      {{"render", "-h", "--bogus"}, 0, Shows::RenderHelp, nullptr, Shows::Nothing},
      {{"render", "--help", "--view", "bad"}, 0, Shows::RenderHelp, nullptr, Shows::Nothing},
      {{"render", "--bogus", "--help"}, 2, Shows::Nothing, "unknown option --bogus", Shows::RenderHelp},
      {{"render", "--view", "bad", "--help"}, 2, Shows::Nothing,
       "option --view needs current, written or both, not bad", Shows::RenderHelp},
      {{"render", "--view", "bad", "--bogus"}, 2, Shows::Nothing,
       "option --view needs current, written or both, not bad", Shows::RenderHelp},
      {{"render", "--view="}, 2, Shows::Nothing, "option --view needs current, written or both, not ",
       Shows::RenderHelp},
      {{"render", "--view"}, 2, Shows::Nothing, "option --view needs current, written or both", Shows::RenderHelp},
      {{"render", "-o"}, 2, Shows::Nothing, "option -o needs a file", Shows::RenderHelp},
      {{"render", "-oa.svg", "A.JWW"}, 2, Shows::Nothing, "unknown option -oa.svg", Shows::RenderHelp},
      {{"render", "-hx"}, 2, Shows::Nothing, "unknown option -hx", Shows::RenderHelp},
      {{"render", "--bogus=1"}, 2, Shows::Nothing, "unknown option --bogus=1", Shows::RenderHelp},
      {{"render", "--no-cells=1"}, 2, Shows::Nothing, "unknown option --no-cells=1", Shows::RenderHelp},
      {{"render", "--=x"}, 2, Shows::Nothing, "unknown option --=x", Shows::RenderHelp},
      {{"render", "--", "--help"}, 2, Shows::Nothing, "no picture given (-o OUT.svg)", Shows::RenderHelp},
      {{"render", "-o", "a.svg"}, 2, Shows::Nothing, "no file given", Shows::RenderHelp},
      {{"render", "A.JWW", "B.JWW", "-o", "a.svg"}, 2, Shows::Nothing, "render takes one file", Shows::RenderHelp},
      {{"render", "A.JWW", "--output=a.png"}, 2, Shows::Nothing, "the picture a.png must end in .svg",
       Shows::RenderHelp},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += "[" + a + "]";
    SCOPED_TRACE(trace);
    const plmtest::CliRun run = Plmconv(c.args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.out, Text(c.out));
    EXPECT_EQ(run.err, c.message ? "plmconv: " + std::string(c.message) + "\n" + Text(c.err) : "");
  }
}

TEST(PlmconvOptionsTest, Styles) {
  enum { kFlag = 1, kValue, kChoice };
  static constexpr std::string_view kChoices[] = {"a", "b"};
  static constexpr plm::KnownOption kKnown[] = {
      {kFlag, "flag", 'f'},
      {kValue, "value", 'v', "a thing"},
      {kChoice, "choice", 0, "a or b", kChoices},
      {plm::kHelpOption, "help", 'h'},
  };
  using plm::OptionStyle;
  struct Case {
    std::vector<std::string> args;
    OptionStyle style;
    const char* options;   // id=value, in order
    const char* operands;  // in order
    const char* error;
    bool help;
  } const cases[] = {
      {{"-f", "x", "--value=1", "-v", "2", "--choice", "b"}, OptionStyle::Gnu, "1= 2=1 2=2 3=b", "x", "", false},
      {{"-fv3", "-", "--", "-f"}, OptionStyle::Gnu, "1= 2=3", "- -f", "", false},
      {{"-fx"}, OptionStyle::Gnu, "1=", "", "unknown option -x", false},
      {{"--choice", "c", "--nope"}, OptionStyle::Gnu, "", "", "unknown option --nope", false},
      {{"--choice=c", "--choice", "d"}, OptionStyle::Gnu, "", "", "option --choice needs a or b, not c", false},
      {{"-fh", "--nope"}, OptionStyle::Gnu, "1=", "", "", true},
      {{"-f", "x", "--value=1", "-v", "2"}, OptionStyle::OneOptionPerArgument, "1= 2=1 2=2", "x", "", false},
      {{"-fv"}, OptionStyle::OneOptionPerArgument, "", "", "unknown option -fv", false},
      {{"-v3"}, OptionStyle::OneOptionPerArgument, "", "", "unknown option -v3", false},
      {{"--flag=1"}, OptionStyle::OneOptionPerArgument, "", "", "unknown option --flag=1", false},
      {{"--choice", "c", "--nope"}, OptionStyle::OneOptionPerArgument, "", "", "option --choice needs a or b, not c",
       false},
      {{"--choice", "a", "-h", "--nope"}, OptionStyle::OneOptionPerArgument, "3=a", "", "", true},
      {{"-v"}, OptionStyle::OneOptionPerArgument, "", "", "option -v needs a thing", false},
      {{"-f", "--", "-h", "--x=1"}, OptionStyle::OperandsOnly, "", "-f -- -h --x=1", "", false},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += "[" + a + "]";
    SCOPED_TRACE(trace);
    const plm::ParsedArgs parsed = plm::ParseOptions(c.args, kKnown, c.style);
    std::string options, operands;
    for (const plm::ParsedOption& o : parsed.Options)
      options += (options.empty() ? "" : " ") + std::to_string(o.Id) + "=" + o.Value;
    for (const std::string& o : parsed.Operands) operands += (operands.empty() ? "" : " ") + o;
    EXPECT_EQ(parsed.Error, c.error);
    EXPECT_EQ(parsed.HelpAsked, c.help);
    if (parsed.Ok()) {
      EXPECT_EQ(options, c.options);
      EXPECT_EQ(operands, c.operands);
    }
  }
}

}  // namespace
