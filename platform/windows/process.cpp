#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/process.h"
#include "platform/windows/handles.h"
// After <windows.h>, which it needs before it.
#include <shellapi.h>

namespace plm {

std::vector<std::string> ProgramArguments(int, char**) {
  // The narrow argv is in the ANSI code page, which cannot hold every name: the
  // wide command line can.
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return args;
}

void PrepareStandardStreams() {
  // Bytes out as they are: a report's CR LF and a drawing name's bytes are never
  // translated; the console shows them as UTF-8.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
}

std::string RunningProgramFolder() {
  std::wstring file(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size()));
    if (n == 0) return {};
    if (n < file.size()) {
      file.resize(n);
      break;
    }
    file.resize(file.size() * 2);  // cut: a longer path
  }
  return Utf8FromWide(file.substr(0, file.find_last_of(L"\\/") + 1));
}

bool OpenWithAssociatedProgram(const std::string& path, void* owner) {
  // A result above 32 is success; the file's own program reports its own failures.
  const std::wstring file = WideFromUtf8(path);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(static_cast<HWND>(owner), L"open", file.c_str(), nullptr, nullptr, SW_SHOW));
  return result > 32;
}

}  // namespace plm
