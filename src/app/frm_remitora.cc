#include "app/frm_remitora.h"

#include "job/send_from_job_file.h"
#include "ui/frm_fenvio.h"

namespace postique {

namespace {

using K = ControlKind;

Form MainForm() {
  Form f;
  f.name = "frmRemitora";
  f.caption = kTitle;
  f.width = 6735;
  f.height = 5400;
  f.back = kLightYellow;
  auto& c = f.controls;

  c.push_back(MakeControl(K::kLabel, "lblMensaje", -1, "Enviando correo... espere...",
                          {1200, 0, 3945, 360}, 0));
  c.back().font = {"MS Sans Serif", 13.5, true};
  c.back().fore = kHighlight;

  const struct {
    const char* text;
    int top, width, tab;
  } jobLabels[] = {{"Destino", 1140, 660, 1},
                   {"Asunto", 1560, 615, 2},
                   {"Cuerpo", 1980, 615, 3},
                   {"Archivo", 2400, 630, 4},
                   {"Dialogo", 2850, 645, 6}};
  for (int i = 0; i < 5; ++i) {
    const auto& l = jobLabels[i];
    c.push_back(MakeControl(K::kLabel, "Label2", i, l.text, {1230, l.top, l.width, 240}, l.tab));
    c.back().font = {"Arial", 9.75, false};
    c.back().fore = kHighlight;
    c.back().autoSize = true;  // the echo of the job grows with it, up to the window's edge
  }

  c.push_back(MakeControl(K::kButton, "cmdVistazo", -1, "Vistazo a Bandeja Entrada",
                          {4470, 4620, 2175, 405}, 5));
  c.push_back(MakeControl(K::kPanel, "PictureDown", -1, "", {0, 5085, 6735, 315}, 7));
  c.push_back(
      MakeControl(K::kLabel, "LabelPie", -1, "Estado: ", {60, 30, 585, 195}, 8, "PictureDown"));
  c.back().autoSize = true;  // grows with the status, so none is cut off
  c.push_back(MakeControl(K::kFrame, "Frame1", -1, "", {60, 30, 6645, 4545}, 9));
  c.back().visible = false;  // shown by the inbox tools, then it covers the job labels
  c.push_back(MakeControl(K::kLabel, "lblMsgDateReceived", -1, "Fecha Entrada",
                          {60, 120, 6555, 285}, 10, "Frame1"));
  c.push_back(
      MakeControl(K::kTextBox, "txtMsgNoteText", -1, "Text1", {30, 870, 6585, 3255}, 11, "Frame1"));
  c.back().multiLine = true;
  c.push_back(MakeControl(K::kLabel, "lblMsgOrigDisplayName", -1, "Destinatario",
                          {60, 4140, 4905, 345}, 12, "Frame1"));
  c.push_back(
      MakeControl(K::kLabel, "lblMsgSubject", -1, "Mensaje", {60, 420, 6555, 465}, 13, "Frame1"));
  c.push_back(MakeControl(K::kCheckBox, "CheckDescargar", -1, "Descargar Mensaje",
                          {2460, 4710, 1905, 195}, 14));
  c.back().back = kLightYellow;
  c.push_back(MakeControl(K::kLabel, "lblAdjuntos", -1, "Adjuntos:", {4980, 4140, 1635, 345}, 15,
                          "Frame1"));
  c.push_back(
      MakeControl(K::kButton, "cmdGetPedido", -1, "Buscar Pedido", {150, 4620, 1725, 405}, 16));
  for (const char* mail : {"MAPISession1", "MAPIMessages1"}) {
    c.push_back(MakeControl(K::kMail, mail, -1, "", {0, 0, 0, 0}, -1));
    c.back().visible = false;
  }
  return f;
}

}  // namespace

frmRemitora::frmRemitora(Platform platform) : form_(MainForm()), parts_{platform, form_} {}

frmRemitora::~frmRemitora() = default;

void frmRemitora::Show() {
  Form_Load();
  form_.screen = &parts_.p.screen;
  parts_.p.screen.Show(form_);
}

void frmRemitora::Form_Load() {
  InitMainWindow();
}

void frmRemitora::Form_Activate() {
  Steps s([this](int step, const Failure& f) {
    parts_.p.screen.MsgBox("Activate línea: " + std::to_string(step) + ". " +
                               std::to_string(f.number()) + "-" + f.description(),
                           mb::kOk | mb::kCritical);
    return After::kLeave;
  });
  s.Run([&] {
    if (s.Test(40, [&] { return activatedOnce_; })) return;
    s.Do(20, [&] { form_.Repaint(); });
    s.Do(30, [&] { parts_.p.screen.BringToFront(form_); });
    s.Do(50, [&] { activatedOnce_ = true; });
    bool commandLine = true;
    s.Do(60, [&] { commandLine = SendFromJobFile(parts_, job_, frmFEnvio_); });
    s.Do(70, [&] {
      if (!commandLine) cmdGetPedido_Click();
    });
  });
}

void frmRemitora::Clicked(const std::string& control) {
  if (control == "cmdGetPedido") {
    cmdGetPedido_Click();
  } else if (control == "cmdVistazo") {
    cmdVistazo_Click();
  } else if (control == "CheckDescargar") {
    form_.SetValue(control, -1, form_.at(control).value == 1 ? 0 : 1);
  }
}

bool frmRemitora::Handle(const WindowEvent& event) {
  switch (event.kind) {
    case WindowEvent::kActivate:
      Form_Activate();
      return true;
    case WindowEvent::kClick:
      Clicked(form_.controls[event.control].name);
      return true;
    case WindowEvent::kClose:
      return false;
  }
  return false;
}

int RunMainWindow(Platform platform, const std::function<void(frmRemitora&)>& made) {
  frmRemitora window(platform);
  if (made) made(window);
  try {
    window.Show();
    platform.screen.Run(window);
    return kExitNormal;
  } catch (const ProgramEnd& end) {
    return end.status;
  }
}

void frmRemitora::cmdGetPedido_Click() {
  GetArchivoPedido();
}

void frmRemitora::cmdVistazo_Click() {
  form_.SetVisible("Frame1", true);
  DisplayMessage();
}

int frmRemitora::ShellFile(const std::string& ARCHIVO, const std::string& ParametrosDelArchivo) {
  return parts_.p.launcher.Open(ARCHIVO, ParametrosDelArchivo);
}

}  // namespace postique
