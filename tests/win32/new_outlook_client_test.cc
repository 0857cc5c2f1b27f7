#include "platform/win32/new_outlook_client.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"

namespace postique::win32 {
namespace {

constexpr wchar_t kAppPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\olk.exe";

void Register(HKEY root, const std::wstring& path) {
  ASSERT_EQ(::RegSetKeyValueW(root, kAppPath, nullptr, REG_SZ, path.c_str(),
                              static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
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
  ::RegDeleteKeyW(HKEY_CURRENT_USER, kAppPath);
  Register(HKEY_LOCAL_MACHINE, program);
  EXPECT_EQ(FindNewOutlook(), program) << "then per machine";
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kAppPath);
}

}  // namespace
}  // namespace postique::win32
