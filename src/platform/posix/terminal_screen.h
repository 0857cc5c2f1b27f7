// The screen for people working over a terminal, and the scriptable face of
// the program: everything shown is printed, every answer is read as a line.
#pragma once

#include <istream>
#include <ostream>
#include <string_view>

#include "base/screen.h"

namespace postique::posix {

class TerminalScreen : public Screen {
 public:
  TerminalScreen(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  void Show(const Form& form) override;
  void Changed(const Form& form, const Control& control, Change change) override;
  void Repaint(const Form&, const Control*) override {}
  void BringToFront(const Form&) override {}
  int MsgBox(const std::string& text, int style) override;
  void Beep() override;
  void Run(MainWindow& window) override;
  void ShowModal(ModalDialog& dialog) override;

 private:
  // One answer line; false at end of input.
  bool ReadLine(std::string& line);
  // Ends the program: a question that can no longer be answered.
  [[noreturn]] void EndUnanswered();
  // One text on lines of its own; a one-line text stays on one.
  void Print(std::string_view text, bool multiLine = true);

  std::istream& in_;
  std::ostream& out_;
};

}  // namespace postique::posix
