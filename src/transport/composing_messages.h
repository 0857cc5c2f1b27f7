// The messages control's binding to the session and its compose properties,
// the same for every mail client: they bind to the open session and fill the
// composer's message; what ResolveName and Send make of it is each client's.
#pragma once

#include <cstdint>
#include <string>

#include "base/mail_session.h"
#include "transport/outgoing_message.h"
#include "transport/session_binding.h"

namespace postique {

class ComposingMessages : public MAPIMessages {
 public:
  void SetSessionID(std::intptr_t session) override { binding_.Bind(session); }
  void Compose() override {
    NeedSession();
    composer_.Compose();
    attachmentIndex_ = 0;
  }
  void SetRecipDisplayName(const std::string& value) override { composer_.SetDestination(value); }
  void SetMsgSubject(const std::string& value) override { composer_.SetSubject(value); }
  void SetMsgNoteText(const std::string& value) override { composer_.SetBody(value); }
  void SetAttachmentIndex(int value) override { attachmentIndex_ = value; }
  void SetAttachmentPathName(const std::string& value) override {
    composer_.attachment(attachmentIndex_).path = value;
  }
  void SetAttachmentName(const std::string& value) override {
    composer_.attachment(attachmentIndex_).name = value;
  }

 protected:
  // Invalid session (32019) unless bound to the open session.
  void NeedSession() const { binding_.Need(); }

  SessionBinding binding_;
  Composer composer_;
  int attachmentIndex_ = 0;  // a client that reads the inbox reads at it too
};

}  // namespace postique
