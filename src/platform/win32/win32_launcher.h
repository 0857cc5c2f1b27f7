#pragma once

#include "base/ports.h"

namespace postique::win32 {

class Win32Screen;

// Starts programs through the shell's "open" verb, as Explorer would, and
// does not wait for them.
class Win32Launcher : public Launcher {
 public:
  explicit Win32Launcher(const Win32Screen& screen) : screen_(screen) {}
  int Open(const std::string& program, const std::string& parameters) override;

 private:
  const Win32Screen& screen_;  // its main window owns whatever the shell shows
};

}  // namespace postique::win32
