#pragma once
// Test-only whole text files, byte for byte (no newline translation).
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace plmtest {

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

inline std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace plmtest
