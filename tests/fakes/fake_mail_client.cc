#include "fakes/fake_mail_client.h"

#include <algorithm>

namespace postique::testing {

namespace {
// A handle that needs every bit of a pointer: one cut to 32 bits is caught.
constexpr std::intptr_t kSession = sizeof(std::intptr_t) > 4
                                       ? static_cast<std::intptr_t>(0x7000000000001LL)
                                       : 0x70000001;
}  // namespace

void FakeMailClient::Fail(const std::string& operation, Failure failure, int times) {
  failures_.insert_or_assign(operation, std::pair{std::move(failure), times});
}

int FakeMailClient::Count(const std::string& operation) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), operation));
}

void FakeMailClient::Enter(const std::string& operation) {
  calls.push_back(operation);
  auto it = failures_.find(operation);
  if (it == failures_.end() || it->second.second <= 0) return;
  --it->second.second;
  throw it->second.first;
}

const InboxMessage& FakeMailClient::Current() {
  NeedSession();
  if (index_ < 0 || index_ >= static_cast<int>(fetched_.size())) Raise(Err::kMapiInvalidMessage);
  return *fetched_[index_];
}

void FakeMailClient::SetDownLoadMail(bool value) {
  Enter("DownLoadMail");
  downLoadMail = value;
}

void FakeMailClient::SignOn() {
  Enter("SignOn");
  binding_.Open(kSession);
}

std::intptr_t FakeMailClient::SessionID() {
  Enter("SessionID");
  return binding_.id();
}

void FakeMailClient::SignOff() {
  Enter("SignOff");
  binding_.NeedOpen();
  binding_.Close();
}

void FakeMailClient::SetSessionID(std::intptr_t session) {
  Enter("SetSessionID");
  ComposingMessages::SetSessionID(session);
}

void FakeMailClient::Compose() {
  Enter("Compose");
  ComposingMessages::Compose();
  resolved_ = false;
}

void FakeMailClient::SetRecipDisplayName(const std::string& value) {
  Enter("RecipDisplayName");
  ComposingMessages::SetRecipDisplayName(value);
}

void FakeMailClient::SetMsgSubject(const std::string& value) {
  Enter("SetMsgSubject");
  ComposingMessages::SetMsgSubject(value);
}

void FakeMailClient::SetMsgNoteText(const std::string& value) {
  Enter("SetMsgNoteText");
  ComposingMessages::SetMsgNoteText(value);
}

void FakeMailClient::SetAttachmentIndex(int value) {
  Enter("AttachmentIndex");
  ComposingMessages::SetAttachmentIndex(value);
}

void FakeMailClient::SetAttachmentPathName(const std::string& value) {
  Enter("SetAttachmentPathName");
  ComposingMessages::SetAttachmentPathName(value);
}

void FakeMailClient::SetAttachmentName(const std::string& value) {
  Enter("AttachmentName");
  ComposingMessages::SetAttachmentName(value);
}

void FakeMailClient::ResolveName() {
  Enter("ResolveName");
  if (unknownRecipients.count(composer_.message().destination)) Raise(Err::kMapiUnknownRecipient);
  resolved_ = true;
}

void FakeMailClient::Send(bool dialog) {
  Enter("Send");
  NeedSession();
  const OutgoingMessage& m = composer_.message();
  if (onSend) onSend();
  SentMessage sent{m.destination, m.subject, m.body, {}, dialog, resolved_};
  for (const OutgoingMessage::Attachment& a : m.attachments)
    sent.attachments.push_back({a.path, a.name});
  outbox.push_back(sent);
  composer_.Drop();
}

void FakeMailClient::SetFetchUnreadOnly(bool value) {
  Enter("FetchUnreadOnly");
  unreadOnly_ = value;
}

void FakeMailClient::Fetch() {
  Enter("Fetch");
  NeedSession();
  fetched_.clear();
  for (const InboxMessage& m : inbox) {
    if (!unreadOnly_ || m.unread) fetched_.push_back(&m);
  }
  index_ = fetched_.empty() ? -1 : 0;
  composer_.Drop();
}

int FakeMailClient::MsgCount() {
  Enter("MsgCount");
  return static_cast<int>(fetched_.size());
}

int FakeMailClient::MsgIndex() {
  Enter("MsgIndex");
  return index_;
}

void FakeMailClient::SetMsgIndex(int value) {
  Enter("SetMsgIndex");
  if (value < 0 || value >= static_cast<int>(fetched_.size())) Raise(Err::kMapiInvalidMessage);
  index_ = value;
  attachmentIndex_ = 0;
}

std::string FakeMailClient::MsgDateReceived() {
  Enter("MsgDateReceived");
  return Current().date;
}

std::string FakeMailClient::MsgOrigDisplayName() {
  Enter("MsgOrigDisplayName");
  return Current().from;
}

std::string FakeMailClient::MsgSubject() {
  Enter("MsgSubject");
  return composer_.composing() ? composer_.message().subject : Current().subject;
}

std::string FakeMailClient::MsgNoteText() {
  Enter("MsgNoteText");
  return composer_.composing() ? composer_.message().body : Current().body;
}

int FakeMailClient::AttachmentCount() {
  Enter("AttachmentCount");
  return static_cast<int>(Current().attachments.size());
}

std::string FakeMailClient::AttachmentPathName() {
  Enter("AttachmentPathName");
  if (composer_.composing()) return composer_.attachment(attachmentIndex_).path;
  const InboxMessage& m = Current();
  if (attachmentIndex_ < 0 || attachmentIndex_ >= static_cast<int>(m.attachments.size())) {
    Raise(Err::kMapiAttachmentNotFound);
  }
  return m.attachments[attachmentIndex_];
}

}  // namespace postique::testing
