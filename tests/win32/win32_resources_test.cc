// What Windows reads from the built programs before it runs them: the
// manifest, the version resource and the icon, of both builds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/code_page.h"
#include "win32/postique_driver.h"

namespace postique::win32 {
namespace {

// The programs of both builds; the 32-bit one where the run has it.
std::vector<std::wstring> Programs() {
  std::vector<std::wstring> programs{BuildFolder() + L"\\POSTIQUE.EXE"};
  if (!Win32Build().empty()) programs.push_back(Win32Build() + L"\\POSTIQUE.EXE");
  return programs;
}

// A program's resources, read as data: it is not run, and its bitness may
// differ from this one's.
class Resources {
 public:
  explicit Resources(const std::wstring& program)
      : module_(::LoadLibraryExW(program.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~Resources() {
    if (module_) ::FreeLibrary(module_);
  }
  bool loaded() const { return module_ != nullptr; }
  std::string Get(LPCWSTR type, int id) const {
    const HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (!found) return "";
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
    return std::string(bytes, ::SizeofResource(module_, found));
  }

 private:
  HMODULE module_;
};

TEST(Resources, EachProgramAsksForThemesDpiLongPathsAndNoAdministrator) {
  for (const std::wstring& program : Programs()) {
    const Resources resources(program);
    ASSERT_TRUE(resources.loaded()) << Utf8(program);
    const std::string manifest = resources.Get(MAKEINTRESOURCEW(24), 1);
    for (const char* wanted : {
             "<requestedExecutionLevel level=\"asInvoker\"",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
             ">PerMonitorV2, PerMonitor</dpiAwareness>",
             ">true/pm</dpiAware>",
             ">true</longPathAware>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
         }) {
      EXPECT_NE(manifest.find(wanted), std::string::npos) << Utf8(program) << ": " << wanted;
    }
    EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos) << "the ANSI code page stays";
  }
}

TEST(Resources, EachProgramCarriesItsVersionAndItsIconInFourSizes) {
  for (const std::wstring& program : Programs()) {
    std::vector<char> data(::GetFileVersionInfoSizeW(program.c_str(), nullptr));
    ASSERT_FALSE(data.empty()) << Utf8(program);
    ASSERT_TRUE(
        ::GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    const auto value = [&](const wchar_t* name) {
      wchar_t* text = nullptr;
      UINT length = 0;
      const std::wstring path = std::wstring(L"\\StringFileInfo\\0c0a04b0\\") + name;
      return ::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)
                 ? Utf8(std::wstring(text, length ? length - 1 : 0))
                 : "";
    };
    EXPECT_EQ(value(L"ProductName"), "Postique");
    EXPECT_NE(value(L"FileDescription"), "");
    EXPECT_EQ(value(L"FileVersion"), POSTIQUE_VERSION);
    EXPECT_EQ(value(L"ProductVersion"), POSTIQUE_VERSION);
    EXPECT_EQ(value(L"OriginalFilename"), "POSTIQUE.EXE");
    EXPECT_EQ(FileVersion(program), POSTIQUE_VERSION);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    // The icon group: a count, then 14 bytes an image (width, height, ...,
    // bits per pixel at 6); a width of 0 is 256.
    const Resources resources(program);
    const std::string group = resources.Get(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), 6u);
    const size_t count = static_cast<unsigned char>(group[4]);
    ASSERT_EQ(group.size(), 6 + 14 * count);
    std::vector<int> sizes;
    for (size_t i = 0; i < count; ++i) {
      const int width = static_cast<unsigned char>(group[6 + 14 * i]);
      sizes.push_back(width ? width : 256);
      if (width == 16) {
        EXPECT_EQ(group[6 + 14 * i + 6], 8) << "the windows' 256-colour image";
      }
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256})) << Utf8(program);
  }
}

}  // namespace
}  // namespace postique::win32
