// A screen that records what it was asked to show and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/screen.h"

namespace postique::testing {

struct Box {
  std::string text;
  int style;
};

class FakeScreen : public Screen {
 public:
  // Answers for boxes that offer a choice, in order; a box with only OK
  // answers itself. A choice box with no answer left fails the test.
  std::deque<int> answers;
  // Indexes to select in the send-method dialog, in order; -1 closes it.
  std::deque<int> dialogChoices;
  // Runs as each box is shown, before it is answered: what the user does
  // meanwhile.
  std::function<void(const Box&)> onBox;
  // Failures to raise from the named operation ("MsgBox", "ShowModal",
  // "BringToFront", "Repaint", "Changed") the next time it is called.
  std::map<std::string, Failure> failNext;

  std::vector<Box> boxes;
  std::vector<std::string> statuses;        // every caption LabelPie was given
  std::vector<std::string> dialogCaptions;  // the dialog's caption each time it was shown
  int beeps = 0;
  int shown = 0;

  void Show(const Form& form) override;
  void Changed(const Form& form, const Control& control, Change change) override;
  void Repaint(const Form& form, const Control* control) override;
  void BringToFront(const Form& form) override;
  int MsgBox(const std::string& text, int style) override;
  void Beep() override { ++beeps; }
  void Run(MainWindow& window) override;
  void ShowModal(ModalDialog& dialog) override;

  std::vector<std::string> BoxTexts() const;

 private:
  void MaybeFail(const std::string& operation);
};

}  // namespace postique::testing
