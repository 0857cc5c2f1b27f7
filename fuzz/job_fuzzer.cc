// The job reader, the Boolean conversion and the dispatch to both
// transports, over any bytes as a job file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/text.h"
#include "fakes/fake_mail_client.h"
#include "fakes/harness.h"
#include "fakes/temp_dir.h"
#include "quiet_screen.h"

using namespace postique;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const testing::TempDir program, work;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : SplitLines(bytes)) ParseBoolean(line);

  const std::string job = work / "job.txt";
  testing::WriteFile(job, bytes);
  fuzz::QuietScreen screen;
  posix::PosixFiles files(program.path());
  testing::RecordingLauncher launcher;
  testing::FakeProcess process;
  process.commandLine = job;
  testing::FakeMailClient mail;
  frmRemitora window({screen, files, launcher, process, mail, mail});
  try {
    window.Show();
    screen.Run(window);
  } catch (const ProgramEnd&) {
  }
  std::remove(job.c_str());
  std::remove((program / "thunderbird.log").c_str());
  return 0;
}
