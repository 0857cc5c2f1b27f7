// The mail session interface: the two mail controls of the main window, with
// the properties and methods Postique uses of them. A property is a pair of
// member functions, the getter under its own name and the setter as Set....
#pragma once

#include <cstdint>
#include <string>

namespace postique {

// The session control MAPISession1.
class MAPISession {
 public:
  virtual ~MAPISession() = default;
  // Whether signing on also fetches new mail from the server.
  virtual void SetDownLoadMail(bool value) = 0;
  virtual void SignOn() = 0;
  // Pointer-sized, like the client's own session handle.
  virtual std::intptr_t SessionID() = 0;
  virtual void SignOff() = 0;
};

// The messages control MAPIMessages1.
class MAPIMessages {
 public:
  virtual ~MAPIMessages() = default;
  virtual void SetSessionID(std::intptr_t session) = 0;

  // Composing one outgoing message.
  virtual void Compose() = 0;
  virtual void SetRecipDisplayName(const std::string& value) = 0;
  virtual void SetMsgSubject(const std::string& value) = 0;
  virtual void SetMsgNoteText(const std::string& value) = 0;
  virtual void SetAttachmentIndex(int value) = 0;
  virtual void SetAttachmentPathName(const std::string& value) = 0;
  virtual void SetAttachmentName(const std::string& value) = 0;
  virtual void ResolveName() = 0;
  // Sends; with dialog true the client first shows the message for the user
  // to confirm.
  virtual void Send(bool dialog) = 0;

  // Reading the inbox.
  virtual void SetFetchUnreadOnly(bool value) = 0;
  virtual void Fetch() = 0;
  virtual int MsgCount() = 0;
  virtual int MsgIndex() = 0;
  virtual void SetMsgIndex(int value) = 0;
  virtual std::string MsgDateReceived() = 0;
  virtual std::string MsgOrigDisplayName() = 0;
  virtual std::string MsgSubject() = 0;
  virtual std::string MsgNoteText() = 0;
  virtual int AttachmentCount() = 0;
  // The path of a temporary file holding the attachment at AttachmentIndex.
  virtual std::string AttachmentPathName() = 0;
};

}  // namespace postique
