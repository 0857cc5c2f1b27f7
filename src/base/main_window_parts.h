// The main window as its procedures see it: the platform it runs on and
// its form, with the status line.
#pragma once

#include <string>

#include "base/form.h"
#include "base/mail_session.h"
#include "base/ports.h"
#include "base/screen.h"

namespace postique {

// What the platform hands the program at start.
struct Platform {
  Screen& screen;
  Files& files;
  Launcher& launcher;
  Process& process;
  MAPISession& MAPISession1;
  MAPIMessages& MAPIMessages1;
};

// The main window's form and the ports its procedures work through.
struct MainWindowParts {
  Platform p;
  Form& form;

  // "ESTADO: " and text in the status line, on the screen at once.
  void SetStatus(const std::string& text) const {
    form.SetText("LabelPie", "ESTADO: " + text);  // the status may carry a job's body
    form.Repaint("LabelPie");
    form.Repaint();
  }
};

}  // namespace postique
