#pragma once

#include <map>
#include <string>
#include <vector>

namespace postique::testing {

struct ProgramRun {
  int status = -1;
  std::string out;
};

// Runs a program to its end with input as its standard input, and returns
// its exit status and standard output. env adds to the environment, which
// has no DISPLAY unless env gives one.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& input, const std::map<std::string, std::string>& env = {});

// In a child process: adds env to the environment and becomes program, or
// ends with status failed.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& args,
                              const std::map<std::string, std::string>& env, int failed);

// What Python's email package (policy default) reads of the message in
// file: its subject, each attachment's file name and the plain body, a line
// each, the body last.
std::string PythonReads(const std::string& file);

class TempDir;

// Copies the program into a folder of its own, where it keeps its log and
// order folder; returns its path there.
std::string Install(const TempDir& folder);

}  // namespace postique::testing
