// The real POSTIQUE.EXE over a real mail session: Wine's mapi32.dll hands
// every call to the tests' own Simple MAPI mail program (mapi_provider.cc),
// registered as the system's default mail client.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <msi.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"
#include "win32/postique_driver.h"
#include "win32/window_probe.h"

namespace postique::win32 {
namespace {

using testing::Exists;
using testing::Join;
using testing::List;
using testing::Native;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr wchar_t kClients[] = L"Software\\Clients\\Mail";
constexpr wchar_t kName[] = L"PostiqueTest";

// The default mail program, per machine, in the registry view of one
// bitness; what was there before comes back at the end.
class DefaultMailProgram {
 public:
  DefaultMailProgram() {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      HKEY key;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kClients, 0, KEY_READ | view, &key) !=
          ERROR_SUCCESS) {
        continue;
      }
      wchar_t name[256] = {};
      DWORD size = sizeof name;
      if (::RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(name),
                             &size) == ERROR_SUCCESS) {
        saved_.push_back({view, name});
      }
      ::RegCloseKey(key);
    }
  }
  ~DefaultMailProgram() {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) Set(view, {}, {});
    for (const auto& [view, name] : saved_) SetName(view, name);
  }
  // The mail program the view names, and its library; an empty name: none.
  void Set(REGSAM view, const std::wstring& name, const std::wstring& library) {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClients) + L"\\" + kName).c_str(), view,
                      0);
    SetName(view, name);
    if (name.empty()) return;
    HKEY key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kClients) + L"\\" + name).c_str(),
                                0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, L"DLLPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(library.c_str()),
                     static_cast<DWORD>((library.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  // The tests' mail program, each bitness its own build.
  void SetOurs() {
    Set(KEY_WOW64_64KEY, kName, BuildFolder() + L"\\postique_test_mapi.dll");
    if (!Win32Build().empty()) {
      Set(KEY_WOW64_32KEY, kName, Win32Build() + L"\\postique_test_mapi.dll");
    }
  }

 private:
  static void SetName(REGSAM view, const std::wstring& name) {
    HKEY key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kClients, 0, nullptr, 0, KEY_WRITE | view, nullptr,
                          &key, nullptr) != ERROR_SUCCESS) {
      return;
    }
    if (name.empty()) {
      ::RegDeleteValueW(key, nullptr);
    } else {
      ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
  }
  std::vector<std::pair<REGSAM, std::wstring>> saved_;
};

// A mail folder for the tests' mail program: its inbox and what it was sent.
struct Mailbox {
  Mailbox() { ::SetEnvironmentVariableW(L"POSTIQUE_TEST_MAIL", Wide(folder.path()).c_str()); }
  ~Mailbox() { ::SetEnvironmentVariableW(L"POSTIQUE_TEST_MAIL", nullptr); }
  std::string Sent() const {
    return Exists(folder / "sent.txt") ? ReadFile(folder / "sent.txt") : "";
  }
  TempDir folder;
  DefaultMailProgram registry;
};

// A folder the environment names, and a path under it.
std::string KnownFolder(const char* variable, const std::string& under) {
  return Utf8(_wgetenv(Wide(variable).c_str())) + "\\" + under;
}

// A six-line job in the ANSI code page with two attachments that exist.
std::string SixLineJob(const TempDir& work, const std::string& dialogo) {
  WriteFile(work / "factura 42.pdf", "%PDF-1.4");
  WriteFile(work / "albarán.txt", "albarán");
  const std::string job = work / "trabajo.txt";
  WriteFile(job, "ana@example.es;pepe@example.es\r\nFactura 42 a\xf1o\r\nAdjunta la factura\r\n" +
                     Utf8ToAnsi(work / "factura 42.pdf") + ";" + Utf8ToAnsi(work / "albarán.txt") +
                     "\r\n" + dialogo + "\r\nO\r\n");
  return job;
}

std::string ExpectedSent(const TempDir& work, int flags) {
  return "Flags: " + std::to_string(flags) +
         "\r\nTo: ana@example.es|SMTP:ana@example.es\r\nTo: pepe@example.es|SMTP:pepe@example.es"
         "\r\nSubject: Factura 42 a\xf1o\r\nBody: Adjunta la factura\r\nFile: " +
         Utf8ToAnsi(work / "factura 42.pdf") +
         "|factura 42.pdf|-1\r\nFile: " + Utf8ToAnsi(work / "albarán.txt") +
         "|albar\xe1n.txt|-1\r\n.\r\n";
}

TEST(PostiqueMapi, AJobIsSentThroughTheDefaultMailProgramAsItAsks) {
  Mailbox mail;
  mail.registry.SetOurs();
  const struct {
    const char* dialogo;
    int flags;
  } cases[] = {{"0", 0}, {"1", 8}};  // 8: the mail program's own window first
  for (const auto& c : cases) {
    TempDir folder, work;
    const std::string job = SixLineJob(work, c.dialogo);
    Postique postique(folder, job);
    EXPECT_EQ(postique.Exit(), 0u) << c.dialogo;
    EXPECT_FALSE(Exists(job));
    EXPECT_EQ(mail.Sent(), ExpectedSent(work, c.flags)) << "every recipient, names only";
    ::DeleteFileW(Wide(mail.folder / "sent.txt").c_str());
  }
}

// A path with blanks, as Windows' own shell and most callers pass it: in
// quotes. Written as it is, it works as before.
TEST(PostiqueMapi, AJobGivenByAQuotedPathIsSent) {
  Mailbox mail;
  mail.registry.SetOurs();
  for (const bool quoted : {true, false}) {
    TempDir folder, work;
    std::filesystem::create_directory(Wide(work / "mis trabajos de año"));
    const std::string job = work / "mis trabajos de año/trabajo nº 1.txt";
    std::filesystem::rename(Wide(SixLineJob(work, "0")), Wide(job));
    Postique postique(folder, quoted ? "\"" + job + "\"" : job);
    EXPECT_EQ(postique.Exit(), 0u) << quoted;
    EXPECT_FALSE(Exists(job)) << quoted;
    EXPECT_EQ(mail.Sent(), ExpectedSent(work, 0)) << quoted;
    ::DeleteFileW(Wide(mail.folder / "sent.txt").c_str());
  }
}

// The attachment files the tests' mail program wrote and nobody removed;
// with clear, its folders are removed first.
int ProviderCopies(bool clear = false) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temp)) {
    if (entry.path().filename().wstring().rfind(L"postique-provider-", 0) != 0) continue;
    if (clear) {
      std::filesystem::remove_all(entry.path());
      continue;
    }
    for (const auto& file : std::filesystem::directory_iterator(entry.path())) {
      files += file.is_regular_file();
    }
  }
  return files;
}

TEST(PostiqueMapi, OrdersOfTheInboxLandInMapiInAndTheBrowserPagesThrough) {
  ProviderCopies(true);
  Mailbox mail;
  mail.registry.SetOurs();
  TempDir folder, files;
  const std::string order7(std::string("pedido 7\r\n\0\xff fin", 16));
  WriteFile(files / "pedido7.txt", order7);
  WriteFile(files / "foto.jpg", "jpg");
  WriteFile(files / "pedido8.csv", "a;b\r\n1;2\r\n");
  WriteFile(files / "otro.pdf", "%PDF");
  WriteFile(mail.folder / "inbox.txt",
            "Subject: PEDIDO TRAMBELO 7\r\nFrom: Cliente Uno\r\nDate: 2026/12/01 09:00\r\n"
            "Body: El pedido\r\nAttach: " +
                files / "pedido7.txt" +
                "\r\n\r\n"
                "Subject: Hola\r\nFrom: Amigo\r\nDate: 2026/12/02 10:00\r\nBody: Mira\r\nAttach: " +
                files / "foto.jpg" +
                "\r\n\r\n"
                "Subject: Re: pedido trambelo 8\r\nFrom: Cliente Dos\r\nDate: 2026/12/03 11:00\r\n"
                "Body: Otro\r\nUnread: 0\r\nAttach: " +
                files / "pedido8.csv" + "\r\nAttach: " + files / "otro.pdf" + "\r\n");
  Postique postique(folder, "");
  for (const char* name : {"pedido7.txt", "pedido8.csv"}) {
    const HWND box = postique.WaitForBox();
    ASSERT_NE(box, nullptr) << name;
    EXPECT_EQ(BoxText(box), "Se ha copiado un archivo de datos en \r\n\r\n" +
                                Join(folder / "MapiIn", name) +
                                "\r\n\r\nProcese el archivo antes de continuar");
    Press(box, IDOK);
  }
  HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "3 correos analizados");
  Press(box, IDOK);
  EXPECT_EQ(List(folder / "MapiIn"), (std::vector<std::string>{"pedido7.txt", "pedido8.csv"}));
  EXPECT_EQ(ReadFile(Join(folder / "MapiIn", "pedido7.txt")), order7) << "byte for byte";
  EXPECT_EQ(ReadFile(Join(folder / "MapiIn", "pedido8.csv")), "a;b\r\n1;2\r\n");

  const HWND main = postique.WaitForWindow(kMainTitle, false);
  ASSERT_NE(main, nullptr);
  Click(main, L"Vistazo a Bandeja Entrada");
  for (int i = 1; i <= 3; ++i) {
    box = postique.WaitForBox();
    ASSERT_NE(box, nullptr) << i;
    EXPECT_EQ(BoxText(box), "Message " + std::to_string(i) + " of 3");
    Press(box, IDOK);
  }
  const HWND subject =
      FindWindowWhere(main, [](HWND c) { return TextOf(c) == L"Re: pedido trambelo 8"; });
  EXPECT_NE(subject, nullptr) << "the last message stays in the fields";
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_EQ(ProviderCopies(), 0) << "a temporary attachment file was left behind";
}

// A mail program that hands back, as an attachment's temporary copy, a
// file it keeps (one outside the temporary folder, one that was there before
// the read): the scan leaves them, and removes only the copies it made.
TEST(PostiqueMapi, OnlyTheMailProgramsOwnTemporaryCopiesAreRemoved) {
  ProviderCopies(true);
  Mailbox mail;
  mail.registry.SetOurs();
  TempDir folder, files;
  const std::string outside = "C:\\postique-fuera-" + std::to_string(::GetTickCount64()) + ".csv";
  WriteFile(outside, "fuera");
  WriteFile(files / "guardado.csv", "del usuario");
  WriteFile(files / "pedido9.txt", "pedido 9");
  WriteFile(mail.folder / "inbox.txt",
            "Subject: PEDIDO TRAMBELO 9\r\nFrom: Cliente\r\nDate: 2026/12/01 09:00\r\n"
            "Body: b\r\nAttach: " +
                files / "pedido9.txt" + "\r\nHand: " + outside +
                "\r\nHand: " + files / "guardado.csv" +
                "\r\n\r\nSubject: PEDIDO TRAMBELO 10\r\nFrom: Cliente\r\n"
                "Date: 2026/12/01 10:00\r\nBody: b\r\nHand: " +
                outside + "\r\n");
  Postique postique(folder, "");
  const std::string name = outside.substr(3);
  for (const std::string& copied : {std::string("pedido9.txt"), name}) {
    const HWND box = postique.WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Se ha copiado un archivo de datos en \r\n\r\n" +
                                Join(folder / "MapiIn", copied) +
                                "\r\n\r\nProcese el archivo antes de continuar");
    Press(box, IDOK);
  }
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "2 correos analizados");
  Press(box, IDOK);
  ASSERT_TRUE(postique.CloseMainWindow());
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_EQ(ReadFile(outside), "fuera");
  EXPECT_EQ(ReadFile(files / "guardado.csv"), "del usuario");
  EXPECT_EQ(ProviderCopies(), 0) << "a temporary attachment file was left behind";
  ::DeleteFileW(Wide(outside).c_str());
}

// One that gives a new message every time it is asked, for ever.
TEST(PostiqueMapi, AMailProgramThatNeverStopsListingIsStoppedWithABox) {
  Mailbox mail;
  mail.registry.SetOurs();
  WriteFile(mail.folder / "inbox.txt", "Subject: uno\r\nFrom: a\r\nDate: 2026/12/01 09:00\r\n");
  WriteFile(mail.folder / "endless.txt", "");
  TempDir folder;
  Postique postique(folder, "");
  HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr) << "a box, never a hang";
  EXPECT_EQ(BoxText(box).rfind("No se ha podido leer la bandeja de entrada: ", 0), 0u)
      << BoxText(box);
  EXPECT_NE(BoxText(box).find("no deja de dar mensajes"), std::string::npos) << BoxText(box);
  Press(box, IDOK);
  box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "0 correos analizados");
  Press(box, IDOK);
  ASSERT_TRUE(postique.CloseMainWindow());
  EXPECT_EQ(postique.Exit(), 0u);
}

// Ended from outside while it copies a large order: nothing half is left in
// the order folder, hidden or not, and the next run copies it whole.
TEST(PostiqueMapi, ARunKilledMidCopyLeavesNothingStaged) {
  ProviderCopies(true);
  Mailbox mail;
  mail.registry.SetOurs();
  TempDir folder, files;
  std::string order(96 << 20, 'p');
  order.replace(0, 5, "%PDF-");
  WriteFile(files / "pedido.pdf", order);
  WriteFile(mail.folder / "inbox.txt",
            "Subject: PEDIDO TRAMBELO grande\r\nFrom: Cliente\r\nDate: 2026/12/01 09:00\r\n"
            "Body: b\r\nAttach: " +
                files / "pedido.pdf" + "\r\n");
  const auto staged = [&] {
    std::vector<std::string> found;
    std::error_code none;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "MapiIn", none)) {
      if (entry.path().filename().string() != "pedido.pdf") found.push_back(entry.path().string());
    }
    return found;
  };
  {
    Postique killed(folder, "");
    bool copying = false;
    for (int i = 0; i < 60000 && !copying; ++i) {
      copying = !staged().empty();
      if (!copying) ::Sleep(1);
    }
    killed.Kill();
    ASSERT_TRUE(copying) << "ended before its copy began";
  }
  EXPECT_TRUE(staged().empty()) << staged().front();
  EXPECT_FALSE(Exists(Join(folder / "MapiIn", "pedido.pdf"))) << "never a half order";
  Postique postique(folder, "");
  for (const char* told : {"Se ha copiado", "1 correos analizados"}) {
    const HWND box = postique.WaitForBox(120000);
    ASSERT_NE(box, nullptr) << told;
    EXPECT_NE(BoxText(box).find(told), std::string::npos) << BoxText(box);
    Press(box, IDOK);
  }
  ASSERT_TRUE(postique.CloseMainWindow());
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_TRUE(staged().empty());
  EXPECT_TRUE(ReadFile(Join(folder / "MapiIn", "pedido.pdf")) == order) << "whole";
  ProviderCopies(true);
}

// A run that ended where the system could not remove its staged copy (a
// power cut) left the copy and its record: the next run removes that copy,
// and neither one a run still going holds nor an order of such a name.
TEST(PostiqueMapi, WhatAnEndedRunLeftStagedIsRemovedByTheNextRun) {
  Mailbox mail;
  mail.registry.SetOurs();
  TempDir folder, files;
  const std::string orders = folder / "MapiIn";
  std::filesystem::create_directories(Native(orders));
  const std::string runs = KnownFolder("LOCALAPPDATA", "Postique\\Ejecuciones");
  std::filesystem::create_directories(Native(runs));
  const std::string tick = std::to_string(::GetTickCount64());
  const std::string ended = runs + "\\run-ended-" + tick, live = runs + "\\run-live-" + tick;
  // Each run's record: the volume, the file index and the path of its copy.
  const auto stage = [&](const std::string& run, const std::string& name) {
    std::filesystem::create_directory(Native(run));
    const std::string copy = Join(orders, name);
    WriteFile(copy, "a medias");
    const HANDLE file = ::CreateFileW(Wide(copy).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    ::GetFileInformationByHandle(file, &info);
    ::CloseHandle(file);
    WriteFile(run + "\\staged",
              std::to_string(info.dwVolumeSerialNumber) + " " +
                  std::to_string(static_cast<unsigned long long>(info.nFileIndexHigh) << 32 |
                                 info.nFileIndexLow) +
                  " " + copy);
  };
  stage(ended, ".postique-1-2-3.tmp");
  stage(live, ".postique-4-5-6.tmp");
  const HANDLE held = ::CreateFileW(Wide(live + "\\lock").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  WriteFile(Join(orders, ".postique-7-8-9.tmp"), "un pedido de ese nombre");
  WriteFile(files / "pedido9.txt", "pedido 9");
  WriteFile(mail.folder / "inbox.txt",
            "Subject: PEDIDO TRAMBELO 9\r\nFrom: Cliente\r\n"
            "Date: 2026/12/01 09:00\r\nBody: b\r\nAttach: " +
                files / "pedido9.txt" + "\r\n");
  Postique postique(folder, "");
  for (const char* told : {"Se ha copiado", "1 correos analizados"}) {
    const HWND box = postique.WaitForBox();
    ASSERT_NE(box, nullptr) << told;
    EXPECT_NE(BoxText(box).find(told), std::string::npos) << BoxText(box);
    Press(box, IDOK);
  }
  ASSERT_TRUE(postique.CloseMainWindow());
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_EQ(List(orders), (std::vector<std::string>{".postique-4-5-6.tmp", ".postique-7-8-9.tmp",
                                                    "pedido9.txt"}));
  EXPECT_FALSE(Exists(ended)) << "the ended run's folder goes";
  EXPECT_TRUE(Exists(live + "\\staged")) << "the live run's stays";
  ::CloseHandle(held);
  std::filesystem::remove_all(Native(live));
}

TEST(PostiqueMapi, AFailedSendEndsInTheErrorExitsBox) {
  Mailbox mail;
  mail.registry.SetOurs();
  WriteFile(mail.folder / "fail-send.txt", "2");
  const struct {
    const char* dialogo;
    int step;
  } cases[] = {{"0", 840}, {"", 770}};
  for (const auto& c : cases) {
    TempDir folder, work;
    Postique postique(folder, SixLineJob(work, c.dialogo));
    const HWND box = postique.WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Error en POSTIQUE. Linea: " + std::to_string(c.step) +
                                ". Aviso desde POSTIQUE.EXE: Error no especificado del cliente de "
                                "correo (32002)");
    Press(box, IDOK);
    EXPECT_EQ(postique.Exit(), 1u);
  }
}

TEST(PostiqueMapi, WithoutAMailProgramTheUserIsToldWhy) {
  Mailbox mail;
  mail.registry.Set(KEY_WOW64_64KEY, {}, {});
  mail.registry.Set(KEY_WOW64_32KEY, {}, {});
  TempDir folder, work;
  Postique postique(folder, SixLineJob(work, "0"));
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr) << "a box, never a hang";
  const std::string text = BoxText(box);
  EXPECT_EQ(text.rfind("Error en POSTIQUE. Linea: 490. Aviso desde POSTIQUE.EXE: ", 0), 0u) << text;
  EXPECT_NE(text.find("no hay ningún programa de correo predeterminado"), std::string::npos)
      << text;
  EXPECT_NE(text.find("(32003)"), std::string::npos) << text;
  Press(box, IDOK);
  EXPECT_EQ(postique.Exit(), 1u);
}

TEST(PostiqueMapi, AMailProgramOfTheOtherBitnessNamesTheBuildToUse) {
  if (Win32Build().empty()) GTEST_SKIP() << "no 32-bit build (POSTIQUE_WIN32_BUILD)";
  Mailbox mail;
  // As with 32-bit Office: the one registration names a 32-bit library.
  mail.registry.Set(KEY_WOW64_64KEY, kName, Win32Build() + L"\\postique_test_mapi.dll");
  TempDir folder, work;
  Postique postique(folder, SixLineJob(work, "0"));
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::string text = BoxText(box);
  EXPECT_NE(text.find("es de 32 bits y esta versión de Postique es de 64 bits: use la versión de "
                      "32 bits de Postique"),
            std::string::npos)
      << text;
  Press(box, IDOK);
  EXPECT_EQ(postique.Exit(), 1u);
}

TEST(PostiqueMapi, The32BitProgramSendsThroughThe32BitMailProgram) {
  if (Win32Build().empty()) GTEST_SKIP() << "no 32-bit build (POSTIQUE_WIN32_BUILD)";
  Mailbox mail;
  mail.registry.SetOurs();
  TempDir folder, work;
  // One process: 32-bit code runs here only through an emulator, slowly.
  Postique postique(folder, SixLineJob(work, "0"), Win32Build() + L"\\POSTIQUE.EXE");
  EXPECT_EQ(postique.Exit(600000), 0u);
  EXPECT_EQ(mail.Sent(), ExpectedSent(work, 0));
}

// Wine's own mail program, the default of every new prefix, answers "not
// supported" to listing its inbox.
TEST(PostiqueMapi, WinesOwnMailProgramIsNamedOnceAsOneThatCannotBeRead) {
  const Mailbox mail;  // the prefix's own default stays
  TempDir folder;
  Postique postique(folder, "");
  HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box),
            "Su programa de correo no deja que otros programas lean su bandeja de entrada: no se "
            "pueden buscar en ella los pedidos ni ver sus mensajes (Operación no admitida: Native "
            "Mail Client).");
  Press(box, IDOK);
  box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "0 correos analizados");
  Press(box, IDOK);
  const HWND main = postique.WaitForWindow(kMainTitle, false);
  ASSERT_NE(main, nullptr);
  Click(main, L"Vistazo a Bandeja Entrada");
  EXPECT_EQ(postique.WaitForBox(3000), nullptr) << "told once; no \"No hay mensajes\"";
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(postique.Exit(), 0u);
}

// The installers as a user runs them: msiexec, quietly, as the user of the
// prefix. The run names the folder of this build's installers and a newer
// build's (POSTIQUE_DIST, POSTIQUE_NEXT_DIST).
class Installer {
 public:
  explicit Installer(const char* variable, const char* bits) {
    const std::wstring folder = FolderFromEnvironment(variable);
    if (folder.empty()) return;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::wstring name = entry.path().filename().wstring();
      if (name.ends_with(std::wstring(L"-win") + Wide(bits) + L".msi"))
        msi_ = entry.path().wstring();
    }
  }
  bool found() const { return !msi_.empty(); }
  // msiexec, quietly, with what follows on its command line.
  DWORD Run(const wchar_t* action, const std::wstring& properties = {}) const {
    std::wstring line =
        L"msiexec.exe " + std::wstring(action) + L" \"" + msi_ + L"\" /qn " + properties;
    return Wait(line, nullptr);
  }

  // Runs the command line to its end; its status.
  static DWORD Wait(std::wstring line, const wchar_t* folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                          &startup, &process)) {
      return ::GetLastError();
    }
    ::WaitForSingleObject(process.hProcess, 120000);
    DWORD status = 1;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return status;
  }

 private:
  std::wstring msi_;
};

// The versions of the installed Postiques, as the installer registers them
// for Windows to show.
std::vector<std::string> InstalledVersions() {
  std::vector<std::string> versions;
  wchar_t product[39];
  for (DWORD i = 0; ::MsiEnumRelatedProductsW(L"{4A196838-E9F6-4E59-88F4-1C03651E69B6}", 0, i,
                                              product) == ERROR_SUCCESS;
       ++i) {
    wchar_t version[64];
    DWORD size = 64;
    if (::MsiGetProductInfoW(product, INSTALLPROPERTY_VERSIONSTRING, version, &size) ==
        ERROR_SUCCESS) {
      versions.push_back(Utf8(version));
    }
  }
  return versions;
}

// Where the shell finds POSTIQUE.EXE by its bare name for this user, as a
// program of the invoicing product asks for it: the per-user App Paths
// entry, and the folder it names. (Wine 8's ShellExecute reads App Paths
// from HKLM only, where a per-user installer cannot write, so the start
// itself is not tried here.)
std::pair<std::string, std::string> AppPath() {
  constexpr wchar_t kKey[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\POSTIQUE.EXE";
  const auto value = [&](const wchar_t* name) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
      return std::string();
    }
    return Utf8(text);
  };
  return {value(nullptr), value(L"Path")};
}

// The maker of the invoicing product installs Postique into a folder of its
// own, beside its files, and upgrades it later without naming the folder;
// the other build is installed over it, as Postique's own box suggests.
TEST(PostiqueInstaller, InstallsWhereTheMakerSaysAndReplacesKeepingOrdersAndTheMakersFiles) {
  const Installer installer("POSTIQUE_DIST", "64"), other("POSTIQUE_DIST", "32"),
      newer("POSTIQUE_NEXT_DIST", "64");
  if (!installer.found() || !newer.found()) GTEST_SKIP() << "no installers named by the run";
  const std::string folder = KnownFolder("LOCALAPPDATA", "Facturacion Peña");
  const std::string program = folder + "\\POSTIQUE.EXE", orders = folder + "\\MapiIn";
  std::filesystem::create_directories(Wide(folder));
  WriteFile(folder + "\\LEEME.txt", "del fabricante");
  WriteFile(folder + "\\facturacion.ini", "[datos]");
  const auto makersFilesStay = [&] {
    EXPECT_EQ(ReadFile(folder + "\\LEEME.txt"), "del fabricante");
    EXPECT_EQ(ReadFile(folder + "\\facturacion.ini"), "[datos]");
  };
  const std::string menu =
      KnownFolder("APPDATA", "Microsoft\\Windows\\Start Menu\\Programs\\Postique.lnk");
  ASSERT_EQ(installer.Run(L"/i", L"INSTALLDIR=\"" + Wide(folder) + L"\\\""), 0u);
  EXPECT_TRUE(Exists(program));
  EXPECT_TRUE(Exists(folder + "\\Postique-LEEME.txt"));
  EXPECT_TRUE(List(orders).empty()) << "made empty";
  EXPECT_TRUE(Exists(menu)) << "a Start-menu entry";
  makersFilesStay();
  EXPECT_EQ(InstalledVersions(), std::vector<std::string>{POSTIQUE_VERSION});
  EXPECT_EQ(FileVersion(Wide(program)), POSTIQUE_VERSION);
  EXPECT_EQ(AppPath(), std::make_pair(program, folder + "\\")) << "found by its bare name";

  {  // A job for Thunderbird, as the invoicing product starts the program.
    const ThunderbirdOnPath thunderbird;
    TempDir work;
    const std::string job = work / "trabajo.txt";
    WriteFile(job, "ana@example.es\r\nFactura\r\nAdjunta\r\n\r\n\r\nT\r\n");
    Postique postique(Postique::InPlace{}, Wide(program), job);
    EXPECT_EQ(postique.Exit(), 0u);
    EXPECT_EQ(thunderbird.Recorded().size(), 3u);
    EXPECT_TRUE(Exists(folder + "\\thunderbird.log")) << "logged beside the program";
  }
  {  // The order retrieval, as the Start-menu entry starts it.
    Mailbox mail;
    mail.registry.SetOurs();
    TempDir files;
    WriteFile(files / "pedido7.txt", "pedido 7");
    WriteFile(mail.folder / "inbox.txt",
              "Subject: PEDIDO TRAMBELO 7\r\nFrom: Cliente\r\n"
              "Date: 2026/12/01 09:00\r\nBody: El pedido\r\nAttach: " +
                  files / "pedido7.txt" + "\r\n");
    Postique postique(Postique::InPlace{}, Wide(program), "");
    HWND box = postique.WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Se ha copiado un archivo de datos en \r\n\r\n" + orders +
                                "\\pedido7.txt\r\n\r\nProcese el archivo antes de continuar");
    Press(box, IDOK);
    box = postique.WaitForBox();
    ASSERT_NE(box, nullptr);
    Press(box, IDOK);
    ASSERT_TRUE(postique.CloseMainWindow());
    EXPECT_EQ(postique.Exit(), 0u);
  }

  // The other build of the same version, with no folder named: it replaces
  // the first where that one went.
  if (other.found()) {
    ASSERT_EQ(other.Run(L"/i"), 0u);
    EXPECT_EQ(InstalledVersions(), std::vector<std::string>{POSTIQUE_VERSION}) << "one entry";
    DWORD kind = 0;
    EXPECT_TRUE(::GetBinaryTypeW(Wide(program).c_str(), &kind));
    EXPECT_EQ(kind, static_cast<DWORD>(SCS_32BIT_BINARY));
    EXPECT_EQ(ReadFile(orders + "\\pedido7.txt"), "pedido 7") << "the waiting order stays";
    makersFilesStay();
  }

  // A newer build over it, with no folder named either.
  ASSERT_EQ(newer.Run(L"/i"), 0u);
  const std::vector<std::string> upgraded = InstalledVersions();
  ASSERT_EQ(upgraded.size(), 1u) << "the newer one replaces the older";
  EXPECT_NE(upgraded[0], POSTIQUE_VERSION);
  EXPECT_EQ(FileVersion(Wide(program)), upgraded[0]) << "where the first install went";
  EXPECT_FALSE(Exists(KnownFolder("LOCALAPPDATA", "Programs\\Postique\\POSTIQUE.EXE")));
  EXPECT_EQ(ReadFile(orders + "\\pedido7.txt"), "pedido 7") << "the waiting order stays";
  makersFilesStay();
  EXPECT_EQ(AppPath(), std::make_pair(program, folder + "\\"));

  ASSERT_EQ(newer.Run(L"/x"), 0u);
  EXPECT_TRUE(InstalledVersions().empty());
  EXPECT_FALSE(Exists(program));
  EXPECT_FALSE(Exists(menu));
  EXPECT_EQ(AppPath(), std::make_pair(std::string(), std::string()));
  EXPECT_EQ(ReadFile(orders + "\\pedido7.txt"), "pedido 7") << "never removed";
  makersFilesStay();
  std::filesystem::remove_all(Wide(folder));
}

// The new Outlook, installed as its App Paths entry says, with no Simple
// MAPI mail program: the tests' stand-in olk.exe records how it is started.
class NewOutlook {
 public:
  NewOutlook() {
    mail_.registry.Set(KEY_WOW64_64KEY, {}, {});
    mail_.registry.Set(KEY_WOW64_32KEY, {}, {});
    EXPECT_TRUE(
        ::CopyFileW((BuildFolder() + L"\\olk.exe").c_str(), Wide(bin_ / "olk.exe").c_str(), FALSE));
    const std::wstring program = Wide(bin_ / "olk.exe");
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kAppPath, nullptr, REG_SZ, program.c_str(),
                      static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t)));
    std::filesystem::remove_all(Drafts());
  }
  ~NewOutlook() { ::RegDeleteKeyW(HKEY_CURRENT_USER, kAppPath); }
  static std::wstring Drafts() { return Wide(KnownFolder("LOCALAPPDATA", "Postique\\Borradores")); }
  std::string Record() const { return bin_ / "olk-args.txt"; }

 private:
  static constexpr wchar_t kAppPath[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\olk.exe";
  Mailbox mail_;
  TempDir bin_;
};

// Base64 decoded by Windows itself.
std::string FromBase64(const std::string& text) {
  DWORD size = 0;
  if (!::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              nullptr, &size, nullptr, nullptr)) {
    return "(not base64)";
  }
  std::string bytes(size, '\0');
  ::CryptStringToBinaryA(text.data(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                         reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr);
  bytes.resize(size);
  return bytes;
}

// The decoded content of the part whose headers hold marker.
std::string PartAfter(const std::string& draft, const std::string& marker) {
  const size_t at = draft.find(marker);
  if (at == std::string::npos) return "(no part " + marker + ")";
  const size_t start = draft.find("\r\n\r\n", at) + 4;
  return FromBase64(draft.substr(start, draft.find("\r\n--", start) - start));
}

TEST(PostiqueNewOutlook, AJobBecomesADraftTheNewOutlookOpens) {
  for (const char* dialogo : {"1", "0"}) {
    const NewOutlook outlook;
    TempDir folder, work;
    std::string binary;
    for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
    WriteFile(work / "factura 42.pdf", binary);
    WriteFile(work / "albarán nº 7.txt", "albarán");
    const std::string job = work / "trabajo.txt";
    WriteFile(job,
              "ana@example.es;pepe@example.es\r\nFactura a\xf1o 2026 \x80\r\nAdjunta la "
              "factura\r\n" +
                  Utf8ToAnsi(work / "factura 42.pdf") + ";" +
                  Utf8ToAnsi(work / "albarán nº 7.txt") + "\r\n" + dialogo + "\r\nO\r\n");
    Postique postique(folder, job);
    EXPECT_EQ(postique.Exit(), 0u) << dialogo;
    const std::vector<std::string> args = RecordedArguments(outlook.Record());
    ASSERT_EQ(args.size(), 2u) << "one argument, the draft's path";
    ASSERT_TRUE(Exists(args[1])) << "kept after Postique ends: " << args[1];
    const std::string draft = ReadFile(args[1]);
    EXPECT_EQ(draft.rfind("X-Unsent: 1\r\n", 0), 0u);
    EXPECT_NE(draft.find("To: ana@example.es,\r\n pepe@example.es\r\n"), std::string::npos);
    const size_t word = draft.find("Subject: =?UTF-8?B?") + 19;
    EXPECT_EQ(FromBase64(draft.substr(word, draft.find("?=", word) - word)), "Factura año 2026 €");
    EXPECT_EQ(PartAfter(draft, "text/plain; charset=UTF-8"), "Adjunta la factura");
    EXPECT_EQ(PartAfter(draft, "filename=\"factura 42.pdf\""), binary);
    EXPECT_EQ(PartAfter(draft, "filename*0*=UTF-8''albar%C3%A1n%20n%C2%BA%207.txt"), "albarán");
    EXPECT_EQ(draft.find(Utf8ToAnsi(work.path())), std::string::npos) << "no local path";
    EXPECT_EQ(draft.find(work.path()), std::string::npos) << "no local path";
  }
}

TEST(PostiqueNewOutlook, AMissingAttachmentFailsTheSendBeforeAnythingStarts) {
  const NewOutlook outlook;
  TempDir folder, work;
  const std::string job = work / "trabajo.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nAdjunta\r\n" + Utf8ToAnsi(work / "no está.pdf") +
                     "\r\n0\r\nO\r\n");
  Postique postique(folder, job);
  const HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(BoxText(box).find("(32011)"), std::string::npos) << BoxText(box);
  Press(box, IDOK);
  EXPECT_EQ(postique.Exit(), 1u);
  EXPECT_FALSE(Exists(outlook.Record())) << "nothing started";
  EXPECT_FALSE(std::filesystem::exists(NewOutlook::Drafts()) &&
               !std::filesystem::is_empty(NewOutlook::Drafts()))
      << "no draft";
}

TEST(PostiqueNewOutlook, TheInboxToolsSayOnceThatTheInboxCannotBeRead) {
  const NewOutlook outlook;
  TempDir folder;
  Postique postique(folder, "");
  HWND box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  EXPECT_NE(BoxText(box).find("no deja que otros programas lean su bandeja de entrada"),
            std::string::npos)
      << BoxText(box);
  EXPECT_NE(BoxText(box).find("el nuevo Outlook"), std::string::npos);
  Press(box, IDOK);
  box = postique.WaitForBox();
  ASSERT_NE(box, nullptr);
  const std::string next = BoxText(box);
  Press(box, IDOK);
  ASSERT_TRUE(postique.CloseMainWindow());
  EXPECT_EQ(postique.Exit(), 0u);
  EXPECT_EQ(next, "0 correos analizados") << "told once, and no empty inbox";
}

}  // namespace
}  // namespace postique::win32
