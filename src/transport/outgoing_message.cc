#include "transport/outgoing_message.h"

#include "base/failure.h"
#include "base/text.h"

namespace postique {

std::string OutgoingMessage::Attachment::FileName() const {
  return FileNamePart(name.empty() ? path : name);
}

OutgoingMessage& Composer::message() {
  if (!message_) Raise(Err::kMapiInvalidMessage);
  return *message_;
}

OutgoingMessage::Attachment& Composer::attachment(int index) {
  OutgoingMessage& m = message();
  if (index < 0) Raise(Err::kMapiAttachmentNotFound);
  const auto slot = static_cast<size_t>(index);
  if (m.attachments.size() <= slot) m.attachments.resize(slot + 1);
  return m.attachments[slot];
}

}  // namespace postique
