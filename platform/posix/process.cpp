#include "platform/process.h"

#include <unistd.h>

#include "platform/paths.h"

namespace plm {

// Arguments are bytes, passed on as they are; the streams need nothing.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void PrepareStandardStreams() {}

std::string RunningProgramFolder() {
  std::string file(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", file.data(), file.size());
  if (n <= 0 || static_cast<size_t>(n) >= file.size()) return {};
  file.resize(static_cast<size_t>(n));
  return file.substr(0, file.rfind('/') + 1);
}

}  // namespace plm
