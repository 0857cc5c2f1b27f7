// Order retrieval on mail as it really arrives and on real disks: Outlook's
// shapes, TNEF, a mailbox that changes under the scan, an order folder on a
// disk of its own, a disk that fills, the program ended by a signal and what
// a killed run leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "base/order_file_name.h"
#include "fakes/fake_screen.h"
#include "platform/posix/maildir_client.h"
#include "platform/posix/safe_file_name.h"
#include "posix/run_program.h"
#include "posix/test_maildir.h"

namespace postique::testing {
namespace {

constexpr long long kDay = 1764000000;

// An order as Outlook sends it from HTML mode: the text in two forms, the
// HTML one with its signature logo, then the order file.
std::string OutlookOrder(const std::string& order) {
  return "From: Cliente <cliente@example.es>\nSubject: PEDIDO TRAMBELO 77\nMIME-Version: 1.0\n"
         "Content-Type: multipart/mixed; boundary=\"m\"\n\n"
         "--m\nContent-Type: multipart/alternative; boundary=\"a\"\n\n"
         "--a\nContent-Type: text/plain; charset=utf-8\n\nAdjunto el pedido.\n"
         "--a\nContent-Type: multipart/related; boundary=\"r\"; type=\"text/html\"\n\n"
         "--r\nContent-Type: text/html; charset=utf-8\n\n"
         "<p>Adjunto el pedido.</p><img src=\"cid:image001.png@01DA0000\">\n"
         "--r\nContent-Type: image/png; name=\"image001.png\"\n"
         "Content-Disposition: inline; filename=\"image001.png\"\n"
         "Content-ID: <image001.png@01DA0000>\nContent-Transfer-Encoding: base64\n\n" +
         Base64("\x89PNG logo") +
         "\n--r--\n--a--\n"
         "--m\nContent-Type: application/pdf; name=\"pedido77.pdf\"\n"
         "Content-Disposition: attachment; filename=\"pedido77.pdf\"\n"
         "Content-Transfer-Encoding: base64\n\n" +
         Base64(order) + "\n--m--\n";
}

std::string TnefOrder(const std::string& tnef) {
  return Message("PEDIDO TRAMBELO 78", "Adjunto",
                 {{"Content-Type: application/ms-tnef; name=\"winmail.dat\"\n"
                   "Content-Disposition: attachment; filename=\"winmail.dat\"",
                   tnef}});
}

struct Inbox {
  TestMaildir maildir;
  FakeScreen screen;
  posix::MaildirClient client{screen, maildir.path()};
  posix::MaildirClient& Open() {
    client.SignOn();
    client.SetSessionID(client.SessionID());
    client.SetFetchUnreadOnly(false);
    client.Fetch();
    return client;
  }
  std::vector<std::pair<std::string, std::string>> Attachments() {
    std::vector<std::pair<std::string, std::string>> found;
    for (int i = 0; i < client.AttachmentCount(); ++i) {
      client.SetAttachmentIndex(i);
      const std::string path = client.AttachmentPathName();
      found.emplace_back(std::filesystem::path(path).filename().string(), ReadFile(path));
    }
    return found;
  }
};

using Files = std::vector<std::pair<std::string, std::string>>;

TEST(OrderMail, ASignatureLogoIsPartOfTheBodyNotTheFirstAttachment) {
  Inbox box;
  box.maildir.Deliver("new", "1.x", OutlookOrder("%PDF pedido 77"), kDay);
  // A picture attached in place, outside any HTML body, is one a user sees.
  box.maildir.Deliver("new", "2.x",
                      Message("Foto", "mira",
                              {{"Content-Type: image/jpeg\nContent-Disposition: inline; "
                                "filename=\"foto.jpg\"\nContent-ID: <foto@x>",
                                "jpg"}}),
                      kDay + 1);
  posix::MaildirClient& client = box.Open();
  EXPECT_EQ(client.MsgNoteText(), "Adjunto el pedido.");
  EXPECT_EQ(box.Attachments(), (Files{{"pedido77.pdf", "%PDF pedido 77"}}));
  client.SetMsgIndex(1);
  EXPECT_EQ(box.Attachments(), (Files{{"foto.jpg", "jpg"}}));
}

TEST(OrderMail, TheFilesOfAWinmailDatAreTheMessagesAttachments) {
  Inbox box;
  const std::string pdf("%PDF\0\xff pedido", 14);
  box.maildir.Deliver(
      "new", "1.x", TnefOrder(Tnef({{"pedido a\xf1o.pdf", pdf}, {"lista.csv", "a;b\r\n"}})), kDay);
  box.maildir.Deliver("new", "2.x",
                      TnefOrder(Tnef({{"PEDIDO~1.TXT", "corto"}}, /*longName=*/false)), kDay + 1);
  box.maildir.Deliver("new", "3.x", TnefOrder("no es TNEF"), kDay + 2);
  posix::MaildirClient& client = box.Open();
  EXPECT_EQ(box.Attachments(), (Files{{"pedido año.pdf", pdf}, {"lista.csv", "a;b\r\n"}}));
  client.SetMsgIndex(1);
  EXPECT_EQ(box.Attachments(), (Files{{"PEDIDO~1.TXT", "corto"}}));
  client.SetMsgIndex(2);
  EXPECT_EQ(box.Attachments(), (Files{{"winmail.dat", "no es TNEF"}}))
      << "what cannot be decoded stays one attachment";
}

TEST(OrderMail, AMessageReplacedByAFifoIsSkippedWithoutWaiting) {
  Inbox box;
  const std::string first =
      box.maildir.Deliver("new", "1.x", Message("PEDIDO TRAMBELO 1", "uno"), kDay);
  box.maildir.Deliver("new", "2.x", Message("Hola", "dos"), kDay + 1);
  posix::MaildirClient& client = box.Open();
  ASSERT_EQ(client.MsgCount(), 2);
  std::filesystem::remove(first);
  ASSERT_EQ(::mkfifo(first.c_str(), 0600), 0);  // nobody will ever write to it
  EXPECT_EQ(client.MsgSubject(), "") << "counted, with empty fields";
  EXPECT_EQ(client.AttachmentCount(), 0);
  client.SetMsgIndex(1);
  EXPECT_EQ(client.MsgSubject(), "Hola");
}

TEST(OrderMail, NamesStaySafeAfterTheyAreCut) {
  const std::string n250(250, 'n');
  const std::string cases[] = {
      std::string(254, 'a') + "." + std::string(40, 'b'),  // the cut ends in a point
      std::string(255, 'a') + "   .txtlargaquenoesextensiondeverdadnono",
      "NUL" + std::string(300, ' ') + ".txt",
      "NUL" + std::string(260, ' ') + "x",
      "CONIN$.log",
      "conout$",
      "COM\u00b9.txt",
      "lpt0",
      "Com\u00b3",
      n250 + "\u00f1\u00f1\u00f1.pdf",
      std::string(300, '.'),
  };
  for (const std::string& decoded : cases) {
    const std::string name = posix::SafeAttachmentName(decoded, 1);
    EXPECT_LE(name.size(), 255u) << decoded;
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name.back(), '.') << decoded;
    EXPECT_NE(name.back(), ' ') << decoded;
    EXPECT_FALSE(IsReservedDeviceName(name)) << name;
    EXPECT_TRUE(IsSafeOrderFileName(name)) << name;
  }
  EXPECT_EQ(posix::SafeAttachmentName("COM\u00b9.txt", 1), "_COM\u00b9.txt");
  EXPECT_EQ(posix::SafeAttachmentName(n250.substr(1) + "\u00f1\u00f1\u00f1.pdf", 1),
            n250.substr(1) + "\u00f1.pdf")
      << "cut on a character, the extension kept";
  for (const char* device : {"CON", "prn.txt", "AUX ", "CONIN$", "CONOUT$.x", "COM0", "LPT9.doc",
                             "COM\u00b2", "LPT\u00b3.txt"}) {
    EXPECT_TRUE(IsReservedDeviceName(device)) << device;
  }
  for (const char* ordinary : {"CONSOLA.txt", "COM10", "LPT", "COMA.txt", "NULO", "COM\u00b4"}) {
    EXPECT_FALSE(IsReservedDeviceName(ordinary)) << ordinary;
  }
}

// The program, installed in a folder of its own, over a Maildir.
struct Installed {
  TempDir folder, temp;
  TestMaildir maildir;
  std::string program = Install(folder);
  std::string MapiIn() const { return folder / "MapiIn"; }
  // The folders of the runs, in the user's folder of Postique's.
  std::vector<std::string> Runs() const {
    return List(temp / ("postique-" + std::to_string(::geteuid())));
  }
  ProgramRun Run(const std::string& input = "") {
    return RunProgram(
        program, {}, input,
        {{"MAILDIR", maildir.path()}, {"TMPDIR", temp.path()}, {"XDG_RUNTIME_DIR", ""}});
  }
};

// A small file system of its own at the order folder, while the test runs.
class OwnDisk {
 public:
  OwnDisk(const std::string& at, const char* type, const std::string& options) : at_(at) {
    std::filesystem::create_directory(at);
    mounted_ =
        ::getuid() == 0 && ::mount("postique-test", at.c_str(), type, 0, options.c_str()) == 0;
  }
  ~OwnDisk() {
    if (mounted_) ::umount(at_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::string at_;
  bool mounted_ = false;
};

// ramfs writes only through the page cache, and says so only once a file is
// made.
TEST(OrderMail, AnOrderFolderOnADiskOfItsOwnGetsTheOrder) {
  for (const char* type : {"tmpfs", "ramfs"}) {
    Installed p;
    const OwnDisk disk(p.MapiIn(), type, type == std::string("tmpfs") ? "size=1m" : "");
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small disk needs root";
    p.maildir.Deliver("new", "1.x", OutlookOrder("%PDF pedido 77"), kDay);
    const ProgramRun run = p.Run();
    EXPECT_NE(
        run.out.find("Se ha copiado un archivo de datos en \n\n" + p.MapiIn() + "/pedido77.pdf"),
        std::string::npos)
        << type << run.out;
    EXPECT_EQ(List(p.MapiIn()), std::vector<std::string>{"pedido77.pdf"})
        << type << ": nothing staged left";
    EXPECT_EQ(ReadFile(p.MapiIn() + "/pedido77.pdf"), "%PDF pedido 77") << type;
  }
}

// The attachment copies are emptied and used again as the scan goes on: an
// order already published must keep its data, whatever comes after it.
TEST(OrderMail, EveryOrderStaysWholeAfterTheScanLeavesItsMessage) {
  Installed p;
  const std::vector<std::string> orders = {std::string(300000, '1'), "dos", "3"};
  for (size_t i = 0; i < orders.size(); ++i) {
    const std::string n = std::to_string(i);
    const std::string part =
        "Content-Type: text/plain\nContent-Disposition: attachment; filename=\"p" + n + ".txt\"";
    p.maildir.Deliver("new", n + ".x", Message("PEDIDO TRAMBELO " + n, "b", {{part, orders[i]}}),
                      kDay + static_cast<long long>(i));
  }
  p.maildir.Deliver("new", "9.x", Message("otro", "b"), kDay + 9);
  const ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("4 correos analizados"), std::string::npos) << run.out;
  EXPECT_EQ(List(p.MapiIn()), (std::vector<std::string>{"p0.txt", "p1.txt", "p2.txt"}));
  for (size_t i = 0; i < orders.size(); ++i) {
    const std::string order = p.MapiIn() + "/p" + std::to_string(i) + ".txt";
    EXPECT_TRUE(ReadFile(order) == orders[i]) << order << " lost its data";
    struct stat st;
    ASSERT_EQ(::stat(order.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "readable as any copy";
  }
  EXPECT_TRUE(p.Runs().empty()) << "no private copy outlives the program";
}

TEST(OrderMail, ADiskThatFillsDuringTheCopyKeepsNothingAndSaysSo) {
  Installed p;
  const OwnDisk disk(p.MapiIn(), "tmpfs", "size=64k");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small disk needs root";
  p.maildir.Deliver("new", "1.x", OutlookOrder(std::string(1 << 20, 'p')), kDay);
  const ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("No se ha podido copiar el archivo de datos en \n\n" + p.MapiIn() +
                         "/pedido77.pdf\n\nError 61: Disco lleno"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("Se ha copiado"), std::string::npos);
  EXPECT_TRUE(List(p.MapiIn()).empty()) << "no half file, no staged copy";
}

TEST(OrderMail, AOneLineSubjectCannotForgeAStatusLine) {
  Installed p;
  p.maildir.Deliver("new", "1.x",
                    Message("=?utf-8?q?Hola=0D=0AESTADO:_Pedido_copiado?=", "cuerpo\r\nsegunda"),
                    kDay);
  const ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("\nHola??ESTADO: Pedido copiado\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\nESTADO: Pedido copiado\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\ncuerpo\nsegunda\n"), std::string::npos) << "the body keeps its lines";
}

// The terminal's program over p's Maildir, read until its first box waits
// for an answer.
struct AtABox {
  pid_t child;
  int input, output;
  std::string out;
};
AtABox StartToABox(const Installed& p) {
  int input[2], output[2];
  if (::pipe(input) != 0 || ::pipe(output) != 0) return {-1, -1, -1, ""};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(input[0], 0);
    ::dup2(output[1], 1);
    ::unsetenv("DISPLAY");
    ::setenv("MAILDIR", p.maildir.path().c_str(), 1);
    ::setenv("TMPDIR", p.temp.path().c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    ::execl(p.program.c_str(), p.program.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  AtABox run{child, input[1], output[0], ""};
  char buffer[4096];
  for (ssize_t n; run.out.find("[A]ceptar") == std::string::npos &&
                  (n = ::read(run.output, buffer, sizeof buffer)) > 0;) {
    run.out.append(buffer, static_cast<size_t>(n));
  }
  return run;
}

// Ends the run with signal and gives how it ended.
int Kill(AtABox& run, int signal) {
  ::kill(run.child, signal);
  int status = 0;
  ::waitpid(run.child, &status, 0);
  ::close(run.input);
  ::close(run.output);
  return status;
}

TEST(OrderMail, ASignalWhileABoxWaitsLeavesNoCopyBehind) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    Installed p;
    p.maildir.Deliver("new", "1.x", OutlookOrder("%PDF pedido 77"), kDay);
    // The box that tells of the copy waits for its answer: the copy exists.
    AtABox run = StartToABox(p);
    ASSERT_NE(run.out.find("Se ha copiado"), std::string::npos) << run.out;
    EXPECT_FALSE(p.Runs().empty());
    const int status = Kill(run, signal);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "ended as the signal would";
    EXPECT_TRUE(p.Runs().empty()) << "signal " << signal;
    EXPECT_EQ(List(p.MapiIn()), std::vector<std::string>{"pedido77.pdf"});
  }
}

// A run killed outright cleans nothing up: the next one does, sparing what a
// running Postique holds.
TEST(OrderMail, WhatAKilledRunLeftIsRemovedByTheNextRun) {
  Installed p;
  p.maildir.Deliver("new", "1.x", OutlookOrder("%PDF pedido 77"), kDay);
  AtABox killed = StartToABox(p);
  ASSERT_NE(killed.out.find("Se ha copiado"), std::string::npos) << killed.out;
  Kill(killed, SIGKILL);
  ASSERT_EQ(p.Runs().size(), 1u) << "the killed run's folder stays";
  std::filesystem::remove(p.MapiIn() + "/pedido77.pdf");  // processed meanwhile
  AtABox going = StartToABox(p);
  ASSERT_NE(going.out.find("Se ha copiado"), std::string::npos) << going.out;
  const std::vector<std::string> before = p.Runs();
  ASSERT_EQ(before.size(), 1u) << "the killed run's folder went as the next run made its own";
  std::filesystem::remove(p.MapiIn() + "/pedido77.pdf");
  const ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("Se ha copiado"), std::string::npos) << run.out;
  EXPECT_EQ(p.Runs(), before) << "the folder of the run still going is spared";
  Kill(going, SIGKILL);
}

// The names in the order folder that Postique stages its copies under, as
// they are at the moment.
std::vector<std::string> Staged(const Installed& p) {
  std::vector<std::string> staged;
  std::error_code none;  // the folder is made as the first copy begins
  for (const auto& entry : std::filesystem::directory_iterator(p.MapiIn(), none)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".postique-")) staged.push_back(name);
  }
  return staged;
}

// The program over p's Maildir, silent, from the moment its first copy into
// the order folder is under way (or it has ended).
pid_t StartToACopy(const Installed& p) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(quiet, 0);
    ::dup2(quiet, 1);
    ExecProgram(p.program, {},
                {{"MAILDIR", p.maildir.path()}, {"TMPDIR", p.temp.path()}, {"XDG_RUNTIME_DIR", ""}},
                127);
  }
  for (int i = 0; i < 200000 && Staged(p).empty(); ++i) ::usleep(100);
  return child;
}

// A sender may name an order anything, also as Postique stages its copies;
// runs killed while they copy leave staged copies that only Postique's
// record of them tells from orders.
TEST(OrderMail, RunsKilledMidCopyLeaveNothingOnceAWholeRunHasBeen) {
  Installed p;
  p.maildir.Deliver("new", "1.x", OutlookOrder(std::string(48 << 20, 'p')), kDay);
  const std::string staged = ".postique-abcdef";
  const std::string second =
      p.maildir.Deliver("new", "2.x",
                        Message("PEDIDO TRAMBELO 2", "b",
                                {{"Content-Type: text/plain\nContent-Disposition: attachment; "
                                  "filename=\"" +
                                      staged + "\"",
                                  "pedido 2"}}),
                        kDay + 1);
  for (int killed = 0; killed < 3; ++killed) {
    const pid_t child = StartToACopy(p);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_FALSE(Staged(p).empty()) << "killed before its copy began";
  }
  EXPECT_EQ(List(p.MapiIn()).size(), 1u)
      << "each killed run removed the staged copy of the one before";
  ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("/MapiIn/" + staged + "\n"), std::string::npos) << run.out;
  EXPECT_EQ(List(p.MapiIn()), (std::vector<std::string>{staged, "pedido77.pdf"}));
  EXPECT_TRUE(p.Runs().empty());
  // Before the next scan the first order is processed and the second one's
  // mail filed away: its order waits, and is the only copy there is.
  std::filesystem::remove(p.MapiIn() + "/pedido77.pdf");
  std::filesystem::remove(second);
  run = p.Run();
  EXPECT_NE(run.out.find("1 correos analizados"), std::string::npos) << run.out;
  EXPECT_EQ(List(p.MapiIn()), (std::vector<std::string>{staged, "pedido77.pdf"}));
  EXPECT_EQ(ReadFile(p.MapiIn() + "/" + staged), "pedido 2");
  EXPECT_TRUE(p.Runs().empty());
}

// Ended by a signal while it copies, a run removes the copy it was staging
// itself: no run after it is needed.
TEST(OrderMail, ASignalMidCopyTakesTheStagedCopyWithIt) {
  Installed p;
  p.maildir.Deliver("new", "1.x", OutlookOrder(std::string(48 << 20, 'p')), kDay);
  const pid_t child = StartToACopy(p);
  ASSERT_FALSE(Staged(p).empty()) << "ended before its copy began";
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  EXPECT_TRUE(List(p.MapiIn()).empty()) << "no staged copy, no half order";
  EXPECT_TRUE(p.Runs().empty());
}

// What a killed run recorded is removed only while it is that very file: a
// file made since under the staged copy's name is somebody else's.
TEST(OrderMail, AFileMadeSinceUnderAStagedCopysNameStays) {
  Installed p;
  p.maildir.Deliver("new", "1.x", OutlookOrder(std::string(48 << 20, 'p')), kDay);
  const pid_t child = StartToACopy(p);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  const std::vector<std::string> staged = Staged(p);
  ASSERT_EQ(staged.size(), 1u);
  const std::string name = p.MapiIn() + "/" + staged[0];
  // The killed run's file lives on elsewhere, so that its inode is not the
  // new one's.
  ASSERT_EQ(::link(name.c_str(), (p.temp / "kept").c_str()), 0);
  std::filesystem::remove(name);
  WriteFile(name, "de otro programa");
  const ProgramRun run = p.Run();
  EXPECT_NE(run.out.find("Se ha copiado"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(name), "de otro programa");
  EXPECT_TRUE(p.Runs().empty()) << "the killed run's folder went";
}

// Postique's folder of the user is used only while it is a folder of this
// user's that nobody else can enter, reached through no link: otherwise it
// may be anybody's, and nothing in it is taken for an ended run's.
TEST(OrderMail, AUserFolderThatIsNotPrivateIsNeitherUsedNorSwept) {
  for (const bool link : {false, true}) {
    Installed p;
    p.maildir.Deliver("new", "1.x", OutlookOrder("%PDF pedido 77"), kDay);
    const std::string user = p.temp / ("postique-" + std::to_string(::geteuid()));
    const std::string callers = link ? p.temp / "del-llamante" : user;
    std::filesystem::create_directories(callers + "/run-abcdef");
    WriteFile(callers + "/run-abcdef/factura.pdf", "%PDF factura");
    if (link) {
      ::chmod(callers.c_str(), 0700);
      std::filesystem::create_directory_symlink(callers, user);
    } else {
      ::chmod(callers.c_str(), 0755);
    }
    const ProgramRun run = p.Run();
    EXPECT_NE(run.out.find("No se ha podido obtener el archivo adjunto"), std::string::npos)
        << run.out;
    EXPECT_EQ(ReadFile(callers + "/run-abcdef/factura.pdf"), "%PDF factura") << link;
    EXPECT_EQ(List(callers), std::vector<std::string>{"run-abcdef"}) << link;
  }
}

// Orders in TNEF are decoded ahead on the program's second thread while the
// boxes of the orders before them are on the screen; the last order is
// renamed without pause by another reader from the first copy on (once the
// inbox is listed), while a third one changes every other message.
TEST(OrderMail, EveryOrderOfAMaildirThatOtherReadersChangeGetsItsBox) {
  Installed p;
  constexpr int kOrders = 40, kOthers = 3000;
  for (int i = 0; i < kOthers; ++i) {
    p.maildir.Deliver("cur", std::to_string(i) + ".x:2,S",
                      Message("otro " + std::to_string(i), "b"), kDay + i);
  }
  for (int i = 0; i < kOrders; ++i) {
    const std::string n = std::to_string(i);
    p.maildir.Deliver("cur", "t" + n + ".x:2,S",
                      TnefOrder(Tnef({{"pedido" + n + ".txt", "pedido " + n}})),
                      kDay + kOthers + i);
  }
  const std::string renamed =
      p.maildir.Deliver("cur", "r.x:2,S", OutlookOrder("%PDF pedido 77"), kDay + kOthers + kOrders);
  // One reader renames the last order back and forth every half millisecond;
  // another moves, deletes and replaces the other messages meanwhile.
  const std::string flagged = p.maildir / "cur/r.x:2,FS";
  const Meddler renamer(p.MapiIn(), [&] {
    for (;;) {
      ::rename(renamed.c_str(), flagged.c_str());
      ::usleep(500);
      ::rename(flagged.c_str(), renamed.c_str());
      ::usleep(500);
    }
  });
  std::vector<std::array<std::string, 2>> changes;  // made before the fork: the child only calls
  for (int i = 0; i < kOthers; ++i) {
    const std::string n = std::to_string(i) + ".x";
    const std::string listed = p.maildir / ("cur/" + n + ":2,S");
    changes.push_back({listed, i % 3 == 0   ? p.maildir / ("new/" + n)
                               : i % 3 == 1 ? std::string()
                                            : p.maildir / ("tmp/" + n)});
  }
  const std::string other = Message("otro", "b");
  // From the start: while the program lists and reads the other messages.
  const Meddler mover(p.maildir / "cur", [&] {
    for (const auto& [listed, to] : changes) {
      if (to.empty()) {
        ::unlink(listed.c_str());
      } else if (to.find("/tmp/") == std::string::npos) {
        ::rename(listed.c_str(), to.c_str());
      } else {  // replaced by a message written afresh
        const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool written = fd >= 0 && ::write(fd, other.data(), other.size()) >= 0;
        if (fd >= 0) ::close(fd);
        if (written) ::rename(to.c_str(), listed.c_str());
      }
      ::usleep(100);
    }
  });
  const ProgramRun run = p.Run();
  size_t boxes = 0;
  for (size_t at = run.out.find("Se ha copiado"); at != std::string::npos;
       at = run.out.find("Se ha copiado", at + 1)) {
    ++boxes;
  }
  EXPECT_EQ(boxes, size_t{kOrders + 1}) << run.out.substr(run.out.size() - 1500);
  const std::vector<std::string> copied = List(p.MapiIn());
  EXPECT_EQ(copied.size(), size_t{kOrders + 1});
  EXPECT_EQ(std::count(copied.begin(), copied.end(), "pedido77.pdf"), 1) << "the renamed order";
}

}  // namespace
}  // namespace postique::testing
