#pragma once
// The byte filters applied to code page 932 texts: the writers' string filter and the
// file list's memo filter. Both keep a double-byte pair whole (IsFilterLeadByte).
#include <string>
#include <string_view>

namespace plm {

// The writers' filter for every name and text: control bytes below 0x20 dropped,
// each "^m" outside a double-byte pair dropped, a pair kept whole (a lead byte at the
// very end kept alone). An empty input stays empty; an input that filters to nothing
// becomes " ". Not idempotent: "^^mm" becomes "^m", which filters to "".
std::string CleanString(std::string_view s);

// A memo made displayable on one line: control bytes dropped, double-byte pairs kept
// whole.
std::string CleanMemoText(std::string_view text);

}  // namespace plm
