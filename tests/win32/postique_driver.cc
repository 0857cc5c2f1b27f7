#include "win32/postique_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win32/code_page.h"
#include "win32/window_probe.h"

namespace postique::win32 {

std::wstring BuildFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring FolderFromEnvironment(const char* variable) {
  const char* folder = std::getenv(variable);
  if (!folder || !*folder) return {};
  std::wstring path = L"Z:" + Wide(folder);
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

ThunderbirdOnPath::ThunderbirdOnPath() {
  EXPECT_TRUE(::CopyFileW((BuildFolder() + L"\\thunderbird.exe").c_str(),
                          Wide(bin_ / "thunderbird.exe").c_str(), FALSE));
  path_.resize(32767);
  path_.resize(::GetEnvironmentVariableW(L"PATH", path_.data(), 32767));
  ::SetEnvironmentVariableW(L"PATH", (Wide(bin_.path()) + L";" + path_).c_str());
}

ThunderbirdOnPath::~ThunderbirdOnPath() {
  ::SetEnvironmentVariableW(L"PATH", path_.c_str());
}

std::vector<std::string> ThunderbirdOnPath::Recorded() const {
  return RecordedArguments(bin_ / "thunderbird-args.txt");
}

std::vector<std::string> RecordedArguments(const std::string& path) {
  for (DWORD waited = 0; !testing::Exists(path) && waited < kPatience; waited += 100) ::Sleep(100);
  ::Sleep(200);  // written in one go, but give it time to close
  const std::string record = testing::ReadFile(path);
  std::vector<std::string> parts;
  for (size_t start = 0, end; (end = record.find('\0', start)) != std::string::npos;
       start = end + 1) {
    parts.push_back(record.substr(start, end - start));
  }
  return parts;
}

std::string FileVersion(const std::wstring& path) {
  std::vector<char> data(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (data.empty() ||
      !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size)) {
    return "";
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed->dwFileVersionLS));
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
  Start(installed, arguments, Wide(folder.path()));
}

Postique::Postique(InPlace, const std::wstring& program, const std::string& arguments) {
  Start(program, arguments, program.substr(0, program.find_last_of(L'\\')));
}

void Postique::Start(const std::wstring& program, const std::string& arguments,
                     const std::wstring& folder) {
  std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + Wide(arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  started_ = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &startup, &process_);
  EXPECT_TRUE(started_) << Utf8(program);
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

bool Postique::CloseMainWindow() {
  const HWND main = WaitForWindow(kMainTitle, false);
  if (main) ::PostMessageW(main, WM_CLOSE, 0, 0);
  return main != nullptr;
}

void Postique::Kill() {
  if (!started_) return;
  ::TerminateProcess(process_.hProcess, 99);
  ::WaitForSingleObject(process_.hProcess, kPatience);
}

}  // namespace postique::win32
