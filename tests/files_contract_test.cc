// The contract of the Files port, one suite for both backends, each built
// with its own: what Lookup counts, lines read and text written, copies
// published whole over the old file with nothing left beside them, folders
// and removal. What only one platform does (attributes and code pages, a
// disk of its own) stays in that platform's suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#ifdef _WIN32
#include "platform/win32/win32_files.h"
using Backend = postique::win32::Win32Files;
#else
#include "platform/posix/posix_files.h"
using Backend = postique::posix::PosixFiles;
#endif

namespace postique::testing {
namespace {

std::unique_ptr<Files> MakeFiles(const std::string& programFolder) {
  return std::make_unique<Backend>(programFolder);
}

TEST(FilesContract, LookupFindsFilesByTheirNameOnly) {
  TempDir dir;
  const auto files = MakeFiles(dir.path());
  WriteFile(dir / "job.txt", "x");
  std::filesystem::create_directory(Native(dir / "folder"));
  EXPECT_EQ(files->Lookup(dir / "job.txt"), "job.txt");
  EXPECT_EQ(files->Lookup(dir / "folder"), "");
  EXPECT_EQ(files->Lookup(dir / "none"), "");
  EXPECT_EQ(files->Lookup(""), "");
}

TEST(FilesContract, LinesAreReadWhateverEndsThemAndTextIsWrittenAfresh) {
  TempDir dir;
  const auto files = MakeFiles(dir.path());
  WriteFile(dir / "job.txt", "uno\r\ndos\n\r\nsin fin");
  EXPECT_EQ(files->ReadLines(dir / "job.txt"),
            (std::vector<std::string>{"uno", "dos", "", "sin fin"}));
  EXPECT_EQ(FailureNumber([&] { files->ReadLines(dir / "none"); }), 53);
  WriteFile(dir / "log", "old content that is longer");
  auto writer = files->CreateText(dir / "log");
  writer->Write("thunderbird -compose\r\n");
  writer->Close();
  EXPECT_EQ(ReadFile(dir / "log"), "thunderbird -compose\r\n");
  EXPECT_EQ(FailureNumber([&] { writer->Write("x"); }), 52) << "closed";
  EXPECT_NE(FailureNumber([&] { files->CreateText(dir.path()); }), 0) << "a folder";
}

TEST(FilesContract, ACopyReplacesTheTargetWholeAndLeavesNothingBeside) {
  TempDir dir;
  const auto files = MakeFiles(dir.path());
  std::filesystem::create_directory(Native(dir / "MapiIn"));
  const std::string target = Join(dir / "MapiIn", "pedido.txt");
  WriteFile(dir / "source", std::string(300000, 'p'));
  WriteFile(target, "viejo");
  files->Copy(dir / "source", target);
  EXPECT_EQ(ReadFile(target), std::string(300000, 'p'));
  EXPECT_EQ(files->Lookup(target), "pedido.txt") << "an ordinary file, seen as any other";
  EXPECT_EQ(List(dir / "MapiIn"), std::vector<std::string>{"pedido.txt"});
  EXPECT_EQ(FailureNumber([&] { files->Copy(dir / "none", target); }), 53);
  EXPECT_EQ(ReadFile(target), std::string(300000, 'p'));
  EXPECT_EQ(List(dir / "MapiIn"), std::vector<std::string>{"pedido.txt"});
}

// Whole blocks and the rest of a copy may take different ways to the disk,
// and one buffer may serve every copy: each size must come out byte for byte.
TEST(FilesContract, CopiesOfEverySizeComeOutWhole) {
  TempDir dir;
  const auto files = MakeFiles(dir.path());
  std::filesystem::create_directory(Native(dir / "in"));
  const size_t chunk = 1 << 20;
  size_t seed = 0;
  for (const size_t size : {3 * chunk + 4097, size_t{0}, size_t{1}, size_t{4095}, size_t{4096},
                            size_t{4097}, size_t{100000}, chunk - 1, chunk, chunk + 1}) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 31 + seed) % 251);
    ++seed;
    WriteFile(dir / "source", data);
    files->Copy(dir / "source", Join(dir / "in", "target"));
    EXPECT_TRUE(ReadFile(Join(dir / "in", "target")) == data) << size << " bytes";
  }
  EXPECT_EQ(List(dir / "in"), std::vector<std::string>{"target"});
}

TEST(FilesContract, FoldersAndRemoval) {
  TempDir dir;
  const auto files = MakeFiles(dir.path());
  files->MakeFolder(dir / "MapiIn");
  files->MakeFolder(dir / "MapiIn");  // there already: nothing to do
  EXPECT_TRUE(std::filesystem::is_directory(Native(dir / "MapiIn")));
  WriteFile(dir / "file", "");
  EXPECT_EQ(FailureNumber([&] { files->MakeFolder(dir / "file"); }), 75);
  WriteFile(dir / "f", "");
  files->Remove(dir / "f");
  EXPECT_FALSE(Exists(dir / "f"));
  EXPECT_EQ(FailureNumber([&] { files->Remove(dir / "f"); }), 53);
  EXPECT_EQ(files->ProgramFolder(), dir.path());
  const std::string before = files->CurrentFolder();
  files->ChangeFolder(dir / "MapiIn");
  EXPECT_EQ(files->CurrentFolder(), dir / "MapiIn");
  files->ChangeFolder(before);
}

}  // namespace
}  // namespace postique::testing
