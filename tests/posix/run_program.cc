#include "posix/run_program.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "fakes/temp_dir.h"

namespace postique::testing {

void ExecProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, int failed) {
  for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(program.c_str(), argv.data());
  ::_exit(failed);
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input, const std::map<std::string, std::string>& env) {
  TempDir io;
  WriteFile(io / "in", input);
  const std::string outPath = io / "out";
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open((io / "in").c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(in, 0);
    ::dup2(out, 1);
    // The terminal's program unless a display is given on purpose.
    ::unsetenv("DISPLAY");
    ExecProgram(program, args, env, 126);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(outPath)};
}

std::string Install(const TempDir& folder) {
  const std::string program = folder / "postique";
  std::filesystem::copy_file(POSTIQUE_BINARY, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  return program;
}

std::string PythonReads(const std::string& file) {
  static constexpr char kScript[] = R"(import sys, email, email.policy
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
body = m.get_body(('plain',))
lines = [str(m['subject'])] + [p.get_filename() or '' for p in m.iter_attachments()]
sys.stdout.write('\n'.join(lines + [body.get_content() if body else '']))
)";
  return RunProgram("/usr/bin/python3", {"-c", kScript, file}, "", {{"PYTHONIOENCODING", "utf-8"}})
      .out;
}

}  // namespace postique::testing
