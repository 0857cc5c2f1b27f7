#include "platform/posix/posix_launcher.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "base/command_line.h"

namespace postique::posix {

namespace {

// The shell's results.
constexpr int kStarted = 42;
constexpr int kOutOfResources = 0;
constexpr int kFileNotFound = 2;
constexpr int kAccessDenied = 5;

int ShellResult(int error) {
  switch (error) {
    case 0:
      return kStarted;
    case ENOENT:
    case ENOTDIR:
      return kFileNotFound;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    default:
      return kOutOfResources;
  }
}

}  // namespace

int PosixLauncher::Open(const std::string& program, const std::string& parameters) {
  std::vector<std::string> args = SplitWindowsCommandLine(parameters);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The started program is handed to init through an intermediate child that
  // ends at once, so it never lingers as our zombie. A close-on-exec pipe
  // brings back the errno of a failed exec.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return kOutOfResources;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return kOutOfResources;
  }
  if (child == 0) {
    ::close(report[0]);
    const pid_t started = ::fork();
    if (started == 0) ::execvp(argv[0], argv.data());
    if (started <= 0) {
      const int error = errno;
      [[maybe_unused]] ssize_t n = ::write(report[1], &error, sizeof error);
    }
    ::_exit(0);
  }
  ::close(report[1]);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return ShellResult(n == sizeof error ? error : 0);
}

}  // namespace postique::posix
