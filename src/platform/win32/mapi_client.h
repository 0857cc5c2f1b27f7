// The mail session on Windows: the user's own mail program through Simple
// MAPI, behind the two mail controls of the main window.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/mail_session.h"
#include "platform/win32/mapi_library.h"
#include "platform/win32/read_copies.h"
#include "transport/composing_messages.h"

namespace postique::win32 {

class MapiClient : public MAPISession, public ComposingMessages {
 public:
  // What the list of an inbox may take, about 100 bytes a message beside
  // its identifier: hundreds of thousands of messages, more than any inbox
  // holds. A mail program that lists more keeps answering and is stopped.
  static constexpr size_t kMostListBytes = 48 << 20;

  struct Surroundings {
    // The window that owns whatever the mail program shows.
    std::function<ULONG_PTR()> window;
    // Why signing on cannot work, as far as can be seen from outside; empty
    // when nothing is seen.
    std::function<std::string()> obstacle;
    // The mail program's name, for the user; may be empty.
    std::function<std::string()> name;
  };
  MapiClient(const MapiLibrary& library, Surroundings surroundings);
  // Removes the attachment files the mail program wrote, and signs off.
  ~MapiClient() override;
  MapiClient(const MapiClient&) = delete;
  MapiClient& operator=(const MapiClient&) = delete;

  void SetDownLoadMail(bool value) override { downLoadMail_ = value; }
  void SignOn() override;
  std::intptr_t SessionID() override;
  void SignOff() override;

  // A new message or destination needs its names resolved again.
  void Compose() override;
  void SetRecipDisplayName(const std::string& value) override;
  void ResolveName() override;
  void Send(bool dialog) override;

  void SetFetchUnreadOnly(bool value) override { unreadOnly_ = value; }
  void Fetch() override;
  int MsgCount() override { return static_cast<int>(ids_.size()); }
  int MsgIndex() override { return index_; }
  void SetMsgIndex(int value) override;
  std::string MsgDateReceived() override;
  std::string MsgOrigDisplayName() override;
  std::string MsgSubject() override;
  std::string MsgNoteText() override;
  int AttachmentCount() override;
  std::string AttachmentPathName() override;

 private:
  struct Recipient {
    std::string name, address;  // address empty: for the mail program to resolve
  };
  // One inbox message as read, attachments left with the mail program.
  struct Read {
    std::string date, from, subject, body;
    int files = 0;
    std::optional<std::vector<std::string>> copies;  // once the files were asked for
    ReadCopies made;  // those of the copies the mail program made for the read
  };

  const MapiFunctions& Functions() const;
  Read& Current();
  std::vector<Recipient> Recipients();
  // Removes the attachment files the mail program wrote for the current
  // message: nobody asks for them once the scan has left it.
  void ForgetCurrent();

  const MapiLibrary& library_;
  Surroundings surroundings_;
  LHANDLE session_ = 0;
  bool downLoadMail_ = false, unreadOnly_ = true;
  std::vector<Recipient> resolved_;  // by ResolveName, one per address of the destination
  std::deque<std::string> ids_;      // each stays where it is as more come
  int index_ = -1;
  std::optional<Read> current_;
};

}  // namespace postique::win32
