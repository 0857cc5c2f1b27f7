#pragma once

#include <string>

#include "base/ports.h"

namespace postique::win32 {

class Win32Files : public Files {
 public:
  explicit Win32Files(std::string programFolder) : programFolder_(std::move(programFolder)) {}

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
  char Separator() const override { return '\\'; }

 private:
  std::string programFolder_;
};

// The folder of the running executable.
std::string ExecutableFolder();

// An attachment's path that names a folder or a device (NUL, CON, COM1...)
// is no file to send: refused as a missing one is (32011).
void NeedAttachmentFile(const std::string& path);

}  // namespace postique::win32
