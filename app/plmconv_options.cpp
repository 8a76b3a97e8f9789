#include "app/plmconv_options.h"

#include <algorithm>

namespace plm {
namespace {

const KnownOption* FindLong(std::span<const KnownOption> known, std::string_view name) {
  for (const KnownOption& s : known)
    if (!s.Long.empty() && s.Long == name) return &s;
  return nullptr;
}

const KnownOption* FindShort(std::span<const KnownOption> known, char c) {
  for (const KnownOption& s : known)
    if (s.Short != 0 && s.Short == c) return &s;
  return nullptr;
}

const KnownOption* FindId(std::span<const KnownOption> known, int id) {
  for (const KnownOption& s : known)
    if (s.Id == id) return &s;
  return nullptr;
}

// The message for a value outside the option's choices; empty when it is one of them.
std::string ChoiceProblem(const KnownOption& option, const std::string& value) {
  if (option.Choices.empty() || std::find(option.Choices.begin(), option.Choices.end(), value) != option.Choices.end())
    return {};
  return "option --" + std::string(option.Long) + " needs " + std::string(option.Value) + ", not " + value;
}

// Reads the arguments up to the first problem or the help option.
class Parser {
 public:
  Parser(const std::vector<std::string>& args, std::span<const KnownOption> known, OptionStyle style)
      : args_(args), known_(known), style_(style) {}

  ParsedArgs Run() {
    bool optionsDone = style_ == OptionStyle::OperandsOnly;
    for (i_ = 0; i_ < args_.size() && Going(); ++i_) {
      const std::string& arg = args_[i_];
      if (optionsDone || arg.size() < 2 || arg[0] != '-') parsed_.Operands.push_back(arg);
      else if (arg == "--") optionsDone = true;
      else if (arg[1] == '-') Long(arg);
      else if (style_ == OptionStyle::Gnu) ShortGroup(arg);
      else Short(arg);
    }
    return std::move(parsed_);
  }

 private:
  bool Going() const { return parsed_.Ok() && !parsed_.HelpAsked; }
  bool Strict() const { return style_ == OptionStyle::OneOptionPerArgument; }

  void Fail(std::string message) {
    if (parsed_.Error.empty()) parsed_.Error = std::move(message);
  }

  void Add(const KnownOption& option, std::string spelling, std::string value = {}) {
    if (option.Id == kHelpOption) {
      parsed_.HelpAsked = true;
      return;
    }
    if (Strict()) Fail(ChoiceProblem(option, value));
    parsed_.Options.push_back({option.Id, std::move(spelling), std::move(value)});
  }

  // The value of an option spelled `spelling`: the next argument, or a usage error.
  void AddWithNextValue(const KnownOption& option, const std::string& spelling) {
    if (i_ + 1 < args_.size()) Add(option, spelling, args_[++i_]);
    else Fail("option " + spelling + " needs " + std::string(option.Value));
  }

  void Long(const std::string& arg) {
    const size_t equals = arg.find('=');
    const bool withValue = equals != std::string::npos;
    const std::string name = arg.substr(2, withValue ? equals - 2 : std::string::npos);
    const std::string spelling = "--" + name;
    const KnownOption* option = FindLong(known_, name);
    if (!option || (Strict() && withValue && option->Value.empty()))
      Fail("unknown option " + (withValue && !Strict() ? spelling : arg));
    else if (option->Value.empty() && withValue) Fail("option " + spelling + " takes no value");
    else if (option->Value.empty()) Add(*option, spelling);
    else if (withValue) Add(*option, spelling, arg.substr(equals + 1));
    else AddWithNextValue(*option, spelling);
  }

  void Short(const std::string& arg) {
    const KnownOption* option = arg.size() == 2 ? FindShort(known_, arg[1]) : nullptr;
    if (!option) Fail("unknown option " + arg);
    else if (option->Value.empty()) Add(*option, arg);
    else AddWithNextValue(*option, arg);
  }

  void ShortGroup(const std::string& arg) {
    for (size_t k = 1; k < arg.size() && Going(); ++k) {
      const std::string spelling = std::string("-") + arg[k];
      const KnownOption* option = FindShort(known_, arg[k]);
      if (!option) {
        Fail("unknown option " + (k == 1 && arg.size() == 2 ? arg : spelling));
      } else if (option->Value.empty()) {
        Add(*option, spelling);
      } else {
        if (k + 1 < arg.size()) Add(*option, spelling, arg.substr(k + 1));
        else AddWithNextValue(*option, spelling);
        return;
      }
    }
  }

  const std::vector<std::string>& args_;
  std::span<const KnownOption> known_;
  OptionStyle style_;
  size_t i_ = 0;
  ParsedArgs parsed_;
};

}  // namespace

ParsedArgs ParseOptions(const std::vector<std::string>& args, std::span<const KnownOption> known, OptionStyle style) {
  ParsedArgs parsed = Parser(args, known, style).Run();
  if (style == OptionStyle::Gnu && parsed.Ok() && !parsed.HelpAsked)
    for (const ParsedOption& o : parsed.Options)
      if (std::string problem = ChoiceProblem(*FindId(known, o.Id), o.Value); !problem.empty()) {
        parsed.Error = std::move(problem);
        break;
      }
  return parsed;
}

}  // namespace plm
