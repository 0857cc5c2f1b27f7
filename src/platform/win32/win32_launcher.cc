#include "platform/win32/win32_launcher.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "platform/win32/code_page.h"
#include "platform/win32/win32_screen.h"

namespace postique::win32 {

int Win32Launcher::Open(const std::string& program, const std::string& parameters) {
  // No folder: the program starts in this process's current one.
  const HINSTANCE result = ::ShellExecuteW(screen_.MainHandle(), L"open", Wide(program).c_str(),
                                           Wide(parameters).c_str(), nullptr, SW_SHOWNORMAL);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace postique::win32
