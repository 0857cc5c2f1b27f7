#include "platform/win32/win32_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"

namespace postique::win32 {
namespace {

using testing::FailureNumber;
using testing::Join;
using testing::List;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

void SetAttributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(::SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
}

TEST(Win32Files, LookupCountsNormalArchiveAndReadOnlyFilesOnly) {
  TempDir dir;
  Win32Files files(dir.path());
  const struct {
    const char* name;
    DWORD attributes;
    bool found;
  } cases[] = {{"normal.txt", FILE_ATTRIBUTE_NORMAL, true},
               {"archive.txt", FILE_ATTRIBUTE_ARCHIVE, true},
               {"solo-lectura.txt", FILE_ATTRIBUTE_READONLY, true},
               {"oculto.txt", FILE_ATTRIBUTE_HIDDEN, false},
               {"sistema.txt", FILE_ATTRIBUTE_SYSTEM, false},
               {"ambos.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, false}};
  for (const auto& c : cases) {
    WriteFile(dir / c.name, "x");
    SetAttributes(dir / c.name, c.attributes);
    EXPECT_EQ(files.Lookup(dir / c.name), c.found ? c.name : "") << c.name;
  }
  ::CreateDirectoryW(Wide(dir / "carpeta").c_str(), nullptr);
  EXPECT_EQ(files.Lookup(dir / "carpeta"), "");
  EXPECT_EQ(files.Lookup(dir / "falta.txt"), "");
  EXPECT_EQ(files.Lookup(dir / "*.txt"), "") << "a wildcard names no file";
  EXPECT_EQ(files.Lookup(dir / "NUL"), "");
  EXPECT_EQ(files.Lookup(""), "");
  for (const auto& c : cases) SetAttributes(dir / c.name, FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Files, TextIsReadAndWrittenInTheAnsiCodePage) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the system's code page is " << ::GetACP();
  TempDir dir;
  Win32Files files(dir.path());
  WriteFile(dir / "job.txt", "ana@x.es\r\nA\xf1o \x80\r\n\r\nsin fin");
  EXPECT_EQ(files.ReadLines(dir / "job.txt"),
            (std::vector<std::string>{"ana@x.es", "Año €", "", "sin fin"}));
  WriteFile(dir / "bom.txt",
            "\xef\xbb\xbf"
            "ana@x.es\r\nAño €\r\n");
  EXPECT_EQ(files.ReadLines(dir / "bom.txt"), (std::vector<std::string>{"ana@x.es", "Año €"}));
  auto log = files.CreateText(dir / "thunderbird.log");
  log->Write("Año € 日\r\n");
  log->Close();
  EXPECT_EQ(ReadFile(dir / "thunderbird.log"), "A\xf1o \x80 ?\r\n");
  EXPECT_EQ(FailureNumber([&] { files.ReadLines("NUL"); }), 52) << "a device is never read";
  EXPECT_EQ(FailureNumber([&] { files.ReadLines(dir / "falta.txt"); }), 53);
}

TEST(Win32Files, PathsBeyondTheCodePageWork) {
  TempDir dir;
  Win32Files files(dir.path());
  const std::string name = "заказ 注文.txt";
  WriteFile(dir / name, "uno\r\ndos\r\n");
  EXPECT_EQ(files.Lookup(dir / name), name);
  EXPECT_EQ(files.ReadLines(dir / name), (std::vector<std::string>{"uno", "dos"}));
  ::CreateDirectoryW(Wide(dir / "Ωμέγα").c_str(), nullptr);
  files.Copy(dir / name, Join(dir / "Ωμέγα", name));
  EXPECT_EQ(ReadFile(Join(dir / "Ωμέγα", name)), "uno\r\ndos\r\n");
  files.Remove(dir / name);
  EXPECT_EQ(files.Lookup(dir / name), "");
  files.ChangeFolder(dir / "Ωμέγα");
  EXPECT_EQ(files.CurrentFolder(), dir / "Ωμέγα");
  files.ChangeFolder(dir.path());
}

TEST(Win32Files, ACopyThatFailsLeavesNothingAtTheTarget) {
  TempDir dir;
  Win32Files files(dir.path());
  WriteFile(dir / "source", std::string(300000, 'p'));
  ::CreateDirectoryW(Wide(dir / "MapiIn").c_str(), nullptr);
  // The target cannot be replaced: the whole staged copy goes.
  ::CreateDirectoryW(Wide(Join(dir / "MapiIn", "pedido.txt")).c_str(), nullptr);
  EXPECT_NE(FailureNumber([&] { files.Copy(dir / "source", Join(dir / "MapiIn", "pedido.txt")); }),
            0);
  EXPECT_EQ(List(dir / "MapiIn"), std::vector<std::string>{"pedido.txt"});
  EXPECT_EQ(FailureNumber([&] { files.Copy(dir / "falta", Join(dir / "MapiIn", "x.txt")); }), 53);
  EXPECT_EQ(FailureNumber([&] { files.Copy(dir / "source", Join(dir / "no", "x.txt")); }), 76);
  EXPECT_EQ(List(dir / "MapiIn"), std::vector<std::string>{"pedido.txt"});
}

TEST(Win32Files, ACopyOntoADiskThatFillsHalfWayLeavesNothing) {
  // A small disk that the test run mounted (as root) for this.
  const char* small = std::getenv("POSTIQUE_SMALL_DISK");
  if (!small || !*small) GTEST_SKIP() << "no small disk mounted (POSTIQUE_SMALL_DISK)";
  std::string folder = std::string("Z:") + small;
  std::replace(folder.begin(), folder.end(), '/', '\\');
  TempDir dir;
  Win32Files files(dir.path());
  WriteFile(dir / "source", std::string(4 << 20, 'p'));
  std::string description;
  EXPECT_EQ(
      FailureNumber([&] { files.Copy(dir / "source", Join(folder, "pedido.txt")); }, &description),
      61)
      << description;
  EXPECT_TRUE(List(folder).empty()) << "no half file and no staged copy";
}

}  // namespace
}  // namespace postique::win32
