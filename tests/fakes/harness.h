// The main window wired to the fakes, over a real temporary program folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/frm_remitora.h"
#include "fakes/fake_mail_client.h"
#include "fakes/fake_screen.h"
#include "fakes/temp_dir.h"
#ifdef _WIN32
#include "platform/win32/win32_files.h"
#else
#include "platform/posix/posix_files.h"
#endif

namespace postique::testing {

#ifdef _WIN32
using NativeFiles = win32::Win32Files;
#else
using NativeFiles = posix::PosixFiles;
#endif

class FakeProcess : public Process {
 public:
  std::string commandLine;
  std::string CommandLine() override { return commandLine; }
};

// Records every start request and answers with a fixed result.
class RecordingLauncher : public Launcher {
 public:
  struct Start {
    std::string program, parameters;
  };
  std::vector<Start> starts;
  int result = 42;
  int Open(const std::string& program, const std::string& parameters) override {
    starts.push_back({program, parameters});
    return result;
  }
};

struct Harness {
  TempDir program;  // the program's folder
  TempDir work;     // where jobs and attachments are made
  FakeScreen screen;
  NativeFiles files{program.path()};
  RecordingLauncher launcher;
  FakeProcess process;
  FakeMailClient mail;
  frmRemitora window{{screen, files, launcher, process, mail, mail}};

  // Shows the window and delivers its first activation. The exit status when
  // the program ended, nothing when the window stays open.
  std::optional<int> Start();
  // Writes a job file in the work folder and names it on the command line.
  std::string Job(const std::string& bytes);

  const std::string& Caption(const std::string& control, int index = -1) {
    return window.form().at(control, index).text;
  }
};

}  // namespace postique::testing
