#include "platform/posix/maildir_client.h"

#include <fcntl.h>
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "fakes/failures.h"
#include "fakes/fake_screen.h"
#include "platform/posix/run_folder.h"
#include "posix/test_maildir.h"

namespace postique::posix {
namespace {

using testing::Base64;
using testing::FailureNumber;
using testing::Message;
using testing::ReadFile;
using namespace std::string_literals;

constexpr long long kDay = 1764000000;  // late November 2025

std::string Attachment(const std::string& disposition, const std::string& type = "text/plain") {
  return "Content-Type: " + type + "\nContent-Disposition: attachment; " + disposition;
}

struct Client {
  testing::TestMaildir maildir;
  testing::FakeScreen screen;
  std::unique_ptr<MaildirClient> client = std::make_unique<MaildirClient>(screen, maildir.path());

  MaildirClient& Open(bool unreadOnly = false) {
    client->SignOn();
    client->SetSessionID(client->SessionID());
    client->SetFetchUnreadOnly(unreadOnly);
    client->Fetch();
    return *client;
  }
  std::vector<std::string> Subjects(bool unreadOnly = false) {
    MaildirClient& c = Open(unreadOnly);
    std::vector<std::string> subjects;
    for (int i = 0; i < c.MsgCount(); ++i) {
      c.SetMsgIndex(i);
      subjects.push_back(c.MsgSubject());
    }
    return subjects;
  }
  // Messages 0.x, 1.x, ... in new/, delivered in that order; their subjects.
  std::vector<std::string> DeliverNumbered(int count) {
    std::vector<std::string> subjects;
    for (int i = 0; i < count; ++i) {
      subjects.push_back("mensaje " + std::to_string(i));
      maildir.Deliver("new", std::to_string(i) + ".x", Message(subjects.back(), "b"), kDay + i);
    }
    return subjects;
  }
  // The decoded name and bytes of one attachment of the current message.
  std::pair<std::string, std::string> Copy(int attachment) {
    client->SetAttachmentIndex(attachment);
    const std::string path = client->AttachmentPathName();
    return {std::filesystem::path(path).filename().string(), ReadFile(path)};
  }
};

TEST(MaildirClient, SigningOnToAMissingProfileIsALoginFailure) {
  testing::FakeScreen screen;
  MaildirClient client(screen, "/nonexistent/Maildir");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { client.SignOn(); }, &description), 32003);
  EXPECT_NE(description.find("/nonexistent/Maildir"), std::string::npos) << description;
  EXPECT_EQ(FailureNumber([&] { client.Fetch(); }), 32019);
}

TEST(MaildirClient, FetchesNewAndCurOldestFirstSkippingWhatIsNotInbox) {
  Client c;
  c.maildir.Deliver("cur", "3.x:2,S", Message("leído", "b"), kDay + 30);
  c.maildir.Deliver("new", "2.x", Message("nuevo", "b"), kDay + 20);
  c.maildir.Deliver("cur", "1.x:2,", Message("primero", "b"), kDay + 10);
  c.maildir.Deliver("cur", "4.x:2,ST", Message("papelera", "b"), kDay);
  c.maildir.Deliver("new", ".oculto", Message("punto", "b"), kDay);
  c.maildir.Deliver("tmp", "5.x", Message("a medias", "b"), kDay);
  EXPECT_EQ(c.Subjects(), (std::vector<std::string>{"primero", "nuevo", "leído"}));
  EXPECT_EQ(c.Subjects(true), (std::vector<std::string>{"primero", "nuevo"}));
}

TEST(MaildirClient, AMessageListedInBothFoldersIsReadOnce) {
  // Moved from new/ to cur/ between the listings of the two folders.
  Client c;
  c.maildir.Deliver("new", "1.x", Message("nuevo", "b"), kDay);
  c.maildir.Deliver("cur", "1.x:2,S", Message("leído", "b"), kDay);
  c.maildir.Deliver("new", "2.x", Message("otro", "b"), kDay);
  EXPECT_EQ(c.Subjects(), (std::vector<std::string>{"leído", "otro"}));
}

TEST(MaildirClient, ReadsDecodedFieldsWithoutChangingTheMessage) {
  Client c;
  const std::string raw =
      "From: =?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?= <jose@example.es>\n"
      "Subject: =?UTF-8?B?UEVESURPIFRSQU1CRUxPIG7CujQy?=\n"
      "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
      "--b\nContent-Type: text/plain; charset=iso-8859-1\n"
      "Content-Transfer-Encoding: quoted-printable\n\nGracias, se=F1or.\n"
      "--b\nContent-Type: application/octet-stream\n"
      "Content-Disposition: attachment; filename*=UTF-8''pedido%20a%C3%B1o.csv\n"
      "Content-Transfer-Encoding: base64\n\n" +
      Base64(std::string("a;b\r\n\0\xff", 7)) + "\n--b--\n";
  const std::string path = c.maildir.Deliver("new", "1.x", raw, kDay);
  MaildirClient& client = c.Open();
  ASSERT_EQ(client.MsgCount(), 1);
  EXPECT_EQ(client.MsgSubject(), "PEDIDO TRAMBELO nº42");
  EXPECT_EQ(client.MsgOrigDisplayName(), "José Pérez");
  EXPECT_EQ(client.MsgNoteText(), "Gracias, señor.");
  std::tm local;
  const std::time_t day = kDay;
  ::localtime_r(&day, &local);
  char expected[32];
  std::strftime(expected, sizeof expected, "%Y/%m/%d %H:%M", &local);
  EXPECT_EQ(client.MsgDateReceived(), expected);
  EXPECT_EQ(client.AttachmentCount(), 1);
  EXPECT_EQ(c.Copy(0), std::pair("pedido año.csv"s, std::string("a;b\r\n\0\xff", 7)));
  EXPECT_EQ(ReadFile(path), raw);
  EXPECT_EQ(testing::List(c.maildir / "new"), std::vector<std::string>{"1.x"});
  EXPECT_TRUE(testing::List(c.maildir / "cur").empty());
}

TEST(MaildirClient, TheSenderWithoutANameIsItsAddress) {
  Client c;
  c.maildir.Deliver("new", "1.x", "From: ana@example.es\nSubject: s\n\nb\n", kDay);
  EXPECT_EQ(c.Open().MsgOrigDisplayName(), "ana@example.es");
}

TEST(MaildirClient, FindsAttachmentsInNestedMultipartsInDocumentOrder) {
  Client c;
  c.maildir.Deliver("new", "1.x",
                    "Subject: anidado\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/mixed; boundary=\"o\"\n\n"
                    "--o\nContent-Type: multipart/alternative; boundary=\"a\"\n\n"
                    "--a\nContent-Type: text/plain\n\ntexto llano\n"
                    "--a\nContent-Type: text/html\n\n<p>html</p>\n--a--\n"
                    "--o\nContent-Type: multipart/mixed; boundary=\"i\"\n\n"
                    "--i\nContent-Type: application/pdf; name=\"a.pdf\"\n"
                    "Content-Transfer-Encoding: base64\n\n" +
                        Base64("%PDF-1") +
                        "\n"
                        "--i\nContent-Type: application/xml\nContent-Disposition: attachment\n\n"
                        "<x/>\n--i--\n--o--\n",
                    kDay);
  MaildirClient& client = c.Open();
  EXPECT_EQ(client.MsgNoteText(), "texto llano");
  ASSERT_EQ(client.AttachmentCount(), 2);
  EXPECT_EQ(c.Copy(0), std::pair("a.pdf"s, "%PDF-1"s));
  EXPECT_EQ(c.Copy(1), std::pair("adjunto-2"s, "<x/>"s)) << "a nameless attachment gets a name";
}

// Bodies of the commonest charsets are read without converting them; every
// body must still read as GMime itself gives it.
TEST(MaildirClient, EveryBodyReadsAsGMimeGivesIt) {
  const struct {
    std::string type, encoding, content;
  } bodies[] = {
      {"text/plain; charset=utf-8", "8bit", "Hola, señor.\r\nSegunda línea"},
      {"text/plain; charset=UTF-8", "base64", Base64("línea\r\notra\r\n")},
      {"text/plain; charset=utf8", "quoted-printable", "se=C3=B1or"},
      {"text/plain; charset=utf-8", "8bit", "mal \xff byte"},
      {"text/plain; charset=utf-8", "8bit", "fin cortado \xc3"},
      {"text/plain; charset=utf-8", "8bit",
       "\xef\xbb\xbf"
       "con marca de orden"},
      {"text/plain; charset=utf-8", "base64", Base64("antes\0después"s)},
      {"text/plain", "base64", Base64("antes\0después"s)},
      {"text/plain; charset=us-ascii", "base64", Base64("antes\0despues"s)},
      {"text/plain; charset=us-ascii", "7bit", "ascii puro"},
      {"text/plain; charset=us-ascii", "8bit", "ocho bits \xe9"},
      {"text/plain", "8bit", "sin juego de caracteres \xe9"},
      {"text/plain; charset=utf-7", "7bit", "caf+AOk-"},
      {"text/plain; charset=iso-8859-1", "8bit", "se\xf1or"},
      {"text/plain; charset=utf-8", "8bit", ""},
  };
  Client c;
  std::vector<std::string> raws;
  for (const auto& body : bodies) {
    raws.push_back("Subject: cuerpo\nMIME-Version: 1.0\nContent-Type: " + body.type +
                   "\nContent-Transfer-Encoding: " + body.encoding + "\n\n" + body.content + "\n");
    c.maildir.Deliver("new", std::to_string(raws.size()) + ".x", raws.back(),
                      kDay + static_cast<long long>(raws.size()));
  }
  MaildirClient& client = c.Open();
  ASSERT_EQ(client.MsgCount(), static_cast<int>(raws.size()));
  for (size_t i = 0; i < raws.size(); ++i) {
    client.SetMsgIndex(static_cast<int>(i));
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raws[i].data(), raws[i].size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    ASSERT_NE(message, nullptr);
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(g_mime_message_get_mime_part(message)));
    EXPECT_EQ(client.MsgNoteText(), std::string(text ? text : "")) << bodies[i].content;
    g_free(text);
    g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
  }
  client.SetMsgIndex(0);
  EXPECT_EQ(client.MsgNoteText(), "Hola, señor.\r\nSegunda línea\n");
  client.SetMsgIndex(2);
  EXPECT_EQ(client.MsgNoteText(), "señor\n");
  client.SetMsgIndex(6);
  EXPECT_EQ(client.MsgNoteText(), "antes");
  client.SetMsgIndex(7);
  EXPECT_EQ(client.MsgNoteText(), "antes");
  client.SetMsgIndex(12);
  EXPECT_EQ(client.MsgNoteText(), "café\n");
}

TEST(MaildirClient, InlinePartsAloneAreNoAttachments) {
  Client c;
  c.maildir.Deliver("new", "1.x",
                    "Subject: solo texto\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/alternative; boundary=\"a\"\n\n"
                    "--a\nContent-Type: text/plain\n\nhola\n"
                    "--a\nContent-Type: text/html\nContent-Disposition: inline\n\n<b>hola</b>\n"
                    "--a--\n",
                    kDay);
  MaildirClient& client = c.Open();
  EXPECT_EQ(client.AttachmentCount(), 0);
  EXPECT_EQ(FailureNumber([&] { client.AttachmentPathName(); }), 32011);
}

TEST(MaildirClient, BrokenAndVanishingMessagesCountWithoutStoppingTheScan) {
  Client c;
  c.maildir.Deliver("new", "1.x",
                    "Subject: cortado\nMIME-Version: 1.0\n"
                    "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
                    "Content-Type: text/plain\n\ninicio\n--b\nContent-Type: text/plain; "
                    "name=\"p.txt\"\nContent-Transfer-Encoding: base64\n\naG9s",
                    kDay);
  c.maildir.Deliver("new", "2.x", std::string("\0\xff\x01garbage", 10), kDay + 1);
  const std::string vanishing = c.maildir.Deliver("new", "3.x", Message("se va", "b"), kDay + 2);
  const std::string moving = c.maildir.Deliver("new", "4.x", Message("se mueve", "b"), kDay + 3);
  MaildirClient& client = c.Open();
  ASSERT_EQ(client.MsgCount(), 4);
  std::filesystem::remove(vanishing);
  std::filesystem::rename(moving, c.maildir / "cur/4.x:2,S");
  EXPECT_EQ(client.MsgSubject(), "cortado");
  EXPECT_EQ(client.AttachmentCount(), 1);
  EXPECT_EQ(c.Copy(0).second, "hol");
  client.SetMsgIndex(1);
  EXPECT_EQ(client.MsgSubject(), "");
  EXPECT_EQ(client.AttachmentCount(), 0);
  client.SetMsgIndex(2);
  EXPECT_EQ(client.MsgSubject(), "");
  EXPECT_EQ(client.AttachmentCount(), 0);
  client.SetMsgIndex(3);
  EXPECT_EQ(client.MsgSubject(), "se mueve") << "found under its unique name";
}

TEST(MaildirClient, EveryMessageMovedDuringTheScanIsStillRead) {
  Client c;
  const std::vector<std::string> sent = c.DeliverNumbered(12);
  MaildirClient& client = c.Open();
  std::vector<std::string> read;
  for (int i = 0; i < client.MsgCount(); ++i) {
    // Another program marks messages read, two at a time, just before the
    // scan gets to them, then flags the second of each pair as well.
    const auto name = [](int n, const char* flags) { return std::to_string(n) + ".x" + flags; };
    if (i % 2 == 0) {
      for (const int n : {i, i + 1}) {
        std::filesystem::rename(c.maildir / ("new/" + name(n, "")),
                                c.maildir / ("cur/" + name(n, ":2,S")));
      }
    } else {
      std::filesystem::rename(c.maildir / ("cur/" + name(i, ":2,S")),
                              c.maildir / ("cur/" + name(i, ":2,FS")));
    }
    client.SetMsgIndex(i);
    read.push_back(client.MsgSubject());
  }
  EXPECT_EQ(read, sent);
}

// "Mark all as read" over and over while the scan lists the folders: a
// reading of cur/ misses a message renamed while it runs.
TEST(MaildirClient, EveryMessageIsListedWhileAnotherReaderMarksThemAllRead) {
  Client c;
  constexpr int kMessages = 5000;
  std::vector<std::array<std::string, 2>> names;  // unread and read, made before the fork
  for (int i = 0; i < kMessages; ++i) {
    const std::string unread = c.maildir.Deliver("cur", std::to_string(i) + ".x:2,",
                                                 Message("m" + std::to_string(i), "b"), kDay + i);
    names.push_back({unread, unread + "S"});
  }
  const testing::Meddler marker([&] {
    for (;;) {
      for (const auto& [unread, read] : names) ::rename(unread.c_str(), read.c_str());
      for (const auto& [unread, read] : names) ::rename(read.c_str(), unread.c_str());
    }
  });
  while (testing::Exists(names.front()[0])) ::usleep(100);  // renaming already
  MaildirClient& client = c.Open();
  for (int scan = 0; scan < 5; ++scan) {
    if (scan > 0) client.Fetch();
    ASSERT_EQ(client.MsgCount(), kMessages) << "scan " << scan;
  }
  client.SetMsgIndex(kMessages - 1);
  EXPECT_EQ(client.MsgSubject(), "m" + std::to_string(kMessages - 1));
  EXPECT_TRUE(c.screen.boxes.empty()) << c.screen.BoxTexts().front();
}

// A message deleted while a sync keeps delivering cannot be told gone from
// moving: it cannot be read, and nothing of the message before stands in.
TEST(MaildirClient, AMessageThatCannotBeReadNeverReadsAsTheOneBefore) {
  Client c;
  c.maildir.Deliver(
      "new", "1.x",
      Message("PEDIDO TRAMBELO 1", "b", {{Attachment("filename=\"p1.txt\""), "pedido 1"}}), kDay);
  const std::string deleted = c.maildir.Deliver("new", "2.x", Message("otro", "b"), kDay + 1);
  const std::string message = Message("sincronizado", "b");
  const std::string temp = c.maildir / "tmp/s", delivered = c.maildir / "new/s";
  MaildirClient& client = c.Open();
  EXPECT_EQ(client.MsgSubject(), "PEDIDO TRAMBELO 1");  // no copy asked for: nothing read ahead
  std::filesystem::remove(deleted);
  const testing::Meddler sync([&] {
    for (int i = 0;; ++i) {
      const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0 && ::write(fd, message.data(), message.size()) >= 0) ::close(fd);
      ::rename(temp.c_str(), (delivered + std::to_string(i)).c_str());
      ::usleep(1000);
    }
  });
  while (!testing::Exists(delivered + "0")) ::usleep(100);  // delivering already
  client.SetMsgIndex(1);
  for (int asked = 0; asked < 2; ++asked) {
    EXPECT_EQ(FailureNumber([&] { client.MsgSubject(); }), 32022) << "asked " << asked;
    EXPECT_EQ(FailureNumber([&] { client.AttachmentCount(); }), 32022);
    client.SetAttachmentIndex(0);
    EXPECT_EQ(FailureNumber([&] { client.AttachmentPathName(); }), 32022);
  }
}

TEST(MaildirClient, HostileAttachmentNamesNeverLeaveTheTemporaryFolder) {
  const std::string kLong(300, 'n');
  const struct {
    std::string disposition, name;
  } cases[] = {
      {"filename=\"../../x\"", "x"},
      {"filename=\"/etc/x\"", "x"},
      {"filename=\"..\\\\x.bat\"", "x.bat"},
      {"filename=\"CON\"", "_CON"},
      {"filename=\"..\"", "adjunto-1"},
      {"filename*=UTF-8''..%2F..%2Fx", "x"},
      {"filename*=UTF-8''a%01b%1Bc.txt", "a_b_c.txt"},
      {"filename*=UTF-8''fact%E2%80%AEfdp.exe", "fact_fdp.exe"},
      {"filename*=UTF-8''cero%E2%80%8Bancho.txt", "cero_ancho.txt"},
      {"filename=\"" + kLong + ".pdf\"", std::string(251, 'n') + ".pdf"},
      {"filename=\"" + std::string(299, 'n') + "\xc3\xb1.pdf\"", std::string(251, 'n') + ".pdf"},
  };
  for (const auto& c : cases) {
    Client client;
    client.maildir.Deliver("new", "1.x", Message("s", "b", {{Attachment(c.disposition), "dato"}}),
                           kDay);
    client.Open();
    client.client->SetAttachmentIndex(0);
    const std::string path = client.client->AttachmentPathName();
    EXPECT_EQ(std::filesystem::path(path).filename().string(), c.name) << c.disposition;
    EXPECT_EQ(ReadFile(path), "dato");
    // In a folder of the client's own, in the run's, in the user's: none
    // that anyone else can look into.
    const std::string run = RunFolder::Get().path();
    ASSERT_EQ(path.rfind(run + "/copies-", 0), 0u) << path;
    const std::string temp = path.substr(0, path.find('/', run.size() + 1));
    for (const std::string& folder : {temp, run, run.substr(0, run.rfind('/'))}) {
      struct stat st;
      ASSERT_EQ(::stat(folder.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    client.client.reset();
    EXPECT_FALSE(testing::Exists(temp)) << "copies are removed at the end";
  }
  EXPECT_FALSE(testing::Exists("/etc/x"));
}

TEST(MaildirClient, AskingTwiceForTheSamePathGivesTheSameCopy) {
  Client c;
  c.maildir.Deliver("new", "1.x", Message("s", "b", {{Attachment("filename=\"p.txt\""), "1"}}),
                    kDay);
  c.maildir.Deliver("new", "2.x", Message("s", "b", {{Attachment("filename=\"p.txt\""), "2"}}),
                    kDay + 1);
  MaildirClient& client = c.Open();
  client.SetAttachmentIndex(0);
  const std::string first = client.AttachmentPathName();
  EXPECT_EQ(client.AttachmentPathName(), first);
  client.SetMsgIndex(1);
  EXPECT_FALSE(testing::Exists(first)) << "removed once the scan left its message";
  client.SetAttachmentIndex(0);
  EXPECT_EQ(ReadFile(client.AttachmentPathName()), "2");
}

TEST(MaildirClient, CopiesOfOneNameNeverMeet) {
  Client c;
  c.maildir.Deliver("new", "1.x",
                    Message("s", "b",
                            {{Attachment("filename=\"p.txt\""), "uno"},
                             {Attachment("filename=\"p.txt\""), "dos"}}),
                    kDay);
  c.maildir.Deliver("new", "2.x", Message("s", "b"), kDay + 1);
  MaildirClient& client = c.Open();
  EXPECT_EQ(c.Copy(0), std::pair("p.txt"s, "uno"s));
  EXPECT_EQ(c.Copy(1), std::pair("p.txt"s, "dos"s));
  client.SetAttachmentIndex(0);
  const std::string first = client.AttachmentPathName();
  client.SetAttachmentIndex(1);
  const std::string second = client.AttachmentPathName();
  EXPECT_NE(first, second);
  client.SetMsgIndex(1);
  EXPECT_FALSE(testing::Exists(first));
  EXPECT_FALSE(testing::Exists(std::filesystem::path(second).parent_path()))
      << "the folder of its own goes with it";
}

TEST(MaildirClient, TheTemporaryFolderDoesNotGrowWithTheScan) {
  Client c;
  for (int i = 0; i < 4; ++i) {
    // Shorter contents later: a file used again must not keep bytes of before.
    c.maildir.Deliver("new", std::to_string(i) + ".x",
                      Message("s", "b",
                              {{Attachment("filename=\"a" + std::to_string(i) + ".txt\""),
                                std::string(40 - 10 * i, 'a')},
                               {Attachment("filename=\"b.txt\""), std::to_string(i)}}),
                      kDay + i);
  }
  MaildirClient& client = c.Open();
  std::filesystem::path folder;
  for (int i = 0; i < 4; ++i) {
    client.SetMsgIndex(i);
    EXPECT_EQ(c.Copy(0),
              std::pair("a" + std::to_string(i) + ".txt", std::string(40 - 10 * i, 'a')));
    EXPECT_EQ(c.Copy(1), std::pair("b.txt"s, std::to_string(i)));
    client.SetAttachmentIndex(0);
    folder = std::filesystem::path(client.AttachmentPathName()).parent_path();
  }
  client.SetMsgIndex(0);
  uintmax_t bytes = 0;
  int entries = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    ++entries;
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  // At most one copy waits to be written over, whatever the scan has read.
  EXPECT_LE(bytes, 40u) << "copies of the messages the scan has left";
  EXPECT_LE(entries, 1);
  c.client.reset();
  EXPECT_FALSE(testing::Exists(folder.string())) << "the folder goes with the client";
}

// Each attachment asked for sets the messages after it being parsed on
// another thread, while the caller copies it: they must read as any other
// message, however the scan moves on and whatever happens to the files.
TEST(MaildirClient, MessagesParsedAheadReadAsAnyOther) {
  Client c;
  const int kCount = 25;
  const auto content = [](int i) {
    return i == 7 ? std::string(3 << 19, 'g') : "pedido " + std::to_string(i);
  };
  for (int i = 0; i < kCount; ++i) {
    const std::string subject = "mensaje " + std::to_string(i);
    c.maildir.Deliver(
        "new", std::to_string(i) + ".x",
        i % 5 == 0 || i == 7
            ? Message(subject, "b",
                      {{Attachment("filename=\"p" + std::to_string(i) + ".txt\""), content(i)}})
            : Message(subject, "cuerpo " + std::to_string(i)),
        kDay + i);
  }
  MaildirClient& client = c.Open();
  const auto check = [&](int i) {
    client.SetMsgIndex(i);
    const std::string subject = client.MsgSubject();
    if (i == 3) {
      EXPECT_TRUE(subject.empty() || subject == "mensaje 3") << "gone, or read before it went";
      return;
    }
    EXPECT_EQ(subject, "mensaje " + std::to_string(i));
    if (i % 5 == 0 || i == 7) {
      ASSERT_EQ(client.AttachmentCount(), 1) << i;
      EXPECT_TRUE(c.Copy(0).second == content(i)) << i;
    } else {
      EXPECT_EQ(client.MsgNoteText(), "cuerpo " + std::to_string(i) + "\n");
      EXPECT_EQ(client.AttachmentCount(), 0) << i;
    }
  };
  check(0);
  // Meanwhile another reader deletes one message and moves the others.
  std::filesystem::remove(c.maildir / "new/3.x");
  for (int i = 1; i < kCount; ++i) {
    if (i == 3) continue;
    const std::string name = std::to_string(i) + ".x";
    std::filesystem::rename(c.maildir / ("new/" + name), c.maildir / ("cur/" + name + ":2,S"));
  }
  for (int i = 1; i < kCount; ++i) check(i);
  // Paging back and forth, as the inbox browser does.
  for (const int i : {10, 2, 15, 11, 24, 0, 16, 5}) check(i);
  // A new listing while messages are parsed ahead: two older messages
  // come first, and the others move along.
  c.maildir.Deliver("new", "a.x", Message("antiguo", "b"), kDay - 2);
  c.maildir.Deliver("new", "b.x", Message("antiguo", "b"), kDay - 1);
  client.SetMsgIndex(20);
  c.Copy(0);
  client.Fetch();
  EXPECT_EQ(client.MsgCount(), kCount + 1);
  for (int i = 21; i <= kCount; ++i) {
    client.SetMsgIndex(i);
    EXPECT_EQ(client.MsgSubject(), "mensaje " + std::to_string(i - 1));
  }
  // And the client ends while they are.
  client.SetMsgIndex(2);
  c.Copy(0);
  c.client.reset();
}

// The thread that parses ahead also decodes the first attachment of each
// message, if given the time: the copy must be the one the caller would
// have decoded, whatever the encoding and however broken it is.
TEST(MaildirClient, FirstAttachmentsDecodedAheadCopyAsWhenAskedFor) {
  Client c;
  const auto raw = [](const std::string& encoding, const std::string& encoded) {
    return "Subject: s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"f\"\n\n"
           "--f\nContent-Type: text/plain\n\nb\n--f\n" +
           Attachment("filename=\"a.bin\"", "application/octet-stream") +
           "\nContent-Transfer-Encoding: " + encoding + "\n\n" + encoded + "\n--f\n" +
           Attachment("filename=\"b.txt\"") + "\n\nsegundo\n--f--\n";
  };
  const std::string binary = std::string("a;b\r\n\0\xff", 7) + std::string(5000, '\x80');
  const std::vector<std::string> messages = {
      Message("pedido", "b", {{Attachment("filename=\"p.txt\""), "pedido"}}),
      Message("sin adjuntos", "b"),
      raw("base64", Base64(binary)),
      raw("quoted-printable", "l=EDnea=\n partida=3D1\n"),
      raw("base64", "YWJj*ZGVm\n=Z2hp\n!!!!\nam"),  // broken: GMime reads what it can
      raw("7bit", ""),
      raw("x-desconocida", "tal cual"),
      Message("grande", "b", {{Attachment("filename=\"g.bin\""), std::string(3 << 19, 'g')}}),
      raw("base64", Base64("último")),
  };
  for (size_t i = 0; i < messages.size(); ++i) {
    c.maildir.Deliver("new", std::to_string(i) + ".x", messages[i],
                      kDay + static_cast<long long>(i));
  }
  MaildirClient& client = c.Open();
  // Last to first: no message is reached after the thread has been ahead of it.
  std::vector<std::string> asked(messages.size());
  std::vector<int> counts(messages.size());
  for (int i = static_cast<int>(messages.size()) - 1; i >= 0; --i) {
    client.SetMsgIndex(i);
    counts[i] = client.AttachmentCount();
    if (counts[i] > 0) asked[i] = c.Copy(0).second;
  }
  EXPECT_EQ(counts, (std::vector<int>{1, 0, 2, 2, 2, 2, 2, 1, 2}));
  EXPECT_EQ(asked[2], binary);
  EXPECT_EQ(asked[3], "l\xEDnea partida=1\n");
  EXPECT_EQ(asked[8], "último");
  // First to last: each copy starts the thread on the messages after it.
  client.SetMsgIndex(0);
  c.Copy(0);
  for (int i = 1; i < static_cast<int>(messages.size()); ++i) {
    client.SetMsgIndex(i);
    ASSERT_EQ(client.AttachmentCount(), counts[i]) << i;
    if (counts[i] == 0) continue;
    EXPECT_TRUE(c.Copy(0).second == asked[i]) << i;
    if (counts[i] > 1) {
      EXPECT_EQ(c.Copy(1).second, "segundo") << i;
    }
  }
}

// The thread given a batch and let finish decodes the first attachment of
// each message it parsed: what the scan copies next is then ready in memory.
TEST(ParseAhead, DecodesEachFirstAttachmentWhenLetFinish) {
  InitGMime();
  testing::TestMaildir maildir;
  const std::vector<std::string> firsts = {"uno", std::string(5000, 'g'), ""};
  std::vector<ParseAhead::Job> batch;
  for (size_t i = 0; i < firsts.size(); ++i) {
    const std::string name = std::to_string(i) + ".x";
    maildir.Deliver("new", name,
                    firsts[i].empty()
                        ? Message("sin adjuntos", "b")
                        : Message("m", "b", {{Attachment("filename=\"a.bin\""), firsts[i]}}),
                    kDay);
    const int fd = ::open((maildir.path() + "/new/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct stat st;
    ASSERT_EQ(::fstat(fd, &st), 0);
    batch.push_back({static_cast<int>(i), Fd(fd), st.st_size, std::make_unique<ParsedMessage>()});
  }
  batch.push_back({7, Fd(-1), 0, std::make_unique<ParsedMessage>()});  // gone meanwhile
  ParseAhead ahead;
  ahead.Start(std::move(batch));
  ahead.Finish(/*decodeAll=*/true);
  for (size_t i = 0; i < firsts.size(); ++i) {
    const std::unique_ptr<ParsedMessage> parsed = ahead.Take(static_cast<int>(i));
    ASSERT_TRUE(parsed) << i;
    EXPECT_FALSE(ahead.Holds(static_cast<int>(i)));
    ASSERT_EQ(parsed->attachments.size(), firsts[i].empty() ? 0u : 1u) << i;
    if (firsts[i].empty()) continue;
    EXPECT_EQ(parsed->attachments[0].part, nullptr) << "decoded, " << i;
    EXPECT_TRUE(parsed->attachments[0].data == firsts[i]) << i;
  }
  const std::unique_ptr<ParsedMessage> gone = ahead.Take(7);
  ASSERT_TRUE(gone);
  EXPECT_TRUE(gone->subject.empty() && gone->attachments.empty());
  EXPECT_FALSE(ahead.Take(3)) << "never given";
}

// Attachments of messages too large to read whole stream into their copy,
// over what the copy before left.
TEST(MaildirClient, ALargeCopyOverALargerOneKeepsOnlyItsOwnBytes) {
  Client c;
  const std::vector<std::string> contents = {std::string(3 << 20, 'x'), std::string(3 << 19, 'y'),
                                             "z"};
  for (size_t i = 0; i < contents.size(); ++i) {
    c.maildir.Deliver("new", std::to_string(i) + ".x",
                      Message("s", "b", {{Attachment("filename=\"a.txt\""), contents[i]}}),
                      kDay + static_cast<long long>(i));
  }
  MaildirClient& client = c.Open();
  for (size_t i = 0; i < contents.size(); ++i) {
    client.SetMsgIndex(static_cast<int>(i));
    EXPECT_TRUE(c.Copy(0).second == contents[i]) << "copy " << i;
  }
}

}  // namespace
}  // namespace postique::posix
