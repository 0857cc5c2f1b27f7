// The screen port: what the windows show and what the user answers.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

#include "base/form.h"

namespace postique {

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

// A main window a screen runs: its form, and what the user did in it.
class MainWindow {
 public:
  virtual Form& form() = 0;
  // Runs what the user did; false once the user has closed the window, which
  // ends the program.
  virtual bool Handle(const WindowEvent& event) = 0;

 protected:
  ~MainWindow() = default;
};

// A dialog a screen shows modally until it unloads.
class ModalDialog {
 public:
  virtual const Form& form() const = 0;
  virtual bool loaded() const = 0;
  // The user moved the selection of the option group onto index.
  virtual void Select(int index) = 0;
  // The dialog window is closed in any way.
  virtual void Unload() = 0;
  // Runs what the user did in a window screen.
  virtual void Handle(const WindowEvent& event) = 0;

 protected:
  ~ModalDialog() = default;
};

// The events of one window, oldest first.
class EventQueue {
 public:
  void Push(WindowEvent event) { events_.push_back(event); }
  // Runs window from the queue: its first activation, then what the user
  // did, oldest first; wait waits for the user's next doing, false once the
  // window has gone. Returns then, or when the window says it is closed.
  void Run(MainWindow& window, const std::function<bool()>& wait) {
    Push({WindowEvent::kActivate});
    do {
      while (!events_.empty()) {
        if (!window.Handle(Pop())) return;
      }
    } while (wait());
  }
  // Runs dialog from the queue until it unloads; a wait that finds the
  // window gone unloads it.
  void RunModal(ModalDialog& dialog, const std::function<bool()>& wait) {
    while (dialog.loaded()) {
      if (!events_.empty()) {
        dialog.Handle(Pop());
      } else if (!wait()) {
        dialog.Unload();
      }
    }
  }

 private:
  // Takes the oldest off the queue.
  WindowEvent Pop() {
    const WindowEvent event = events_.front();
    events_.pop_front();
    return event;
  }

  std::deque<WindowEvent> events_;
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
  virtual void Run(MainWindow& window) = 0;
  // Shows the dialog modally; returns once it has unloaded.
  virtual void ShowModal(ModalDialog& dialog) = 0;
};

}  // namespace postique
