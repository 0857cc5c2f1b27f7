// The small ports through which the core reaches the platform. Every
// operation may throw Failure.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace postique {

// A text file open for writing, in the system's single-byte code page.
class TextWriter {
 public:
  virtual ~TextWriter() = default;
  virtual void Write(const std::string& text) = 0;
  virtual void Close() = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // The file name of the normal file at path, or empty when there is none
  // (folders and hidden or system files do not count).
  virtual std::string Lookup(const std::string& path) = 0;
  // Every line of a text file in the single-byte code page, as UTF-8. CR LF,
  // a bare LF and a bare CR each end a line.
  virtual std::vector<std::string> ReadLines(const std::string& path) = 0;
  // Creates the file, or empties it when it exists.
  virtual std::unique_ptr<TextWriter> CreateText(const std::string& path) = 0;
  // Copies from onto to, replacing it. The copy is written beside to, under a
  // name that readers of the folder do not take (hidden, or a dot name), made
  // durable and only then renamed into place: no half-written file is ever
  // seen at to, the rename never crosses a volume, and nothing is left behind
  // when the copy fails.
  virtual void Copy(const std::string& from, const std::string& to) = 0;
  virtual void Remove(const std::string& path) = 0;
  // Makes the folder; one that is there already is left as it is: it is
  // made before every use, and a failure costs more than a look.
  virtual void MakeFolder(const std::string& path) = 0;
  // The current folder, as a full path.
  virtual std::string CurrentFolder() = 0;
  // Makes the drive that path names current (nothing to do without drives).
  virtual void ChangeDrive(const std::string& path) = 0;
  virtual void ChangeFolder(const std::string& path) = 0;
  // The folder that holds the program, without a trailing separator.
  virtual std::string ProgramFolder() = 0;
  // The separator between folder and file names in paths the core builds.
  virtual char Separator() const = 0;
};

class Launcher {
 public:
  virtual ~Launcher() = default;
  // Starts program by name with one Windows-style parameter string, shown
  // normally, without waiting. The result follows the shell's convention:
  // greater than 32 on success, 32 or less on failure (2: not found).
  virtual int Open(const std::string& program, const std::string& parameters) = 0;
};

// Thrown by Process::End; carries the exit status to the program's entry,
// where the backends clean up and leave.
struct ProgramEnd {
  int status;
};

class Process {
 public:
  virtual ~Process() = default;
  // The whole argument text after the program name.
  virtual std::string CommandLine() = 0;
  // Ends the program at once: no more events reach any window.
  [[noreturn]] void End(int status) { throw ProgramEnd{status}; }
};

// Exit statuses of the program.
inline constexpr int kExitNormal = 0;
inline constexpr int kExitSendError = 1;
inline constexpr int kExitUnanswerable = 3;
// The program could not show its window, and ended before it read the job.
inline constexpr int kExitNoWindow = 2;

}  // namespace postique
