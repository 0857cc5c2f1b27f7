// The main window: the program's entry, the job echo, the status line and
// the inbox tools. It holds the window's state; the procedures are those of
// the folders below it (job/, inbox/), which it calls.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/form.h"
#include "base/main_window_parts.h"
#include "base/screen.h"
#include "base/send_job.h"
#include "inbox/inbox_tools.h"

namespace postique {

class frmFEnvio;
class frmRemitora;

// Shows the main window and lets the screen run it until the program ends;
// the program's exit status. made, when given, learns of the window first.
int RunMainWindow(Platform platform, const std::function<void(frmRemitora&)>& made = {});

inline constexpr char kTitle[] = "Envio de E-Mail (Soporta Thunderbird) " POSTIQUE_TITLE_VERSION;

class frmRemitora final : public MainWindow {
 public:
  explicit frmRemitora(Platform platform);
  ~frmRemitora();

  Form& form() override { return form_; }

  // Loads and shows the window; the screen then runs it.
  void Show();

  // Events.
  void Form_Load();
  void Form_Activate();
  void cmdGetPedido_Click();
  void cmdVistazo_Click();
  void txtMsgNoteText_Change() {}
  // The user clicked the named control: its event, if it has one; a check
  // box changes its value.
  void Clicked(const std::string& control);
  // Runs what the user did in a window screen; false once the user has closed
  // the window, which ends the program.
  bool Handle(const WindowEvent& event) override;

  // Public operations.
  void FetchNewMail() {}
  void GetArchivoPedido() { inbox_.GetArchivoPedido(); }
  void DisplayMessage() { inbox_.DisplayMessage(); }
  static std::string NTSFileName(const std::string& Entra, std::string& RestoRuta) {
    return postique::NTSFileName(Entra, RestoRuta);
  }
  int ShellFile(const std::string& ARCHIVO, const std::string& ParametrosDelArchivo);

  // Step through the inbox; no control is bound to them.
  void ShowPreviousMessage() { inbox_.ShowPreviousMessage(); }
  void ShowNextMessage() { inbox_.ShowNextMessage(); }

  void SetStatus(const std::string& text) { parts_.SetStatus(text); }

 private:
  void InitMainWindow() {}

  Form form_;
  MainWindowParts parts_;
  InboxTools inbox_{parts_};
  SendJob job_;
  bool activatedOnce_ = false;
  std::shared_ptr<frmFEnvio> frmFEnvio_;  // the program-wide dialog reference
};

}  // namespace postique
