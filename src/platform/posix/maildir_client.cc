#include "platform/posix/maildir_client.h"

#include <algorithm>
#include <ctime>
#include <system_error>
#include <utility>

#include "base/failure.h"
#include "platform/posix/gmime_ref.h"

namespace postique::posix {

namespace {

constexpr std::intptr_t kSession = 1;

}  // namespace

MaildirClient::MaildirClient(Screen& screen, std::string maildir,
                             std::chrono::milliseconds sendmailLimit)
    : screen_(screen), listing_(maildir), outbox_(screen, std::move(maildir), sendmailLimit) {
  InitGMime();
}

void MaildirClient::ForgetCurrent() {
  unreadable_.reset();
  if (current_) {
    copies_.Forget(*current_);
    Recycle(std::move(current_));
  }
}

void MaildirClient::SignOn() {
  if (!listing_.Readable()) {
    Raise(Err::kMapiLoginFailure, "no hay un buzón Maildir legible en " + listing_.maildir());
  }
  binding_.Open(kSession);
}

std::intptr_t MaildirClient::SessionID() {
  return binding_.id();
}

void MaildirClient::SignOff() {
  binding_.NeedOpen();
  binding_.Close();
  composer_.Drop();
}

void MaildirClient::Fetch() {
  NeedSession();
  composer_.Drop();
  ForgetCurrent();
  if (ahead_) {
    ahead_->Finish();
    KeepAhead(0, 0);  // what the old listing numbered
  }
  index_ = -1;
  listing_.List(unreadOnly_);
  if (listing_.size() > 0) index_ = 0;
  if (listing_.unlistable() > 0) {
    screen_.MsgBox("No se han podido leer " + std::to_string(listing_.unlistable()) +
                       " mensajes del buzón: otro programa les cambia el nombre sin cesar. "
                       "Vuelva a buscar cuando termine.",
                   mb::kOk | mb::kCritical);
  }
}

void MaildirClient::SetMsgIndex(int value) {
  if (value < 0 || value >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (value != index_) ForgetCurrent();  // nobody asks for its copies once the scan has left it
  index_ = value;
  composer_.Drop();
}

ParsedMessage& MaildirClient::Current() {
  NeedSession();
  if (index_ < 0 || index_ >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (current_) return *current_;
  if (ahead_) {
    ahead_->Finish();
    current_ = ahead_->Take(index_);
    if (current_) return *current_;
  }
  // A message that cannot be opened is a failure of its own, every time it
  // is asked for: never what the holder kept of the message before.
  if (unreadable_) throw *unreadable_;
  std::unique_ptr<ParsedMessage> parsed = Shell();
  off_t size = 0;
  try {
    Fd file = listing_.Open(index_, size);
    ReadMessage(std::move(file), size, Kept(), *parsed);
  } catch (const Failure& f) {
    unreadable_ = std::make_unique<Failure>(f);
    Recycle(std::move(parsed));
    throw;
  }
  current_ = std::move(parsed);
  return *current_;
}

std::unique_ptr<ParsedMessage> MaildirClient::Shell() {
  if (shells_.empty()) return std::make_unique<ParsedMessage>();
  std::unique_ptr<ParsedMessage> shell = std::move(shells_.back());
  shells_.pop_back();
  return shell;
}

void MaildirClient::Recycle(std::unique_ptr<ParsedMessage> parsed) {
  // No more than the messages in hand at once: the current one and those ahead.
  if (shells_.size() <= kAhead) shells_.push_back(std::move(parsed));
}

void MaildirClient::KeepAhead(int from, int to) {
  for (auto& given : ahead_->KeepOnly(from, to)) Recycle(std::move(given));
}

void MaildirClient::ReadAhead() {
  if (!ahead_) {
    try {
      ahead_ = std::make_unique<ParseAhead>();
    } catch (const std::system_error&) {
      return;  // no thread to be had: each message is parsed when it is asked for
    }
  } else if (ahead_->Busy()) {
    return;
  }
  const int from = index_ + 1, to = std::min(MsgCount(), from + kAhead);
  KeepAhead(from, to);
  // Opened here, where the listing is: the thread only reads what it is given.
  std::vector<ParseAhead::Job> batch;
  for (int i = from; i < to; ++i) {
    if (ahead_->Holds(i)) continue;
    off_t size = 0;
    Fd file(-1);
    try {
      file = listing_.Open(i, size);
    } catch (const Failure&) {
      break;  // the scan meets it when it gets there
    }
    batch.push_back({i, std::move(file), size, Shell()});
  }
  if (!batch.empty()) ahead_->Start(std::move(batch));
}

std::string MaildirClient::MsgDateReceived() {
  Current();
  const std::time_t delivered = static_cast<std::time_t>(listing_.Delivered(index_));
  std::tm local;
  ::localtime_r(&delivered, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
  return text;
}

std::string MaildirClient::MsgOrigDisplayName() {
  return Current().from;
}

std::string MaildirClient::MsgSubject() {
  return composer_.composing() ? composer_.message().subject : Current().subject;
}

std::string MaildirClient::MsgNoteText() {
  return composer_.composing() ? composer_.message().body : Current().body;
}

int MaildirClient::AttachmentCount() {
  return static_cast<int>(composer_.composing() ? composer_.message().attachments.size()
                                                : Current().attachments.size());
}

std::string MaildirClient::AttachmentPathName() {
  if (composer_.composing()) return composer_.attachment(attachmentIndex_).path;
  ParsedMessage& parsed = Current();
  if (attachmentIndex_ < 0 || attachmentIndex_ >= static_cast<int>(parsed.attachments.size())) {
    Raise(Err::kMapiAttachmentNotFound);
  }
  std::string path = copies_.Write(parsed.attachments[static_cast<size_t>(attachmentIndex_)],
                                   attachmentIndex_, Kept());
  // The caller copies it now, and mostly waits for the disk meanwhile.
  ReadAhead();
  return path;
}

MimeBuffers& MaildirClient::Kept() {
  if (!buffers_) buffers_ = std::make_unique<MimeBuffers>();
  return *buffers_;
}

void MaildirClient::ResolveName() {
  MaildirOutbox::CheckRecipients(composer_.message().destination);
}

void MaildirClient::Send(bool dialog) {
  NeedSession();
  outbox_.Send(composer_.message(), dialog, copies_.Folder());
  composer_.Drop();
}

}  // namespace postique::posix
