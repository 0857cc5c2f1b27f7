// Drives the real POSTIQUE.EXE from outside: starts it as the invoicing
// product does, finds its windows and boxes, reads them and presses their
// buttons, as a user would.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"

namespace postique::win32 {

inline constexpr DWORD kPatience = 30000;  // ms: Wine may be slow to start a process
inline const std::wstring kMainTitle = L"Envio de E-Mail (Soporta Thunderbird) 38.5";

// The folder of the running test program, where the build put every program.
std::wstring BuildFolder();

// The Windows path of a folder the test run names in the environment
// variable (a Linux path), or nothing when it names none.
std::wstring FolderFromEnvironment(const char* variable);

// The folder of the 32-bit build, when the test run has one.
inline std::wstring Win32Build() {
  return FolderFromEnvironment("POSTIQUE_WIN32_BUILD");
}

// What a stand-in mail program recorded in the file when started (waiting
// for it): its command line, then each argument.
std::vector<std::string> RecordedArguments(const std::string& path);

// The stand-in Thunderbird, found by the shell through the search path as a
// real installation is, while this lives.
class ThunderbirdOnPath {
 public:
  ThunderbirdOnPath();
  ~ThunderbirdOnPath();
  // What it recorded when started: its command line, then each argument.
  std::vector<std::string> Recorded() const;

 private:
  testing::TempDir bin_;
  std::wstring path_;
};

// The version a program's version resource gives, as four numbers; empty
// when it has none.
std::string FileVersion(const std::wstring& program);

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
  // An installed program, started where it is, in its own folder.
  struct InPlace {};
  Postique(InPlace, const std::wstring& program, const std::string& arguments);
  ~Postique();
  Postique(const Postique&) = delete;
  Postique& operator=(const Postique&) = delete;

  // A visible top-level window of the program: a message box (dialog class)
  // or one of its own, by title; null when none comes.
  HWND WaitForWindow(const std::wstring& title, bool box, DWORD patience = kPatience);
  HWND WaitForBox(DWORD patience = kPatience) { return WaitForWindow(L"Postique", true, patience); }

  // The exit status, or nothing while it still runs after the wait.
  std::optional<DWORD> Exit(DWORD wait = kPatience);
  // Closes the main window as a user does; false when it does not come.
  bool CloseMainWindow();
  // Ends it from outside at once, as the task manager does, and waits for it.
  void Kill();

 private:
  void Start(const std::wstring& program, const std::string& arguments, const std::wstring& folder);

  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

}  // namespace postique::win32
