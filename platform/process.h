#pragma once
// What a program's entry asks of the system before anything else, and the desktop's
// ways to open a file.
#include <string>
#include <vector>

namespace plm {

// The program's arguments after its own name, as UTF-8 (taken from the system's
// wide command line where the narrow `argv` is in a legacy code page).
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Readies standard output and standard error for UTF-8 text written as bytes: no
// line-end or end-of-file translation, and a console that shows UTF-8.
void PrepareStandardStreams();

// The folder of the running program file, UTF-8, ending in a separator; empty when
// the system does not say.
std::string RunningProgramFolder();

// Opens a file with the program the desktop associates with it (the verb "open",
// shown normally), on behalf of the window `owner` (a native window handle, or null).
// False when no program could open it. Windows only.
bool OpenWithAssociatedProgram(const std::string& path, void* owner);

}  // namespace plm
