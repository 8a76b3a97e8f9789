#pragma once
// Test-only helpers for hostile inputs and hostile output places: a forked child that
// runs as an unprivileged user, under a memory bound, a file-size limit and a watchdog;
// snapshots of folder trees; the files that are no drawings; and save folders that
// refuse the write. A child reports through its exit status only, so a crash, a hang
// or an exhausted allocation shows as such instead of taking the test binary down.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plmtest {

constexpr uid_t kNobody = 65534;

struct ChildLimits {
  // Drop to uid/gid 65534 when running as the super-user, so permissions bind.
  bool unprivileged = false;
  // Bound on memory the child may take beyond what it uses at the start: the address
  // space limit, or under AddressSanitizer the largest single allocation.
  uint64_t memory = uint64_t{256} << 20;
  // RLIMIT_FSIZE in bytes with SIGXFSZ ignored (writes beyond it fail with EFBIG); 0 keeps it.
  uint64_t fileSize = 0;
  // A child still running after this many seconds is killed and reported as hung.
  unsigned watchdogSeconds = 30;
};

struct ChildResult {
  enum Kind { Exited, Crashed, Hung, NoPrivilegeDrop, OverMemory, SetupFailed } kind = SetupFailed;
  int code = -1;    // exit status when Exited
  int signal = 0;   // when Crashed
  std::string Describe() const;
  bool ExitedWith(int c) const { return kind == Exited && code == c; }
};

// Runs `body` in a forked child and returns how it ended; the body's result (0..99)
// is the exit status. The child never returns into the test framework.
ChildResult RunInChild(const ChildLimits& limits, const std::function<int()>& body);

// Lets the unprivileged child reach `path`: every folder from `path` up to the root of
// the test's temporary folder gets search permission for others.
void OpenForOthers(const std::filesystem::path& path);
// chown to 65534 (no-op when not the super-user).
void GiveToNobody(const std::filesystem::path& path);

// Every entry below `root`: relative path -> type, permissions, size and a hash of the
// contents (symlinks by their target, not followed).
using TreeSnapshot = std::map<std::string, std::string>;
TreeSnapshot Snapshot(const std::filesystem::path& root);
// "" when equal, else the first entries that differ.
std::string CompareSnapshots(const TreeSnapshot& before, const TreeSnapshot& after);

// Hidden temporary outputs (".NAME.plm-HEX.tmp") in a folder.
std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder);

// Files that are no drawings, made in `folder`, each named NAME + ext where the name
// matters: an empty file, a folder, a file nobody may read, a FIFO, symlinks to a FIFO,
// /dev/zero and /dev/null, /dev/zero itself, a symlink loop, a dangling symlink, a
// missing file. The first case is a control: `drawing` written as a readable file.
struct HostileInput {
  std::string name;
  std::filesystem::path path;
  bool control = false;
  bool emptyOrShort = false;  // readable, but too short for the signature
};
std::vector<HostileInput> MakeHostileInputs(const std::filesystem::path& folder, const std::vector<uint8_t>& drawing,
                                            const std::string& ext);

// Save folders and output names that refuse the write. `prepare` turns the save folder
// and the output name into the hostile place (some leave an earlier output, whose bytes
// must survive); `limits` says how the writing child runs. `writes` marks the cases
// where the output must appear.
struct HostileOutput {
  std::string name;
  ChildLimits limits;
  bool writes = false;
  std::function<void(const std::filesystem::path& save, const std::filesystem::path& output)> prepare;
};
// `drawingSize` is the size of the file the writer will produce, so the disk-full
// cases cut it at the first buffer and at its last byte.
std::vector<HostileOutput> HostileOutputs(uint64_t drawingSize);

}  // namespace plmtest
