#include "platform/win32/command_line.h"

#include <gtest/gtest.h>

namespace postique::win32 {
namespace {

TEST(Win32CommandLine, TheArgumentTextIsWhatFollowsTheProgramToken) {
  const struct {
    const wchar_t* line;
    const wchar_t* argument;
  } cases[] = {
      {L"POSTIQUE.EXE", L""},
      {L"POSTIQUE.EXE job.txt", L"job.txt"},
      {L"POSTIQUE.EXE \t  C:\\a b\\job.txt  ", L"C:\\a b\\job.txt  "},
      {L"\"C:\\Program Files\\P\\POSTIQUE.EXE\" \"C:\\x\\job.txt\"", L"\"C:\\x\\job.txt\""},
      // The token runs on after a closing quote up to the next blank.
      {L"\"C:\\a b\\POSTIQUE.EXE\"job.txt", L""},
      {L"\"C:\\a b\\POSTIQUE.EXE\"x job.txt", L"job.txt"},
      {L"C:\\x\\\"POSTIQUE\".EXE job", L"job"},
      // No backslash escapes a quote in the program token.
      {L"\"C:\\a \\\"b\\POSTIQUE.EXE job", L"job"},
      {L"POSTIQUE.EXE a\\\"b \"c  d\"", L"a\\\"b \"c  d\""},
      {L"\"sin cerrar job.txt", L""},
      {L"", L""},
      {L"  POSTIQUE.EXE", L"POSTIQUE.EXE"},
  };
  for (const auto& c : cases) EXPECT_EQ(ArgumentText(c.line), c.argument) << c.line;
}

// As the shell and most callers pass a path with blanks: the enclosing pair
// of quotes goes, anything else stays exactly as written.
TEST(Win32CommandLine, AJobPathInQuotesIsThePathInside) {
  const std::wstring path = L"C:\\Mis Facturas\\año 1.txt";
  EXPECT_EQ(JobPath(L"\"" + path + L"\""), path);
  EXPECT_EQ(JobPath(path), path);
  // Anything but one pair enclosing the whole text is the path as written.
  for (const std::wstring kept :
       {L"C:\\x\\job.txt  ", L"\"C:\\x\\job.txt", L"\"a\" \"b\"", L"\"", L""}) {
    EXPECT_EQ(JobPath(kept), kept);
  }
  EXPECT_EQ(JobPath(L"\"\""), L"");
}

}  // namespace
}  // namespace postique::win32
