#include "tests/support/bytes.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/paths.h"

namespace plmtest {

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::string BackupOf(const std::string& outputName) {
  const size_t dot = outputName.rfind('.');
  std::string ext = dot == std::string::npos ? "" : outputName.substr(dot);
  for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return outputName.substr(0, dot) + (ext == ".JWS" ? ".JSB" : ".BAK");
}

TempDir::TempDir() {
  // A new name made only by this call: create_directory says whether it made it.
  thread_local std::mt19937_64 rng{std::random_device{}()};
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "plmtest-%012llx", static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    std::error_code ec;
    if (std::filesystem::create_directory(base / name, ec)) path_ = base / name;
  }
}

std::filesystem::path TempDir::operator/(const std::string& name) const { return path_ / plm::PathFromUtf8(name); }

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) {
    // Restore write permission first, so folders a test made read-only can be removed.
    // Stepped with an error code: a destructor must not throw on a name it cannot
    // reach (past MAX_PATH on Windows).
    std::error_code each;
    for (std::filesystem::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   each);
    std::filesystem::remove_all(path_, ec);
  }
}

std::filesystem::path SourceFolder() {
  const std::filesystem::path given = plm::PathFromUtf8(PLM_SOURCE_DIR);
#ifdef _WIN32
  // A Windows build made on a POSIX host and run under its emulator: the source folder
  // is a POSIX path, which the emulator shows as drive Z:.
  std::error_code ec;
  if (PLM_SOURCE_DIR[0] == '/' && !std::filesystem::is_directory(given, ec))
    return plm::PathFromUtf8(std::string("Z:") + PLM_SOURCE_DIR);
#endif
  return given;
}

std::filesystem::path CorpusFolder() {
  const std::filesystem::path p = SourceFolder() / ".." / "shared" / "corpus";
  std::error_code ec;
  return std::filesystem::is_directory(p, ec) ? p : std::filesystem::path();
}

}  // namespace plmtest
