// Sending through the Maildir client, with a sendmail of the test's own on
// a private search path.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/text.h"
#include "fakes/failures.h"
#include "fakes/fake_screen.h"
#include "platform/posix/maildir_client.h"
#include "posix/run_program.h"
#include "posix/test_maildir.h"

namespace postique::posix {
namespace {

using testing::FailureNumber;
using testing::ReadFile;
using testing::WriteFile;

class MaildirSend : public ::testing::Test {
 protected:
  void SetUp() override {
    oldPath = ::getenv("PATH");
    ::setenv("PATH", (bin.path() + ":/usr/bin:/bin").c_str(), 1);
    Sendmail("cat > \"$d/message\"; printf '%s\\n' \"$@\" > \"$d/args\"");
    client.SignOn();
    client.SetSessionID(client.SessionID());
    client.Compose();
    client.SetRecipDisplayName("Ana García <ana@example.es>");
    client.SetMsgSubject("Factura año 2026");
    client.SetMsgNoteText("Le adjuntamos la factura.");
  }
  void TearDown() override { ::setenv("PATH", oldPath.c_str(), 1); }

  // A sendmail that runs body with $d naming its folder.
  void Sendmail(const std::string& body) {
    WriteFile(bin / "sendmail", "#!/bin/sh\nd=$(dirname \"$0\")\n" + body + "\n");
    ::chmod((bin / "sendmail").c_str(), 0755);
  }
  void Attach(int index, const std::string& path) {
    client.SetAttachmentIndex(index);
    client.SetAttachmentPathName(path);
    client.SetAttachmentName(path);
  }
  // Reads the message sendmail received back through a Maildir client.
  std::unique_ptr<MaildirClient> Received() {
    testing::TestMaildir* box = new testing::TestMaildir;
    received.reset(box);
    box->Deliver("new", "1.x", ReadFile(bin / "message"), 1764000000);
    auto reader = std::make_unique<MaildirClient>(screen, box->path());
    reader->SignOn();
    reader->SetSessionID(reader->SessionID());
    reader->Fetch();
    return reader;
  }

  testing::TempDir bin, files;
  testing::TestMaildir maildir;
  testing::FakeScreen screen;
  MaildirClient client{screen, maildir.path()};
  std::unique_ptr<testing::TestMaildir> received;
  std::string oldPath;
};

TEST_F(MaildirSend, PipesOneMimeMessageToSendmailAndKeepsItInSent) {
  const std::string pdf(100000, '\x25');
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  WriteFile(files / "factura.pdf", pdf);
  WriteFile(files / "datos año.bin", binary);
  Attach(0, files / "factura.pdf");
  Attach(1, files / "datos año.bin");
  Attach(2, "");  // the empty entry after a trailing ';'
  client.ResolveName();
  client.Send(false);

  EXPECT_EQ(ReadFile(bin / "args"), "-t\n-i\n");
  const std::string raw = ReadFile(bin / "message");
  const size_t to = raw.find("\nTo: ");
  ASSERT_NE(to, std::string::npos) << raw.substr(0, 600);
  EXPECT_NE(raw.substr(to, raw.find('\n', to + 1) - to).find(" <ana@example.es>"),
            std::string::npos);
  auto reader = Received();
  ASSERT_EQ(reader->MsgCount(), 1);
  EXPECT_EQ(reader->MsgSubject(), "Factura año 2026");
  EXPECT_EQ(reader->MsgNoteText(), "Le adjuntamos la factura.");
  ASSERT_EQ(reader->AttachmentCount(), 2);
  reader->SetAttachmentIndex(0);
  EXPECT_EQ(ReadFile(reader->AttachmentPathName()), pdf);
  EXPECT_EQ(std::filesystem::path(reader->AttachmentPathName()).filename(), "factura.pdf");
  reader->SetAttachmentIndex(1);
  EXPECT_EQ(ReadFile(reader->AttachmentPathName()), binary);
  EXPECT_EQ(std::filesystem::path(reader->AttachmentPathName()).filename(), "datos año.bin");
  EXPECT_NE(raw.find("Content-Type: application/pdf"), std::string::npos);

  const auto sent = testing::List(maildir / ".Sent/cur");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].substr(sent[0].size() - 4), ":2,S");
  EXPECT_EQ(ReadFile(maildir / ".Sent/cur/" + sent[0]), raw);
  EXPECT_TRUE(testing::List(maildir / ".Sent/tmp").empty());
}

TEST_F(MaildirSend, AFailingSendmailIsASendFailureThatSaysWhy) {
  Sendmail("cat > /dev/null; echo 'sendmail: cannot connect to 127.0.0.1, port 25' >&2; exit 75");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { client.Send(false); }, &description), 32002);
  EXPECT_EQ(description,
            "Error no especificado del cliente de correo: sendmail terminó con el estado 75: "
            "sendmail: cannot connect to 127.0.0.1, port 25");
  EXPECT_TRUE(testing::List(maildir / ".Sent/tmp").empty());
  EXPECT_TRUE(testing::List(maildir / ".Sent/cur").empty());

  // One that ends well without reading the message has not sent it.
  Sendmail("exec 0<&-; exit 0");
  EXPECT_EQ(FailureNumber([&] { client.Send(false); }, &description), 32002);
  EXPECT_EQ(description.rfind("Error no especificado del cliente de correo: sendmail terminó sin "
                              "leer el mensaje entero (leyó 0 de ",
                              0),
            0u)
      << description;
  EXPECT_TRUE(testing::List(maildir / ".Sent/cur").empty());
}

// Some read their input by opening /dev/stdin anew, through an offset of
// their own: all they read counts.
TEST_F(MaildirSend, ASendmailThatReadsThroughDevStdinHasSent) {
  WriteFile(files / "factura.pdf", std::string(300000, 'f'));  // more than a pipe holds
  Attach(0, files / "factura.pdf");
  Sendmail("cat /dev/stdin > \"$d/message\"");
  client.Send(false);
  auto reader = Received();
  ASSERT_EQ(reader->MsgCount(), 1);
  EXPECT_EQ(reader->MsgSubject(), "Factura año 2026");
  EXPECT_EQ(testing::List(maildir / ".Sent/cur").size(), 1u);
}

// A job's body is one line, often long; a subject or a file name may look
// like an encoded word: every reader gets them as they were written, and no
// line is too long for a mail server.
TEST_F(MaildirSend, EveryReaderReadsTheMessageAsWritten) {
  const std::string body(1500, 'x');
  const std::string subject =
      "Factura nº 0042, pedido de Peña: envío de la mercancía a Logroño y Cádiz =?utf-8?q?hola?=";
  const std::string name = "=?utf-8?q?hola?=.txt";
  WriteFile(files / name, "hola");
  Attach(0, files / name);
  client.SetMsgSubject(subject);
  client.SetMsgNoteText(body);
  client.Send(false);
  const std::string raw = ReadFile(bin / "message");
  for (const std::string& line : Split(raw, "\n")) EXPECT_LE(line.size(), 998u);
  auto reader = Received();
  ASSERT_EQ(reader->MsgCount(), 1);
  EXPECT_EQ(reader->MsgSubject(), subject) << "GMime";
  EXPECT_TRUE(reader->MsgNoteText() == body);
  ASSERT_EQ(reader->AttachmentCount(), 1);
  reader->SetAttachmentIndex(0);
  // As written, its ? made safe for a file name: not decoded to "hola".
  EXPECT_EQ(std::filesystem::path(reader->AttachmentPathName()).filename(), "=_utf-8_q_hola_=.txt");
  EXPECT_EQ(testing::PythonReads(bin / "message"), subject + "\n" + name + "\n" + body) << "Python";
}

TEST_F(MaildirSend, AMissingSendmailIsNamed) {
  if (testing::Exists("/usr/sbin/sendmail")) GTEST_SKIP() << "this machine has a sendmail";
  std::filesystem::remove(bin / "sendmail");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { client.Send(false); }, &description), 32002);
  EXPECT_NE(description.find("no se encuentra el programa sendmail"), std::string::npos);
}

TEST_F(MaildirSend, AMissingAttachmentStopsTheSend) {
  Attach(0, files / "no-existe.pdf");
  EXPECT_EQ(FailureNumber([&] { client.Send(false); }), 32011);
  EXPECT_FALSE(testing::Exists(bin / "message"));
}

TEST_F(MaildirSend, TheConfirmationShowsTheMessageAndNoAborts) {
  WriteFile(files / "factura.pdf", "pdf");
  Attach(0, files / "factura.pdf");
  screen.answers = {7, 6};
  EXPECT_EQ(FailureNumber([&] { client.Send(true); }), 32001);
  EXPECT_FALSE(testing::Exists(bin / "message"));
  ASSERT_EQ(screen.boxes.size(), 1u);
  EXPECT_EQ(screen.boxes[0].text,
            "¿Enviar este mensaje?\r\n\r\nDestino: Ana García <ana@example.es>\r\n"
            "Asunto: Factura año 2026\r\nCuerpo: Le adjuntamos la factura.\r\n"
            "Adjuntos: factura.pdf");
  EXPECT_EQ(screen.boxes[0].style, 4 + 32);
  client.Send(true);
  EXPECT_TRUE(testing::Exists(bin / "message"));
}

TEST_F(MaildirSend, ResolveNameAcceptsOnlyMailAddresses) {
  const struct {
    const char* destino;
    bool resolves;
  } cases[] = {{"ana@example.es", true}, {"Ana <ana@example.es>, luis@example.es", true},
               {"nadie", false},         {"", false},
               {"@example.es", false},   {"ana@", false}};
  for (const auto& c : cases) {
    client.SetRecipDisplayName(c.destino);
    EXPECT_EQ(FailureNumber([&] { client.ResolveName(); }), c.resolves ? 0 : 32014) << c.destino;
  }
}

TEST_F(MaildirSend, EveryAddressOfADestinationListIsARecipientOrTheSendFails) {
  client.SetRecipDisplayName("uno@example.es; Dos <dos@example.es>,tres@example.es");
  client.ResolveName();
  client.Send(false);
  const std::string raw = ReadFile(bin / "message");
  const size_t to = raw.find("\nTo: ");
  const std::string header = raw.substr(to, raw.find("\nSubject:") - to);
  for (const char* address : {"uno@example.es", "<dos@example.es>", "tres@example.es"}) {
    EXPECT_NE(header.find(address), std::string::npos) << header;
  }
  std::filesystem::remove(bin / "message");

  client.Compose();
  client.SetRecipDisplayName("uno@example.es;nadie");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { client.ResolveName(); }, &description), 32014);
  EXPECT_EQ(description, "Destinatario desconocido: nadie");
  EXPECT_EQ(FailureNumber([&] { client.Send(false); }), 32014) << "never only the first";
  EXPECT_FALSE(testing::Exists(bin / "message"));
}

TEST_F(MaildirSend, AnAttachmentCutWhileTheMessageIsWrittenFailsTheSend) {
  const std::string pdf = files / "factura.pdf";
  std::filesystem::resize_file((WriteFile(pdf, ""), pdf), 16 << 20);
  Attach(0, pdf);
  // Another program cuts the file once the message is being written.
  std::atomic<bool> cut = false, done = false;
  std::thread cutter([&] {
    while (!done) {
      // The send makes .Sent/tmp; it is never removed.
      const bool made = testing::Exists(maildir / ".Sent/tmp");
      for (const std::string& name :
           made ? testing::List(maildir / ".Sent/tmp") : std::vector<std::string>{}) {
        std::error_code unread;
        if (!cut && std::filesystem::file_size(maildir / (".Sent/tmp/" + name), unread) > 65536) {
          std::filesystem::resize_file(pdf, 1000);
          cut = true;
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  std::string description;
  const int number = FailureNumber([&] { client.Send(false); }, &description);
  done = true;
  cutter.join();
  ASSERT_TRUE(cut);
  EXPECT_EQ(number, 32012);
  EXPECT_EQ(description, "No se ha podido abrir el archivo adjunto: " + pdf +
                             " (ha cambiado mientras se escribía el mensaje)");
  EXPECT_FALSE(testing::Exists(bin / "message")) << "nothing handed to sendmail";
  EXPECT_TRUE(testing::List(maildir / ".Sent/tmp").empty());
}

TEST_F(MaildirSend, AnAttachmentThatIsNoFileFailsAtOnce) {
  ASSERT_EQ(::mkfifo((files / "fifo").c_str(), 0600), 0);
  for (const std::string& path : {files / "fifo", std::string("/dev/zero"), files.path()}) {
    client.Compose();
    client.SetRecipDisplayName("ana@example.es");
    Attach(0, path);
    std::string description;
    EXPECT_EQ(FailureNumber([&] { client.Send(false); }, &description), 32011) << path;
    EXPECT_EQ(description,
              "No se ha encontrado el archivo adjunto: " + path + " (no es un archivo)");
  }
  EXPECT_FALSE(testing::Exists(bin / "message"));
}

TEST_F(MaildirSend, ASendmailThatNeverEndsIsStoppedAndTheSendFails) {
  // It also starts a helper that would outlive it.
  Sendmail("cat > /dev/null; sleep 60 & echo $! > \"$d/helper\"; sleep 60");
  MaildirClient impatient{screen, maildir.path(), std::chrono::seconds(2)};
  impatient.SignOn();
  impatient.SetSessionID(impatient.SessionID());
  impatient.Compose();
  impatient.SetRecipDisplayName("ana@example.es");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { impatient.Send(false); }, &description), 32002);
  EXPECT_EQ(description,
            "Error no especificado del cliente de correo: sendmail no ha terminado en 2 segundos: "
            "el mensaje no se ha enviado");
  EXPECT_TRUE(testing::List(maildir / ".Sent/tmp").empty());
  EXPECT_TRUE(testing::List(maildir / ".Sent/cur").empty());
  // Stopped with it: gone, or dead and not yet reaped by whoever inherited it.
  const std::string stat = "/proc/" + testing::ReadFile(bin / "helper").substr(0, 12);
  const auto running = [&] {
    std::ifstream in(stat.substr(0, stat.find('\n')) + "/stat");
    std::string pid, name, state;
    return static_cast<bool>(in >> pid >> name >> state) && state != "Z";
  };
  for (int i = 0; i < 100 && running(); ++i) usleep(10000);
  EXPECT_FALSE(running()) << "stopped with it";
}

}  // namespace
}  // namespace postique::posix
