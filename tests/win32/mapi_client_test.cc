#include "platform/win32/mapi_client.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <list>
#include <map>
#include <memory>
#include <set>

#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#include "platform/win32/code_page.h"

namespace postique::win32 {
namespace {

using testing::FailureNumber;
using testing::TempDir;

// An in-memory mail program behind a replaced function table: an inbox, an
// outbox, failures by function, and an account of every block it lent out.
struct FakeMapi {
  struct Message {
    std::string date, fromName, fromAddress, subject, body;
    bool unread = true;
    std::vector<std::pair<std::string, std::string>> files;  // name, contents
    std::vector<std::string> handed;  // paths handed back as they are, after the files
  };
  struct Sent {
    FLAGS flags;
    bool wide;
    std::vector<std::pair<std::string, std::string>> to;  // name, address
    std::string subject, body;
    std::vector<std::pair<std::string, std::string>> files;  // path, name
    std::vector<ULONG> positions;
  };
  // A handle that needs every bit of a pointer.
  LHANDLE session = sizeof(LHANDLE) > 4 ? static_cast<LHANDLE>(0x7000000000001ULL) : 0x70000001;
  std::vector<Message> inbox;
  bool honoursUnreadOnly = false;
  enum { kEnds, kStartsOver, kNeverEnds } walk = kEnds;
  std::map<std::string, ULONG> fail;  // function name: the code it returns
  std::set<std::string> unknown;      // names ResolveName cannot resolve
  std::vector<Sent> sent;
  std::vector<std::string> calls;
  std::vector<LHANDLE> sessionsPassed;
  FLAGS logonFlags = 0;
  std::vector<FLAGS> findFlags, readFlags;
  std::vector<std::string> written;  // attachment files it wrote
  int lent = 0, freed = 0;
  TempDir temp;

  struct Block {
    virtual ~Block() = default;
    std::list<std::string> strings;
    char* Keep(const std::string& text) {
      strings.push_back(text);
      return strings.back().data();
    }
  };
  std::map<void*, std::unique_ptr<Block>> live;
  template <class B>
  B* Lend() {
    auto block = std::make_unique<B>();
    B* raw = block.get();
    live[&raw->value] = std::move(block);
    ++lent;
    return raw;
  }
  ULONG Enter(const std::string& function, LHANDLE s) {
    calls.push_back(function);
    sessionsPassed.push_back(s);
    auto it = fail.find(function);
    return it == fail.end() ? SUCCESS_SUCCESS : it->second;
  }
};
FakeMapi* fake = nullptr;

struct MessageBlock : FakeMapi::Block {
  MapiMessage value{};
  MapiRecipDesc originator{};
  std::vector<MapiFileDesc> files;
};
struct RecipBlock : FakeMapi::Block {
  MapiRecipDesc value{};
};

ULONG WINAPI Logon(ULONG_PTR, LPSTR, LPSTR, FLAGS flags, ULONG, LPLHANDLE session) {
  fake->logonFlags = flags;
  if (const ULONG code = fake->Enter("Logon", 0)) return code;
  *session = fake->session;
  return SUCCESS_SUCCESS;
}

ULONG WINAPI Logoff(LHANDLE session, ULONG_PTR, FLAGS, ULONG) {
  return fake->Enter("Logoff", session);
}

ULONG WINAPI FindNext(LHANDLE session, ULONG_PTR, LPSTR, LPSTR seed, FLAGS flags, ULONG, LPSTR id) {
  fake->findFlags.push_back(flags);
  if (const ULONG code = fake->Enter("FindNext", session)) return code;
  size_t next = seed ? std::stoul(seed) + 1 : 0;
  while (next < fake->inbox.size() && (flags & MAPI_UNREAD_ONLY) && fake->honoursUnreadOnly &&
         !fake->inbox[next].unread) {
    ++next;
  }
  if (next >= fake->inbox.size()) {
    if (fake->walk == FakeMapi::kEnds) return MAPI_E_NO_MESSAGES;
    if (fake->walk == FakeMapi::kStartsOver) next = 0;
  }
  // Long ids, as some mail programs give them.
  std::string made = std::to_string(next) + std::string(400, ' ') + "x";
  made.copy(id, made.size());
  id[made.size()] = '\0';
  return SUCCESS_SUCCESS;
}

ULONG WINAPI ReadMail(LHANDLE session, ULONG_PTR, LPSTR id, FLAGS flags, ULONG,
                      lpMapiMessage* out) {
  fake->readFlags.push_back(flags);
  if (const ULONG code = fake->Enter("ReadMail", session)) return code;
  const FakeMapi::Message& m = fake->inbox.at(std::stoul(id) % fake->inbox.size());
  auto* block = fake->Lend<MessageBlock>();
  MapiMessage& message = block->value;
  message.flFlags = m.unread ? MAPI_UNREAD : 0;
  message.lpszSubject = block->Keep(Utf8ToAnsi(m.subject));
  if (!(flags & MAPI_ENVELOPE_ONLY)) message.lpszNoteText = block->Keep(Utf8ToAnsi(m.body));
  message.lpszDateReceived = block->Keep(m.date);
  block->originator = {
      0, MAPI_ORIG, block->Keep(Utf8ToAnsi(m.fromName)), block->Keep(m.fromAddress), 0, nullptr};
  message.lpOriginator = &block->originator;
  message.nFileCount = static_cast<ULONG>(m.files.size());
  for (const auto& [name, contents] : m.files) {
    std::string path;
    if (!(flags & MAPI_SUPPRESS_ATTACH)) {
      path = fake->temp / (std::to_string(fake->written.size()) + "-" + name);
      testing::WriteFile(path, contents);
      fake->written.push_back(path);
    }
    block->files.push_back(
        {0, 0, 0xFFFFFFFF, path.empty() ? nullptr : block->Keep(path), block->Keep(name), nullptr});
  }
  for (const std::string& path : m.handed) {
    block->files.push_back({0, 0, 0xFFFFFFFF,
                            (flags & MAPI_SUPPRESS_ATTACH) ? nullptr : block->Keep(path),
                            block->Keep("handed"), nullptr});
  }
  message.nFileCount = static_cast<ULONG>(block->files.size());
  message.lpFiles = block->files.empty() ? nullptr : block->files.data();
  *out = &message;
  return SUCCESS_SUCCESS;
}

template <class Message>
ULONG Record(LHANDLE session, const Message* message, FLAGS flags, bool wide) {
  if (const ULONG code = fake->Enter(wide ? "SendMailW" : "SendMail", session)) return code;
  const auto text = [&](const auto* s) {
    if (!s) return std::string("(null)");
    if constexpr (sizeof(*s) == 2) {
      return Utf8(s);
    } else {
      return std::string(s);
    }
  };
  FakeMapi::Sent sent{flags, wide, {}, text(message->lpszSubject), text(message->lpszNoteText),
                      {},    {}};
  for (ULONG i = 0; i < message->nRecipCount; ++i) {
    EXPECT_EQ(message->lpRecips[i].ulRecipClass, static_cast<ULONG>(MAPI_TO));
    sent.to.emplace_back(text(message->lpRecips[i].lpszName),
                         text(message->lpRecips[i].lpszAddress));
  }
  for (ULONG i = 0; i < message->nFileCount; ++i) {
    sent.files.emplace_back(text(message->lpFiles[i].lpszPathName),
                            text(message->lpFiles[i].lpszFileName));
    sent.positions.push_back(message->lpFiles[i].nPosition);
  }
  fake->sent.push_back(sent);
  return SUCCESS_SUCCESS;
}

ULONG WINAPI SendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
  return Record(session, message, flags, false);
}

ULONG WINAPI SendMailW(LHANDLE session, ULONG_PTR, MapiMessageW* message, FLAGS flags, ULONG) {
  return Record(session, message, flags, true);
}

ULONG WINAPI ResolveName(LHANDLE session, ULONG_PTR, LPSTR name, FLAGS, ULONG,
                         lpMapiRecipDesc* out) {
  if (const ULONG code = fake->Enter("ResolveName", session)) return code;
  if (fake->unknown.count(name)) return MAPI_E_UNKNOWN_RECIPIENT;
  auto* block = fake->Lend<RecipBlock>();
  block->value = {0,
                  MAPI_TO,
                  block->Keep(std::string("Resuelto ") + name),
                  block->Keep(std::string("EX:") + name),
                  0,
                  nullptr};
  *out = &block->value;
  return SUCCESS_SUCCESS;
}

ULONG WINAPI FreeBuffer(LPVOID block) {
  EXPECT_EQ(fake->live.erase(block), 1u) << "freed once, and only what it lent";
  ++fake->freed;
  return SUCCESS_SUCCESS;
}

MapiFunctions Table(bool wide) {
  return {Logon,       Logoff,    FindNext, ReadMail, SendMail, wide ? SendMailW : nullptr,
          ResolveName, FreeBuffer};
}

MapiClient::Surroundings Nothing(std::string obstacle = {}) {
  return {[] { return ULONG_PTR{0}; }, [obstacle] { return obstacle; }, {}};
}

struct Session {
  explicit Session(bool wide = true, std::string obstacle = {})
      : library(Table(wide)), client(library, Nothing(obstacle)) {
    fake = &mapi;
  }
  void Open() {
    client.SignOn();
    client.SetSessionID(client.SessionID());
  }
  void Add(const std::string& subject, bool unread = true,
           std::vector<std::pair<std::string, std::string>> files = {}) {
    mapi.inbox.push_back({"2026/12/0" + std::to_string(mapi.inbox.size() + 1) + " 10:00",
                          "Cliente " + subject,
                          "SMTP:c@x.es",
                          subject,
                          "cuerpo " + subject,
                          unread,
                          std::move(files),
                          {}});
  }
  FakeMapi mapi;
  MapiLibrary library;
  MapiClient client;
};

TEST(MapiClient, SignsOnToTheDefaultProfileAndKeepsTheWholeHandle) {
  Session s;
  s.client.SetDownLoadMail(true);
  s.Open();
  EXPECT_EQ(s.mapi.logonFlags, static_cast<FLAGS>(MAPI_LOGON_UI | MAPI_FORCE_DOWNLOAD));
  EXPECT_EQ(static_cast<LHANDLE>(s.client.SessionID()), s.mapi.session);
  s.Add("uno");
  s.client.Fetch();
  s.client.MsgSubject();
  s.client.SignOff();
  for (size_t i = 1; i < s.mapi.sessionsPassed.size(); ++i) {
    EXPECT_EQ(s.mapi.sessionsPassed[i], s.mapi.session) << s.mapi.calls[i];
  }
  EXPECT_EQ(FailureNumber([&] { s.client.Fetch(); }), 32019) << "signed off";

  Session plain;
  plain.Open();
  EXPECT_EQ(plain.mapi.logonFlags, static_cast<FLAGS>(MAPI_LOGON_UI));
  EXPECT_EQ(FailureNumber([&] { plain.client.SetSessionID(1); }), 32019);
}

TEST(MapiClient, FetchWalksTheWholeInboxOldestFirstAndFreesEveryRead) {
  Session s;
  for (int i = 0; i < 7; ++i) s.Add("mensaje " + std::to_string(i), i % 2 == 0);
  s.Open();
  s.client.SetFetchUnreadOnly(false);
  s.client.Fetch();
  ASSERT_EQ(s.client.MsgCount(), 7);
  for (FLAGS flags : s.mapi.findFlags) {
    EXPECT_TRUE(flags & MAPI_LONG_MSGID);
    EXPECT_TRUE(flags & MAPI_GUARANTEE_FIFO);
    EXPECT_FALSE(flags & MAPI_UNREAD_ONLY);
  }
  EXPECT_EQ(s.mapi.findFlags.size(), 8u) << "to the code that says there are no more";
  for (int i = 0; i < 7; ++i) {
    s.client.SetMsgIndex(i);
    EXPECT_EQ(s.client.MsgSubject(), "mensaje " + std::to_string(i));
    EXPECT_EQ(s.client.MsgNoteText(), "cuerpo mensaje " + std::to_string(i));
    EXPECT_EQ(s.client.MsgOrigDisplayName(), "Cliente mensaje " + std::to_string(i));
    EXPECT_EQ(s.client.MsgDateReceived(), "2026/12/0" + std::to_string(i + 1) + " 10:00");
    EXPECT_EQ(s.client.AttachmentCount(), 0);
  }
  EXPECT_EQ(s.mapi.readFlags.size(), 7u) << "one read per message";
  for (FLAGS flags : s.mapi.readFlags) {
    EXPECT_EQ(flags, static_cast<FLAGS>(MAPI_PEEK | MAPI_SUPPRESS_ATTACH)) << "left unread";
  }
  EXPECT_EQ(s.mapi.freed, s.mapi.lent);
  EXPECT_TRUE(s.mapi.live.empty());
  EXPECT_EQ(FailureNumber([&] { s.client.SetMsgIndex(7); }), 32017);
}

TEST(MapiClient, OnlyUnreadMessagesWhenAskedEvenIfTheMailProgramIgnoresIt) {
  for (const bool honours : {false, true}) {
    Session s;
    s.mapi.honoursUnreadOnly = honours;
    s.Add("leído", false);
    s.Add("nuevo 1");
    s.Add("leído 2", false);
    s.Add("nuevo 2");
    s.Open();
    s.client.Fetch();  // unread only, as the control starts
    ASSERT_EQ(s.client.MsgCount(), 2) << honours;
    EXPECT_EQ(s.client.MsgSubject(), "nuevo 1");
    s.client.SetMsgIndex(1);
    EXPECT_EQ(s.client.MsgSubject(), "nuevo 2");
    EXPECT_TRUE(s.mapi.findFlags.back() & MAPI_UNREAD_ONLY);
    s.client.SetFetchUnreadOnly(false);
    s.client.Fetch();
    EXPECT_EQ(s.client.MsgCount(), 4);
    EXPECT_EQ(s.mapi.freed, s.mapi.lent);
  }
}

TEST(MapiClient, AttachmentFilesAreWrittenOnlyWhenAskedForAndRemovedAfterwards) {
  Session s;
  s.Add("PEDIDO TRAMBELO 1", true, {{"pedido1.txt", "uno"}, {"otro.pdf", "%PDF"}});
  s.Add("PEDIDO TRAMBELO 2", true, {{"pedido2.txt", "dos"}});
  s.Open();
  s.client.SetFetchUnreadOnly(false);
  s.client.Fetch();
  EXPECT_EQ(s.client.AttachmentCount(), 2);
  EXPECT_TRUE(s.mapi.written.empty()) << "not before they are asked for";
  s.client.SetAttachmentIndex(0);
  const std::string first = s.client.AttachmentPathName();
  EXPECT_EQ(testing::ReadFile(first), "uno");
  EXPECT_EQ(s.client.AttachmentPathName(), first) << "asked again, written once";
  EXPECT_EQ(s.mapi.written.size(), 2u);
  s.client.SetAttachmentIndex(2);
  EXPECT_EQ(FailureNumber([&] { s.client.AttachmentPathName(); }), 32011);

  s.client.SetMsgIndex(1);
  for (const std::string& path : s.mapi.written) EXPECT_FALSE(testing::Exists(path)) << path;
  s.client.SetAttachmentIndex(0);
  const std::string second = s.client.AttachmentPathName();
  EXPECT_TRUE(testing::Exists(second));
  s.client.SignOff();
  EXPECT_FALSE(testing::Exists(second)) << "gone with the session";

  EXPECT_EQ(s.mapi.freed, s.mapi.lent);
}

// A mail program may hand back, as an attachment's temporary copy, a file
// that it keeps or that is the user's: only the files the read made in the
// temporary folder go.
TEST(MapiClient, OnlyTheFilesTheReadMadeInTheTemporaryFolderAreRemoved) {
  Session s;
  TempDir before;  // in the temporary folder, made before the read
  const std::string old = before / "guardado.csv";
  testing::WriteFile(old, "del usuario");
  wchar_t here[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, here);
  const std::string outside =
      Utf8(here) + "\\postique-fuera-" + std::to_string(::GetTickCount64()) + ".csv";
  testing::WriteFile(outside, "fuera");
  s.Add("PEDIDO TRAMBELO 1", true, {{"pedido1.txt", "uno"}});
  s.mapi.inbox.back().handed = {outside, old, "NUL", before.path()};
  s.Add("otro");
  s.Open();
  s.client.SetFetchUnreadOnly(false);
  s.client.Fetch();
  ASSERT_EQ(s.client.AttachmentCount(), 5);
  s.client.SetAttachmentIndex(1);
  EXPECT_EQ(s.client.AttachmentPathName(), outside);
  s.client.SetMsgIndex(1);
  ASSERT_EQ(s.mapi.written.size(), 1u);
  EXPECT_FALSE(testing::Exists(s.mapi.written[0])) << "the read's own copy";
  EXPECT_EQ(testing::ReadFile(outside), "fuera");
  EXPECT_EQ(testing::ReadFile(old), "del usuario");
  EXPECT_TRUE(testing::Exists(before.path()));
  ::DeleteFileW(Wide(outside).c_str());
}

// A mail program that starts its inbox over, or never stops giving new
// messages, would keep the walk going for ever, its list growing.
TEST(MapiClient, AWalkThatWouldNeverEndStopsAndLetsItsMemoryGo) {
  for (const auto walk : {FakeMapi::kStartsOver, FakeMapi::kNeverEnds}) {
    Session s;
    s.Add("uno");
    s.Add("dos");
    s.mapi.walk = walk;
    s.Open();
    s.client.SetFetchUnreadOnly(false);
    PROCESS_MEMORY_COUNTERS before{}, after{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
    std::string description;
    EXPECT_EQ(FailureNumber([&] { s.client.Fetch(); }, &description), 32002);
    EXPECT_NE(description.find("no deja de dar mensajes"), std::string::npos) << description;
    EXPECT_EQ(s.client.MsgCount(), 0);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
    EXPECT_LT(after.PeakWorkingSetSize - before.PeakWorkingSetSize, 64u << 20);
    EXPECT_EQ(s.mapi.freed, s.mapi.lent);
  }
}

TEST(MapiClient, TheProgramsEndRemovesTheAttachmentFilesAndSignsOff) {
  FakeMapi mapi;
  fake = &mapi;
  mapi.inbox.push_back({"", "", "", "PEDIDO TRAMBELO", "", true, {{"p.txt", "p"}}, {}});
  const MapiLibrary library(Table(true));
  std::string left;
  {
    MapiClient client(library, Nothing());
    client.SignOn();
    client.SetSessionID(client.SessionID());
    client.Fetch();
    left = client.AttachmentPathName();
    EXPECT_TRUE(testing::Exists(left));
  }  // the program ends with the session open
  EXPECT_FALSE(testing::Exists(left));
  EXPECT_EQ(mapi.calls.back(), "Logoff");
  fake = nullptr;
}

TEST(MapiClient, ErrorsAreTheMailProgramsCodePlus32000) {
  const struct {
    ULONG code;
    long number;
  } cases[] = {{MAPI_E_LOGIN_FAILURE, 32003},
               {MAPI_E_USER_ABORT, 32001},
               {7, 32002},
               {MAPI_E_NOT_SUPPORTED, 32026},
               {99, 32002},
               {0x80004005, 32002}};
  for (const auto& c : cases) {
    Session s;
    s.mapi.fail["Logon"] = c.code;
    std::string description;
    EXPECT_EQ(FailureNumber([&] { s.client.SignOn(); }, &description), c.number) << c.code;
    EXPECT_FALSE(description.empty());
  }
  Session s;
  s.Open();
  s.mapi.fail["FindNext"] = MAPI_E_FAILURE;
  EXPECT_EQ(FailureNumber([&] { s.client.Fetch(); }), 32002);
  s.mapi.fail["SendMailW"] = MAPI_E_ATTACHMENT_NOT_FOUND;
  s.client.Compose();
  s.client.SetRecipDisplayName("ana@x.es");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { s.client.Send(false); }, &description), 32011);
  EXPECT_EQ(description, "No se ha encontrado el archivo adjunto");
}

TEST(MapiClient, WhatStandsInTheWayIsSaidBeforeTheMailProgramIsAsked) {
  Session s(true, "no hay ningún programa de correo predeterminado");
  std::string description;
  EXPECT_EQ(FailureNumber([&] { s.client.SignOn(); }, &description), 32003);
  EXPECT_NE(description.find("no hay ningún programa de correo predeterminado"), std::string::npos);
  EXPECT_TRUE(s.mapi.calls.empty()) << "never asked: it could block on a box of its own";
}

TEST(MapiClient, EveryAddressOfTheDestinationIsARecipient) {
  Session s;
  s.Open();
  s.client.Compose();
  s.client.SetRecipDisplayName("uno@x.es; dos@x.es, Ana Pérez <ana@x.es>");
  s.client.Send(true);
  ASSERT_EQ(s.mapi.sent.size(), 1u);
  EXPECT_EQ(s.mapi.sent[0].to,
            (std::vector<std::pair<std::string, std::string>>{
                {"uno@x.es", "SMTP:uno@x.es"},
                {"dos@x.es", "SMTP:dos@x.es"},
                {"Ana Pérez <ana@x.es>", "(null)"}}));  // left for the mail program
  EXPECT_EQ(s.mapi.sent[0].flags, static_cast<FLAGS>(MAPI_DIALOG));

  s.mapi.unknown = {"dos@x.es"};
  s.client.Compose();
  s.client.SetRecipDisplayName("uno@x.es;dos@x.es");
  EXPECT_EQ(FailureNumber([&] { s.client.ResolveName(); }), 32014);
  s.client.Send(false);  // the unresolved one still goes
  EXPECT_EQ(s.mapi.sent[1].to,
            (std::vector<std::pair<std::string, std::string>>{{"Resuelto uno@x.es", "EX:uno@x.es"},
                                                              {"dos@x.es", "SMTP:dos@x.es"}}));
  EXPECT_EQ(s.mapi.sent[1].flags, 0u);
  EXPECT_EQ(s.mapi.freed, s.mapi.lent);
}

TEST(MapiClient, TheRecipientSeesOnlyTheAttachmentsFileName) {
  for (const bool wide : {true, false}) {
    Session s(wide);
    s.Open();
    s.client.Compose();
    s.client.SetRecipDisplayName("ana@x.es");
    s.client.SetMsgSubject("Factura año 2026");
    s.client.SetMsgNoteText("Adjunta, con €");
    const std::vector<std::string> paths = {"C:\\Facturas\\f 1.pdf", "C:\\Facturas\\Año\\f2.pdf",
                                            ""};
    for (int i = 0; i < 3; ++i) {
      s.client.SetAttachmentIndex(i);
      s.client.SetAttachmentPathName(paths[static_cast<size_t>(i)]);
      s.client.SetAttachmentName(paths[static_cast<size_t>(i)]);
    }
    s.client.Send(false);
    ASSERT_EQ(s.mapi.sent.size(), 1u);
    const FakeMapi::Sent& sent = s.mapi.sent[0];
    EXPECT_EQ(sent.wide, wide);
    // The narrow call carries the ANSI code page's bytes.
    const auto as = [&](const std::string& text) { return wide ? text : Utf8ToAnsi(text); };
    EXPECT_EQ(sent.subject, as("Factura año 2026"));
    EXPECT_EQ(sent.body, as("Adjunta, con €"));
    EXPECT_EQ(sent.files, (std::vector<std::pair<std::string, std::string>>{
                              {as(paths[0]), "f 1.pdf"}, {as(paths[1]), "f2.pdf"}}))
        << "an empty entry names no file";
    EXPECT_EQ(sent.positions, (std::vector<ULONG>{0xFFFFFFFF, 0xFFFFFFFF}));
  }
}

// A folder or a device is no attachment: the mail program is never asked to
// send one as a file.
TEST(MapiClient, AFolderOrADeviceIsNoAttachment) {
  const TempDir folder;
  for (const std::string& path :
       {folder.path(), std::string("NUL"), std::string("C:\\x\\COM1"), std::string("con.txt")}) {
    Session s;
    s.Open();
    s.client.Compose();
    s.client.SetRecipDisplayName("ana@x.es");
    s.client.SetAttachmentIndex(0);
    s.client.SetAttachmentPathName(path);
    std::string description;
    EXPECT_EQ(FailureNumber([&] { s.client.Send(false); }, &description), 32011) << path;
    EXPECT_NE(description.find(path), std::string::npos) << description;
    EXPECT_TRUE(s.mapi.sent.empty()) << path;
  }
}

}  // namespace
}  // namespace postique::win32
