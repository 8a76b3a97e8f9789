#include "app/plmconv_options.h"

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

}  // namespace

ParsedArgs ParseOptions(const std::vector<std::string>& args, std::span<const KnownOption> known) {
  ParsedArgs parsed;
  auto fail = [&](std::string message) {
    if (parsed.Error.empty()) parsed.Error = std::move(message);
  };
  bool optionsDone = false;
  for (size_t i = 0; i < args.size() && parsed.Ok(); ++i) {
    const std::string& arg = args[i];
    if (optionsDone || arg.size() < 2 || arg[0] != '-') {
      parsed.Operands.push_back(arg);
    } else if (arg == "--") {
      optionsDone = true;
    } else if (arg[1] == '-') {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const std::string spelling = "--" + name;
      const KnownOption* option = FindLong(known, name);
      if (!option) {
        fail("unknown option " + (equals == std::string::npos ? arg : spelling));
      } else if (option->Value.empty()) {
        if (equals != std::string::npos) fail("option " + spelling + " takes no value");
        else parsed.Options.push_back({option->Id, spelling, {}});
      } else if (equals != std::string::npos) {
        parsed.Options.push_back({option->Id, spelling, arg.substr(equals + 1)});
      } else if (i + 1 < args.size()) {
        parsed.Options.push_back({option->Id, spelling, args[++i]});
      } else {
        fail("option " + spelling + " needs " + std::string(option->Value));
      }
    } else {
      for (size_t k = 1; k < arg.size(); ++k) {
        const std::string spelling = std::string("-") + arg[k];
        const KnownOption* option = FindShort(known, arg[k]);
        if (!option) {
          fail("unknown option " + (k == 1 && arg.size() == 2 ? arg : spelling));
          break;
        }
        if (option->Value.empty()) {
          parsed.Options.push_back({option->Id, spelling, {}});
          continue;
        }
        if (k + 1 < arg.size()) parsed.Options.push_back({option->Id, spelling, arg.substr(k + 1)});
        else if (i + 1 < args.size()) parsed.Options.push_back({option->Id, spelling, args[++i]});
        else fail("option " + spelling + " needs " + std::string(option->Value));
        break;
      }
    }
  }
  return parsed;
}

}  // namespace plm
