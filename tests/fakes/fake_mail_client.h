// An in-memory mail client behind both mail controls: an inbox of messages
// whose attachments are real files, an outbox that records every sent
// message, and failures injected per operation.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "base/mail_session.h"
#include "transport/composing_messages.h"

namespace postique::testing {

struct InboxMessage {
  std::string date, from, subject, body;
  std::vector<std::string> attachments;  // paths of the client's temporary copies
  bool unread = true;
};

struct SentAttachment {
  std::string path, name;
  bool operator==(const SentAttachment&) const = default;
};

struct SentMessage {
  std::string recipient, subject, body;
  std::vector<SentAttachment> attachments;
  bool dialog = false;
  bool resolved = false;
};

class FakeMailClient : public MAPISession, public ComposingMessages {
 public:
  std::vector<InboxMessage> inbox;
  std::vector<SentMessage> outbox;
  std::set<std::string> unknownRecipients;  // ResolveName fails for these
  std::vector<std::string> calls;           // every operation, in order
  bool downLoadMail = false;
  std::function<void()> onSend;  // runs inside Send, as the client's own work

  // The operation fails with failure on its next times calls.
  void Fail(const std::string& operation, Failure failure, int times = 1000);
  int Count(const std::string& operation) const;

  void SetDownLoadMail(bool value) override;
  void SignOn() override;
  std::intptr_t SessionID() override;
  void SignOff() override;
  void SetSessionID(std::intptr_t session) override;
  void Compose() override;
  void SetRecipDisplayName(const std::string& value) override;
  void SetMsgSubject(const std::string& value) override;
  void SetMsgNoteText(const std::string& value) override;
  void SetAttachmentIndex(int value) override;
  void SetAttachmentPathName(const std::string& value) override;
  void SetAttachmentName(const std::string& value) override;
  void ResolveName() override;
  void Send(bool dialog) override;
  void SetFetchUnreadOnly(bool value) override;
  void Fetch() override;
  int MsgCount() override;
  int MsgIndex() override;
  void SetMsgIndex(int value) override;
  std::string MsgDateReceived() override;
  std::string MsgOrigDisplayName() override;
  std::string MsgSubject() override;
  std::string MsgNoteText() override;
  int AttachmentCount() override;
  std::string AttachmentPathName() override;

 private:
  void Enter(const std::string& operation);
  const InboxMessage& Current();

  std::map<std::string, std::pair<Failure, int>> failures_;
  bool unreadOnly_ = true, resolved_ = false;
  std::vector<const InboxMessage*> fetched_;
  int index_ = -1;
};

}  // namespace postique::testing
