#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/harness.h"

namespace postique::testing {
namespace {

constexpr int kOk = 1, kCancel = 2, kYes = 6, kNo = 7;
const std::string kExisting = "Procese el archivo existente antes de continuar.";
const std::string kOverwrite = "El fichero ya existe. ¿SOBRE ESCRIBIRLO?";

struct Inbox : Harness {
  // A message whose attachments are the client's temporary copies.
  void Add(const std::string& subject, std::vector<std::pair<std::string, std::string>> files) {
    InboxMessage m{"2026/12/01 10:0" + std::to_string(mail.inbox.size()),
                   "Cliente",
                   subject,
                   "cuerpo de " + subject,
                   {}};
    for (const auto& [name, bytes] : files) {
      const std::string folder = work / std::to_string(counter++);
      std::filesystem::create_directory(folder);
      WriteFile(Join(folder, name), bytes);
      m.attachments.push_back(Join(folder, name));
    }
    mail.inbox.push_back(m);
  }
  std::string Target(const std::string& name) { return Join(program / "MapiIn", name); }
  std::string Copied(const std::string& name) {
    return "Se ha copiado un archivo de datos en \r\n\r\n" + Target(name) +
           "\r\n\r\nProcese el archivo antes de continuar";
  }
  void Retrieve() {
    window.Show();
    window.GetArchivoPedido();
  }
  int counter = 0;
};

TEST(OrderRetrieval, AnEmptyInboxWritesNothing) {
  Inbox h;
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"No hay mensajes en la bandeja de entrada",
                                      "0 correos analizados"}));
  EXPECT_EQ(h.screen.boxes[0].style, 64);
  EXPECT_EQ(h.screen.boxes[1].style, 64);
  EXPECT_TRUE(List(h.program.path()).empty());
}

TEST(OrderRetrieval, CopiesTheFirstAttachmentOfTheOneOrderAmongFive) {
  Inbox h;
  h.Add("Hola", {{"foto.jpg", "jpg"}});
  h.Add("Re: nuevo pedido trambelo 12",
        {{"pedido12.txt", "linea 1\r\nlinea 2\r\n"}, {"otro.txt", "2"}, {"tercero.txt", "3"}});
  h.Add("PEDIDO-TRAMBELO sin espacio", {{"no.txt", "no"}});
  h.Add("PEDIDO TRAMBELO sin adjuntos", {});
  h.Add("Boletín", {});
  h.window.form().at("CheckDescargar").value = 1;
  h.Retrieve();
  EXPECT_TRUE(h.mail.downLoadMail);
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{h.Copied("pedido12.txt"), "5 correos analizados"}));
  EXPECT_EQ(List(h.program / "MapiIn"), std::vector<std::string>{"pedido12.txt"});
  EXPECT_EQ(ReadFile(h.Target("pedido12.txt")), "linea 1\r\nlinea 2\r\n");
  EXPECT_EQ(List(h.program.path()), std::vector<std::string>{"MapiIn"}) << "no temporary left";
  EXPECT_EQ(h.Caption("lblMsgSubject"), "Boletín");
  EXPECT_EQ(h.Caption("txtMsgNoteText"), "cuerpo de Boletín");
  EXPECT_EQ(h.Caption("lblAdjuntos"), "Adjuntos: 0");
  EXPECT_TRUE(h.window.form().at("Frame1").visible);
  EXPECT_EQ(h.mail.Count("SignOff"), 0);
  EXPECT_EQ(h.screen.statuses,
            (std::vector<std::string>{"ESTADO: Conectando con MAPI", "ESTADO: Conectando Sesión"}));
}

TEST(OrderRetrieval, AnExistingOrderIsReplacedOnlyWhenTheUserAgrees) {
  const struct {
    const char* name;
    std::vector<int> answers;
    std::vector<std::string> loopBoxes;
    bool replaced;
  } cases[] = {
      {"cancel then yes", {kCancel, kYes}, {kExisting, kOverwrite}, true},
      {"ok while the file is there asks again",
       {kOk, kCancel, kYes},
       {kExisting, kExisting, kOverwrite},
       true},
      {"cancel then no asks again",
       {kCancel, kNo, kCancel, kYes},
       {kExisting, kOverwrite, kExisting, kOverwrite},
       true},
  };
  for (const auto& c : cases) {
    Inbox h;
    h.Add("PEDIDO TRAMBELO 1", {{"pedido.txt", "primero"}});
    h.Add("PEDIDO TRAMBELO 2", {{"pedido.txt", "segundo"}});
    h.screen.answers = {c.answers.begin(), c.answers.end()};
    h.Retrieve();
    std::vector<std::string> expected{h.Copied("pedido.txt")};
    expected.insert(expected.end(), c.loopBoxes.begin(), c.loopBoxes.end());
    expected.push_back(h.Copied("pedido.txt"));
    expected.push_back("2 correos analizados");
    EXPECT_EQ(h.screen.BoxTexts(), expected) << c.name;
    EXPECT_EQ(h.screen.boxes[1].style, 4113) << "critical and system-modal";
    EXPECT_EQ(ReadFile(h.Target("pedido.txt")), "segundo") << c.name;
  }
}

TEST(OrderRetrieval, AfterNoTheOrderIsCopiedOnceTheUserClearedTheWaitingFile) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO 1", {{"pedido.txt", "primero"}});
  h.Add("PEDIDO TRAMBELO 2", {{"pedido.txt", "segundo"}});
  h.screen.answers = {kCancel, kNo, kOk};
  h.screen.onBox = [&](const Box& box) {
    if (box.text == kOverwrite) std::filesystem::remove(h.Target("pedido.txt"));
  };
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{h.Copied("pedido.txt"), kExisting, kOverwrite, kExisting,
                                      h.Copied("pedido.txt"), "2 correos analizados"}));
  EXPECT_EQ(ReadFile(h.Target("pedido.txt")), "segundo");
}

TEST(OrderRetrieval, AFailingCopyIsReportedAndTheScanGoesOn) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO 1", {{"pedido1.txt", "uno"}});
  h.Add("PEDIDO TRAMBELO 2", {{"pedido2.txt", "dos"}});
  const std::string gone = h.mail.inbox[0].attachments[0];
  std::filesystem::remove(gone);
  h.Retrieve();
  ASSERT_EQ(h.screen.boxes.size(), 3u);
  // The system's own words about the error follow in brackets.
  EXPECT_EQ(h.screen.boxes[0].text.rfind(
                "No se ha podido copiar el archivo de datos en \r\n\r\n" + h.Target("pedido1.txt") +
                    "\r\n\r\nError 53: No se ha encontrado el archivo: " + gone + " (",
                0),
            0u)
      << h.screen.boxes[0].text;
  EXPECT_EQ(h.screen.boxes[0].style, 16);
  EXPECT_EQ(h.screen.boxes[1].text, h.Copied("pedido2.txt"));
  EXPECT_EQ(List(h.program / "MapiIn"), std::vector<std::string>{"pedido2.txt"});
  EXPECT_EQ(List(h.program.path()), std::vector<std::string>{"MapiIn"});

  // An order folder that cannot be made is what the box names, and why.
  Inbox blocked;
  blocked.Add("PEDIDO TRAMBELO 3", {{"pedido3.txt", "tres"}});
  WriteFile(blocked.program / "MapiIn", "un archivo, no una carpeta");
  blocked.Retrieve();
  ASSERT_EQ(blocked.screen.boxes.size(), 2u);
  EXPECT_EQ(
      blocked.screen.boxes[0].text,
      "No se ha podido copiar el archivo de datos en \r\n\r\n" + blocked.Target("pedido3.txt") +
          "\r\n\r\nNo se ha podido crear la carpeta " + blocked.program / "MapiIn" +
          ". Error 75: Error de acceso a la ruta o el archivo: " + blocked.program / "MapiIn" +
          " (existe y no es una carpeta)");
}

TEST(OrderRetrieval, HostileFileNamesAreNotCopied) {
  const std::string cases[] = {"..", ".", "CON", "nul.txt", "Com1.log", "", "../../x", "c:x"};
  for (const std::string& name : cases) {
    Inbox h;
    // The name after the client's last backslash is the one the scan takes.
    h.mail.inbox.push_back({"", "", "PEDIDO TRAMBELO", "", {h.work / "tmp\\" + name}});
    h.Retrieve();
    ASSERT_EQ(h.screen.boxes.size(), 2u) << name;
    EXPECT_EQ(
        h.screen.boxes[0].text,
        "El archivo adjunto tiene un nombre no válido y no se ha copiado:\r\n\r\n\"" + name + "\"");
    EXPECT_EQ(h.screen.boxes[0].style, 16);
    EXPECT_EQ(h.screen.boxes[1].text, "1 correos analizados");
    EXPECT_TRUE(List(h.program.path()).empty()) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / "x"));
}

TEST(OrderRetrieval, AnAttachmentTheMailClientCannotHandOverIsSaidSo) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO 1", {{"pedido.txt", "primero"}});
  h.Add("PEDIDO TRAMBELO 2", {{"otro.txt", "segundo"}});
  // Once the first order is in, the second one's temporary copy cannot be
  // written: that is said, neither a bad name nor the first order's name to
  // copy onto.
  h.screen.onBox = [&](const Box& box) {
    if (box.text == h.Copied("pedido.txt")) {
      h.mail.Fail("AttachmentPathName", MakeFailure(Err::kMapiAttachmentWriteFailure, "disco"), 1);
    }
  };
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{
                h.Copied("pedido.txt"),
                "No se ha podido obtener el archivo adjunto del mensaje:\r\n\r\nError 32013: No "
                "se ha podido escribir el archivo adjunto: disco",
                "2 correos analizados"}));
  EXPECT_EQ(h.screen.boxes[1].style, 16);
  EXPECT_EQ(List(h.program / "MapiIn"), std::vector<std::string>{"pedido.txt"});
}

TEST(OrderRetrieval, NamesWindowsWouldTakeForAnotherFileAreNotCopied) {
  for (const std::string name : {"pedido.txt.", "pedido.txt ", "CONIN$", "lpt0.txt", "COM\u00b9"}) {
    Inbox h;
    h.mail.inbox.push_back({"", "", "PEDIDO TRAMBELO", "", {h.work / "tmp\\" + name}});
    h.Retrieve();
    ASSERT_EQ(h.screen.boxes.size(), 2u) << name;
    EXPECT_EQ(h.screen.boxes[0].text.rfind("El archivo adjunto tiene un nombre no válido", 0), 0u);
    EXPECT_TRUE(List(h.program.path()).empty()) << name;
  }
}

TEST(OrderRetrieval, FailuresAfterTheFirstStepAreSkipped) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO", {{"p.txt", "p"}});
  h.mail.Fail("SignOn", MakeFailure(Err::kMapiLoginFailure));
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"No hay mensajes en la bandeja de entrada",
                                      "0 correos analizados"}));
  EXPECT_FALSE(Exists(h.program / "MapiIn"));
}

// Its attachments are not what could not be had: the message itself.
TEST(OrderRetrieval, AMessageThatCannotBeReadIsSaidToBeOne) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO", {{"p.txt", "p"}});
  for (const char* reading : {"AttachmentCount", "MsgSubject", "AttachmentPathName"}) {
    h.mail.Fail(reading, MakeFailure(Err::kMapiInvalidMessage));
  }
  h.Retrieve();
  ASSERT_EQ(h.screen.boxes.size(), 2u) << h.screen.BoxTexts().front();
  EXPECT_EQ(
      h.screen.boxes[0].text.rfind("No se ha podido leer el mensaje:\r\n\r\nError 32017: ", 0), 0u)
      << h.screen.boxes[0].text;
  EXPECT_FALSE(Exists(h.program / "MapiIn"));
}

// A mail program that fails while it lists its inbox has not an empty one.
TEST(OrderRetrieval, AnInboxThatCannotBeListedIsNotCalledEmpty) {
  Inbox h;
  h.mail.Fail("Fetch", MakeFailure(Err::kMapiFailure, "código 99"));
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"No se ha podido leer la bandeja de entrada: Error no "
                                      "especificado del cliente de correo: código 99.",
                                      "0 correos analizados"}));
}

TEST(OrderRetrieval, AnUnreadableCountEndsTheScanAtOnce) {
  Inbox h;
  h.Add("PEDIDO TRAMBELO", {{"p.txt", "p"}});
  h.mail.Fail("MsgCount", MakeFailure(Err::kMapiFailure));
  h.Retrieve();
  EXPECT_EQ(h.screen.BoxTexts(),
            (std::vector<std::string>{"No hay mensajes en la bandeja de entrada",
                                      "0 correos analizados"}));
}

TEST(OrderRetrieval, AFailureBeforeIgnoringStartsShowsTheHandlersBox) {
  Inbox h;
  h.window.Show();
  h.screen.failNext.insert({"Changed", Failure(5, "x")});
  h.window.GetArchivoPedido();
  EXPECT_EQ(h.screen.BoxTexts(), std::vector<std::string>{"Excepción en GetArchivoPedido. Linea0"});
  EXPECT_EQ(h.screen.boxes[0].style, 16);
  EXPECT_TRUE(h.mail.calls.empty());
}

TEST(OrderRetrieval, NTSFileNameSplitsAtTheLastSeparator) {
  const struct {
    const char* entra;
    const char* name;
    const char* resto;
  } cases[] = {{"C:\\Temp\\pedido.txt", "pedido.txt", "C:\\Temp\\"},
               {"a/b/c.txt", "c.txt", "a/b/"},
               {"C:/x\\y/z.txt", "y/z.txt", "C:/x\\"},
               {"pedido.txt", "pedido.txt", "sin tocar"},
               {"C:\\Temp\\", "", "C:\\Temp\\"}};
  for (const auto& c : cases) {
    std::string resto = "sin tocar";
    EXPECT_EQ(frmRemitora::NTSFileName(c.entra, resto), c.name);
    EXPECT_EQ(resto, c.resto);
  }
}

}  // namespace
}  // namespace postique::testing
