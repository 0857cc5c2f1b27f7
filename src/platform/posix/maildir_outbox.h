// Outgoing mail on Linux: the message composed through the mail controls,
// written by GMime as one MIME message, delivered into the Maildir's .Sent
// folder by the Maildir protocol and handed to a sendmail-compatible program.
#pragma once

#include <chrono>
#include <string>

#include "base/screen.h"
#include "transport/outgoing_message.h"

namespace postique::posix {

class MaildirOutbox {
 public:
  MaildirOutbox(Screen& screen, std::string maildir, std::chrono::milliseconds sendmailLimit);

  // Every address of a destination, which may list several separated by ";"
  // or ",": each one a mailbox, or unknown recipient (32014).
  static void CheckRecipients(const std::string& destination);

  // Asks first when dialog; then sends, sendmail working in folder, and
  // keeps the message in .Sent.
  void Send(const OutgoingMessage& message, bool dialog, const std::string& folder);

 private:
  bool Confirm(const OutgoingMessage& message);
  // Writes the whole message into file.
  void Write(const OutgoingMessage& message, const std::string& file);

  Screen& screen_;
  std::string maildir_;
  std::chrono::milliseconds sendmailLimit_;
};

}  // namespace postique::posix
