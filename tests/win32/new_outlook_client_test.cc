#include "platform/win32/new_outlook_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"

namespace postique::win32 {
namespace {

constexpr wchar_t kAppPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\olk.exe";

// In the 64-bit view of the registry, where the new Outlook registers: the
// one a 32-bit program does not see unless it asks for it.
void Register(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(root, kAppPath, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                              nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void Unregister(HKEY root) {
  ::RegDeleteKeyExW(root, kAppPath, KEY_WOW64_64KEY, 0);
}

TEST(NewOutlook, IsFoundWhereItsAppPathNamesAFileThatExists) {
  testing::TempDir bin;
  testing::WriteFile(bin / "olk.exe", "MZ");
  const std::wstring program = Wide(bin / "olk.exe");
  EXPECT_EQ(FindNewOutlook(), L"") << "not installed";
  Register(HKEY_LOCAL_MACHINE, Wide(bin / "otro.exe"));
  EXPECT_EQ(FindNewOutlook(), L"") << "a file that does not exist";
  Register(HKEY_CURRENT_USER, L"\"" + program + L"\"");
  EXPECT_EQ(FindNewOutlook(), program) << "per user first, quotes dropped";
  Unregister(HKEY_CURRENT_USER);
  Register(HKEY_LOCAL_MACHINE, program);
  EXPECT_EQ(FindNewOutlook(), program) << "then per machine, in the 64-bit view";
  Unregister(HKEY_LOCAL_MACHINE);
}

// The send starts a program: the 32-bit side runs each process through an
// emulator on the test machines, a minute or two; so it is built 64-bit only.
#ifdef _WIN64
// A file's last write, days ago.
void Age(const std::string& path, int days) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000;
  const FILETIME then{t.LowPart, t.HighPart};
  ::SetFileTime(file, nullptr, nullptr, &then);
  ::CloseHandle(file);
}

TEST(NewOutlook, ASendWithoutConfirmationSaysTheMessageWaitsAndOldDraftsGo) {
  testing::TempDir drafts;
  testing::WriteFile(drafts / "Postique-viejo.eml", "ocho días");
  Age(drafts / "Postique-viejo.eml", 8);
  testing::WriteFile(drafts / "Postique-reciente.eml", "seis días");
  Age(drafts / "Postique-reciente.eml", 6);
  std::vector<std::string> status;
  // The tests' stand-in, built beside this program, records its start.
  std::wstring self(MAX_PATH, L'\0');
  self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  const std::wstring program = self.substr(0, self.find_last_of(L'\\')) + L"\\olk.exe";
  NewOutlookClient client(
      {program, Wide(drafts.path()), [&](const std::string& text) { status.push_back(text); }});
  client.SignOn();
  client.SetSessionID(client.SessionID());
  client.Compose();
  client.SetRecipDisplayName("ana@example.es");
  client.SetMsgSubject("Factura");
  client.SetMsgNoteText("Adjunta");
  client.ResolveName();
  client.Send(false);
  EXPECT_EQ(status,
            std::vector<std::string>{"El mensaje espera en Outlook: envíelo desde su ventana"});
  const std::vector<std::string> left = testing::List(drafts.path());
  EXPECT_EQ(std::count(left.begin(), left.end(), "Postique-viejo.eml"), 0) << "over seven days";
  EXPECT_EQ(std::count(left.begin(), left.end(), "Postique-reciente.eml"), 1);
  EXPECT_EQ(left.size(), 2u) << "the new draft, whole, and no temporary file";
  EXPECT_EQ(testing::FailureNumber([&] { client.SetRecipDisplayName("ana@example.es"); }), 32017)
      << "sent: none composed";
}
#endif

}  // namespace
}  // namespace postique::win32
