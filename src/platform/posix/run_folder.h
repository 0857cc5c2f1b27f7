// Where a run keeps its private files: in a folder of its own inside one
// folder of this user's that only Postique makes and uses,
// $XDG_RUNTIME_DIR/postique, else postique-UID in the temporary folder. A
// run holds a lock on its folder from the moment the folder is made until
// the run ends; a run that could not clean up (SIGKILL, a crash, a power
// cut) leaves its folder unlocked, and the next run removes it, with the
// staged copy it records in an order folder. Nothing else is ever removed.
#pragma once

#include <functional>
#include <string>

#include "platform/posix/fd.h"

namespace postique::posix {

class RunFolder {
 public:
  // This run's folder, made when first asked for; what ended runs left goes
  // then.
  static RunFolder& Get();
  // Removes the folder and what is in it.
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& path() const { return path_; }
  // Stages the copy open as fd at path until Staged: records it as this
  // run's, then calls name, which gives it that name and says whether it
  // did, with the ending signals held off. Should the run end before
  // Staged, the copy goes, by the signal that ends it or by a later run.
  bool Staging(int fd, const std::string& path, const std::function<bool()>& name);
  // The staged copy has been renamed into place or removed.
  void Staged();

 private:
  RunFolder();

  std::string path_;
  Fd held_{-1};    // the folder, locked while the run lives
  Fd record_{-1};  // what is staged: device, inode and path of the copy
};

}  // namespace postique::posix
