#include "platform/win32/mapi_client.h"

#include <algorithm>
#include <list>
#include <set>
#include <string_view>
#include <unordered_set>

#include "base/failure.h"
#include "base/text.h"
#include "platform/win32/code_page.h"
#include "platform/win32/win32_files.h"

namespace postique::win32 {

namespace {

constexpr size_t kMessageIdSize = 512;
constexpr ULONG kNotPlaced = 0xFFFFFFFF;  // attachment position: not in the text

// The mail program's failure by its Simple MAPI code: 32000 plus the code,
// anything unknown the unspecified failure.
Failure MapiFailure(ULONG code, const std::string& detail = {}) {
  if (code < MAPI_E_USER_ABORT || code > MAPI_E_NOT_SUPPORTED || code == 7) {
    return MakeFailure(Err::kMapiFailure,
                       "código " + std::to_string(code) + (detail.empty() ? "" : ", " + detail));
  }
  return MakeFailure(static_cast<Err>(32000 + static_cast<long>(code)), detail);
}

// A block the mail program allocated for us, given back exactly once.
template <class T>
class Buffer {
 public:
  explicit Buffer(LPMAPIFREEBUFFER free) : free_(free) {}
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() {
    if (block_) free_(block_);
  }
  T** out() { return &block_; }
  T* operator->() const { return block_; }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  LPMAPIFREEBUFFER free_;
  T* block_ = nullptr;
};

std::string Text(const char* ansi) {
  return ansi ? AnsiToUtf8(ansi) : std::string();
}

// A plain mail address, which the mail program takes as an SMTP address; a
// display name or anything else is left for it to resolve.
bool IsBareAddress(const std::string& text) {
  return text.find('@') != std::string::npos && text.find_first_of(" <>\"") == std::string::npos;
}

struct Outgoing {
  struct File {
    std::string path, name;
  };
  std::vector<std::pair<std::string, std::string>> to;  // name, address (may be empty)
  std::string subject, body;
  std::vector<File> files;
};

// Fills the Simple MAPI message of one character width and sends it; Text is
// std::string for MAPISendMail, std::wstring for MAPISendMailW.
template <class Message, class Recip, class File, class Text>
ULONG SendAs(ULONG(WINAPI* send)(LHANDLE, ULONG_PTR, Message*, FLAGS, ULONG), LHANDLE session,
             ULONG_PTR window, FLAGS flags, const Outgoing& mail,
             Text (*convert)(std::string_view)) {
  std::list<Text> texts;  // the strings the message points into
  const auto keep = [&](const std::string& text) {
    texts.push_back(convert(text));
    return texts.back().data();
  };
  std::vector<Recip> recips;
  for (const auto& [name, address] : mail.to) {
    recips.push_back(
        {0, MAPI_TO, keep(name), address.empty() ? nullptr : keep(address), 0, nullptr});
  }
  std::vector<File> files;
  for (const Outgoing::File& f : mail.files) {
    files.push_back({0, 0, kNotPlaced, keep(f.path), keep(f.name), nullptr});
  }
  Message message{};
  message.lpszSubject = keep(mail.subject);
  message.lpszNoteText = keep(mail.body);
  message.nRecipCount = static_cast<ULONG>(recips.size());
  message.lpRecips = recips.empty() ? nullptr : recips.data();
  message.nFileCount = static_cast<ULONG>(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();
  return send(session, window, &message, flags, 0);
}

}  // namespace

MapiClient::MapiClient(const MapiLibrary& library, Surroundings surroundings)
    : library_(library), surroundings_(std::move(surroundings)) {}

MapiClient::~MapiClient() {
  ForgetCurrent();
  if (binding_.open()) Functions().logoff(session_, surroundings_.window(), 0, 0);
}

const MapiFunctions& MapiClient::Functions() const {
  return library_.functions();
}

void MapiClient::SignOn() {
  const MapiFunctions& f = Functions();
  if (binding_.open()) return;  // the session of an earlier run is still open: it serves
  // Without a mail program the system's own stand-in may sign on and then
  // block on a box of its own: what can be seen is said first.
  if (const std::string obstacle = surroundings_.obstacle(); !obstacle.empty()) {
    Raise(Err::kMapiLoginFailure, obstacle);
  }
  LHANDLE session = 0;
  const ULONG code =
      f.logon(surroundings_.window(), nullptr, nullptr,
              MAPI_LOGON_UI | (downLoadMail_ ? MAPI_FORCE_DOWNLOAD : 0), 0, &session);
  if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
  session_ = session;
  binding_.Open(static_cast<std::intptr_t>(session));
}

std::intptr_t MapiClient::SessionID() {
  return binding_.id();
}

void MapiClient::SignOff() {
  binding_.NeedOpen();
  ForgetCurrent();
  const ULONG code = Functions().logoff(session_, surroundings_.window(), 0, 0);
  binding_.Close();
  composer_.Drop();
  ids_.clear();
  index_ = -1;
  if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
}

void MapiClient::Compose() {
  ComposingMessages::Compose();
  resolved_.clear();
}

void MapiClient::SetRecipDisplayName(const std::string& value) {
  ComposingMessages::SetRecipDisplayName(value);
  resolved_.clear();
}

void MapiClient::ResolveName() {
  NeedSession();
  const std::string& destination = composer_.message().destination;
  const MapiFunctions& f = Functions();
  resolved_.clear();
  const std::vector<std::string> addresses = SplitRecipients(destination);
  if (addresses.empty()) Raise(Err::kMapiInvalidRecips, destination);
  std::optional<Failure> failed;
  for (const std::string& address : addresses) {
    Buffer<MapiRecipDesc> recipient(f.freeBuffer);
    std::string name = Utf8ToAnsi(address);
    const ULONG code =
        f.resolveName(session_, surroundings_.window(), name.data(), 0, 0, recipient.out());
    if (code == SUCCESS_SUCCESS && recipient) {
      resolved_.push_back({Text(recipient->lpszName), Text(recipient->lpszAddress)});
    } else {
      // Kept as written: the send may still reach it.
      resolved_.push_back({address, IsBareAddress(address) ? "SMTP:" + address : ""});
      if (!failed) failed = MapiFailure(code, address);
    }
  }
  if (failed) throw *failed;
}

std::vector<MapiClient::Recipient> MapiClient::Recipients() {
  if (!resolved_.empty()) return resolved_;
  std::vector<Recipient> to;
  for (const std::string& address : SplitRecipients(composer_.message().destination)) {
    to.push_back({address, IsBareAddress(address) ? "SMTP:" + address : ""});
  }
  return to;
}

void MapiClient::Send(bool dialog) {
  NeedSession();
  const OutgoingMessage& draft = composer_.message();
  Outgoing mail;
  // Every address of the destination is a recipient of its own.
  for (const Recipient& r : Recipients()) mail.to.emplace_back(r.name, r.address);
  mail.subject = draft.subject;
  mail.body = draft.body;
  for (const OutgoingMessage::Attachment& a : draft.attachments) {
    if (a.path.empty()) continue;  // an empty entry of the job's list names no file
    NeedAttachmentFile(a.path);
    // The recipient sees the file's name only, never the sender's folders.
    mail.files.push_back({a.path, a.FileName()});
  }
  const MapiFunctions& f = Functions();
  const FLAGS flags = dialog ? MAPI_DIALOG : 0;
  const ULONG code =
      f.sendMailW ? SendAs<MapiMessageW, MapiRecipDescW, MapiFileDescW>(
                        f.sendMailW, session_, surroundings_.window(), flags, mail, Wide)
                  : SendAs<MapiMessage, MapiRecipDesc, MapiFileDesc>(
                        f.sendMail, session_, surroundings_.window(), flags, mail, Utf8ToAnsi);
  if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
  composer_.Drop();
}

void MapiClient::Fetch() {
  NeedSession();
  const MapiFunctions& f = Functions();
  ForgetCurrent();
  composer_.Drop();
  ids_.clear();
  index_ = -1;
  // Oldest first; some mail programs ignore the unread filter, so it is
  // applied here too.
  const FLAGS flags = MAPI_LONG_MSGID | MAPI_GUARANTEE_FIFO | (unreadOnly_ ? MAPI_UNREAD_ONLY : 0);
  std::unordered_set<std::string_view> seen;  // into ids_
  size_t listed = 0;                          // bytes, as kMostListBytes counts them
  std::string seed;
  for (;;) {
    char id[kMessageIdSize] = {};
    const ULONG code = f.findNext(session_, surroundings_.window(), nullptr,
                                  seed.empty() ? nullptr : seed.data(), flags, 0, id);
    if (code == MAPI_E_NO_MESSAGES) break;
    // One that cannot list its inbox for others (Wine's own) is named.
    if (code == MAPI_E_NOT_SUPPORTED && surroundings_.name) {
      throw MapiFailure(code, surroundings_.name());
    }
    if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
    id[kMessageIdSize - 1] = '\0';
    seed = id;
    // One that starts over, or that never stops giving new messages, would
    // keep the walk going for ever.
    listed += seed.size() + 100;
    if (seen.contains(seed) || listed > kMostListBytes) {
      ids_.clear();
      Raise(Err::kMapiFailure,
            "el programa de correo no deja de dar mensajes de la bandeja de "
            "entrada (" +
                std::to_string(seen.size()) + " y sigue)");
    }
    seen.insert(ids_.emplace_back(seed));
  }
  if (unreadOnly_) {
    std::erase_if(ids_, [&](std::string& id) {
      Buffer<MapiMessage> message(f.freeBuffer);
      const ULONG code = f.readMail(session_, surroundings_.window(), id.data(),
                                    MAPI_ENVELOPE_ONLY | MAPI_PEEK, 0, message.out());
      return code != SUCCESS_SUCCESS || !message || !(message->flFlags & MAPI_UNREAD);
    });
  }
  if (!ids_.empty()) index_ = 0;
}

void MapiClient::SetMsgIndex(int value) {
  if (value < 0 || value >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (value != index_) ForgetCurrent();
  index_ = value;
  composer_.Drop();
}

void MapiClient::ForgetCurrent() {
  if (current_) current_->made.RemoveAll();
  current_.reset();
}

MapiClient::Read& MapiClient::Current() {
  NeedSession();
  if (index_ < 0 || index_ >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (current_) return *current_;
  const MapiFunctions& f = Functions();
  Buffer<MapiMessage> message(f.freeBuffer);
  // Read without marking it read, and without the attachment files yet.
  const ULONG code =
      f.readMail(session_, surroundings_.window(), ids_[static_cast<size_t>(index_)].data(),
                 MAPI_PEEK | MAPI_SUPPRESS_ATTACH, 0, message.out());
  if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
  if (!message) Raise(Err::kMapiInvalidMessage);
  Read read;
  read.date = Text(message->lpszDateReceived);
  read.subject = Text(message->lpszSubject);
  read.body = Text(message->lpszNoteText);
  read.files = static_cast<int>(message->nFileCount);
  if (const MapiRecipDesc* from = message->lpOriginator) {
    read.from = Text(from->lpszName);
    if (read.from.empty()) read.from = Text(from->lpszAddress);
  }
  current_ = std::move(read);
  return *current_;
}

std::string MapiClient::MsgDateReceived() {
  return Current().date;
}

std::string MapiClient::MsgOrigDisplayName() {
  return Current().from;
}

std::string MapiClient::MsgSubject() {
  return composer_.composing() ? composer_.message().subject : Current().subject;
}

std::string MapiClient::MsgNoteText() {
  return composer_.composing() ? composer_.message().body : Current().body;
}

int MapiClient::AttachmentCount() {
  return composer_.composing() ? static_cast<int>(composer_.message().attachments.size())
                               : Current().files;
}

std::string MapiClient::AttachmentPathName() {
  if (composer_.composing()) return composer_.attachment(attachmentIndex_).path;
  Read& read = Current();
  if (!read.copies) {
    // Now the mail program writes the files; they go when the scan leaves
    // the message.
    const MapiFunctions& f = Functions();
    Buffer<MapiMessage> message(f.freeBuffer);
    read.made.BeforeRead();
    const ULONG code =
        f.readMail(session_, surroundings_.window(), ids_[static_cast<size_t>(index_)].data(),
                   MAPI_PEEK, 0, message.out());
    std::vector<std::string> copies;
    for (ULONG i = 0; message && i < message->nFileCount; ++i) {
      copies.push_back(Text(message->lpFiles[i].lpszPathName));
      read.made.Consider(copies.back());
    }
    if (code != SUCCESS_SUCCESS) throw MapiFailure(code);
    read.copies = std::move(copies);
  }
  if (attachmentIndex_ < 0 || attachmentIndex_ >= static_cast<int>(read.copies->size())) {
    Raise(Err::kMapiAttachmentNotFound);
  }
  return (*read.copies)[static_cast<size_t>(attachmentIndex_)];
}

}  // namespace postique::win32
