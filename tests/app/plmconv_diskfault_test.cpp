// The installed plmconv under real disk faults: a full file system, a save folder that
// vanishes during a batch, and a save folder in which renames fail. Nothing may be
// lost, every file that cannot be written fails with its reason, nothing is left behind
// in the save folder, and the exit status is 1.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"
#include "tests/support/hostile.h"

namespace {

namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;

const char* Binary() { return std::getenv("PLMCONV"); }

#define SKIP_WITHOUT_BINARY() \
  if (!Binary()) GTEST_SKIP() << "PLMCONV not set"

// Starts plmconv with its standard output and error going to `log`; as uid and gid
// 65534 when `asNobody` (the caller is the super-user).
pid_t StartPlmconv(const std::vector<std::string>& args, const fs::path& log, bool asNobody = false) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0) ::_exit(97);
  if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(plmtest::kNobody) != 0 ||
                   ::setuid(plmtest::kNobody) != 0))
    ::_exit(98);
  std::vector<char*> argv{const_cast<char*>(Binary())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(Binary(), argv.data());
  ::_exit(99);
}

struct Finished {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output and error
};

Finished Wait(pid_t pid, const fs::path& log) {
  int st = 0;
  ::waitpid(pid, &st, 0);
  Finished f;
  f.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  const Data bytes = plmtest::ReadFileBytes(log);
  f.out.assign(bytes.begin(), bytes.end());
  return f;
}

Finished RunPlmconv(const std::vector<std::string>& args, const fs::path& log, bool asNobody = false) {
  return Wait(StartPlmconv(args, log, asNobody), log);
}

// A figure file of about `texts` * 60 bytes with negative spacings, so its output
// differs from it.
Data Figure(int texts) {
  plmtest::Body body;
  for (int i = 0; i < texts; ++i)
    body.Entities.push_back(plmtest::SampleMoji(i, plmtest::MakeAttr(1, 2, 0, 3, 4), 0, -0.5,
                                                "text number " + std::to_string(i)));
  plmtest::Bytes bytes = plmtest::JwsHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes.data();
}

Data Earlier(const std::string& name) {
  const std::string text = "earlier output of " + name;
  return Data(text.begin(), text.end());
}

// What plmconv writes for `input`, from an undisturbed run.
Data ExpectedOutput(const fs::path& root, const Data& input) {
  const fs::path in = root / "expected-in", out = root / "expected-out";
  fs::create_directories(in);
  fs::create_directories(out);
  plmtest::WriteFileBytes(in / "x.JWS", input);
  const Finished f = RunPlmconv({"convert", "--all", "-o", out.string(), (in / "x.JWS").string()}, root / "expected.log");
  EXPECT_EQ(f.status, 0) << f.out;
  return plmtest::ReadFileBytes(out / "x.JWS");
}

std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
  return names;
}

// The line plmconv printed for `input`, without its line end; "" when none.
std::string LineFor(const std::string& out, const fs::path& input) {
  const std::string head = input.string() + ": ";
  for (size_t at = 0; at < out.size();) {
    const size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.rfind(head, 0) == 0) return line.substr(head.size());
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "";
}

// The earlier output is under its own name or, once replaced, under its backup name.
void ExpectEarlierKept(const fs::path& save, const std::string& name, const Data& earlier) {
  const fs::path backup = save / plmtest::BackupOf(name);
  const bool underName = fs::exists(save / name) && plmtest::ReadFileBytes(save / name) == earlier;
  const bool asBackup = fs::exists(backup) && plmtest::ReadFileBytes(backup) == earlier;
  EXPECT_TRUE(underName || asBackup) << name << ": the earlier output is lost";
}

// A tmpfs of `kilobytes` at `at`, unmounted at the end; not Ok() where mounting is not
// allowed.
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& at, int kilobytes) : at_(at) {
    fs::create_directories(at);
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    if (::mount("tmpfs", at.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
      mounted_ = true;
    else
      why_ = std::strerror(errno);
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool Ok() const { return mounted_; }
  const std::string& Why() const { return why_; }

 private:
  fs::path at_;
  bool mounted_ = false;
  std::string why_;
};

// Fills the file system of `folder` up, then frees about `leave` bytes again.
void FillLeaving(const fs::path& folder, size_t leave) {
  const fs::path filler = folder / "filler";
  const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const std::vector<char> block(4096, 'f');
  off_t written = 0;
  for (;;) {
    const ssize_t n = ::write(fd, block.data(), block.size());
    if (n <= 0) break;
    written += n;
  }
  ASSERT_EQ(errno, ENOSPC);
  ASSERT_EQ(::ftruncate(fd, written > static_cast<off_t>(leave) ? written - static_cast<off_t>(leave) : 0), 0);
  ::close(fd);
}

TEST(PlmconvDiskFaultTest, FullFileSystemFailsTheFileAndKeepsTheEarlierOutput) {
  SKIP_WITHOUT_BINARY();
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs the super-user";
  plmtest::TempDir root;
  const Data input = Figure(3000);
  const Data expected = ExpectedOutput(root.path(), input);
  ASSERT_GT(expected.size(), 100000u);
  const fs::path in = root / "in", save = root / "save";
  fs::create_directories(in);
  plmtest::WriteFileBytes(in / "A.JWS", input);
  plmtest::WriteFileBytes(in / "B.JWS", input);
  SmallFileSystem disk(save, 1024);
  if (!disk.Ok()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Why();

  // Room for nothing, for a part of the drawing, for all but its last pages; A has an
  // earlier output, B none.
  for (const size_t leave : {size_t{0}, size_t{8192}, expected.size() / 2, expected.size() - 8192}) {
    SCOPED_TRACE("free bytes " + std::to_string(leave));
    for (const auto& e : fs::directory_iterator(save)) fs::remove_all(e.path());
    plmtest::WriteFileBytes(save / "A.JWS", Earlier("A.JWS"));
    FillLeaving(save, leave);
    const Finished f = RunPlmconv({"convert", "--all", "-o", save.string(), (in / "A.JWS").string(),
                                   (in / "B.JWS").string()},
                                  root / "run.log");
    EXPECT_EQ(f.status, 1) << f.out;
    for (const char* name : {"A.JWS", "B.JWS"}) {
      SCOPED_TRACE(name);
      const std::string line = LineFor(f.out, in / name);
      EXPECT_EQ(line.rfind("failed (", 0), 0u) << f.out;
      EXPECT_NE(line.find(std::strerror(ENOSPC)), std::string::npos) << line;
      EXPECT_EQ(plmtest::ReadFileBytes(in / name), input);
    }
    ExpectEarlierKept(save, "A.JWS", Earlier("A.JWS"));
    // Neither a partial output nor a temporary file stays.
    const std::set<std::string> names = NamesIn(save);
    EXPECT_FALSE(names.count("B.JWS"));
    for (const std::string& n : names) EXPECT_TRUE(n == "A.JWS" || n == "A.JSB" || n == "filler") << n;
  }
}

// The save folder is moved while a batch runs: the batch goes on into the folder it
// opened, under its new name, never makes the old name again and never writes
// anywhere else.
TEST(PlmconvDiskFaultTest, SaveFolderMovedDuringABatch) {
  SKIP_WITHOUT_BINARY();
  plmtest::TempDir root;
  const Data input = Figure(1500);
  const Data expected = ExpectedOutput(root.path(), input);
  const fs::path in = root / "in", save = root / "save", gone = root / "gone";
  fs::create_directories(in);
  fs::create_directories(save);
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%04d.JWS", i);
    names.push_back(name);
    plmtest::WriteFileBytes(in / name, input);
    plmtest::WriteFileBytes(save / name, Earlier(name));
  }
  const fs::path log = root / "run.log";
  const pid_t pid = StartPlmconv({"convert", "--all", "-o", save.string(), in.string()}, log);
  // Once the first file is done, the folder moves.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(save / plmtest::BackupOf("F0000.JWS")) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  ASSERT_EQ(::rename(save.c_str(), gone.c_str()), 0);
  const Finished f = Wait(pid, log);

  EXPECT_EQ(f.status, 0) << f.out;
  EXPECT_FALSE(fs::exists(save)) << "the save folder was made again";
  std::set<std::string> allowed;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LineFor(f.out, in / name), "converted");
    EXPECT_EQ(plmtest::ReadFileBytes(in / name), input);
    EXPECT_EQ(plmtest::ReadFileBytes(gone / name), expected);
    EXPECT_EQ(plmtest::ReadFileBytes(gone / plmtest::BackupOf(name)), Earlier(name));
    allowed.insert(name);
    allowed.insert(plmtest::BackupOf(name));
  }
  for (const std::string& n : NamesIn(gone)) EXPECT_TRUE(allowed.count(n)) << "left behind: " << n;
  EXPECT_EQ(NamesIn(root.path()),
            (std::set<std::string>{"expected-in", "expected-out", "expected.log", "gone", "in", "run.log"}));
}

// A save folder in which renames are refused (sticky, the files of another user): a
// file whose earlier output or older backup cannot be moved fails and both stay as
// they were; the others convert.
TEST(PlmconvDiskFaultTest, RenameFailingInTheSaveFolder) {
  SKIP_WITHOUT_BINARY();
  if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to run plmconv as another user";
  plmtest::TempDir root;
  const Data input = Figure(50);
  const Data expected = ExpectedOutput(root.path(), input);
  const fs::path in = root / "in", save = root / "save";
  fs::create_directories(in);
  fs::create_directories(save);
  for (const char* name : {"OWN.JWS", "OTHER.JWS", "OLDBAK.JWS", "FRESH.JWS"}) plmtest::WriteFileBytes(in / name, input);
  plmtest::OpenForOthers(in);
  // Written by the super-user, so the sticky folder keeps the converting user from
  // renaming them or replacing them.
  plmtest::WriteFileBytes(save / "OTHER.JWS", Earlier("OTHER.JWS"));
  plmtest::WriteFileBytes(save / "OLDBAK.JSB", Earlier("older backup"));
  // The converting user's own earlier outputs.
  plmtest::WriteFileBytes(save / "OWN.JWS", Earlier("OWN.JWS"));
  plmtest::WriteFileBytes(save / "OLDBAK.JWS", Earlier("OLDBAK.JWS"));
  plmtest::GiveToNobody(save / "OWN.JWS");
  plmtest::GiveToNobody(save / "OLDBAK.JWS");
  fs::permissions(save, fs::perms::all | fs::perms::sticky_bit);
  plmtest::OpenForOthers(save);
  const fs::path log = root / "run.log";
  std::vector<std::string> args{"convert", "--all", "-o", save.string()};
  for (const char* name : {"OWN.JWS", "OTHER.JWS", "OLDBAK.JWS", "FRESH.JWS"}) args.push_back((in / name).string());
  const Finished f = RunPlmconv(args, log, true);
  if (f.status == 98) GTEST_SKIP() << "cannot change to user 65534";

  EXPECT_EQ(f.status, 1) << f.out;
  // Controls: the user's own earlier output, and no earlier output.
  EXPECT_EQ(LineFor(f.out, in / "OWN.JWS"), "converted") << f.out;
  EXPECT_EQ(plmtest::ReadFileBytes(save / "OWN.JWS"), expected);
  EXPECT_EQ(plmtest::ReadFileBytes(save / "OWN.JSB"), Earlier("OWN.JWS"));
  EXPECT_EQ(LineFor(f.out, in / "FRESH.JWS"), "converted") << f.out;
  EXPECT_EQ(plmtest::ReadFileBytes(save / "FRESH.JWS"), expected);
  // Refused: the earlier output, or the older backup it would replace, belongs to
  // someone else.
  for (const char* name : {"OTHER.JWS", "OLDBAK.JWS"}) {
    SCOPED_TRACE(name);
    const std::string line = LineFor(f.out, in / name);
    EXPECT_EQ(line.rfind("failed (", 0), 0u) << f.out;
    EXPECT_NE(line.find(std::strerror(EPERM)), std::string::npos) << line;
    EXPECT_EQ(plmtest::ReadFileBytes(save / name), Earlier(name));
  }
  EXPECT_EQ(plmtest::ReadFileBytes(save / "OLDBAK.JSB"), Earlier("older backup"));
  // A backup made before the refused step may stay, as a copy of the earlier output.
  std::set<std::string> names = NamesIn(save);
  if (names.count("OTHER.JSB")) {
    EXPECT_EQ(plmtest::ReadFileBytes(save / "OTHER.JSB"), Earlier("OTHER.JWS"));
    names.erase("OTHER.JSB");
  }
  const std::set<std::string> want{"OWN.JWS", "OWN.JSB", "FRESH.JWS", "OTHER.JWS", "OLDBAK.JWS", "OLDBAK.JSB"};
  EXPECT_EQ(names, want);
  for (const char* name : {"OWN.JWS", "OTHER.JWS", "OLDBAK.JWS", "FRESH.JWS"})
    EXPECT_EQ(plmtest::ReadFileBytes(in / name), input);
}

}  // namespace
