#include "tests/support/environment.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/paths.h"
#else
#include <cstdlib>
#endif

namespace plmtest {

void SetEnvironment(const std::string& name, const char* value) {
#ifdef _WIN32
  // The C runtime's _putenv would unset a variable given an empty value.
  const std::wstring n = plm::PathFromUtf8(name).native();
  if (value) {
    SetEnvironmentVariableW(n.c_str(), plm::PathFromUtf8(value).c_str());
  } else {
    SetEnvironmentVariableW(n.c_str(), nullptr);
  }
#else
  if (value)
    ::setenv(name.c_str(), value, 1);
  else
    ::unsetenv(name.c_str());
#endif
}

}  // namespace plmtest
