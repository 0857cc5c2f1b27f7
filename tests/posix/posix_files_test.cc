#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/failure.h"
#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#include "posix/refusing.h"

namespace postique::posix {
namespace {

using testing::FailureNumber;
using testing::Refusing;
using testing::TempDir;

TEST(PosixFiles, ReadsLinesInWindows1252) {
  TempDir dir;
  PosixFiles files(dir.path());
  testing::WriteFile(dir / "job.txt", "A\xf1o\r\n\x80\nfin");
  EXPECT_EQ(files.ReadLines(dir / "job.txt"), (std::vector<std::string>{"Año", "€", "fin"}));
  EXPECT_EQ(FailureNumber([&] { files.ReadLines(dir / "none"); }), 53);
}

TEST(PosixFiles, WritesTextInWindows1252AndEmptiesTheFileFirst) {
  TempDir dir;
  PosixFiles files(dir.path());
  testing::WriteFile(dir / "log", "old content that is longer");
  auto writer = files.CreateText(dir / "log");
  writer->Write("Año €\r\n");
  writer->Close();
  EXPECT_EQ(testing::ReadFile(dir / "log"), "A\xf1o \x80\r\n");
  EXPECT_EQ(FailureNumber([&] { writer->Write("x"); }), 52) << "closed";
  EXPECT_NE(FailureNumber([&] { files.CreateText(dir.path()); }), 0) << "a folder";
}

TEST(PosixFiles, ACopyIntoAMissingFolderIsAMissingFile) {
  TempDir dir;
  PosixFiles files(dir.path());
  testing::WriteFile(dir / "source", std::string(200000, 'n'));
  EXPECT_EQ(FailureNumber([&] { files.Copy(dir / "source", dir / "no/target"); }), 53);
  EXPECT_EQ(testing::List(dir.path()), (std::vector<std::string>{"source"}));
}

// A name that a crash may take away is no copy: the user must not be told
// the order is there.
TEST(PosixFiles, ACopyWhoseFolderCannotBeSyncedIsTakenBack) {
  TempDir dir;
  PosixFiles files(dir.path());
  ::mkdir((dir / "in").c_str(), 0755);
  testing::WriteFile(dir / "source", "pedido");
  const auto copy = [&] {
    const int number = FailureNumber([&] { files.Copy(dir / "source", dir / "in/target"); });
    return number == 0 ? 0 : 1 + (testing::List(dir / "in").empty() ? 0 : 1);
  };
  EXPECT_EQ(Refusing({__NR_fsync, EIO}, copy), 1) << "a failure, and nothing left in the folder";
  EXPECT_TRUE(testing::List(dir / "in").empty());
  // A file system that cannot sync folders at all keeps its copies.
  EXPECT_EQ(Refusing({__NR_fsync, EINVAL}, copy), 0);
  EXPECT_EQ(testing::ReadFile(dir / "in/target"), "pedido");
}

// Some file systems refuse to write past their cache, some to set
// permissions: the copy still comes out whole.
TEST(PosixFiles, ACopyWhereTheFileSystemRefusesDirectWritesOrPermissionsComesOutWhole) {
  TempDir dir;
  PosixFiles files(dir.path());
  ::mkdir((dir / "in").c_str(), 0755);
  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  testing::WriteFile(dir / "source", data);
  for (const testing::Refusal refusal :
       {testing::Refusal{__NR_fcntl, EINVAL, 2, O_DIRECT}, testing::Refusal{__NR_fchmod, EPERM}}) {
    const int copied = Refusing(refusal, [&] {
      return FailureNumber([&] { files.Copy(dir / "source", dir / "in/target"); });
    });
    EXPECT_EQ(copied, 0) << refusal.number;
    EXPECT_TRUE(testing::ReadFile(dir / "in/target") == data);
    EXPECT_EQ(testing::List(dir / "in"), std::vector<std::string>{"target"});
    std::filesystem::remove(dir / "in/target");
  }
}

}  // namespace
}  // namespace postique::posix
