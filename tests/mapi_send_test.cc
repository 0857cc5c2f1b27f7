#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/harness.h"

namespace postique::testing {
namespace {

std::string Job(const std::string& fichero, const std::string& dialogo = "0") {
  return "ana@example.es\r\nFactura\r\nCuerpo\r\n" + fichero + "\r\n" + dialogo + "\r\nO\r\n";
}

TEST(MapiSend, WalksItsStepsOnTheStatusLine) {
  Harness h;
  h.Job(Job("/f/a.pdf;/f/b.pdf"));
  EXPECT_EQ(h.Start(), 0);
  const std::vector<std::string> mapi(h.screen.statuses.begin() + 4, h.screen.statuses.end());
  EXPECT_EQ(mapi, (std::vector<std::string>{
                      "ESTADO: Estableciendo directorio Trabajo",
                      "ESTADO: Parámetro DownLoadMail = False",
                      "ESTADO: Conectando con MAPI",
                      "ESTADO: Conectando Sesión",
                      "ESTADO: Componiento Mensage",
                      "ESTADO: Estableciendo destino: ana@example.es",
                      "ESTADO: Estableciendo Asunto: Factura",
                      "ESTADO: Estableciendo Cuerpo: Cuerpo",
                      "ESTADO: Indicando Fichero Adjunto: /f/a.pdf",
                      "ESTADO: Anexando Fichero a Mensaje: /f/a.pdf",
                      "ESTADO: Indicando Fichero Adjunto: /f/b.pdf",
                      "ESTADO: Anexando Fichero a Mensaje: /f/b.pdf",
                      "ESTADO: Resolviendo destino",
                      "ESTADO: Estableciendo Envio directo",
                      "ESTADO: Reestableciendo Directorio Trabajo",
                      "ESTADO: Estableciendo Path Trabajo",
                  }));
  EXPECT_FALSE(h.mail.downLoadMail);
  EXPECT_EQ(h.mail.Count("SignOff"), 0) << "the send path does not sign off";
}

TEST(MapiSend, FillsOneAttachmentSlotPerEntryWithPathAndNameAlike) {
  const struct {
    std::string fichero;
    std::vector<SentAttachment> attachments;
  } cases[] = {
      {"/f/a.pdf;/f/b.pdf", {{"/f/a.pdf", "/f/a.pdf"}, {"/f/b.pdf", "/f/b.pdf"}}},
      {"/f/a.pdf;", {{"/f/a.pdf", "/f/a.pdf"}, {"", ""}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    Harness h;
    h.Job(Job(c.fichero));
    EXPECT_EQ(h.Start(), 0);
    ASSERT_EQ(h.mail.outbox.size(), 1u);
    const SentMessage& sent = h.mail.outbox[0];
    EXPECT_EQ(sent.attachments, c.attachments) << c.fichero;
    EXPECT_EQ(sent.recipient, "ana@example.es");
    EXPECT_EQ(sent.subject, "Factura");
    EXPECT_EQ(sent.body, "Cuerpo");
    EXPECT_EQ(h.mail.Count("AttachmentIndex"), static_cast<int>(c.attachments.size()));
  }
}

TEST(MapiSend, TheConfirmationFlagChoosesTheClientsWindow) {
  const struct {
    const char* dialogo;
    bool dialog;
  } cases[] = {{"", true}, {"1", true}, {"Verdadero", true}, {"0", false}, {"false", false}};
  for (const auto& c : cases) {
    Harness h;
    h.Job(Job("", c.dialogo));
    EXPECT_EQ(h.Start(), 0);
    ASSERT_EQ(h.mail.outbox.size(), 1u);
    EXPECT_EQ(h.mail.outbox[0].dialog, c.dialog) << c.dialogo;
  }
}

TEST(MapiSend, AnUnresolvedDestinationIsStillSent) {
  Harness h;
  h.mail.unknownRecipients = {"ana@example.es"};
  h.Job(Job(""));
  EXPECT_EQ(h.Start(), 0);
  ASSERT_EQ(h.mail.outbox.size(), 1u);
  EXPECT_FALSE(h.mail.outbox[0].resolved);
  EXPECT_TRUE(h.screen.boxes.empty());
}

TEST(MapiSend, AFailingStepEndsAtItsNumberAndSignsOff) {
  const struct {
    const char* operation;
    int step;
    const char* dialogo;
  } cases[] = {{"SignOn", 490, "0"},
               {"SetAttachmentPathName", 660, "0"},
               {"Send", 770, ""},
               {"Send", 810, "1"},
               {"Send", 840, "0"}};
  for (const auto& c : cases) {
    Harness h;
    const std::string job = h.Job(Job("/f/a.pdf", c.dialogo));
    h.mail.Fail(c.operation, MakeFailure(Err::kMapiLoginFailure));
    EXPECT_EQ(h.Start(), 1) << c.operation;
    const std::string text = "Error en POSTIQUE. Linea: " + std::to_string(c.step) +
                             ". Aviso desde POSTIQUE.EXE: Error al iniciar la sesión de correo "
                             "(32003)";
    EXPECT_EQ(h.screen.BoxTexts(), std::vector<std::string>{text});
    EXPECT_EQ(h.screen.statuses.back(), "ESTADO: Desconectado");
    EXPECT_EQ(h.mail.calls.back(), "SignOff");
    EXPECT_TRUE(h.mail.outbox.empty());
    EXPECT_FALSE(Exists(job));
  }
}

TEST(MapiSend, RestoresTheWorkingFolderTheClientChanged) {
  Harness h;
  const std::string before = std::filesystem::current_path().string();
  h.mail.onSend = [&] { std::filesystem::current_path(h.program.path()); };
  h.Job(Job(""));
  EXPECT_EQ(h.Start(), 0);
  EXPECT_EQ(std::filesystem::current_path().string(), before);
}

}  // namespace
}  // namespace postique::testing
