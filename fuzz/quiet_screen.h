// A screen for the fuzzers: nothing shown, every box answered so that the
// procedures go on and end (OK, Cancel then Yes to a question, Yes), and the
// send-method dialog closed.
#pragma once

#include <string>

#include "app/frm_remitora.h"
#include "base/screen.h"
#include "fakes/fake_mail_client.h"
#include "fakes/harness.h"
#include "ui/frm_fenvio.h"

namespace postique::fuzz {

class QuietScreen : public Screen {
 public:
  void Show(const Form&) override {}
  void Changed(const Form&, const Control&, Change) override {}
  void Repaint(const Form&, const Control*) override {}
  void BringToFront(const Form&) override {}
  int MsgBox(const std::string&, int style) override {
    switch (style & mb::kButtonsMask) {
      case mb::kOkCancel:
        return mb::kAnswerCancel;
      case mb::kYesNo:
        return mb::kAnswerYes;
      default:
        return mb::kAnswerOk;
    }
  }
  void Beep() override {}
  void Run(MainWindow& window) override { window.Handle({WindowEvent::kActivate}); }
  void ShowModal(ModalDialog& dialog) override { dialog.Unload(); }
};

// Runs the program on the job file as the invoicing product starts it, over
// the in-memory mail client, with its folder in program; what it started
// goes to launcher.
inline void RunJob(const std::string& job, const std::string& program,
                   testing::RecordingLauncher& launcher) {
  QuietScreen screen;
  posix::PosixFiles files(program);
  testing::FakeProcess process;
  process.commandLine = job;
  testing::FakeMailClient mail;
  RunMainWindow({screen, files, launcher, process, mail, mail});
}

}  // namespace postique::fuzz
