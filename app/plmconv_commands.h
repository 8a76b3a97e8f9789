#pragma once
// The commands of plmconv, one file each, and what they share.
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/plmconv.h"

namespace plm {

extern const char kPlmconvUsage[];

// Prints "plmconv: message" and the usage to `err`; returns kExitUsage.
int Usage(std::ostream& err, const std::string& message);

// A path, or a reason that may quote one, as printed (ShownName): names that are not
// UTF-8 (code page 932 names from Japanese archives) decoded, and a text holding a
// control character shell-quoted, so every line stays one line of readable UTF-8.
// The file keeps its bytes.
std::string Shown(const std::filesystem::path& path);
std::string Shown(const std::string& text);

// Why a file cannot be opened for reading, or nothing when it can.
std::optional<std::string> OpenProblem(const std::string& file);

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const PlmconvTerminal& terminal);
int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace plm
