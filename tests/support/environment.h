#pragma once
// Test-only: setting the process's environment the way the system reads it back.
#include <string>

namespace plmtest {

// Sets `name` to `value`, or unsets it when `value` is null; an empty value stays
// set (empty).
void SetEnvironment(const std::string& name, const char* value);

}  // namespace plmtest
