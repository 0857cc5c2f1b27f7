// Where a run keeps the record of the copy it is staging in an order
// folder: in a folder of its own inside Postique's folder of the user
// (%LOCALAPPDATA%\Postique\Ejecuciones). A run holds its folder's lock file
// open, shared with nobody, from the moment the folder is made until the run
// ends; a run that could not clean up (a crash, a power cut) leaves it
// unheld, and the next run removes it with the staged copy it records, when
// that is still the very file the run made. Nothing else is ever removed.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/handle.h"

namespace postique::win32 {

// Postique's folder of the user, where its drafts and runs are kept.
std::wstring UserFolder();

class RunFolder {
 public:
  // This run's folder, made when first asked for; what ended runs left goes
  // then.
  static RunFolder& Get();
  // Removes the folder.
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // The copy open as file is staged at path until Staged: recorded as this
  // run's, so that a later run removes it should this one end before.
  void Staging(HANDLE file, const std::wstring& path);
  // The staged copy has been renamed into place or removed.
  void Staged();

 private:
  RunFolder();

  std::wstring path_;
  Handle lock_{INVALID_HANDLE_VALUE};    // open while the run lives
  Handle record_{INVALID_HANDLE_VALUE};  // volume, file index and path of the copy
};

}  // namespace postique::win32
