// The mail session for the new Outlook, which has no Simple MAPI: the
// message is written whole as an unsent draft and handed to olk.exe, which
// opens it in its compose window with every attachment. It cannot read its
// inbox for other programs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/mail_session.h"
#include "transport/composing_messages.h"

namespace postique::win32 {

// olk.exe as registered under App Paths (per user, then per machine), when
// the file it names exists; empty otherwise.
std::wstring FindNewOutlook();

// Postique's own folder of drafts under the user's local application data.
std::wstring DraftsFolder();

class NewOutlookClient : public MAPISession, public ComposingMessages {
 public:
  struct Surroundings {
    std::wstring program;  // olk.exe; empty: not installed
    std::wstring drafts;   // the folder its drafts are written to
    // Tells the user in the status line.
    std::function<void(const std::string&)> status;
  };
  explicit NewOutlookClient(Surroundings surroundings);

  void SetDownLoadMail(bool) override {}
  void SignOn() override;
  std::intptr_t SessionID() override { return binding_.id(); }
  void SignOff() override {
    binding_.NeedOpen();
    binding_.Close();
  }

  void ResolveName() override;
  // Writes the draft and starts olk.exe on it, without waiting: its compose
  // window is where the user sends, so a send without it only says so.
  void Send(bool dialog) override;

  // The inbox cannot be read: fetching it is not supported, and there is
  // never a message.
  void SetFetchUnreadOnly(bool) override {}
  void Fetch() override;
  int MsgCount() override { return 0; }
  int MsgIndex() override { return -1; }
  void SetMsgIndex(int value) override;
  std::string MsgDateReceived() override;
  std::string MsgOrigDisplayName() override;
  std::string MsgSubject() override;
  std::string MsgNoteText() override;
  int AttachmentCount() override;
  std::string AttachmentPathName() override;

  // Drafts are kept this long for the new Outlook to read after Postique
  // has ended; older ones go at the next send.
  static constexpr long long kKeptSeconds = 7 * 24 * 3600;

 private:
  [[noreturn]] void NoMessage() const;
  // Writes the draft whole under a temporary name, then gives it its own:
  // the new Outlook never finds half a file. Its path.
  std::wstring WriteDraft(const OutgoingMessage& message, const std::vector<std::string>& to);
  void RemoveOldDrafts();

  Surroundings surroundings_;
};

}  // namespace postique::win32
