// The attachment files a mail program writes for one read of a message,
// which the caller must remove, told from any other file the mail program
// may hand back (one it keeps, a system file, the user's own): a file that
// the read made in the temporary folder. Only those are ever removed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace postique::win32 {

class ReadCopies {
 public:
  // Just before the read: marks the time from which a file made in the
  // temporary folder is the read's.
  void BeforeRead();
  // After it: keeps path as the read's when it is a file the read made in
  // the temporary folder.
  void Consider(const std::string& path);
  // Removes the read's files, each only while it is still the very file it
  // was.
  void RemoveAll();

 private:
  struct Made {
    std::wstring path;  // as the system names it, every link resolved
    DWORD volume;
    ULONGLONG index;
  };
  std::wstring temp_;               // the temporary folder, named the same way
  std::optional<ULONGLONG> since_;  // none: no time could be had, nothing is the read's
  std::vector<Made> made_;
};

}  // namespace postique::win32
