#include "platform/fsutil.h"

#include <algorithm>
#include <cstring>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plm {

bool IsSameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  if (!S_ISDIR(sa.st_mode) || !S_ISDIR(sb.st_mode)) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

bool IsExistingFolder(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::filesystem::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void DeleteFileQuietly(const std::filesystem::path& p) { ::unlink(p.c_str()); }

int ProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<int>(online) : 1;
}

std::string ErrnoText(int err) { return std::strerror(err); }

}  // namespace plm

