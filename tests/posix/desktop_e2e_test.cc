// The real program on the desktop: its boxes found on the display and their
// buttons pressed with the mouse, as a user would; the results are the
// terminal's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "platform/posix/desktop_screen.h"
#include "posix/promised.h"
#include "posix/run_program.h"
#include "posix/test_maildir.h"

namespace postique::testing {
namespace {

using posix::BoxButtons;

std::string Xdotool(const std::string& arguments) {
  std::string out;
  if (FILE* pipe = ::popen(("xdotool " + arguments + " 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
  }
  return out;
}

// The program, started with the display, in a folder of its own.
class OnDesktop {
 public:
  OnDesktop(const std::string& program, const std::vector<std::string>& args,
            const std::map<std::string, std::string>& env) {
    pid_ = ::fork();
    if (pid_ == 0) ExecProgram(program, args, env, 127);
  }
  ~OnDesktop() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // The visible window with the title, other than the one given; "" if none comes.
  std::string WaitWindow(const std::string& title, const std::string& other = {}) {
    for (int i = 0; i < 200; ++i) {
      std::string found = Xdotool("search --all --onlyvisible --pid " + std::to_string(pid_) +
                                  " --name '^" + title + "$'");
      found = found.substr(0, found.find('\n'));
      if (!found.empty() && found != other) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
  }
  // Presses button index of count of the box, with the mouse.
  void Press(const std::string& box, int index, int count) {
    std::map<std::string, int> g;
    std::istringstream shell(Xdotool("getwindowgeometry --shell " + box));
    for (std::string line; std::getline(shell, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) g[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    }
    const int x = g["X"] + g["WIDTH"] - BoxButtons::FromRight(index, count);
    const int y = g["Y"] + g["HEIGHT"] - BoxButtons::FromBottom();
    Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) +
            " sleep 0.1 click 1");
  }
  // Closes the window with the keyboard.
  void Close(const std::string& window) { Xdotool("windowfocus --sync " + window + " key Escape"); }
  int Exit() {
    int status = 0;
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY") || Xdotool("version").empty()) {
      POSTIQUE_SKIP_UNLESS_PROMISED("POSTIQUE_DISPLAY", "no display, or no xdotool");
    }
    WriteFile(bin / "sendmail", "#!/bin/sh\ncat > \"$(dirname \"$0\")/message\"\n");
    std::filesystem::permissions(bin / "sendmail", std::filesystem::perms::owner_all);
  }
  std::map<std::string, std::string> Env(const TempDir& temp) const {
    return {{"MAILDIR", maildir.path()},
            {"TMPDIR", temp.path()},
            {"XDG_RUNTIME_DIR", ""},
            {"PATH", bin.path() + ":/usr/bin:/bin"}};
  }
  TestMaildir maildir;
  TempDir bin;
};

TEST_F(Desktop, AnOrderRetrievalEndsAsOnTheTerminal) {
  maildir.Deliver("new", "1.x", Message("Hola", "hola"), 1764000000);
  maildir.Deliver(
      "new", "2.x",
      Message("PEDIDO TRAMBELO 9", "va",
              {{"Content-Type: text/csv\nContent-Disposition: attachment; filename=\"p9.csv\"",
                "a;b\r\n"}}),
      1764000100);
  TempDir desktopFolder, terminalFolder, temp;
  const std::string program = Install(desktopFolder);
  {
    OnDesktop run(program, {}, Env(temp));
    const std::string main = run.WaitWindow("Envio de E-Mail \\(Soporta Thunderbird\\) 38.5");
    ASSERT_FALSE(main.empty()) << "the main window";
    const std::string copied = run.WaitWindow("Postique");
    ASSERT_FALSE(copied.empty()) << "the box of the copy";
    run.Press(copied, 0, 1);
    const std::string counted = run.WaitWindow("Postique", copied);
    ASSERT_FALSE(counted.empty()) << "the box of the count";
    run.Press(counted, 0, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    run.Close(main);
    EXPECT_EQ(run.Exit(), 0);
  }
  const ProgramRun terminal = RunProgram(Install(terminalFolder), {}, "", Env(temp));
  EXPECT_EQ(terminal.status, 0);
  EXPECT_EQ(List(desktopFolder / "MapiIn"), List(terminalFolder / "MapiIn"));
  EXPECT_EQ(ReadFile(desktopFolder / "MapiIn/p9.csv"), "a;b\r\n");
  EXPECT_TRUE(List(temp / ("postique-" + std::to_string(::geteuid()))).empty())
      << "no copy left behind";
}

TEST_F(Desktop, AJobIsConfirmedInItsBoxAndSentAsFromTheTerminal) {
  TempDir folder, temp;
  WriteFile(folder / "factura.pdf", "%PDF");
  const std::string job =
      "ana@example.es\r\nFactura\r\nAdjunta\r\n" + folder / "factura.pdf" + "\r\n\r\nO\r\n";
  WriteFile(folder / "job.txt", job);
  {
    OnDesktop run(Install(folder), {folder / "job.txt"}, Env(temp));
    const std::string confirm = run.WaitWindow("Postique");
    ASSERT_FALSE(confirm.empty()) << "the mail client's confirmation";
    run.Press(confirm, 0, 2);  // Sí
    EXPECT_EQ(run.Exit(), 0);
  }
  EXPECT_FALSE(Exists(folder / "job.txt"));
  const std::string sent = ReadFile(bin / "message");
  EXPECT_NE(sent.find("filename=factura.pdf"), std::string::npos) << sent;

  std::filesystem::remove(bin / "message");
  WriteFile(folder / "job.txt", job);
  const ProgramRun terminal = RunProgram(Install(temp), {folder / "job.txt"}, "s\n", Env(temp));
  EXPECT_EQ(terminal.status, 0) << terminal.out;
  EXPECT_TRUE(Exists(bin / "message")) << "the terminal sends the same job";
}

}  // namespace
}  // namespace postique::testing
