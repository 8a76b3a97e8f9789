#pragma once
// What a command-line program's entry asks of the system before anything else.
#include <string>
#include <vector>

namespace plm {

// The program's arguments after its own name, as UTF-8 (taken from the system's
// wide command line where the narrow `argv` is in a legacy code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Readies standard output and standard error for UTF-8 text written as bytes: no
// line-end or end-of-file translation, and a console that shows UTF-8.
void PrepareStandardStreams();

}  // namespace plm
