#pragma once
// Text between the interface's UTF-8 and the UTF-16 of the system's wide calls.
// Windows only.
#include <string>
#include <string_view>

namespace plm {

// UTF-16 of UTF-8 text and back; bytes that are not UTF-8 become U+FFFD.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace plm
