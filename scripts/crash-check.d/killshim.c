/* Preloaded into the program under test. Counts the calls that change a folder's
 * entries or make data durable (open with O_CREAT, fsync, rename, link, unlink, remove,
 * mkdir, rmdir) and, when PLM_KILL_AT=N[:after] is set, sends SIGKILL to the process
 * right before (or right after) the Nth such call, so every gap between two steps of
 * the conversion can be hit on purpose. PLM_STEP_LOG=path appends one line per call
 * ("N name path"), for counting the steps of an uninterrupted run.
 * PLM_NO_LINKS=1 stands for a file system without hard links: link and linkat fail
 * with EPERM and unnamed files (O_TMPFILE) are refused with EOPNOTSUPP, as on the
 * file systems of many USB sticks and network folders. */
#define _GNU_SOURCE
#include <errno.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static long step_count;
static long kill_at = -1;
static int kill_after;
static int log_fd = -2;

static void setup(void) {
  if (log_fd != -2) return;
  log_fd = -1;
  const char* at = getenv("PLM_KILL_AT");
  if (at && *at) {
    kill_at = strtol(at, NULL, 10);
    kill_after = strstr(at, ":after") != NULL;
  }
  const char* log = getenv("PLM_STEP_LOG");
  if (log && *log) {
    int (*real_open)(const char*, int, ...) = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
    log_fd = real_open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  }
}

static void die_now(void) { kill(getpid(), SIGKILL); for (;;) pause(); }

static void before(const char* name, const char* path) {
  setup();
  const long step = __atomic_add_fetch(&step_count, 1, __ATOMIC_SEQ_CST);
  if (log_fd >= 0) {
    char line[4200];
    int n = snprintf(line, sizeof line, "%ld %s %s\n", step, name, path ? path : "");
    if (n > 0) {
      ssize_t w = write(log_fd, line, (size_t)(n < (int)sizeof line ? n : (int)sizeof line - 1));
      (void)w;
    }
  }
  if (step == kill_at && !kill_after) die_now();
}

/* With several threads another step may come between a call and its end; the kill
 * then lands after the later one, which is still a gap between two steps. */
static void after(void) {
  if (__atomic_load_n(&step_count, __ATOMIC_SEQ_CST) >= kill_at && kill_at > 0 && kill_after) die_now();
}

#define REAL(type, name, args) \
  static type(*real_##name) args; \
  if (!real_##name) real_##name = (type(*) args)dlsym(RTLD_NEXT, #name)

static int no_links(void) {
  const char* v = getenv("PLM_NO_LINKS");
  return v && *v == '1';
}

int rename(const char* a, const char* b) {
  REAL(int, rename, (const char*, const char*));
  before("rename", a);
  int r = real_rename(a, b);
  after();
  return r;
}

int renameat(int fa, const char* a, int fb, const char* b) {
  REAL(int, renameat, (int, const char*, int, const char*));
  before("renameat", a);
  int r = real_renameat(fa, a, fb, b);
  after();
  return r;
}

int renameat2(int fa, const char* a, int fb, const char* b, unsigned flags) {
  REAL(int, renameat2, (int, const char*, int, const char*, unsigned));
  before("renameat2", a);
  int r = real_renameat2(fa, a, fb, b, flags);
  after();
  return r;
}

int link(const char* a, const char* b) {
  REAL(int, link, (const char*, const char*));
  if (no_links()) {
    errno = EPERM;
    return -1;
  }
  before("link", b);
  int r = real_link(a, b);
  after();
  return r;
}

int linkat(int fa, const char* a, int fb, const char* b, int flags) {
  REAL(int, linkat, (int, const char*, int, const char*, int));
  if (no_links()) {
    errno = EPERM;
    return -1;
  }
  before("linkat", b);
  int r = real_linkat(fa, a, fb, b, flags);
  after();
  return r;
}

int unlink(const char* a) {
  REAL(int, unlink, (const char*));
  before("unlink", a);
  int r = real_unlink(a);
  after();
  return r;
}

int unlinkat(int fd, const char* a, int flags) {
  REAL(int, unlinkat, (int, const char*, int));
  before("unlinkat", a);
  int r = real_unlinkat(fd, a, flags);
  after();
  return r;
}

int remove(const char* a) {
  REAL(int, remove, (const char*));
  before("remove", a);
  int r = real_remove(a);
  after();
  return r;
}

int rmdir(const char* a) {
  REAL(int, rmdir, (const char*));
  before("rmdir", a);
  int r = real_rmdir(a);
  after();
  return r;
}

int mkdir(const char* a, mode_t m) {
  REAL(int, mkdir, (const char*, mode_t));
  before("mkdir", a);
  int r = real_mkdir(a, m);
  after();
  return r;
}

int mkdirat(int fd, const char* a, mode_t m) {
  REAL(int, mkdirat, (int, const char*, mode_t));
  before("mkdirat", a);
  int r = real_mkdirat(fd, a, m);
  after();
  return r;
}

/* The file an fsync is for, for the step log. */
static const char* fd_path(int fd, char* buf, size_t size) {
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, buf, size - 1);
  buf[n > 0 ? n : 0] = 0;
  return buf;
}

int fsync(int fd) {
  REAL(int, fsync, (int));
  char path[4096];
  setup();
  before("fsync", log_fd >= 0 ? fd_path(fd, path, sizeof path) : "");
  int r = real_fsync(fd);
  after();
  return r;
}

int fdatasync(int fd) {
  REAL(int, fdatasync, (int));
  char path[4096];
  setup();
  before("fdatasync", log_fd >= 0 ? fd_path(fd, path, sizeof path) : "");
  int r = real_fdatasync(fd);
  after();
  return r;
}

int syncfs(int fd) {
  REAL(int, syncfs, (int));
  char path[4096];
  setup();
  before("syncfs", log_fd >= 0 ? fd_path(fd, path, sizeof path) : "");
  int r = real_syncfs(fd);
  after();
  return r;
}

static int creates(int flags) { return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE; }

static int refused_unnamed(int flags) {
  if ((flags & O_TMPFILE) != O_TMPFILE || !no_links()) return 0;
  errno = EOPNOTSUPP;
  return 1;
}

int open(const char* p, int flags, ...) {
  REAL(int, open, (const char*, int, ...));
  mode_t mode = 0;
  if (creates(flags)) {
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, int);
    va_end(ap);
    if (refused_unnamed(flags)) return -1;
    before("open", p);
  }
  int r = real_open(p, flags, mode);
  if (creates(flags)) after();
  return r;
}

int open64(const char* p, int flags, ...) {
  REAL(int, open64, (const char*, int, ...));
  mode_t mode = 0;
  if (creates(flags)) {
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, int);
    va_end(ap);
    if (refused_unnamed(flags)) return -1;
    before("open", p);
  }
  int r = real_open64(p, flags, mode);
  if (creates(flags)) after();
  return r;
}

int openat(int dfd, const char* p, int flags, ...) {
  REAL(int, openat, (int, const char*, int, ...));
  mode_t mode = 0;
  if (creates(flags)) {
    va_list ap;
    va_start(ap, flags);
    mode = (mode_t)va_arg(ap, int);
    va_end(ap);
    if (refused_unnamed(flags)) return -1;
    before("openat", p);
  }
  int r = real_openat(dfd, p, flags, mode);
  if (creates(flags)) after();
  return r;
}
