// POSTIQUE.EXE [job file]: everything after the program's name on the
// command line is the path of a job file; without one the program serves
// the inbox.
#include <windows.h>

#include "app/frm_remitora.h"
#include "platform/win32/code_page.h"
#include "platform/win32/command_line.h"
#include "platform/win32/default_mail_client.h"
#include "platform/win32/mapi_client.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_launcher.h"
#include "platform/win32/win32_screen.h"

namespace {

using namespace postique;

class Win32Process : public Process {
 public:
  std::string CommandLine() override {
    return win32::Utf8(win32::ArgumentText(::GetCommandLineW()));
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  Win32Process process;
  win32::Win32Files files(win32::ExecutableFolder());
  win32::Win32Screen screen(instance);
  win32::Win32Launcher launcher(screen);
  const win32::MapiLibrary mapi = win32::MapiLibrary::System();
  win32::MapiClient mail(
      mapi,
      {[&screen] { return reinterpret_cast<ULONG_PTR>(screen.MainWindow()); },
       [] { return win32::SignOnObstacle(win32::FindDefaultMailClient(), sizeof(void*) * 8); }});
  return RunMainWindow({screen, files, launcher, process, mail, mail});
}
