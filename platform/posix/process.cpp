#include "platform/process.h"

namespace plm {

// Arguments are bytes, passed on as they are; the streams need nothing.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void PrepareStandardStreams() {}

}  // namespace plm
