#include <gtest/gtest.h>

#include "fakes/harness.h"

namespace postique::testing {
namespace {

constexpr int kOk = 1, kCancel = 2;

struct Browser : Harness {
  explicit Browser(int messages) {
    for (int i = 1; i <= messages; ++i) {
      mail.inbox.push_back({"2026/12/0" + std::to_string(i) + " 09:30",
                            "Remitente " + std::to_string(i),
                            "Asunto " + std::to_string(i),
                            "Cuerpo " + std::to_string(i),
                            {}});
    }
    window.Show();
  }
};

TEST(InboxBrowser, AnEmptyInboxShowsOneBoxAndNoPosition) {
  Browser h(0);
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(),
            std::vector<std::string>{"No hay mensajes en la bandeja de entrada"});
  EXPECT_EQ(h.screen.boxes[0].style, 64);
}

TEST(InboxBrowser, PagesThroughEveryMessage) {
  Browser h(3);
  h.mail.inbox[1].attachments = {"/tmp/a", "/tmp/b"};
  h.screen.answers = {kOk, kOk, kOk};
  std::vector<std::string> adjuntos;
  h.screen.onBox = [&](const Box&) { adjuntos.push_back(h.Caption("lblAdjuntos")); };
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"Message 1 of 3", "Message 2 of 3", "Message 3 of 3"}));
  EXPECT_EQ(h.screen.boxes[0].style, 1);
  EXPECT_EQ(adjuntos, (std::vector<std::string>{"Adjuntos: 0", "Adjuntos: 2", "Adjuntos: 0"}));
  EXPECT_EQ(h.Caption("lblMsgSubject"), "Asunto 3");
  EXPECT_EQ(h.Caption("lblMsgOrigDisplayName"), "Remitente 3");
  EXPECT_EQ(h.Caption("lblMsgDateReceived"), "2026/12/03 09:30");
  EXPECT_EQ(h.Caption("txtMsgNoteText"), "Cuerpo 3");
  EXPECT_EQ(h.mail.Count("SignOff"), 0);
}

TEST(InboxBrowser, CancelStopsAtTheMessageShown) {
  Browser h(3);
  h.screen.answers = {kOk, kCancel};
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(), (std::vector<std::string>{"Message 1 of 3", "Message 2 of 3"}));
  EXPECT_EQ(h.Caption("lblMsgSubject"), "Asunto 2");
}

TEST(InboxBrowser, FailuresAreIgnoredUntilTheHandlerIsArmed) {
  Browser h(2);
  // Fails in both passes: skipped in the first, shown in the second.
  h.mail.Fail("MsgDateReceived", Failure(32017, "Mensaje no válido"), 2);
  h.mail.Fail("AttachmentCount", Failure(32002, "Fallo"), 1);
  h.screen.answers = {kOk, kOk};
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"Línea: 190. 32002.Fallo", "Message 1 of 2",
                                      "Línea: 140. 32017.Mensaje no válido", "Message 2 of 2"}));
  EXPECT_EQ(h.screen.boxes[0].style, 0);
  EXPECT_EQ(h.Caption("lblMsgSubject"), "Asunto 2") << "the pass went on after the box";
}

TEST(InboxBrowser, AFailingPositionBoxEndsTheWalk) {
  Browser h(3);
  h.mail.Fail("MsgIndex", Failure(32019, "Sesión no válida"), 1);
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(), std::vector<std::string>{"Línea: 210. 32019.Sesión no válida"});
}

TEST(InboxBrowser, AFailingSignOnShowsNoMessages) {
  Browser h(3);
  h.mail.Fail("SignOn", MakeFailure(Err::kMapiLoginFailure));
  h.window.cmdVistazo_Click();
  EXPECT_EQ(h.screen.BoxTexts(),
            std::vector<std::string>{"No hay mensajes en la bandeja de entrada"});

  // A mail program that cannot read its inbox for others is named, once a
  // run, and its inbox is not called empty.
  Browser closed(3);
  closed.mail.Fail("Fetch", MakeFailure(Err::kMapiNotSupported, "el nuevo Outlook"));
  closed.window.cmdVistazo_Click();
  closed.window.GetArchivoPedido();
  EXPECT_EQ(closed.screen.BoxTexts(),
            (std::vector<std::string>{
                "Su programa de correo no deja que otros programas lean su bandeja de entrada: no "
                "se pueden buscar en ella los pedidos ni ver sus mensajes (Operación no admitida: "
                "el nuevo Outlook).",
                "0 correos analizados"}));
}

TEST(InboxBrowser, SteppingBeepsAtEitherEnd) {
  Browser h(3);
  h.screen.answers = {kCancel};
  h.window.cmdVistazo_Click();  // stays on the first message
  h.window.ShowPreviousMessage();
  EXPECT_EQ(h.screen.beeps, 1);
  EXPECT_EQ(h.mail.Count("SignOn"), 1);

  h.screen.answers = {kOk, kOk, kOk};
  h.window.ShowNextMessage();  // walks again from the first to the last
  EXPECT_EQ(h.mail.Count("SignOn"), 2);
  EXPECT_EQ(h.screen.boxes.back().text, "Message 3 of 3");
  h.window.ShowNextMessage();
  EXPECT_EQ(h.screen.beeps, 2);
  EXPECT_EQ(h.mail.Count("SignOn"), 2);
}

}  // namespace
}  // namespace postique::testing
