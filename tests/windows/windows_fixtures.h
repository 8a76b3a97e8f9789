#pragma once
// The Windows tests' own way to make, read and list files: the system's wide calls
// with \\?\ paths, never the layer under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"

namespace plmtest {

// The \\?\ form of a path, so the tests reach names past MAX_PATH as the code does.
inline std::wstring Long(const std::filesystem::path& p) {
  std::wstring w = std::filesystem::absolute(p).native();
  for (wchar_t& c : w)
    if (c == L'/') c = L'\\';
  return w.starts_with(L"\\\\?\\") ? w : L"\\\\?\\" + w;
}

inline HANDLE Hold(const std::filesystem::path& path, DWORD access, DWORD share) {
  return CreateFileW(Long(path).c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Writes `bytes` to a new or emptied file, then gives it `attributes`.
inline void MakeFile(const std::filesystem::path& p, std::string_view bytes,
                     DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  const HANDLE h = CreateFileW(Long(p).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(h);
  ASSERT_TRUE(SetFileAttributesW(Long(p).c_str(), attributes)) << GetLastError();
}
inline void Put(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  MakeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The file's bytes, or "missing" when it cannot be opened.
inline std::vector<uint8_t> Get(const std::filesystem::path& path) {
  const HANDLE h = Hold(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (h == INVALID_HANDLE_VALUE) return {'m', 'i', 's', 's', 'i', 'n', 'g'};
  std::vector<uint8_t> bytes(1 << 16);
  DWORD n = 0;
  ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
  bytes.resize(n);
  return bytes;
}

// Every name in a folder, hidden ones too, sorted.
inline std::vector<std::string> Names(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const HANDLE f = FindFirstFileW((Long(dir) + L"\\*").c_str(), &found);
  if (f == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(plm::Utf8FromPath(std::filesystem::path(name)));
  } while (FindNextFileW(f, &found));
  FindClose(f);
  std::sort(names.begin(), names.end());
  return names;
}

inline bool IsHidden(const std::filesystem::path& path) {
  const DWORD a = GetFileAttributesW(Long(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace plmtest
