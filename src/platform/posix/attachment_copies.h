// The temporary copies of inbox attachments that the order retrieval and
// the inbox browser are given to read: in a folder of their own in the
// run's folder, removed with it however the program ends.
#pragma once

#include <string>

#include "platform/posix/mime_reader.h"

namespace postique::posix {

class AttachmentCopies {
 public:
  AttachmentCopies() = default;
  // Removes the folder and every copy in it.
  ~AttachmentCopies();
  AttachmentCopies(const AttachmentCopies&) = delete;
  AttachmentCopies& operator=(const AttachmentCopies&) = delete;

  // The private folder, made when first asked for.
  std::string Folder();
  // The copy of the attachment at position (from 0) of its message, written
  // unless it already is, decoding into buffers.
  std::string Write(ParsedMessage::Attachment& attachment, int position, MimeBuffers& buffers);
  // Removes the copies of a message that nobody asks for any more.
  void Forget(const ParsedMessage& parsed);

 private:
  std::string temp_;  // made when the first copy is asked for
  int folders_ = 0;   // made for copies whose names met
};

}  // namespace postique::posix
