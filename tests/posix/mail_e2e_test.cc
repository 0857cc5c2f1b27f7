// The program against a real mail system: msmtp as sendmail, delivering to
// an SMTP server on loopback, and a Maildir inbox.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "fakes/fake_screen.h"
#include "platform/posix/maildir_client.h"
#include "posix/run_program.h"
#include "posix/test_maildir.h"

namespace postique::testing {
namespace {

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(s);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return ok;
}

class MailSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    port = FreePort();
    server = ::fork();
    if (server == 0) {
      const std::string listen = "127.0.0.1:" + std::to_string(port);
      ::execl("/usr/bin/python3", "python3", "-m", "aiosmtpd", "-n", "-l", listen.c_str(), "-c",
              "aiosmtpd.handlers.Mailbox", (arrived / "box").c_str(), nullptr);
      ::_exit(127);
    }
    for (int i = 0; i < 400 && !Accepts(port); ++i) ::usleep(25000);
    ASSERT_TRUE(Accepts(port)) << "the SMTP server did not start";
    UseSmtpPort(port);
  }
  void TearDown() override {
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
  }
  void UseSmtpPort(int smtp) {
    const std::string rc = bin / "msmtprc";
    WriteFile(rc, "account default\nhost 127.0.0.1\nport " + std::to_string(smtp) +
                      "\nfrom postique@example.es\nauth off\ntls off\n");
    ::chmod(rc.c_str(), 0600);
    WriteFile(bin / "sendmail", "#!/bin/sh\nexec msmtp -C \"" + rc + "\" \"$@\"\n");
    ::chmod((bin / "sendmail").c_str(), 0755);
  }
  // The temporary folder is temp, the caller's as much as Postique's.
  ProgramRun Postique(const std::vector<std::string>& args, const std::string& input) {
    if (program.empty()) program = Install(place);
    return RunProgram(program, args, input,
                      {{"PATH", bin.path() + ":/usr/bin:/bin"},
                       {"MAILDIR", user.path()},
                       {"TMPDIR", temp.path()},
                       {"XDG_RUNTIME_DIR", ""}});
  }

  // What arrived at the SMTP server, read back as the mail client reads an
  // inbox.
  posix::MaildirClient& Arrived() {
    reader = std::make_unique<posix::MaildirClient>(screen, arrived / "box");
    reader->SignOn();
    reader->SetSessionID(reader->SessionID());
    reader->Fetch();
    return *reader;
  }

  TempDir arrived, bin, place, files, temp;
  std::string program;
  FakeScreen screen;
  std::unique_ptr<posix::MaildirClient> reader;
  TestMaildir user;
  int port = 0;
  pid_t server = -1;
};

TEST_F(MailSystem, AJobArrivesWithItsFieldsAndEveryAttachment) {
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7) % 256);
  WriteFile(files / "factura.pdf", binary);
  WriteFile(files / "detalle.csv", "linea;importe\r\n1;10,50\r\n");
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura a\xf1o 2026\r\nLe adjuntamos la factura.\r\n" +
                     files / "factura.pdf" + ";" + files / "detalle.csv" + "\r\n0\r\nO\r\n");
  const ProgramRun run = Postique({job}, "");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("ESTADO: Estableciendo Envio directo\n"), std::string::npos);

  const std::vector<std::string> delivered = List(arrived / "box/new");
  ASSERT_EQ(delivered.size(), 1u);
  const std::string raw = ReadFile(arrived / "box/new/" + delivered[0]);
  EXPECT_NE(raw.find("\nTo: ana@example.es\n"), std::string::npos) << raw.substr(0, 800);
  EXPECT_NE(raw.find("X-RcptTo: ana@example.es"), std::string::npos);

  posix::MaildirClient& reader = Arrived();
  ASSERT_EQ(reader.MsgCount(), 1);
  EXPECT_EQ(reader.MsgSubject(), "Factura año 2026");
  EXPECT_EQ(reader.MsgNoteText(), "Le adjuntamos la factura.");
  ASSERT_EQ(reader.AttachmentCount(), 2);
  reader.SetAttachmentIndex(0);
  EXPECT_EQ(ReadFile(reader.AttachmentPathName()), binary);
  reader.SetAttachmentIndex(1);
  EXPECT_EQ(ReadFile(reader.AttachmentPathName()), "linea;importe\r\n1;10,50\r\n");
  EXPECT_EQ(List(user / ".Sent/cur").size(), 1u);
}

// Callers make their jobs and invoices as mktemp names them, with names
// that may look like Postique's own: each job is sent whole, and nothing of
// the caller's goes but the job file it handed over.
TEST_F(MailSystem, TheCallersTemporaryFilesAreNeverTakenForPostiques) {
  const std::string folder = temp / "postique-Qx7aZ2";  // mktemp -d -t postique-XXXXXX
  std::filesystem::create_directory(folder);
  WriteFile(folder + "/factura.pdf", "%PDF factura");
  std::vector<std::string> jobs = {folder + "/job.txt"};
  for (const char* name : {"postique-a1B2c3", "postique-d4E5f6", "postique-g7H8i9"}) {
    jobs.push_back(temp / name);  // mktemp -t postique-XXXXXX, queued
  }
  for (size_t i = 0; i < jobs.size(); ++i) {
    WriteFile(jobs[i], "ana@example.es\r\nFactura " + std::to_string(i) + "\r\nCuerpo\r\n" +
                           folder + "/factura.pdf\r\n0\r\nO\r\n");
  }
  std::filesystem::create_directory(temp / "postique-1.10.0");
  WriteFile(temp / "postique-1.10.0/README", "a source tree");
  for (const std::string& job : jobs) {
    const ProgramRun run = Postique({job}, "");
    EXPECT_EQ(run.status, 0) << job << run.out;
    EXPECT_FALSE(Exists(job)) << "the job handed over is deleted";
  }
  EXPECT_EQ(List(arrived / "box/new").size(), jobs.size()) << "every job sent";
  for (const std::string& delivered : List(arrived / "box/new")) {
    EXPECT_NE(ReadFile(arrived / "box/new/" + delivered).find("factura.pdf"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(folder + "/factura.pdf"), "%PDF factura");
  EXPECT_EQ(ReadFile(temp / "postique-1.10.0/README"), "a source tree");
}

// A mail server takes no line over 998 bytes; a job's body is one line.
TEST_F(MailSystem, ALongOneLineBodyArrivesWhole) {
  const std::string body(1500, 'b');
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\n" + body + "\r\n\r\n0\r\nO\r\n");
  const ProgramRun run = Postique({job}, "");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> delivered = List(arrived / "box/new");
  ASSERT_EQ(delivered.size(), 1u);
  posix::MaildirClient& reader = Arrived();
  ASSERT_EQ(reader.MsgCount(), 1);
  // A message of one part ends with its body's last line.
  EXPECT_TRUE(reader.MsgNoteText() == body + "\n");
  EXPECT_EQ(PythonReads(arrived / ("box/new/" + delivered[0])), "Factura\n" + body + "\n");
}

TEST_F(MailSystem, AFailingSendmailEndsInTheErrorExitsBox) {
  UseSmtpPort(FreePort());  // nothing listens there
  const std::string job = place / "job.txt";
  WriteFile(job, "ana@example.es\r\nFactura\r\nCuerpo\r\n\r\n0\r\nO\r\n");
  const ProgramRun run = Postique({job}, "");
  EXPECT_EQ(run.status, 1) << run.out;
  const std::string text =
      "Error en POSTIQUE. Linea: 840. Aviso desde POSTIQUE.EXE: Error no especificado del cliente "
      "de correo: sendmail terminó con el estado ";
  EXPECT_NE(run.out.find("ESTADO: " + text), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n" + text), std::string::npos) << "the box repeats it";
  EXPECT_NE(run.out.find("(32002)\n[A]ceptar\nESTADO: Desconectado\n"), std::string::npos);
  EXPECT_TRUE(List(arrived / "box/new").empty());
  EXPECT_TRUE(List(user / ".Sent/cur").empty());
}

TEST_F(MailSystem, TheOrderAmongFiveMessagesLandsInMapiIn) {
  std::string order;
  for (int i = 0; i < 5000; ++i) order += static_cast<char>(i % 251);
  user.Deliver("cur", "1.a:2,S", Message("Boletín", "noticias"), 1764000000);
  user.Deliver("new", "2.a",
               Message("Re: factura", "gracias",
                       {{"Content-Type: application/pdf; name=\"f.pdf\"", "%PDF"}}),
               1764000100);
  user.Deliver(
      "new", "3.a",
      Message(
          "Nuevo pedido trambelo 77", "adjunto",
          {{"Content-Type: text/plain\nContent-Disposition: attachment; filename=\"pedido77.txt\"",
            order},
           {"Content-Type: text/plain\nContent-Disposition: attachment; filename=\"otro.txt\"",
            "no"}}),
      1764000200);
  user.Deliver("new", "4.a", Message("PEDIDO TRAMBELO sin adjunto", "nada"), 1764000300);
  user.Deliver("cur", "5.a:2,", Message("Hola", "hola"), 1764000400);
  const ProgramRun run = Postique({}, "");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(List(place / "MapiIn"), std::vector<std::string>{"pedido77.txt"});
  EXPECT_EQ(ReadFile(place / "MapiIn/pedido77.txt"), order);
  EXPECT_NE(run.out.find("\n5 correos analizados\n[A]ceptar\n"), std::string::npos) << run.out;
  EXPECT_EQ(List(place.path()), (std::vector<std::string>{"MapiIn", "postique"}));
}

}  // namespace
}  // namespace postique::testing
