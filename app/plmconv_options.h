#pragma once
// The option parser every plmconv command shares. In the GNU style: "--name",
// "--name=value", "--name value" for options that take one, "-x", combined short
// options ("-rv"), a short option's value attached or next ("-oDIR", "-o DIR"),
// options and operands in any order, and "--" ending the options. A lone "-" is an
// operand.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plm {

enum class OptionStyle {
  Gnu,
  // Each option is one argument of its own ("-o FILE", never "-oFILE" or "-rv"), and
  // "--name=value" is only for options that take a value; any other argument that
  // starts with a dash is an unknown option as written. The first problem in argument
  // order is the one reported, a value outside an option's choices included.
  OneOptionPerArgument,
  // Every argument is an operand, "--" and those that start with a dash included.
  OperandsOnly,
};

// The id of a command's help option: meeting it ends the parse with HelpAsked set.
constexpr int kHelpOption = -1;

struct KnownOption {
  int Id;
  std::string_view Long;    // without the dashes; empty for none
  char Short = 0;           // 0 for none
  // What the value is, for the message when it is missing ("a folder"); empty for
  // an option without a value.
  std::string_view Value = {};
  // The only values accepted, when not empty; any other is a usage error that names
  // the option by its long name. In the GNU style they are checked, in the order
  // given, once the arguments have parsed without error.
  std::span<const std::string_view> Choices = {};
};

struct ParsedOption {
  int Id;
  std::string Spelling;  // as given: "--output", "-o"
  std::string Value;
};

struct ParsedArgs {
  std::vector<ParsedOption> Options;  // in the order given
  std::vector<std::string> Operands;
  std::string Error;  // the first usage error; empty when there is none
  bool HelpAsked = false;  // the parse stopped at the help option
  bool Ok() const { return Error.empty(); }
};

ParsedArgs ParseOptions(const std::vector<std::string>& args, std::span<const KnownOption> known,
                        OptionStyle style = OptionStyle::Gnu);

}  // namespace plm
