#include "platform/posix/signal_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace postique::posix {

namespace {

// The run's folder, a folder of copies, a folder per copy whose name met
// another's, the copy.
constexpr int kDepth = 3;

// What the handler removes: a folder by its parent's descriptor and its name,
// set up beforehand so that the handler only makes async-signal-safe calls.
int parentFd = -1;
char folderName[NAME_MAX + 1];
volatile sig_atomic_t armed = 0;
// And a file by its path.
char filePath[PATH_MAX];
volatile sig_atomic_t fileArmed = 0;

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

void RemoveContents(int dir, int depth) {
  // One buffer per level: a level's listing must survive the one below it.
  alignas(LinuxDirent64) static char buffers[kDepth][4096];
  char* buffer = buffers[depth];
  for (;;) {
    const long n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffers[0]);
    if (n <= 0) return;
    for (long at = 0; at < n;) {
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      if (entry->d_type == DT_DIR && depth + 1 < kDepth) {
        const int sub = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
          RemoveContents(sub, depth + 1);
          ::close(sub);
        }
        ::unlinkat(dir, name, AT_REMOVEDIR);
      } else {
        ::unlinkat(dir, name, 0);
      }
    }
  }
}

void OnEndingSignal(int signal) {
  if (fileArmed) ::unlink(filePath);
  if (armed) {
    const int dir = ::openat(parentFd, folderName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) {
      RemoveContents(dir, 0);
      ::close(dir);
    }
    ::unlinkat(parentFd, folderName, AT_REMOVEDIR);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

void RemoveOnSignal(const std::string& folder) {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigfillset(&action.sa_mask);
    for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
    return true;
  }();
  (void)installed;
  const EndingSignalsBlocked blocked;  // the handler never sees a half-changed folder
  armed = 0;
  if (parentFd >= 0) ::close(parentFd);
  parentFd = -1;
  const size_t slash = folder.rfind('/');
  const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
  if (!folder.empty() && name.size() < sizeof folderName) {
    const std::string parent = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
    parentFd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::memcpy(folderName, name.c_str(), name.size() + 1);
    armed = parentFd >= 0;
  }
}

void UnlinkOnSignal(const std::string& file) {
  const EndingSignalsBlocked blocked;
  fileArmed = 0;
  if (!file.empty() && file.size() < sizeof filePath) {
    std::memcpy(filePath, file.c_str(), file.size() + 1);
    fileArmed = 1;
  }
}

EndingSignalsBlocked::EndingSignalsBlocked() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int signal : kSignals) sigaddset(&ending, signal);
  ::pthread_sigmask(SIG_BLOCK, &ending, &before_);
}

EndingSignalsBlocked::~EndingSignalsBlocked() {
  ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
}

}  // namespace postique::posix
