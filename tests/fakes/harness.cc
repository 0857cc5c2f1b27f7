#include "fakes/harness.h"

namespace postique::testing {

std::optional<int> Harness::Start() {
  try {
    window.Show();
    screen.Run(window);
    return std::nullopt;
  } catch (const ProgramEnd& end) {
    return end.status;
  }
}

std::string Harness::Job(const std::string& bytes) {
  const std::string path = work / "job.txt";
  WriteFile(path, bytes);
  process.commandLine = path;
  return path;
}

}  // namespace postique::testing
