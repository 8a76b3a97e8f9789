#include "tests/support/hostile.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>

#include "tests/support/bytes.h"

#if defined(__SANITIZE_ADDRESS__)
#define PLM_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLM_TEST_ASAN 1
#endif
#endif

#if PLM_TEST_ASAN
#include <sanitizer/common_interface_defs.h>
// From the sanitizer runtime; GCC ships no header that declares it.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace plmtest {
namespace fs = std::filesystem;

namespace {

// Exit statuses the child reserves for itself; a body returns 0..99.
constexpr int kOverMemory = 120;
constexpr int kSanitizerDeath = 121;
constexpr int kNoDrop = 122;
constexpr int kSetupFailed = 123;
constexpr int kEscapedException = 124;

#if PLM_TEST_ASAN
// The sanitizer's allocator reserves terabytes of shadow memory, so an address-space
// limit cannot work there; the largest single allocation is watched instead.
volatile uint64_t gLargestAllocation = 0;
void OnMalloc(const volatile void*, size_t n) {
  if (n > gLargestAllocation) gLargestAllocation = n;
}
void OnFree(const volatile void*) {}
void OnSanitizerDeath() { _exit(kSanitizerDeath); }
#else
uint64_t AddressSpaceInUse() {
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  statm >> pages;
  return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}
#endif

[[noreturn]] void ChildMain(const ChildLimits& limits, const std::function<int()>& body) {
  ::alarm(limits.watchdogSeconds);
  if (limits.fileSize) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit r{};
    if (::getrlimit(RLIMIT_FSIZE, &r) != 0) _exit(kSetupFailed);
    r.rlim_cur = limits.fileSize;
    if (::setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(kSetupFailed);
  }
  if (limits.unprivileged && ::geteuid() == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) _exit(kNoDrop);
    if (::geteuid() == 0 || ::getegid() == 0) _exit(kNoDrop);
  }
#if PLM_TEST_ASAN
  __sanitizer_set_death_callback(OnSanitizerDeath);
  if (limits.memory) __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
#else
  if (limits.memory) {
    rlimit r{};
    r.rlim_cur = r.rlim_max = AddressSpaceInUse() + limits.memory;
    if (::setrlimit(RLIMIT_AS, &r) != 0) _exit(kSetupFailed);
  }
#endif
  int code;
  try {
    code = body();
  } catch (const std::bad_alloc&) {
    _exit(kOverMemory);
  } catch (...) {
    _exit(kEscapedException);
  }
#if PLM_TEST_ASAN
  if (limits.memory && gLargestAllocation > limits.memory) _exit(kOverMemory);
#endif
  _exit(code);
}

}  // namespace

std::string ChildResult::Describe() const {
  switch (kind) {
    case Exited: return "exited with status " + std::to_string(code);
    case Crashed:
      if (code == kEscapedException) return "let an exception escape";
      if (code == kSanitizerDeath) return "was stopped by a sanitizer report";
      return "crashed with signal " + std::to_string(signal);
    case Hung: return "hung (killed by the watchdog)";
    case NoPrivilegeDrop: return "could not drop privileges to uid 65534";
    case OverMemory: return "exceeded its memory bound";
    case SetupFailed: return "could not set up its limits";
  }
  return "?";
}

ChildResult RunInChild(const ChildLimits& limits, const std::function<int()>& body) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  ChildResult r;
  const pid_t pid = ::fork();
  if (pid < 0) return r;
  if (pid == 0) ChildMain(limits, body);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return r;
  }
  if (WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
    r.kind = r.signal == SIGALRM ? ChildResult::Hung : ChildResult::Crashed;
    return r;
  }
  r.code = WEXITSTATUS(status);
  switch (r.code) {
    case kOverMemory: r.kind = ChildResult::OverMemory; break;
    case kSanitizerDeath: r.kind = ChildResult::Crashed; break;
    case kEscapedException: r.kind = ChildResult::Crashed; break;
    case kNoDrop: r.kind = ChildResult::NoPrivilegeDrop; break;
    case kSetupFailed: r.kind = ChildResult::SetupFailed; break;
    default: r.kind = ChildResult::Exited; break;
  }
  return r;
}

void OpenForOthers(const fs::path& path) {
  std::error_code ec;
  const fs::path top = fs::temp_directory_path(ec);
  for (fs::path p = path; !p.empty() && p != top && p != p.root_path(); p = p.parent_path()) {
    if (fs::is_directory(fs::symlink_status(p, ec)))
      fs::permissions(p, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add, ec);
  }
}

void GiveToNobody(const fs::path& path) {
  if (::geteuid() == 0) (void)::lchown(path.c_str(), kNobody, kNobody);
}

TreeSnapshot Snapshot(const fs::path& root) {
  TreeSnapshot snap;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path& p = it->path();
    const fs::file_status st = fs::symlink_status(p, ec);
    std::ostringstream v;
    v << std::oct << static_cast<unsigned>(st.permissions()) << std::dec << " ";
    switch (st.type()) {
      case fs::file_type::regular: {
        // FNV-1a of the contents: equal snapshots mean equal bytes.
        uint64_t h = 1469598103934665603ull;
        for (uint8_t b : ReadFileBytes(p)) h = (h ^ b) * 1099511628211ull;
        v << "file " << fs::file_size(p, ec) << " " << std::hex << h;
        break;
      }
      case fs::file_type::directory: v << "folder"; break;
      case fs::file_type::symlink: v << "symlink -> " << fs::read_symlink(p, ec).string(); break;
      case fs::file_type::fifo: v << "fifo"; break;
      default: v << "other"; break;
    }
    snap[p.lexically_relative(root).string()] = v.str();
  }
  return snap;
}

std::string CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::string diff;
  for (const auto& [name, value] : before) {
    auto it = after.find(name);
    if (it == after.end()) diff += "gone: " + name + " (" + value + ")\n";
    else if (it->second != value) diff += "changed: " + name + " (" + value + " -> " + it->second + ")\n";
  }
  for (const auto& [name, value] : after)
    if (!before.count(name)) diff += "new: " + name + " (" + value + ")\n";
  return diff;
}

std::vector<std::string> TemporaryFilesIn(const fs::path& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(".") && name.find(".plm-") != std::string::npos && name.ends_with(".tmp"))
      found.push_back(name);
  }
  return found;
}

std::vector<HostileInput> MakeHostileInputs(const fs::path& folder, const std::vector<uint8_t>& drawing,
                                            const std::string& ext) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  OpenForOthers(folder);
  std::vector<HostileInput> in;
  auto at = [&](const std::string& stem) { return folder / (stem + ext); };

  in.push_back({"control: a readable drawing", at("control"), true});
  WriteFileBytes(in.back().path, drawing);

  in.push_back({"empty file", at("empty"), false, true});
  WriteFileBytes(in.back().path, {});
  in.push_back({"three bytes", at("short"), false, true});
  WriteFileBytes(in.back().path, {drawing.begin(), drawing.begin() + 3});

  in.push_back({"folder", at("folder")});
  fs::create_directory(in.back().path, ec);
  WriteFileBytes(in.back().path / "inside.txt", {1, 2, 3});

  in.push_back({"file nobody may read", at("noread")});
  WriteFileBytes(in.back().path, drawing);
  GiveToNobody(in.back().path);
  fs::permissions(in.back().path, fs::perms::none, ec);

  in.push_back({"FIFO", at("pipe")});
  ::mkfifo(in.back().path.c_str(), 0666);
  in.push_back({"symlink to a FIFO", at("topipe")});
  fs::create_symlink(at("pipe").filename(), in.back().path, ec);
  in.push_back({"symlink to /dev/zero", at("zero")});
  fs::create_symlink("/dev/zero", in.back().path, ec);
  in.push_back({"symlink to /dev/null", at("null")});
  fs::create_symlink("/dev/null", in.back().path, ec);
  in.push_back({"/dev/zero itself", "/dev/zero"});
  in.push_back({"symlink loop", at("loopa")});
  fs::create_symlink(at("loopb").filename(), at("loopa"), ec);
  fs::create_symlink(at("loopa").filename(), at("loopb"), ec);
  in.push_back({"dangling symlink", at("dangling")});
  fs::create_symlink("nowhere", in.back().path, ec);
  in.push_back({"missing file", at("missing")});
  return in;
}

std::vector<HostileOutput> HostileOutputs(uint64_t drawingSize) {
  auto earlier = [](const fs::path& output) { WriteFileBytes(output, {'e', 'a', 'r', 'l', 'i', 'e', 'r'}); };
  std::vector<HostileOutput> out;
  ChildLimits unprivileged;
  unprivileged.unprivileged = true;
  ChildLimits plenty;
  plenty.fileSize = drawingSize + 4096;
  ChildLimits firstBuffer;
  firstBuffer.fileSize = 4096;
  ChildLimits lastByte;
  lastByte.fileSize = drawingSize - 1;

  out.push_back({"control: writable save folder, unprivileged", unprivileged, true,
                 [](const fs::path& save, const fs::path&) { GiveToNobody(save); }});
  out.push_back({"control: file-size limit above the drawing", plenty, true, [](const fs::path&, const fs::path&) {}});
  out.push_back({"save folder without write permission", unprivileged, false, [](const fs::path& save, const fs::path&) {
                   GiveToNobody(save);
                   fs::permissions(save, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
                 }});
  out.push_back({"read-only save folder holding an earlier output", unprivileged, false,
                 [earlier](const fs::path& save, const fs::path& output) {
                   earlier(output);
                   GiveToNobody(save);
                   GiveToNobody(output);
                   fs::permissions(save, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                   fs::perm_options::remove);
                 }});
  out.push_back({"disk full at the first buffer, earlier output present", firstBuffer, false,
                 [earlier](const fs::path&, const fs::path& output) { earlier(output); }});
  out.push_back({"disk full at the last byte", lastByte, false, [](const fs::path&, const fs::path&) {}});
  out.push_back({"output name is an existing folder", {}, false, [](const fs::path&, const fs::path& output) {
                   fs::create_directory(output);
                   WriteFileBytes(output / "inside.txt", {1, 2, 3});
                 }});
  out.push_back({"save folder missing", {}, false, [](const fs::path& save, const fs::path&) { fs::remove_all(save); }});
  out.push_back({"output name is a symlink to a file outside the save folder", {}, true,
                 [](const fs::path& save, const fs::path& output) {
                   WriteFileBytes(save.parent_path() / "outside.txt", {'o', 'u', 't'});
                   fs::create_symlink("../outside.txt", output);
                 }});
  return out;
}

}  // namespace plmtest
