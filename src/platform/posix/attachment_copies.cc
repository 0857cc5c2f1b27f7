#include "platform/posix/attachment_copies.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/failure.h"
#include "platform/posix/errno_failure.h"
#include "platform/posix/run_folder.h"
#include "platform/posix/safe_file_name.h"

namespace postique::posix {

AttachmentCopies::~AttachmentCopies() {
  if (!temp_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(temp_, ignored);
  }
}

std::string AttachmentCopies::Folder() {
  if (temp_.empty()) {
    std::string pattern = RunFolder::Get().path() + "/copies-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw ErrnoFailure(errno, pattern);  // made with mode 0700
    temp_ = pattern;
  }
  return temp_;
}

void AttachmentCopies::Forget(const ParsedMessage& parsed) {
  for (const ParsedMessage::Attachment& a : parsed.attachments) {
    if (a.copy.empty()) continue;
    ::unlink(a.copy.c_str());
    const std::string folder = a.copy.substr(0, a.copy.rfind('/'));
    if (folder != temp_) ::rmdir(folder.c_str());  // a folder of its own
  }
}

std::string AttachmentCopies::Write(ParsedMessage::Attachment& a, int position,
                                    MimeBuffers& buffers) {
  if (!a.copy.empty()) return a.copy;
  // Under its own name in the temporary folder; in a folder of its own when
  // another copy has that name, so that names never meet.
  const std::string name = SafeAttachmentName(a.name, position + 1);
  std::string path = Folder() + "/" + name;
  const auto create = [](const std::string& at) {
    return ::open(at.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  };
  Fd fd(create(path));
  if (fd.get() < 0 && errno == EEXIST) {
    const std::string folder = Folder() + "/" + std::to_string(++folders_);
    if (::mkdir(folder.c_str(), 0700) != 0) throw ErrnoFailure(errno, folder);
    path = folder + "/" + name;
    fd.Reset(create(path));
  }
  if (fd.get() < 0) {
    Raise(Err::kMapiAttachmentWriteFailure, path + " (" + std::strerror(errno) + ")");
  }
  // A private copy, only read back by the copy into the order folder: it is
  // written whole, never synced.
  bool written = true;
  if (!a.part) {
    written = WriteFully(fd.get(), a.data);
  } else if (GMimeDataWrapper* content = g_mime_part_get_content(a.part)) {
    if (MimeBuffers::Holds(content)) {
      // Decoded in memory and written in one go.
      const auto decoded = buffers.Decode(content);
      written = decoded && WriteFully(fd.get(), *decoded);
    } else {
      // A large one streams from the message through the decoder.
      Ref<GMimeStream> out(g_mime_stream_fs_new(fd.get()));
      g_mime_stream_fs_set_owner(GMIME_STREAM_FS(out.get()), FALSE);
      written = g_mime_data_wrapper_write_to_stream(content, out.get()) >= 0;
    }
  }
  const int error = errno;  // of the call that failed, if one did
  if (written) {
    try {
      fd.Close(path);
    } catch (const Failure& f) {
      ::unlink(path.c_str());
      Raise(Err::kMapiAttachmentWriteFailure, f.description());
    }
  } else {
    ::unlink(path.c_str());
    Raise(Err::kMapiAttachmentWriteFailure, path + " (" + std::strerror(error) + ")");
  }
  a.copy = path;
  return path;
}

}  // namespace postique::posix
