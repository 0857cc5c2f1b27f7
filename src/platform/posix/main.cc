// postique [job file]: the whole argument text, joined with single blanks,
// is the path of a job file; without one the program serves the inbox.
#include <iostream>
#include <string>

#include "app/frm_remitora.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_launcher.h"
#include "platform/posix/terminal_screen.h"

namespace {

using namespace postique;

class ArgumentsProcess : public Process {
 public:
  ArgumentsProcess(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) line_ += ' ';
      line_ += argv[i];
    }
  }
  std::string CommandLine() override { return line_; }

 private:
  std::string line_;
};

// No mail client is configured on this system yet: signing on says so, and
// nothing else can work without a session.
class NoMailClient : public MAPISession, public MAPIMessages {
 public:
  void SetDownLoadMail(bool) override {}
  void SignOn() override {
    Raise(Err::kMapiLoginFailure, "no hay ningún cliente de correo configurado en este sistema");
  }
  std::intptr_t SessionID() override { NoSession(); }
  void SignOff() override { NoSession(); }
  void SetSessionID(std::intptr_t) override { NoSession(); }
  void Compose() override { NoSession(); }
  void SetRecipDisplayName(const std::string&) override { NoSession(); }
  void SetMsgSubject(const std::string&) override { NoSession(); }
  void SetMsgNoteText(const std::string&) override { NoSession(); }
  void SetAttachmentIndex(int) override { NoSession(); }
  void SetAttachmentPathName(const std::string&) override { NoSession(); }
  void SetAttachmentName(const std::string&) override { NoSession(); }
  void ResolveName() override { NoSession(); }
  void Send(bool) override { NoSession(); }
  void SetFetchUnreadOnly(bool) override { NoSession(); }
  void Fetch() override { NoSession(); }
  int MsgCount() override { NoSession(); }
  int MsgIndex() override { NoSession(); }
  void SetMsgIndex(int) override { NoSession(); }
  std::string MsgDateReceived() override { NoSession(); }
  std::string MsgOrigDisplayName() override { NoSession(); }
  std::string MsgSubject() override { NoSession(); }
  std::string MsgNoteText() override { NoSession(); }
  int AttachmentCount() override { NoSession(); }
  std::string AttachmentPathName() override { NoSession(); }

 private:
  [[noreturn]] static void NoSession() { Raise(Err::kMapiInvalidSession); }
};

}  // namespace

int main(int argc, char** argv) {
  ArgumentsProcess process(argc, argv);
  posix::PosixFiles files(posix::ExecutableFolder());
  posix::PosixLauncher launcher;
  posix::TerminalScreen screen(std::cin, std::cout);
  NoMailClient mail;
  frmRemitora window({screen, files, launcher, process, mail, mail});
  try {
    window.Show();
    screen.Run(window);
    return kExitNormal;
  } catch (const ProgramEnd& end) {
    return end.status;
  }
}
