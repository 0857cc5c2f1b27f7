#include "platform/posix/posix_launcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "base/command_line.h"
#include "fakes/temp_dir.h"

namespace postique::posix {
namespace {

using Args = std::vector<std::string>;
using namespace std::string_literals;

TEST(WindowsCommandLine, SplitsAsAWindowsProgramDoes) {
  const struct {
    const char* line;
    Args args;
  } cases[] = {
      {"", {}},
      {"a b", {"a", "b"}},
      {"  a \t b  ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\"", {""}},
      {"\"a\"\"b\"", {"a\"b"}},
      {"\\\"a", {"\"a"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a\\\\\\\"b", {"a\\\"b"}},
      {"a\\b a\\\\b", {"a\\b", "a\\\\b"}},
      {"\"C:\\Program Files\\\\\"", {"C:\\Program Files\\"}},
      {"\"abierta sin cerrar", {"abierta sin cerrar"}},
      {"-compose \"attachment='/f/a b.pdf',to='x',subject='di \"hola\"',body='B'\"",
       {"-compose", "attachment='/f/a b.pdf',to='x',subject='di hola',body='B'"}},
      {"-compose \"attachment='',to='D',subject='S',body='uno, dos'\"",
       {"-compose", "attachment='',to='D',subject='S',body='uno, dos'"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitWindowsCommandLine(c.line), c.args) << c.line;
}

// A program named thunderbird on a private search path that records its
// arguments, then stays running.
class FakeThunderbird : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string script = dir / "thunderbird";
    testing::WriteFile(script,
                       "#!/bin/sh\n"
                       "d=$(dirname \"$0\")\n"
                       "printf '%s\\0' \"$@\" > \"$d/args.tmp\" && mv \"$d/args.tmp\" \"$d/args\"\n"
                       "echo $$ > \"$d/pid.tmp\" && mv \"$d/pid.tmp\" \"$d/pid\"\n"
                       "exec sleep 60\n");
    ::chmod(script.c_str(), 0755);
    oldPath = ::getenv("PATH");
    ::setenv("PATH", (dir.path() + ":/usr/bin:/bin").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", oldPath.c_str(), 1);
    if (pid > 0) ::kill(pid, SIGKILL);
  }
  // Waits for the started program to report itself; it does so at once.
  void AwaitStart() {
    for (int i = 0; i < 1000 && !testing::Exists(dir / "pid"); ++i) ::usleep(10000);
    std::ifstream(dir / "pid") >> pid;
  }

  testing::TempDir dir;
  std::string oldPath;
  pid_t pid = 0;
};

TEST_F(FakeThunderbird, GetsTheArgumentsAWindowsProgramWouldAndIsNotWaitedFor) {
  PosixLauncher launcher;
  const std::string parameters =
      "-compose \"attachment='/f/a.pdf,/f/b.pdf',to='ana@example.es',subject='X'Y; $(rm -rf /) "
      "`id` | Año',body='uno, dos'\"";
  EXPECT_GT(launcher.Open("thunderbird", parameters), 32);
  AwaitStart();
  ASSERT_GT(pid, 0);
  EXPECT_EQ(testing::ReadFile(dir / "args"),
            "-compose\0attachment='/f/a.pdf,/f/b.pdf',to='ana@example.es',subject='X'Y; "
            "$(rm -rf /) `id` | Año',body='uno, dos'\0"s);
  EXPECT_EQ(::kill(pid, 0), 0) << "still running: Open did not wait for it";
  // Handed to init, so it never becomes our zombie.
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  for (int i = 0; i < 4; ++i) stat >> field;
  EXPECT_NE(field, std::to_string(::getpid()));
}

TEST(PosixLauncher, AMissingProgramIsFileNotFound) {
  PosixLauncher launcher;
  EXPECT_EQ(launcher.Open("postique-no-existe-este-programa", "-x"), 2);
  EXPECT_EQ(launcher.Open("/nonexistent/thunderbird", ""), 2);
}

}  // namespace
}  // namespace postique::posix
