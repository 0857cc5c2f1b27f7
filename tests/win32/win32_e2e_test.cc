// The real POSTIQUE.EXE, started as the invoicing product starts it, and
// answered through its own windows as a user would: find the box, read it,
// press its button.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"
#include "win32/postique_driver.h"
#include "win32/window_probe.h"

namespace postique::win32 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(Postique, AThunderbirdJobIsHandedOverLoggedAndDeleted) {
  TempDir folder;
  const ThunderbirdOnPath thunderbird;

  const std::string job = folder / "trabajo.txt";
  WriteFile(job,
            "ana@example.es\r\nFactura A\xf1o \x80\r\ncuerpo, con coma\r\n"
            "C:\\f\\a.pdf;C:\\f\\b b.pdf\r\n\r\nT\r\n");
  Postique postique(folder, job);
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_FALSE(Exists(job)) << "the job is deleted";

  const std::string compose =
      "attachment='C:\\f\\a.pdf,C:\\f\\b b.pdf',to='ana@example.es',subject='Factura A\xf1o "
      "\x80',body='cuerpo, con coma'";
  EXPECT_EQ(ReadFile(folder / "thunderbird.log"), "thunderbird -compose \"" + compose + "\"\r\n");
  const std::vector<std::string> args = thunderbird.Recorded();
  ASSERT_EQ(args.size(), 3u) << "the command line and exactly two arguments";
  EXPECT_EQ(args[1], "-compose");
  EXPECT_EQ(args[2],
            "attachment='C:\\f\\a.pdf,C:\\f\\b b.pdf',to='ana@example.es',subject='Factura Año "
            "€',body='cuerpo, con coma'");
}

TEST(Postique, AMissingJobIsReportedAndTheMainWindowStaysIdle) {
  TempDir folder;
  const std::string job = folder / "no existe.txt";
  Postique postique(folder, job);
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), " Falta el archivo " + job);
  EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr) << "OK only";
  Press(box, IDOK);
  const HWND main = postique.WaitForWindow(kMainTitle, false);
  ASSERT_NE(main, nullptr);
  for (DWORD waited = 0; !::IsWindowEnabled(main) && waited < kPatience; waited += 50) ::Sleep(50);
  EXPECT_TRUE(::IsWindowEnabled(main)) << "idle, no box over it";
  EXPECT_FALSE(postique.Exit(500)) << "it keeps running";
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(postique.Exit(), 0u);
}

TEST(Postique, AJobWithoutAMethodAsksAndCanBeCancelled) {
  TempDir folder;
  const std::string job = folder / "trabajo.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nAdjunta\r\n\r\n");
  Postique postique(folder, job);
  const HWND dialog = postique.WaitForWindow(L"Forma de envio del MAIL", false);
  ASSERT_NE(dialog, nullptr);
  const auto option = [&](const wchar_t* caption) {
    return FindWindowWhere(dialog, [&](HWND child) { return TextOf(child) == caption; });
  };
  EXPECT_EQ(::SendMessageW(option(L"nada"), BM_GETCHECK, 0, 0), BST_CHECKED);
  for (const wchar_t* other :
       {L"Enviar con OUTLOOK", L"Enviar con THUNTERBIRD", L"Cancelar envio"}) {
    EXPECT_EQ(::SendMessageW(option(other), BM_GETCHECK, 0, 0), BST_UNCHECKED) << Utf8(other);
  }
  EXPECT_FALSE(Exists(job)) << "deleted before asking";
  Click(dialog, L"Cancelar envio");
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "Cancelado el envio");
  Press(box, IDOK);
  EXPECT_EQ(postique.Exit(), 0u);
}

}  // namespace
}  // namespace postique::win32
