// A run's private files must not outlive the program, however it ends: a
// signal that ends it (SIGTERM, SIGINT, SIGHUP) first removes them.
#pragma once

#include <signal.h>

#include <string>

namespace postique::posix {

// The folder (and what is in it, two levels deep) to remove when such a
// signal ends the program, which then ends as the signal would. One folder
// at a time; an empty path lets go of it.
void RemoveOnSignal(const std::string& folder);
// The same for one file, beside the folder.
void UnlinkOnSignal(const std::string& file);

// Holds the ending signals off the calling thread while it lives, and off
// every thread started meanwhile, which keeps the mask it starts with.
class EndingSignalsBlocked {
 public:
  EndingSignalsBlocked();
  ~EndingSignalsBlocked();
  EndingSignalsBlocked(const EndingSignalsBlocked&) = delete;
  EndingSignalsBlocked& operator=(const EndingSignalsBlocked&) = delete;

 private:
  sigset_t before_;
};

}  // namespace postique::posix
