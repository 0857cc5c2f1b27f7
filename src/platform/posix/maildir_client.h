// The mail client on Linux: the user's Maildir is the inbox, and outgoing
// mail goes to a sendmail-compatible program. Every MIME detail is GMime's.
// It puts together what does the work: the listing, the reader and the
// thread that reads ahead, the attachment copies and the outbox.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/mail_session.h"
#include "base/screen.h"
#include "platform/posix/attachment_copies.h"
#include "platform/posix/maildir_listing.h"
#include "platform/posix/maildir_outbox.h"
#include "platform/posix/mime_reader.h"
#include "platform/posix/parse_ahead.h"
#include "transport/composing_messages.h"

namespace postique::posix {

class MaildirClient : public MAPISession, public ComposingMessages {
 public:
  // How long sendmail may take before the send is given up: a queueing
  // sendmail takes moments, one talking to a slow server a while.
  static constexpr std::chrono::milliseconds kSendmailLimit = std::chrono::minutes(5);

  // maildir is the profile: the Maildir whose new/ and cur/ are the inbox.
  MaildirClient(Screen& screen, std::string maildir,
                std::chrono::milliseconds sendmailLimit = kSendmailLimit);
  // Every temporary attachment copy goes with it.
  ~MaildirClient() override = default;
  MaildirClient(const MaildirClient&) = delete;
  MaildirClient& operator=(const MaildirClient&) = delete;

  // There is no server to download from: accepted, changes nothing.
  void SetDownLoadMail(bool) override {}
  void SignOn() override;
  std::intptr_t SessionID() override;
  void SignOff() override;

  void ResolveName() override;
  void Send(bool dialog) override;

  void SetFetchUnreadOnly(bool value) override { unreadOnly_ = value; }
  void Fetch() override;
  int MsgCount() override { return listing_.size(); }
  int MsgIndex() override { return index_; }
  void SetMsgIndex(int value) override;
  std::string MsgDateReceived() override;
  std::string MsgOrigDisplayName() override;
  std::string MsgSubject() override;
  std::string MsgNoteText() override;
  int AttachmentCount() override;
  std::string AttachmentPathName() override;

 private:
  // How many messages after the current one are parsed ahead while an
  // attachment of it is copied.
  static constexpr int kAhead = 10;

  // Lets go of the current message and removes its attachment copies.
  void ForgetCurrent();
  ParsedMessage& Current();
  // An emptied message to parse into.
  std::unique_ptr<ParsedMessage> Shell();
  void Recycle(std::unique_ptr<ParsedMessage> parsed);
  // Keeps of the messages parsed ahead those numbered from up to to; the
  // batch has ended.
  void KeepAhead(int from, int to);
  // Starts parsing the messages after the current one, unless that is under way.
  void ReadAhead();
  MimeBuffers& Kept();

  Screen& screen_;
  MaildirListing listing_;
  MaildirOutbox outbox_;
  AttachmentCopies copies_;
  bool unreadOnly_ = true;
  int index_ = -1;
  std::unique_ptr<ParsedMessage> current_;
  std::unique_ptr<Failure> unreadable_;                 // why the current message could not be read
  std::vector<std::unique_ptr<ParsedMessage>> shells_;  // emptied, for the next messages
  std::unique_ptr<MimeBuffers> buffers_;                // made when first needed
  std::unique_ptr<ParseAhead> ahead_;  // last: its thread ends before what it was given goes
};

}  // namespace postique::posix
