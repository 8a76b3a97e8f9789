#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/process.h"
#include "platform/windows/handles.h"

#include <shellapi.h>  // after windows.h, which it needs

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

}  // namespace plm
