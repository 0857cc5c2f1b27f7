// Drives the real POSTIQUE.EXE from outside: starts it as the invoicing
// product does, finds its windows and boxes, reads them and presses their
// buttons, as a user would.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "fakes/temp_dir.h"

namespace postique::win32 {

inline constexpr DWORD kPatience = 30000;  // ms: Wine may be slow to start a process
inline const std::wstring kMainTitle = L"Envio de E-Mail (Soporta Thunderbird) 38.5";

// The folder of the running test program, where the build put every program.
std::wstring BuildFolder();

// The text of a message box: its one static control that is not the icon.
std::string BoxText(HWND box);

// Presses the box's button that gives answer (1 OK, 2 Cancel, 6 Yes, 7 No).
void Press(HWND box, int answer);

// A button (or option) of a window, by its caption, pressed with a click.
void Click(HWND window, const std::wstring& caption);

// POSTIQUE.EXE (by default the one built beside the tests) copied into a
// folder of its own, where its log and order folder go, and started there
// with the argument text.
class Postique {
 public:
  Postique(const testing::TempDir& folder, const std::string& arguments,
           const std::wstring& program = BuildFolder() + L"\\POSTIQUE.EXE");
  ~Postique();
  Postique(const Postique&) = delete;
  Postique& operator=(const Postique&) = delete;

  // A visible top-level window of the program: a message box (dialog class)
  // or one of its own, by title; null when none comes.
  HWND WaitForWindow(const std::wstring& title, bool box, DWORD patience = kPatience);
  HWND WaitForBox(DWORD patience = kPatience) { return WaitForWindow(L"Postique", true, patience); }

  // The exit status, or nothing while it still runs after the wait.
  std::optional<DWORD> Exit(DWORD wait = kPatience);

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

}  // namespace postique::win32
