// The job reader, the Boolean conversion and the dispatch to both
// transports, over any bytes as a job file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/text.h"
#include "fakes/temp_dir.h"
#include "quiet_screen.h"

using namespace postique;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const testing::TempDir program, work;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : SplitLines(bytes)) ParseBoolean(line);

  const std::string job = work / "job.txt";
  testing::WriteFile(job, bytes);
  testing::RecordingLauncher launcher;
  fuzz::RunJob(job, program.path(), launcher);
  std::remove(job.c_str());
  std::remove((program / "thunderbird.log").c_str());
  return 0;
}
