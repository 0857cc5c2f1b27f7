// The mail session on Windows. The Simple MAPI client is not built yet:
// signing on fails with the login failure, and everything that needs a
// session fails with the invalid session, never a silent success.
#pragma once

#include "transport/mail_session.h"

namespace postique::win32 {

class MapiClient : public MAPISession, public MAPIMessages {
 public:
  void SetDownLoadMail(bool) override {}
  void SignOn() override;
  std::intptr_t SessionID() override { NoSession(); }
  void SignOff() override { NoSession(); }
  void SetSessionID(std::intptr_t) override { NoSession(); }

  void Compose() override { NoSession(); }
  void SetRecipDisplayName(const std::string&) override { NoSession(); }
  void SetMsgSubject(const std::string&) override { NoSession(); }
  void SetMsgNoteText(const std::string&) override { NoSession(); }
  void SetAttachmentIndex(int) override { NoSession(); }
  void SetAttachmentPathName(const std::string&) override { NoSession(); }
  void SetAttachmentName(const std::string&) override { NoSession(); }
  void ResolveName() override { NoSession(); }
  void Send(bool) override { NoSession(); }

  void SetFetchUnreadOnly(bool) override {}
  void Fetch() override { NoSession(); }
  int MsgCount() override { NoSession(); }
  int MsgIndex() override { NoSession(); }
  void SetMsgIndex(int) override { NoSession(); }
  std::string MsgDateReceived() override { NoSession(); }
  std::string MsgOrigDisplayName() override { NoSession(); }
  std::string MsgSubject() override { NoSession(); }
  std::string MsgNoteText() override { NoSession(); }
  int AttachmentCount() override { NoSession(); }
  std::string AttachmentPathName() override { NoSession(); }

 private:
  [[noreturn]] static void NoSession();
};

}  // namespace postique::win32
