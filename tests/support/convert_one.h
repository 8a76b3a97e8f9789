#pragma once
// One file converted the way the window's batch and plmconv do it: prepared, then
// published.
#include <string>

#include "shell/conversion.h"

namespace plmtest {

inline plm::ConvertResult ConvertOne(plm::ShellState& state, const plm::DrawingFormat& format,
                                     const std::string& input, const std::string& output,
                                     plm::ConvertMode mode = plm::ConvertMode::Write,
                                     const plm::ConvertHooks& hooks = {}) {
  plm::PreparedConversion prepared = plm::PrepareConversion(state, format, input, output, mode, hooks);
  return plm::PublishConversion(prepared);
}

}  // namespace plmtest
