#pragma once

#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/errno_failure.h"

namespace postique::posix {

// Writes all of data to fd, going on after interruptions; false, with errno
// set, on an error.
inline bool WriteFully(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads into buffer until size bytes or the end of the file, going on after
// interruptions: the bytes read, fewer only at the end; -1, with errno set,
// on an error.
inline ssize_t ReadFully(int fd, char* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

// Owns a file descriptor; -1 holds none.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Holds fd instead, closing the one held.
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Lets go of the descriptor, which the caller then owns.
  int Release() { return std::exchange(fd_, -1); }
  // Closes, reporting the error a delayed write may only show here.
  void Close(const std::string& path) {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw ErrnoFailure(errno, path);
  }

 private:
  int fd_;
};

}  // namespace postique::posix
