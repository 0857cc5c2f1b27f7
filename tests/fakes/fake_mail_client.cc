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

void FakeMailClient::NeedSession() {
  if (!bound_) Raise(Err::kMapiInvalidSession);
}

const InboxMessage& FakeMailClient::Current() {
  NeedSession();
  if (index_ < 0 || index_ >= static_cast<int>(fetched_.size())) Raise(Err::kMapiInvalidMessage);
  return *fetched_[index_];
}

SentAttachment& FakeMailClient::DraftAttachment() {
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  if (static_cast<int>(draft_.attachments.size()) <= attachmentIndex_) {
    draft_.attachments.resize(attachmentIndex_ + 1);
  }
  return draft_.attachments[attachmentIndex_];
}

void FakeMailClient::SetDownLoadMail(bool value) {
  Enter("DownLoadMail");
  downLoadMail = value;
}

void FakeMailClient::SignOn() {
  Enter("SignOn");
  signedOn_ = true;
}

std::intptr_t FakeMailClient::SessionID() {
  Enter("SessionID");
  if (!signedOn_) Raise(Err::kMapiInvalidSession);
  return kSession;
}

void FakeMailClient::SignOff() {
  Enter("SignOff");
  if (!signedOn_) Raise(Err::kMapiInvalidSession);
  signedOn_ = bound_ = false;
}

void FakeMailClient::SetSessionID(std::intptr_t session) {
  Enter("SetSessionID");
  bound_ = signedOn_ && session == kSession;
}

void FakeMailClient::Compose() {
  Enter("Compose");
  NeedSession();
  composing_ = true;
  draft_ = {};
}

void FakeMailClient::SetRecipDisplayName(const std::string& value) {
  Enter("RecipDisplayName");
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  draft_.recipient = value;
}

void FakeMailClient::SetMsgSubject(const std::string& value) {
  Enter("SetMsgSubject");
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  draft_.subject = value;
}

void FakeMailClient::SetMsgNoteText(const std::string& value) {
  Enter("SetMsgNoteText");
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  draft_.body = value;
}

void FakeMailClient::SetAttachmentIndex(int value) {
  Enter("AttachmentIndex");
  attachmentIndex_ = value;
}

void FakeMailClient::SetAttachmentPathName(const std::string& value) {
  Enter("SetAttachmentPathName");
  DraftAttachment().path = value;
}

void FakeMailClient::SetAttachmentName(const std::string& value) {
  Enter("AttachmentName");
  DraftAttachment().name = value;
}

void FakeMailClient::ResolveName() {
  Enter("ResolveName");
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  if (unknownRecipients.count(draft_.recipient)) Raise(Err::kMapiUnknownRecipient);
  draft_.resolved = true;
}

void FakeMailClient::Send(bool dialog) {
  Enter("Send");
  NeedSession();
  if (!composing_) Raise(Err::kMapiInvalidMessage);
  if (onSend) onSend();
  draft_.dialog = dialog;
  outbox.push_back(draft_);
  composing_ = false;
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
  composing_ = false;
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
  return composing_ ? draft_.subject : Current().subject;
}

std::string FakeMailClient::MsgNoteText() {
  Enter("MsgNoteText");
  return composing_ ? draft_.body : Current().body;
}

int FakeMailClient::AttachmentCount() {
  Enter("AttachmentCount");
  return static_cast<int>(Current().attachments.size());
}

std::string FakeMailClient::AttachmentPathName() {
  Enter("AttachmentPathName");
  if (composing_) return DraftAttachment().path;
  const InboxMessage& m = Current();
  if (attachmentIndex_ < 0 || attachmentIndex_ >= static_cast<int>(m.attachments.size())) {
    Raise(Err::kMapiAttachmentNotFound);
  }
  return m.attachments[attachmentIndex_];
}

}  // namespace postique::testing
