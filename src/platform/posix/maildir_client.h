// The mail client on Linux: the user's Maildir is the inbox, and outgoing
// mail goes to a sendmail-compatible program. Every MIME detail is GMime's.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/screen.h"
#include "platform/posix/fd.h"
#include "platform/posix/maildir_outbox.h"
#include "transport/mail_session.h"
#include "transport/outgoing_message.h"
#include "transport/session_binding.h"

namespace postique::posix {

class MaildirClient : public MAPISession, public MAPIMessages {
 public:
  // How long sendmail may take before the send is given up: a queueing
  // sendmail takes moments, one talking to a slow server a while.
  static constexpr std::chrono::milliseconds kSendmailLimit = std::chrono::minutes(5);

  // maildir is the profile: the Maildir whose new/ and cur/ are the inbox.
  MaildirClient(Screen& screen, std::string maildir,
                std::chrono::milliseconds sendmailLimit = kSendmailLimit);
  // Removes every temporary attachment copy.
  ~MaildirClient() override;
  MaildirClient(const MaildirClient&) = delete;
  MaildirClient& operator=(const MaildirClient&) = delete;

  // There is no server to download from: accepted, changes nothing.
  void SetDownLoadMail(bool) override {}
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

  void SetFetchUnreadOnly(bool value) override { unreadOnly_ = value; }
  void Fetch() override;
  int MsgCount() override { return static_cast<int>(fetched_.size()); }
  int MsgIndex() override { return index_; }
  void SetMsgIndex(int value) override;
  std::string MsgDateReceived() override;
  std::string MsgOrigDisplayName() override;
  std::string MsgSubject() override;
  std::string MsgNoteText() override;
  int AttachmentCount() override;
  std::string AttachmentPathName() override;

  // One inbox message as read by GMime, with the memory it was read into,
  // kept for the next message once it is forgotten: memory taken afresh for
  // each costs more than the reading on a virtual machine.
  struct Parsed;
  // Memory that parts are decoded into, kept from one part to the next.
  struct Buffers;

 private:
  // A listed message. Its file name, kept in names_ with all the others so
  // that a large inbox costs a few bytes a message, and ended there by a
  // NUL, starts with its unique name; the flags after it are what other
  // readers may change.
  struct Entry {
    size_t name;
    long long delivered;  // seconds since the epoch
    unsigned short length, uniqueLength;
    unsigned char folder;    // new/ or cur/, as in folders_
    unsigned char unlisted;  // the listings in a row, up to two, it was not in
  };
  // Messages up to this size are read whole and parsed in memory.
  static constexpr long long kReadWhole = 1 << 20;
  // How many messages after the current one are parsed ahead while an
  // attachment of it is copied.
  static constexpr int kAhead = 10;
  // How many listings a message that another reader keeps renaming is
  // looked for in before it is reported as in use.
  static constexpr int kListings = 100;
  // How long both folders must have been left alone before a listing for a
  // message missing from it to count as gone: more than the coarse clock
  // the file system stamps changes with.
  static constexpr std::chrono::nanoseconds kQuiet = std::chrono::milliseconds(20);
  class Ahead;

  void NeedSession() const;
  std::string_view NameOf(const Entry& entry) const;
  std::string_view UniqueOf(const Entry& entry) const;
  // Opens a listed message, wherever another reader has moved it since, and
  // gives its size; -1 when it is gone or is no file. A message that another
  // reader keeps renaming faster than it can be opened is a failure.
  int OpenMessage(Entry& entry, off_t& size);
  // Lists both folders again and gives every message found under another
  // name its new one.
  void Relist();
  // Gives entry the name it was found under in folder.
  void Rename(Entry& entry, unsigned char folder, std::string_view name);
  // Lets go of the current message and removes its attachment copies.
  void ForgetCurrent();
  Parsed& Current();
  // Reads and parses the listed message at index into parsed, with buffers:
  // on the caller's thread, or on the one that parses ahead, never both at
  // once, for a message may be relisted.
  std::unique_ptr<Parsed> Parse(int index, Buffers& buffers, std::unique_ptr<Parsed> parsed);
  // An emptied message to parse into.
  std::unique_ptr<Parsed> Shell();
  void Recycle(std::unique_ptr<Parsed> parsed);
  // Keeps of the messages parsed ahead those numbered from up to to; the
  // batch has ended.
  void KeepAhead(int from, int to);
  // Starts parsing the messages after the current one, unless that is under way.
  void ReadAhead();
  std::string TempFolder();
  // Where a copy the scan has left waits to be written over by the next one.
  std::string Spare() const;
  // A new copy at path, made from the spare when there is one, with the
  // bytes of an earlier copy to be written over (held gives how many); -1
  // with errno EEXIST when the name is taken.
  int CreateCopy(const std::string& path, long long& held);
  Buffers& Kept();
  std::string WriteCopy(Parsed& parsed, size_t attachment);

  std::string maildir_;
  MaildirOutbox outbox_;
  std::string temp_;  // made when the first copy is asked for
  Fd tempHeld_{-1};   // open while temp_ is this run's
  SessionBinding binding_;
  bool unreadOnly_ = true;
  long long spare_ = -1;           // the bytes the spare holds; -1 when there is none
  Fd folders_[2]{Fd(-1), Fd(-1)};  // new/ and cur/ while fetched
  std::vector<Entry> fetched_;
  std::string names_;
  std::vector<unsigned> byUnique_;  // fetched_ in the order of their unique names, once needed
  // Where the last message found moved had gone, and what followed its
  // unique name there: where the next one missing is looked for first, and
  // the next one at all while the last one looked for there was found.
  struct Move {
    unsigned char folder;
    std::string flags;
    bool followed;
  };
  std::optional<Move> lastMove_;
  int index_ = -1, attachmentIndex_ = 0, copies_ = 0;
  std::unique_ptr<Parsed> current_;
  std::vector<std::unique_ptr<Parsed>> shells_;  // emptied, for the next messages
  std::unique_ptr<Buffers> buffers_;             // made when first needed
  Composer composer_;
  std::unique_ptr<Ahead> ahead_;  // last: its thread ends before anything it reads goes
};

}  // namespace postique::posix
