// POSTIQUE.EXE [job file]: everything after the program's name on the
// command line is the path of a job file; without one the program serves
// the inbox.
#include <windows.h>

#include "app/frm_remitora.h"
#include "platform/win32/code_page.h"
#include "platform/win32/command_line.h"
#include "platform/win32/default_mail_client.h"
#include "platform/win32/mapi_client.h"
#include "platform/win32/new_outlook_client.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_launcher.h"
#include "platform/win32/win32_screen.h"

namespace {

using namespace postique;

class Win32Process : public Process {
 public:
  std::string CommandLine() override {
    return win32::Utf8(win32::JobPath(win32::ArgumentText(::GetCommandLineW())));
  }
};

int Run(HINSTANCE instance) {
  Win32Process process;
  win32::Win32Files files(win32::ExecutableFolder());
  win32::Win32Screen screen(instance);
  win32::Win32Launcher launcher(screen);
  const win32::MapiLibrary mapi = win32::MapiLibrary::System();
  win32::MapiClient mapiClient(
      mapi,
      {[&screen] { return reinterpret_cast<ULONG_PTR>(screen.MainHandle()); },
       [] { return win32::SignOnObstacle(win32::FindDefaultMailClient(), sizeof(void*) * 8); },
       [] { return win32::FindDefaultMailClient().name; }});
  // Without a usable Simple MAPI mail program, the new Outlook where it is
  // installed; otherwise Simple MAPI, whose sign-on says what is missing.
  const win32::DefaultMailClient client = win32::FindDefaultMailClient();
  const bool mapiUsable = !client.name.empty() && client.libraryFound;
  const std::wstring olk = mapiUsable ? L"" : win32::FindNewOutlook();
  frmRemitora* window = nullptr;
  win32::NewOutlookClient outlook({olk, win32::DraftsFolder(), [&window](const std::string& text) {
                                     if (window) window->SetStatus(text);
                                   }});
  MAPISession& session = olk.empty() ? static_cast<MAPISession&>(mapiClient) : outlook;
  MAPIMessages& messages = olk.empty() ? static_cast<MAPIMessages&>(mapiClient) : outlook;
  return RunMainWindow({screen, files, launcher, process, session, messages},
                       [&window](frmRemitora& made) { window = &made; });
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // A window that cannot be made (a desktop bound to no display) ends the
  // program in a box where one can still be shown, never in a crash; the
  // job, not yet read, stays for the caller.
  try {
    return Run(instance);
  } catch (const std::exception& e) {
    const std::wstring text =
        L"Postique no ha podido abrir su ventana y termina sin leer el "
        L"trabajo: " +
        win32::Wide(e.what());
    ::MessageBoxW(nullptr, text.c_str(), L"Postique", MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
    return kExitNoWindow;
  }
}
