#pragma once
// The option parser every plmconv command shares, GNU style: "--name", "--name=value",
// "--name value" for options that take one, "-x", combined short options ("-rv"), a
// short option's value attached or next ("-oDIR", "-o DIR"), options and operands in
// any order, and "--" ending the options. A lone "-" is an operand.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plm {

struct KnownOption {
  int Id;
  std::string_view Long;    // without the dashes; empty for none
  char Short = 0;           // 0 for none
  // What the value is, for the message when it is missing ("a folder"); empty for
  // an option without a value.
  std::string_view Value = {};
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
  bool Ok() const { return Error.empty(); }
};

ParsedArgs ParseOptions(const std::vector<std::string>& args, std::span<const KnownOption> known);

}  // namespace plm
