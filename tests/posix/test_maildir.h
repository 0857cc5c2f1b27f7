#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "fakes/temp_dir.h"

namespace postique::testing {

// A Maildir the test fills with messages of its own.
class TestMaildir {
 public:
  TestMaildir();
  const std::string& path() const { return dir_.path(); }
  std::string operator/(const std::string& name) const { return dir_ / name; }
  // Delivers message into sub ("new" or "cur") under name, with the given
  // delivery time (seconds since the epoch). Returns the file's path.
  std::string Deliver(const std::string& sub, const std::string& name, const std::string& message,
                      long long delivered);

 private:
  TempDir dir_;
};

// A MIME message with a text body and one attachment per (header line for
// the part, base64 content) pair.
std::string Message(const std::string& subject, const std::string& body,
                    const std::vector<std::pair<std::string, std::string>>& attachments = {});

std::string Base64(const std::string& bytes);

// A TNEF stream (a winmail.dat) holding the files, as name and contents; a
// file's name goes as its long name in the MAPI properties when longName.
std::string Tnef(const std::vector<std::pair<std::string, std::string>>& files,
                 bool longName = true);

// Another mail reader, in a process of its own: it runs change (from the
// moment path exists, when one is given) until that returns or the reader
// is let go of, which kills it.
class Meddler {
 public:
  template <class Change>
  explicit Meddler(Change change) : Meddler({}, change) {}
  template <class Change>
  Meddler(const std::string& path, Change change) : pid_(::fork()) {
    if (pid_ != 0) return;
    // Nothing here may throw: the child must never go back into the test.
    while (!path.empty() && ::access(path.c_str(), F_OK) != 0) ::usleep(200);
    change();
    ::_exit(0);
  }
  ~Meddler() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  Meddler(const Meddler&) = delete;
  Meddler& operator=(const Meddler&) = delete;

 private:
  pid_t pid_;
};

}  // namespace postique::testing
