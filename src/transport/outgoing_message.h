// The outgoing message that the compose properties of the messages control
// build, the same for every mail client: there is none before Compose, and
// an attachment's path and name go to the one at the client's attachment
// index.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace postique {

struct OutgoingMessage {
  struct Attachment {
    std::string path, name;
    // The name the recipient sees: that of AttachmentName, else the file's.
    std::string FileName() const;
  };
  std::string destination, subject, body;
  std::vector<Attachment> attachments;
};

class Composer {
 public:
  // Starts a new message.
  void Compose() { message_.emplace(); }
  // No message any more: it was sent, or the inbox is being read.
  void Drop() { message_.reset(); }
  bool composing() const { return message_.has_value(); }
  // The message being composed; invalid message (32017) when there is none.
  OutgoingMessage& message();

  void SetDestination(const std::string& value) { message().destination = value; }
  void SetSubject(const std::string& value) { message().subject = value; }
  void SetBody(const std::string& value) { message().body = value; }
  // The attachment at index, made when first named; a negative index names
  // none (32011).
  OutgoingMessage::Attachment& attachment(int index);

 private:
  std::optional<OutgoingMessage> message_;
};

}  // namespace postique
