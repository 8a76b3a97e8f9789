#pragma once
// For the platform layer's own files only: the names of temporaries beside a target.
#include <string>
#include <string_view>

namespace plm {

// A new hidden name, ".plm-" + 16 random hex digits + ".tmp": short, so it fits
// beside a name of any length, and random, so runs and threads at once never meet.
std::string NewHiddenName();

// The names NewHiddenName makes, and the longer ones earlier versions made
// ('.' + target name + ".plm-" + 16 hex digits + ".tmp").
bool IsTemporaryName(std::string_view name);

}  // namespace plm
