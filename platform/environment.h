#pragma once
// The process's environment variables.
#include <optional>
#include <string>

namespace plm {

// The value of the variable `name`, or nothing when it is not set (set but empty
// is an empty value).
std::optional<std::string> EnvironmentValue(const std::string& name);

}  // namespace plm
