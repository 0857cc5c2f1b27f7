// The screen port: what the windows show and what the user answers.
#pragma once

#include <cstddef>
#include <string>

#include "app/form.h"

namespace postique {

class frmRemitora;
class frmFEnvio;

// Message-box styles and answers, by their standard codes.
namespace mb {
inline constexpr int kOk = 0, kOkCancel = 1, kYesNo = 4;
inline constexpr int kCritical = 16, kQuestion = 32, kInformation = 64;
inline constexpr int kSystemModal = 4096;
inline constexpr int kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7;
inline constexpr int kButtonsMask = 0xF, kIconMask = 0xF0;
}  // namespace mb

// What the user did in a window: queued by a window screen and run from its
// own loop, never inside a call of the toolkit.
struct WindowEvent {
  enum Kind { kActivate, kClick, kClose } kind;
  size_t control = 0;  // the clicked control's place in the form
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual void Show(const Form& form) = 0;
  virtual void Changed(const Form& form, const Control& control, Change change) = 0;
  // Repaints one control, or the whole form when control is null.
  virtual void Repaint(const Form& form, const Control* control) = 0;
  virtual void BringToFront(const Form& form) = 0;
  // A modal box with the application's title; returns the answer code.
  virtual int MsgBox(const std::string& text, int style) = 0;
  virtual void Beep() = 0;
  // Runs the shown main window until the user closes it.
  virtual void Run(frmRemitora& window) = 0;
  // Shows the dialog modally; returns once it has unloaded.
  virtual void ShowModal(frmFEnvio& dialog) = 0;
};

}  // namespace postique
