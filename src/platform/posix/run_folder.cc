#include "platform/posix/run_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/failure.h"
#include "platform/posix/signal_cleanup.h"

namespace postique::posix {

namespace {

constexpr char kRunPrefix[] = "run-";  // and mkdtemp's six letters
constexpr char kRecord[] = "staged";

std::string UserFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
    return std::string(runtime) + "/postique";
  }
  const char* temp = std::getenv("TMPDIR");
  return std::string(temp && *temp ? temp : "/tmp") + "/postique-" + std::to_string(::geteuid());
}

bool Lock(int fd, int how) {
  int result;
  while ((result = ::flock(fd, how)) != 0 && errno == EINTR) {
  }
  return result == 0;
}

// Removes the copy that the record of an ended run names, when it is still
// the very file that run staged (the same device and inode under the same
// name): renamed into place, the name is gone; anything made there since is
// somebody else's.
void RemoveRecordedCopy(int run) {
  const Fd record(::openat(run, kRecord, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (record.get() < 0) return;
  char text[8192];
  const ssize_t n = ReadFully(record.get(), text, sizeof text - 1);
  if (n <= 0) return;
  text[n] = '\0';
  unsigned long long device = 0, inode = 0;
  int at = 0;
  if (std::sscanf(text, "%llu %llu %n", &device, &inode, &at) != 2 || at == 0) return;
  const std::string path(text + at, static_cast<size_t>(n - at));
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device &&
      st.st_ino == inode) {
    ::unlink(path.c_str());
  }
}

// Removes the folders of runs that have ended, and their staged copies.
void RemoveEnded(int user, const std::string& userPath) {
  std::vector<std::string> names;
  {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(::dup(user)), ::closedir);
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name.size() == sizeof kRunPrefix - 1 + 6 && name.starts_with(kRunPrefix)) {
        names.emplace_back(name);
      }
    }
  }
  for (const std::string& name : names) {
    const Fd run(::openat(user, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (run.get() < 0 || !Lock(run.get(), LOCK_EX | LOCK_NB)) continue;  // a run still going
    RemoveRecordedCopy(run.get());
    std::error_code ignored;
    std::filesystem::remove_all(userPath + "/" + name, ignored);
  }
}

}  // namespace

RunFolder& RunFolder::Get() {
  static RunFolder folder;
  return folder;
}

RunFolder::RunFolder() {
  const std::string user = UserFolder();
  if (::mkdir(user.c_str(), 0700) != 0 && errno != EEXIST) throw ErrnoFailure(errno, user);
  const Fd at(::open(user.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (at.get() < 0) throw ErrnoFailure(errno, user);
  // Made by this user for nobody else: what is in it is Postique's alone.
  struct stat st;
  if (::fstat(at.get(), &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
    Raise(Err::kPathFileAccess, user + " (no es una carpeta privada de este usuario)");
  }
  // Runs make their folders and remove ended ones one at a time: no run's
  // folder is ever seen between being made and being locked.
  if (!Lock(at.get(), LOCK_EX)) throw ErrnoFailure(errno, user);
  RemoveEnded(at.get(), user);
  std::string path = user + "/" + kRunPrefix + "XXXXXX";
  if (!::mkdtemp(path.data())) throw ErrnoFailure(errno, path);
  held_.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  // A folder that cannot be locked is left, unlocked, for the next run.
  if (held_.get() < 0 || !Lock(held_.get(), LOCK_EX | LOCK_NB)) throw ErrnoFailure(errno, path);
  path_ = std::move(path);
  RemoveOnSignal(path_);
}  // the user folder's lock goes with at

RunFolder::~RunFolder() {
  RemoveOnSignal({});
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool RunFolder::Staging(int fd, const std::string& path, const std::function<bool()>& name) {
  const EndingSignalsBlocked blocked;
  // Unrecorded, a copy left by a crash stays for good: nothing takes it for
  // an order's file, nor the other way round.
  struct stat st;
  if (::fstat(fd, &st) == 0) {
    if (record_.get() < 0) {
      record_.Reset(
          ::openat(held_.get(), kRecord, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    }
    const std::string text =
        std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + path;
    if (record_.get() >= 0 && ::ftruncate(record_.get(), 0) == 0) {
      (void)!::pwrite(record_.get(), text.data(), text.size(), 0);
    }
  }
  if (!name()) return false;
  UnlinkOnSignal(path);
  return true;
}

void RunFolder::Staged() {
  if (record_.get() >= 0) (void)!::ftruncate(record_.get(), 0);
  UnlinkOnSignal({});
}

}  // namespace postique::posix
