#include "fakes/fake_screen.h"

#include <stdexcept>

namespace postique::testing {

void FakeScreen::MaybeFail(const std::string& operation) {
  auto it = failNext.find(operation);
  if (it == failNext.end()) return;
  const Failure failure = it->second;
  failNext.erase(it);
  throw failure;
}

void FakeScreen::Show(const Form&) {
  ++shown;
}

void FakeScreen::Changed(const Form&, const Control& control, Change change) {
  MaybeFail("Changed");
  if (control.name == "LabelPie" && change == Change::kText) statuses.push_back(control.text);
}

void FakeScreen::Repaint(const Form&, const Control*) {
  MaybeFail("Repaint");
}

void FakeScreen::BringToFront(const Form&) {
  MaybeFail("BringToFront");
}

int FakeScreen::MsgBox(const std::string& text, int style) {
  MaybeFail("MsgBox");
  boxes.push_back({text, style});
  if (onBox) onBox(boxes.back());
  if ((style & mb::kButtonsMask) == mb::kOk) return mb::kAnswerOk;
  if (answers.empty()) throw std::logic_error("no scripted answer for the box: " + text);
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakeScreen::Run(MainWindow& window) {
  window.Handle({WindowEvent::kActivate});
}

void FakeScreen::ShowModal(ModalDialog& dialog) {
  dialogCaptions.push_back(dialog.form().caption);
  MaybeFail("ShowModal");
  while (dialog.loaded()) {
    if (dialogChoices.empty()) throw std::logic_error("no scripted choice for the dialog");
    const int choice = dialogChoices.front();
    dialogChoices.pop_front();
    if (choice < 0) {
      dialog.Unload();
    } else {
      dialog.Select(choice);
    }
  }
}

std::vector<std::string> FakeScreen::BoxTexts() const {
  std::vector<std::string> texts;
  for (const Box& b : boxes) texts.push_back(b.text);
  return texts;
}

}  // namespace postique::testing
