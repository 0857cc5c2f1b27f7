#pragma once

#include "base/ports.h"

namespace postique::posix {

// Starts programs through the search path, never through a shell, and
// does not wait for them.
class PosixLauncher : public Launcher {
 public:
  int Open(const std::string& program, const std::string& parameters) override;
};

}  // namespace postique::posix
