// The Thunderbird argument and its log: whatever the job's fields hold,
// Thunderbird gets exactly two arguments, and the log holds what was passed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/command_line.h"
#include "base/text.h"
#include "fakes/temp_dir.h"
#include "platform/posix/code_page.h"
#include "quiet_screen.h"

using namespace postique;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const testing::TempDir program, work;
  // Four fields, one a line, in the job's code page; no line ends inside.
  std::string fields(reinterpret_cast<const char*>(data), size);
  for (char& c : fields) {
    if (c == '\r') c = '\n';
  }
  std::vector<std::string> lines = Split(fields, "\n");
  lines.resize(4);
  std::string job;
  for (const std::string& line : lines) job += line + "\r\n";
  job += "\r\nT\r\n";
  const std::string path = work / "job.txt";
  testing::WriteFile(path, job);

  testing::RecordingLauncher launcher;
  fuzz::RunJob(path, program.path(), launcher);
  const bool nul = job.find('\0') != std::string::npos;  // refused before any launch
  if (!nul) {
    if (launcher.starts.size() != 1) std::abort();
    const std::string& argument = launcher.starts[0].parameters;
    const std::vector<std::string> args = SplitWindowsCommandLine(argument);
    if (args.size() != 2 || args[0] != "-compose") std::abort();
    const std::string log = testing::ReadFile(program / "thunderbird.log");
    if (log != posix::Utf8ToCp1252("thunderbird " + argument + "\r\n")) std::abort();
  }
  std::remove((program / "thunderbird.log").c_str());
  return 0;
}
