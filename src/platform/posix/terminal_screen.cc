#include "platform/posix/terminal_screen.h"

#include <cctype>
#include <string>

#include "base/ports.h"
#include "base/text.h"

namespace postique::posix {

namespace {

struct Button {
  char letter;
  const char* label;
  int answer;
};
constexpr Button kAceptar{'A', "[A]ceptar", mb::kAnswerOk};
constexpr Button kCancelar{'C', "[C]ancelar", mb::kAnswerCancel};
constexpr Button kSi{'S', "[S]í", mb::kAnswerYes};
constexpr Button kNo{'N', "[N]o", mb::kAnswerNo};

std::vector<Button> ButtonsOf(int style) {
  switch (style & mb::kButtonsMask) {
    case mb::kOkCancel:
      return {kAceptar, kCancelar};
    case mb::kYesNo:
      return {kSi, kNo};
    default:
      return {kAceptar};
  }
}

char Letter(const std::string& line) {
  for (unsigned char c : line) {
    if (!std::isspace(c)) return static_cast<char>(std::toupper(c));
  }
  return 0;
}

// The user clicked the named control of the window.
void Click(MainWindow& window, const std::string& control) {
  const Form& form = window.form();
  window.Handle(
      {WindowEvent::kClick, static_cast<size_t>(&form.at(control) - form.controls.data())});
}

}  // namespace

void TerminalScreen::Print(std::string_view text, bool multiLine) {
  // Subjects, senders and bodies come from whoever sent the mail: no control
  // character of theirs reaches the terminal, and a one-line text cannot
  // start a line of its own. Texts carry Windows line ends; the terminal
  // wants its own. Not flushed: a terminal shows each line anyway, a pipe
  // gets them in blocks; an answer is only read after a flush.
  std::string shown;
  shown.reserve(text.size() + 1);
  AppendShown(shown, text, multiLine, "\n");
  shown += '\n';
  out_ << shown;
}

bool TerminalScreen::ReadLine(std::string& line) {
  out_.flush();
  return static_cast<bool>(std::getline(in_, line));
}

void TerminalScreen::Show(const Form& form) {
  Print(form.caption);
}

void TerminalScreen::Changed(const Form& form, const Control& control, Change change) {
  if (!form.Shows(control)) return;
  if (change == Change::kText) Print(control.text, control.multiLine);
  if (change == Change::kValue && control.kind == ControlKind::kCheckBox) {
    Print(control.text + ": " + (control.value == 1 ? "sí" : "no"));
  }
}

int TerminalScreen::MsgBox(const std::string& text, int style) {
  const std::vector<Button> buttons = ButtonsOf(style);
  Print(text);
  for (;;) {
    std::string line;
    for (const Button& b : buttons) {
      if (!line.empty()) line += ' ';
      line += b.label;
    }
    Print(line);
    if (!ReadLine(line)) {
      if (buttons.size() == 1) return buttons.front().answer;
      EndUnanswered();
    }
    for (const Button& b : buttons) {
      if (Letter(line) == b.letter) return b.answer;
    }
  }
}

void TerminalScreen::EndUnanswered() {
  Print("No queda entrada para contestar la pregunta: el programa termina.");
  throw ProgramEnd{kExitUnanswerable};
}

void TerminalScreen::Beep() {
  out_ << '\a' << std::flush;
}

void TerminalScreen::Run(MainWindow& window) {
  for (;;) {
    window.Handle({WindowEvent::kActivate});
    const bool descargar = window.form().at("CheckDescargar").value == 1;
    Print(std::string("[B]uscar Pedido  [V]istazo a Bandeja Entrada  [D]escargar Mensaje (") +
          (descargar ? "sí" : "no") + ")  [X] Cerrar");
    std::string line;
    if (!ReadLine(line)) return;
    switch (Letter(line)) {
      case 'B':
        Click(window, "cmdGetPedido");
        break;
      case 'V':
        Click(window, "cmdVistazo");
        break;
      case 'D':
        Click(window, "CheckDescargar");
        break;
      case 'X':
        return;
      default:
        break;
    }
  }
}

void TerminalScreen::ShowModal(ModalDialog& dialog) {
  const Form& form = dialog.form();
  Print(form.caption);
  for (const Control& c : form.controls) {
    if (c.kind == ControlKind::kOption) Print("  " + std::to_string(c.index) + " " + c.text);
  }
  Print(form.at("Label").text);
  while (dialog.loaded()) {
    Print("Elija una opción (0-3):");
    std::string line;
    if (!ReadLine(line)) EndUnanswered();
    const char choice = Letter(line);
    if (choice >= '0' && choice <= '3' &&
        line.find_first_not_of(" \t", line.find(choice) + 1) == std::string::npos) {
      dialog.Select(choice - '0');
    }
  }
}

}  // namespace postique::posix
