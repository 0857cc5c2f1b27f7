#pragma once

#include <memory>
#include <string>

#include "base/ports.h"

namespace postique::posix {

class PosixFiles : public Files {
 public:
  explicit PosixFiles(std::string programFolder) : programFolder_(std::move(programFolder)) {}

  std::string Lookup(const std::string& path) override;
  std::vector<std::string> ReadLines(const std::string& path) override;
  std::unique_ptr<TextWriter> CreateText(const std::string& path) override;
  void Copy(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;
  void MakeFolder(const std::string& path) override;
  std::string CurrentFolder() override;
  void ChangeDrive(const std::string& path) override;
  void ChangeFolder(const std::string& path) override;
  std::string ProgramFolder() override { return programFolder_; }
  char Separator() const override { return '/'; }

 private:
  // What Copy moves at a time, aligned for writes that bypass the cache.
  struct alignas(4096) Chunk {
    char bytes[1 << 20];
  };

  std::string programFolder_;
  std::unique_ptr<Chunk> chunk_;  // made by the first copy, kept for the next
};

// The folder of the running executable.
std::string ExecutableFolder();

}  // namespace postique::posix
