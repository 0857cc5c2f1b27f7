#include <gtest/gtest.h>

#include "fakes/harness.h"

namespace postique::testing {
namespace {

using namespace std::string_literals;

constexpr int kEnded = 0, kSendError = 1;

std::string JobText(std::vector<std::string> lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

TEST(SendFromJobFile, AMissingJobShowsItsBoxAndLeavesTheWindowOpen) {
  Harness h;
  h.process.commandLine = h.work / "no-existe.txt";
  EXPECT_EQ(h.Start(), std::nullopt);
  ASSERT_EQ(h.screen.boxes.size(), 1u);
  EXPECT_EQ(h.screen.boxes[0].text, " Falta el archivo " + h.process.commandLine);
  EXPECT_EQ(h.screen.boxes[0].style, 0);
  EXPECT_TRUE(h.mail.calls.empty());
}

TEST(SendFromJobFile, AQuotedPathIsLookedUpWithItsQuotes) {
  Harness h;
  const std::string path = h.Job(JobText({"a@b.es", "s", "c", ""}));
  h.process.commandLine = "\"" + path + "\"";
  EXPECT_EQ(h.Start(), std::nullopt);
  EXPECT_EQ(h.screen.BoxTexts(), std::vector<std::string>{" Falta el archivo \"" + path + "\""});
  EXPECT_TRUE(Exists(path));
}

TEST(SendFromJobFile, TooShortJobsEndAtTheStepThatReadsPastTheEnd) {
  const struct {
    std::string text;
    int step;
  } cases[] = {{"", 140}, {"a@b.es\r\n", 160}, {"a\r\nb\r\n", 180}, {"a\r\nb\r\nc", 200}};
  for (const auto& c : cases) {
    Harness h;
    const std::string path = h.Job(c.text);
    EXPECT_EQ(h.Start(), kSendError);
    const std::string text = "Error en POSTIQUE. Linea: " + std::to_string(c.step) +
                             ". Aviso desde POSTIQUE.EXE: La entrada ha pasado el final del "
                             "archivo: " +
                             path + " (62)";
    ASSERT_GE(h.screen.statuses.size(), 2u);
    EXPECT_EQ(h.screen.statuses[h.screen.statuses.size() - 2], "ESTADO: " + text);
    EXPECT_EQ(h.screen.statuses.back(), "ESTADO: Desconectado");
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text, text);
    EXPECT_EQ(h.screen.boxes[0].style, 16);
    EXPECT_TRUE(Exists(path)) << "the job is kept";
    EXPECT_EQ(h.mail.calls, std::vector<std::string>{"SignOff"});
  }
}

TEST(SendFromJobFile, EchoesTheJobAndDeletesIt) {
  Harness h;
  const std::string path = h.Job(JobText({"ana@example.es", "Factura 7", "Adjunto", "", "1", "O"}));
  EXPECT_EQ(h.Start(), kEnded);
  EXPECT_EQ(h.Caption("Label2", 0), "Destino:ana@example.es");
  EXPECT_EQ(h.Caption("Label2", 1), "Asunto:Factura 7");
  EXPECT_EQ(h.Caption("Label2", 2), "Cuerpo:Adjunto");
  EXPECT_EQ(h.Caption("Label2", 3), "Fichero:");
  EXPECT_EQ(h.Caption("Label2", 4), "Dialogo: True");
  EXPECT_FALSE(Exists(path));
  const std::vector<std::string> first(h.screen.statuses.begin(), h.screen.statuses.begin() + 4);
  EXPECT_EQ(first, (std::vector<std::string>{"ESTADO: Abriendo Fichero con información: " + path,
                                             "ESTADO: Obteniendo Información de Fichero " + path,
                                             "ESTADO: Cerrando fichero " + path,
                                             "ESTADO: Borrando Fichero " + path}));
}

TEST(SendFromJobFile, AFourLineJobAsksForTheMethodAndConfirms) {
  Harness h;
  h.Job("ana@example.es\r\nS\r\nC\r\n\r\n");
  h.screen.dialogChoices = {0};
  EXPECT_EQ(h.Start(), kEnded);
  EXPECT_EQ(h.screen.dialogCaptions.size(), 1u);
  EXPECT_EQ(h.Caption("Label2", 4), "Dialogo");
  ASSERT_EQ(h.mail.outbox.size(), 1u);
  EXPECT_TRUE(h.mail.outbox[0].dialog);
}

TEST(SendFromJobFile, FiveLinesWithZeroSendDirectly) {
  Harness h;
  h.Job(JobText({"ana@example.es", "S", "C", "", "0"}));
  h.screen.dialogChoices = {0};
  EXPECT_EQ(h.Start(), kEnded);
  EXPECT_EQ(h.Caption("Label2", 4), "Dialogo: False");
  ASSERT_EQ(h.mail.outbox.size(), 1u);
  EXPECT_FALSE(h.mail.outbox[0].dialog);
}

TEST(SendFromJobFile, TheFirstLetterOfTheMethodLineChoosesTheTransport) {
  const struct {
    const char* forma;
    bool mapi;
  } cases[] = {{"O", true},  {"Outlook", true}, {"o", false},
               {"T", false}, {"x", false},      {" O", false}};
  for (const auto& c : cases) {
    Harness h;
    h.Job(JobText({"ana@example.es", "S", "C", "", "0", c.forma}));
    EXPECT_EQ(h.Start(), kEnded) << c.forma;
    EXPECT_TRUE(h.screen.dialogCaptions.empty());
    EXPECT_EQ(h.mail.outbox.size(), c.mapi ? 1u : 0u) << c.forma;
    EXPECT_EQ(h.launcher.starts.size(), c.mapi ? 0u : 1u) << c.forma;
  }
}

TEST(SendFromJobFile, CancellingTheMethodSendsNothing) {
  Harness h;
  const std::string path = h.Job(JobText({"ana@example.es", "S", "C", ""}));
  h.screen.dialogChoices = {2};
  EXPECT_EQ(h.Start(), kEnded);
  EXPECT_EQ(h.screen.BoxTexts(), std::vector<std::string>{"Cancelado el envio"});
  EXPECT_EQ(h.screen.boxes[0].style, 16);
  EXPECT_TRUE(h.mail.calls.empty());
  EXPECT_TRUE(h.launcher.starts.empty());
  EXPECT_FALSE(Exists(path));
}

TEST(SendFromJobFile, AnUnconvertibleConfirmationFlagEndsAtStep790) {
  Harness h;
  const std::string path = h.Job(JobText({"ana@example.es", "S", "C", "", "quizás", "O"}));
  EXPECT_EQ(h.Start(), kSendError);
  EXPECT_EQ(h.Caption("Label2", 4), "Dialogo");
  EXPECT_EQ(h.screen.BoxTexts(),
            std::vector<std::string>{"Error en POSTIQUE. Linea: 790. Aviso desde POSTIQUE.EXE: "
                                     "No coinciden los tipos (13)"});
  EXPECT_TRUE(h.mail.outbox.empty());
  EXPECT_EQ(h.mail.calls.back(), "SignOff");
  EXPECT_FALSE(Exists(path)) << "deleted before any transport ran";
}

TEST(SendFromJobFile, ReadsTheJobInWindows1252) {
  Harness h;
  h.Job("ni\xf1o@example.es\r\nA\xf1o \x80\x81\nCuerpo\r\r\n1\r\nO");
  EXPECT_EQ(h.Start(), kEnded);
  ASSERT_EQ(h.mail.outbox.size(), 1u);
  EXPECT_EQ(h.mail.outbox[0].recipient, "niño@example.es");
  EXPECT_EQ(h.mail.outbox[0].subject, "Año €\u0081");
  EXPECT_EQ(h.mail.outbox[0].body, "Cuerpo");
  EXPECT_TRUE(h.mail.outbox[0].attachments.empty());
}

TEST(SendFromJobFile, AJobWithTheUtf8MarkIsReadAsUtf8) {
  Harness h;
  h.Job("\xef\xbb\xbfniño@example.es\r\nAño €\r\nCuerpo\r\n\r\n1\r\nO\r\n");
  EXPECT_EQ(h.Start(), kEnded);
  ASSERT_EQ(h.mail.outbox.size(), 1u);
  EXPECT_EQ(h.mail.outbox[0].recipient, "niño@example.es") << "without the mark";
  EXPECT_EQ(h.mail.outbox[0].subject, "Año €");
}

TEST(SendFromJobFile, AFieldWithANulIsNeverSentCut) {
  const struct {
    std::string text;
    int step, line;
  } cases[] = {{"ana@x.es\0otro\r\nS\r\nB\r\n\r\n"s, 140, 1},
               {"ana@x.es\r\nS\r\nB\0C\r\n\r\n"s, 180, 3}};
  for (const auto& c : cases) {
    Harness h;
    const std::string path = h.Job(c.text);
    EXPECT_EQ(h.Start(), kSendError);
    ASSERT_EQ(h.screen.boxes.size(), 1u);
    EXPECT_EQ(h.screen.boxes[0].text,
              "Error en POSTIQUE. Linea: " + std::to_string(c.step) +
                  ". Aviso desde POSTIQUE.EXE: Llamada a procedimiento o argumento no válidos: la "
                  "línea " +
                  std::to_string(c.line) + " del trabajo contiene un carácter nulo: " + path +
                  " (5)");
    EXPECT_TRUE(Exists(path)) << "failed before the job was deleted";
    EXPECT_TRUE(h.mail.outbox.empty());
  }
}

}  // namespace
}  // namespace postique::testing
