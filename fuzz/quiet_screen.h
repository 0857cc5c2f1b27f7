// A screen for the fuzzers: nothing shown, every box answered so that the
// procedures go on and end (OK, Cancel then Yes to a question, Yes), and the
// send-method dialog closed.
#pragma once

#include "app/frm_remitora.h"
#include "app/screen.h"
#include "ui/frm_fenvio.h"

namespace postique::fuzz {

class QuietScreen : public Screen {
 public:
  void Show(const Form&) override {}
  void Changed(const Form&, const Control&, Change) override {}
  void Repaint(const Form&, const Control*) override {}
  void BringToFront(const Form&) override {}
  int MsgBox(const std::string&, int style) override {
    switch (style & mb::kButtonsMask) {
      case mb::kOkCancel:
        return mb::kAnswerCancel;
      case mb::kYesNo:
        return mb::kAnswerYes;
      default:
        return mb::kAnswerOk;
    }
  }
  void Beep() override {}
  void Run(frmRemitora& window) override { window.Form_Activate(); }
  void ShowModal(frmFEnvio& dialog) override { dialog.Unload(); }
};

}  // namespace postique::fuzz
