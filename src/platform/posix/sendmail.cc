#include "platform/posix/sendmail.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include "base/failure.h"
#include "platform/posix/errno_failure.h"
#include "platform/posix/fd.h"

extern char** environ;

namespace postique::posix {

namespace {

constexpr char kFallback[] = "/usr/sbin/sendmail";

std::string FirstLine(int fd) {
  std::string text(4096, '\0');
  const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text.substr(0, text.find_first_of("\r\n"));
}

// Waits for the child until the deadline; false when it still runs then.
bool WaitUntil(pid_t pid, int& status, std::chrono::steady_clock::time_point deadline) {
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid || (ended < 0 && errno != EINTR)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

// Stops the program, with whatever it started.
void Stop(pid_t pid) {
  ::kill(-pid, SIGKILL);
  while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Stops the program and says why the send failed.
[[noreturn]] void GiveUp(pid_t pid, const std::string& program, std::chrono::milliseconds limit) {
  Stop(pid);
  Raise(Err::kMapiFailure,
        program + " no ha terminado en " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) +
            " segundos: el mensaje no se ha enviado");
}

}  // namespace

void Sendmail(const std::string& messageFile, const std::string& scratch,
              std::chrono::milliseconds limit) {
  Fd in(::open(messageFile.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw ErrnoFailure(errno, messageFile);
  struct stat st;
  if (::fstat(in.get(), &st) != 0) throw ErrnoFailure(errno, messageFile);
  // The message goes through a pipe whose reading end Postique keeps too:
  // what the program left unread stays in it when the program ends, however
  // it read (from its standard input, or by opening /dev/stdin anew).
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw ErrnoFailure(errno, messageFile);
  const Fd pipeIn(ends[0]);
  Fd pipeOut(ends[1]);
  // What it prints goes to a file, so a talkative sendmail can never block.
  std::string outPath = scratch + "/sendmail-XXXXXX";
  Fd out(::mkostemp(outPath.data(), O_CLOEXEC));
  if (out.get() < 0) throw ErrnoFailure(errno, scratch);
  ::unlink(outPath.c_str());

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeIn.get(), 0);
  posix_spawn_file_actions_adddup2(&actions, out.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, out.get(), 2);
  // A process group of its own: whatever it starts can be stopped with it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  char* argv[] = {const_cast<char*>("sendmail"), const_cast<char*>("-t"), const_cast<char*>("-i"),
                  nullptr};
  std::string program = "sendmail";
  pid_t pid = 0;
  int error = ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
  if (error == ENOENT) {
    program = kFallback;
    error = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error == ENOENT) {
    Raise(Err::kMapiFailure, std::string("no se encuentra el programa sendmail (ni en la ruta de "
                                         "búsqueda ni en ") +
                                 kFallback + ")");
  }
  if (error != 0) Raise(Err::kMapiFailure, program + ": " + std::strerror(error));

  // The message is fed while the program reads it; one that ends first has
  // taken what it took.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  bool ended = false;
  off_t fed = 0;
  ::fcntl(pipeOut.get(), F_SETFL, O_NONBLOCK);
  char buffer[65536];
  for (ssize_t have = 0, at = 0; !ended;) {
    if (at == have) {
      have = ReadFully(in.get(), buffer, sizeof buffer);
      at = 0;
      if (have < 0) {
        const int readError = errno;
        Stop(pid);
        throw ErrnoFailure(readError, messageFile);
      }
      if (have == 0) break;
    }
    const ssize_t n = ::write(pipeOut.get(), buffer + at, static_cast<size_t>(have - at));
    if (n > 0) {
      at += n;
      fed += n;
      continue;
    }
    pollfd ready{pipeOut.get(), POLLOUT, 0};
    ::poll(&ready, 1, 20);
    const pid_t gone = ::waitpid(pid, &status, WNOHANG);
    ended = gone == pid || (gone < 0 && errno != EINTR);
    if (!ended && std::chrono::steady_clock::now() >= deadline) GiveUp(pid, program, limit);
  }
  pipeOut.Reset(-1);  // the end of the message
  if (!ended && !WaitUntil(pid, status, deadline)) GiveUp(pid, program, limit);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    // One that ended before the end of the message has not sent it,
    // whatever it says.
    int unread = 0;
    if (::ioctl(pipeIn.get(), FIONREAD, &unread) != 0) unread = 0;
    const off_t read = fed - unread;
    if (read < st.st_size) {
      Raise(Err::kMapiFailure, program + " terminó sin leer el mensaje entero (leyó " +
                                   std::to_string(read) + " de " + std::to_string(st.st_size) +
                                   " bytes): el mensaje no se ha enviado");
    }
    return;
  }
  const std::string how = WIFEXITED(status)
                              ? "terminó con el estado " + std::to_string(WEXITSTATUS(status))
                              : "terminó por la señal " + std::to_string(WTERMSIG(status));
  std::string text = program + " " + how;
  if (const std::string said = FirstLine(out.get()); !said.empty()) text += ": " + said;
  Raise(Err::kMapiFailure, text);
}

}  // namespace postique::posix
