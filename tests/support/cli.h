#pragma once
// Runs the command-line converter in-process for tests (the test binary links it).
#include <sstream>
#include <string>
#include <vector>

#include "app/plmconv.h"

namespace plmtest {

struct CliRun {
  int code;
  std::string out, err;
};

inline CliRun Plmconv(const std::vector<std::string>& args, const plm::PlmconvTerminal& terminal = {}) {
  std::ostringstream out, err;
  const int code = plm::PlmconvMain(args, out, err, terminal);
  return {code, out.str(), err.str()};
}

}  // namespace plmtest
