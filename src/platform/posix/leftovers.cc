#include "platform/posix/leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/posix/fd.h"

namespace postique::posix {

namespace {

timespec Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// Taken as the program starts. An entry changed since may belong to a run
// that has made it and not yet locked it: it is left for a later run.
const timespec kStarted = Now();

bool Before(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

}  // namespace

void Own(int fd) {
  // A file system without locks owns nothing: what is made there is left
  // for good rather than taken from a run still using it.
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void RemoveLeftovers(const std::string& folder, std::string_view prefix) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    // As mkstemp and mkdtemp name them: the prefix and six letters.
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) names.emplace_back(name);
  }
  const int at = ::dirfd(dir.get());
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid() ||
        !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) || !Before(st.st_ctim, kStarted)) {
      continue;
    }
    const Fd held(::openat(
        at, name.c_str(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (S_ISDIR(st.st_mode) ? O_DIRECTORY : 0)));
    if (held.get() < 0 || ::flock(held.get(), LOCK_EX | LOCK_NB) != 0) continue;  // owned
    std::error_code ignored;
    std::filesystem::remove_all(folder + "/" + name, ignored);
  }
}

}  // namespace postique::posix
