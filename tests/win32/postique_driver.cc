#include "win32/postique_driver.h"

#include <gtest/gtest.h>

#include "platform/win32/code_page.h"
#include "win32/window_probe.h"

namespace postique::win32 {

std::wstring BuildFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\'));
}

std::string BoxText(HWND box) {
  const HWND text = FindWindowWhere(box, [](HWND child) {
    return _wcsicmp(ClassOf(child).c_str(), L"Static") == 0 &&
           !(::GetWindowLongPtrW(child, GWL_STYLE) & SS_ICON) && ::GetWindowTextLengthW(child) > 0;
  });
  return text ? Utf8(TextOf(text)) : "";
}

namespace {

void ClickOn(HWND button) {
  DWORD_PTR ignored;
  ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kPatience, &ignored);
}

}  // namespace

void Press(HWND box, int answer) {
  const HWND button = ::GetDlgItem(box, answer);
  ASSERT_NE(button, nullptr) << "no button " << answer;
  ClickOn(button);
}

void Click(HWND window, const std::wstring& caption) {
  const HWND button = FindWindowWhere(window, [&](HWND child) { return TextOf(child) == caption; });
  ASSERT_NE(button, nullptr) << "no button " << Utf8(caption);
  ClickOn(button);
}

Postique::Postique(const testing::TempDir& folder, const std::string& arguments,
                   const std::wstring& program) {
  const std::wstring installed = Wide(folder / "POSTIQUE.EXE");
  EXPECT_TRUE(::CopyFileW(program.c_str(), installed.c_str(), FALSE)) << Utf8(program);
  std::wstring line =
      L"\"" + installed + L"\"" + (arguments.empty() ? L"" : L" " + Wide(arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  started_ = ::CreateProcessW(installed.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              Wide(folder.path()).c_str(), &startup, &process_);
  EXPECT_TRUE(started_);
}

Postique::~Postique() {
  if (!started_) return;
  if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.hProcess, 99);
  }
  ::CloseHandle(process_.hThread);
  ::CloseHandle(process_.hProcess);
}

HWND Postique::WaitForWindow(const std::wstring& title, bool box, DWORD patience) {
  const auto ours = [&](HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid == process_.dwProcessId && ::IsWindowVisible(hwnd) && TextOf(hwnd) == title &&
           (ClassOf(hwnd) == L"#32770") == box;
  };
  for (DWORD waited = 0; started_ && waited < patience; waited += 50) {
    if (const HWND found = FindWindowWhere(nullptr, ours)) return found;
    if (::WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  return nullptr;
}

std::optional<DWORD> Postique::Exit(DWORD wait) {
  if (!started_ || ::WaitForSingleObject(process_.hProcess, wait) != WAIT_OBJECT_0) return {};
  DWORD status = 0;
  ::GetExitCodeProcess(process_.hProcess, &status);
  return status;
}

}  // namespace postique::win32
