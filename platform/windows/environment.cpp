#include "platform/environment.h"

#include "platform/windows/handles.h"

namespace plm {

// Read from the process's environment block in UTF-16 (the C runtime's copy is in
// the ANSI code page and misses changes made through the system).
std::optional<std::string> EnvironmentValue(const std::string& name) {
  const std::wstring wide = WideFromUtf8(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();  // set but empty
    }
    if (n < value.size()) {
      value.resize(n);
      return Utf8FromWide(value);
    }
    value.assign(n, L'\0');  // n counts the terminator when the buffer was short
  }
}

}  // namespace plm
