// The main window: the program's entry, the job echo, the status line and
// the inbox tools. Its procedures live beside the parts they belong to
// (job/, transport/, inbox/).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/form.h"
#include "app/ports.h"
#include "app/screen.h"
#include "app/steps.h"
#include "job/send_job.h"
#include "transport/mail_session.h"

namespace postique {

class frmFEnvio;

// What the platform hands the program at start.
struct Platform {
  Screen& screen;
  Files& files;
  Launcher& launcher;
  Process& process;
  MAPISession& MAPISession1;
  MAPIMessages& MAPIMessages1;
};

class frmRemitora;

// Shows the main window and lets the screen run it until the program ends;
// the program's exit status. made, when given, learns of the window first.
int RunMainWindow(Platform platform, const std::function<void(frmRemitora&)>& made = {});

inline constexpr char kTitle[] = "Envio de E-Mail (Soporta Thunderbird) " POSTIQUE_TITLE_VERSION;

class frmRemitora {
 public:
  explicit frmRemitora(Platform platform);
  ~frmRemitora();

  Form& form() { return form_; }

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
  bool Handle(const WindowEvent& event);

  // Public operations.
  void FetchNewMail() {}
  void GetArchivoPedido();
  void DisplayMessage();
  static std::string NTSFileName(const std::string& Entra, std::string& RestoRuta);
  int ShellFile(const std::string& ARCHIVO, const std::string& ParametrosDelArchivo);

  // Step through the inbox; no control is bound to them.
  void ShowPreviousMessage();
  void ShowNextMessage();

  // "ESTADO: " and text in the status line, on the screen at once.
  void SetStatus(const std::string& text);

 private:
  bool SendFromJobFile();
  void SendWithThunderbird();
  void InitMainWindow() {}
  // The MAPI branch of the dispatch, steps 440 to 900.
  void SendWithMapi(Steps& steps, int& sendStage, const std::string& dialogo);
  // Steps 200 to 340 of the order retrieval: one order attachment into the
  // order folder.
  void PublishOrder(Steps& steps, const std::string& name, std::string& target, int& answer);
  std::string OrderFolder();
  // Fetches the inbox. A mail program that does not let others read it is
  // named once in a box, and its inbox reads as empty; false then.
  bool FetchInbox();

  Platform p_;
  Form form_;
  SendJob job_;
  bool activatedOnce_ = false;
  bool toldInboxUnreadable_ = false;
  bool sendFailed_ = false;               // the transport could not hand the job over
  std::shared_ptr<frmFEnvio> frmFEnvio_;  // the program-wide dialog reference
};

}  // namespace postique
