// postique [job file]: the whole argument text, joined with single blanks,
// is the path of a job file; without one the program serves the inbox.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "app/frm_remitora.h"
#include "platform/posix/desktop_screen.h"
#include "platform/posix/maildir_client.h"
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

// The profile is the user's Maildir, named as Unix mail programs name it.
std::string MaildirProfile() {
  if (const char* maildir = std::getenv("MAILDIR"); maildir && *maildir) return maildir;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = ::getpwuid(::getuid());
    home = user ? user->pw_dir : "";
  }
  return std::string(home) + "/Maildir";
}

}  // namespace

int main(int argc, char** argv) {
  ArgumentsProcess process(argc, argv);
  posix::PosixFiles files(posix::ExecutableFolder());
  posix::PosixLauncher launcher;
  // The desktop window when a display is there, the terminal otherwise.
  const std::unique_ptr<posix::DesktopScreen> desktop = posix::DesktopScreen::Open();
  posix::TerminalScreen terminal(std::cin, std::cout);
  Screen& screen = desktop ? static_cast<Screen&>(*desktop) : terminal;
  posix::MaildirClient mail(screen, MaildirProfile());
  return RunMainWindow({screen, files, launcher, process, mail, mail});
}
