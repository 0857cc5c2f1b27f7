#include "platform/posix/terminal_screen.h"

#include <gtest/gtest.h>

#include <functional>

#include <sstream>

#include "base/ports.h"
#include "fakes/harness.h"
#include "ui/frm_fenvio.h"

namespace postique::posix {
namespace {

struct Terminal {
  explicit Terminal(const std::string& input) : in(input), screen(in, out) {}
  std::istringstream in;
  std::ostringstream out;
  TerminalScreen screen;
};

TEST(TerminalScreen, ABoxPrintsItsTextAndButtonsAndReadsALetter) {
  Terminal t("x\n  s\n");
  EXPECT_EQ(t.screen.MsgBox("¿Seguro?\r\nDe verdad", mb::kYesNo | mb::kQuestion), mb::kAnswerYes);
  EXPECT_EQ(t.out.str(), "¿Seguro?\nDe verdad\n[S]í [N]o\n[S]í [N]o\n");
}

TEST(TerminalScreen, AnswersMapToTheirCodes) {
  Terminal t("c\nA\nn\n");
  EXPECT_EQ(t.screen.MsgBox("a", mb::kOkCancel), mb::kAnswerCancel);
  EXPECT_EQ(t.screen.MsgBox("b", mb::kOkCancel), mb::kAnswerOk);
  EXPECT_EQ(t.screen.MsgBox("c", mb::kYesNo), mb::kAnswerNo);
}

// How the program ends while ask asks; -1 when it goes on.
int EndStatus(const std::function<void()>& ask) {
  try {
    ask();
  } catch (const ProgramEnd& end) {
    return end.status;
  }
  return -1;
}

TEST(TerminalScreen, AtEndOfInputOnlyAnOkBoxCanBeAnswered) {
  Terminal t("");
  EXPECT_EQ(t.screen.MsgBox("hecho", mb::kOk | mb::kInformation), mb::kAnswerOk);
  EXPECT_EQ(EndStatus([&] { t.screen.MsgBox("¿Sobrescribir?", mb::kYesNo); }), kExitUnanswerable);
  EXPECT_NE(t.out.str().find("No queda entrada"), std::string::npos);
}

TEST(TerminalScreen, PrintsCaptionsOfVisibleControlsOnly) {
  testing::Harness h;
  Terminal t("");
  Form& f = h.window.form();
  f.screen = &t.screen;
  f.SetText("LabelPie", "ESTADO: uno");
  f.SetText("lblMsgSubject", "oculto");  // inside the hidden frame
  f.SetVisible("Frame1", true);
  f.SetText("lblMsgSubject", "visto");
  f.SetValue("CheckDescargar", -1, 1);
  EXPECT_EQ(t.out.str(), "ESTADO: uno\nvisto\nDescargar Mensaje: sí\n");
}

TEST(TerminalScreen, ControlCharactersNeverReachTheTerminal) {
  testing::Harness h;
  Terminal t("");
  Form& f = h.window.form();
  f.screen = &t.screen;
  f.SetVisible("Frame1", true);
  f.SetText("lblMsgSubject", "Pedido\x1b[2J\x1b]0;x\x07 \u009b31m año\tfin");
  f.SetText("txtMsgNoteText", "uno\r\ndos\rtres\x7f\u202e");
  // A one-line caption can forge no line of its own.
  f.SetText("lblMsgOrigDisplayName", "Ana\r\nESTADO: Pedido copiado\u200b");
  EXPECT_EQ(t.out.str(),
            "Pedido?[2J?]0;x? ?31m año?fin\nuno\ndos\ntres??\nAna??ESTADO: Pedido copiado?\n");
}

TEST(TerminalScreen, TheDialogListsItsOptionsAndReadsAnIndex) {
  Terminal t("9\n3\n1\n");
  std::shared_ptr<frmFEnvio> reference;
  reference = std::make_shared<frmFEnvio>(t.screen, reference);
  EXPECT_EQ(reference->A_FormaEnvio(), 7);
  EXPECT_EQ(reference, nullptr);
  const std::string out = t.out.str();
  EXPECT_EQ(out.rfind("Forma de envio del MAIL\n"
                      "  0 Enviar con OUTLOOK\n  1 Enviar con THUNTERBIRD\n"
                      "  2 Cancelar envio\n  3 nada\n"
                      "No se permiten adjuntar archivos en rutas UNC del estilo "
                      "\\\\Servidor\\trambelo. Mapee el recurso como, por ejemplo, 'Z:'\n",
                      0),
            0u);
  // 9 is no option and 3 changes nothing: asked three times in all.
  size_t asked = 0;
  for (size_t at = 0; (at = out.find("Elija una opción", at)) != std::string::npos; ++at) ++asked;
  EXPECT_EQ(asked, 3u);
}

// The job is gone by then: ending as if the user had cancelled would tell
// an unattended caller that all went well.
TEST(TerminalScreen, EndOfInputAtTheDialogEndsTheProgramUnanswered) {
  Terminal t("");
  std::shared_ptr<frmFEnvio> reference;
  reference = std::make_shared<frmFEnvio>(t.screen, reference);
  EXPECT_EQ(EndStatus([&] { reference->A_FormaEnvio(); }), kExitUnanswerable);
  EXPECT_NE(t.out.str().find("No queda entrada"), std::string::npos);
}

TEST(TerminalScreen, TheIdleWindowTakesOneLetterCommands) {
  testing::Harness h;
  Terminal t("d\nv\nx\nb\n");
  h.window.form().screen = &t.screen;
  t.screen.Run(h.window);
  EXPECT_TRUE(h.mail.downLoadMail) << "V ran the browser with Descargar checked";
  EXPECT_EQ(h.mail.Count("Fetch"), 2) << "the activation's retrieval and V; X closed before B";
  EXPECT_NE(t.out.str().find("[B]uscar Pedido  [V]istazo a Bandeja Entrada  [D]escargar Mensaje "
                             "(sí)  [X] Cerrar"),
            std::string::npos);
}

}  // namespace
}  // namespace postique::posix
