// A Simple MAPI mail program of the tests' own, registered in the test's
// Wine prefix as the default mail client. It works in the folder that the
// variable POSTIQUE_TEST_MAIL names: it serves the inbox that inbox.txt
// describes, records every message it is sent in sent.txt, and fails the
// send with the code that fail-send.txt holds, if there is one. What it
// returns is allocated with mapi32.dll's own MAPIAllocateBuffer, which is who
// frees it.
//
// inbox.txt: one message per paragraph, lines "Subject: ...", "From: ...",
// "Date: ...", "Body: ...", "Unread: 0|1" and any number of "Attach: PATH"
// (a copy of the file is written for each read) and "Hand: PATH" (the path
// itself is handed back, as a mail program that misbehaves does). While the
// folder holds endless.txt, MAPIFindNext never runs out of new messages.
#include <windows.h>
// After windows.h, which it builds on.
#include <mapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Message {
  std::string subject, from, date, body;
  bool unread = true;
  std::vector<std::string> attachments;
  std::vector<bool> handed;  // per attachment: its path handed back, no copy
};

std::string Folder() {
  char folder[MAX_PATH] = {};
  ::GetEnvironmentVariableA("POSTIQUE_TEST_MAIL", folder, MAX_PATH);
  return folder;
}

std::vector<Message> Inbox() {
  std::ifstream in(Folder() + "\\inbox.txt", std::ios::binary);
  std::vector<Message> inbox;
  std::string line;
  bool open = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      open = false;
      continue;
    }
    if (!open) inbox.emplace_back();
    open = true;
    const size_t colon = line.find(": ");
    const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
    Message& m = inbox.back();
    if (key == "Subject") m.subject = value;
    if (key == "From") m.from = value;
    if (key == "Date") m.date = value;
    if (key == "Body") m.body = value;
    if (key == "Unread") m.unread = value == "1";
    if (key == "Attach" || key == "Hand") {
      m.attachments.push_back(value);
      m.handed.push_back(key == "Hand");
    }
  }
  return inbox;
}

void Record(const std::string& text) {
  std::ofstream out(Folder() + "\\sent.txt", std::ios::binary | std::ios::app);
  out << text;
}

// mapi32.dll's allocator: the one that frees what a mail program returns.
using Allocate = SCODE(WINAPI*)(ULONG, LPVOID*);
using AllocateMore = SCODE(WINAPI*)(ULONG, LPVOID, LPVOID*);

template <class Function>
Function FromMapi32(const char* name, const char* decorated) {
  const HMODULE mapi32 = ::GetModuleHandleA("mapi32.dll");
  FARPROC found = ::GetProcAddress(mapi32, name);
  if (!found) found = ::GetProcAddress(mapi32, decorated);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// A zeroed block: the first of a result, or one freed with root.
void* Raw(size_t size, void* root = nullptr) {
  // Static: GCC takes a local whose address the allocator gets for dangling.
  static LPVOID block;
  block = nullptr;
  if (root) {
    FromMapi32<AllocateMore>("MAPIAllocateMore", "MAPIAllocateMore@12")(static_cast<ULONG>(size),
                                                                        root, &block);
  } else {
    FromMapi32<Allocate>("MAPIAllocateBuffer", "MAPIAllocateBuffer@8")(static_cast<ULONG>(size),
                                                                       &block);
  }
  return std::memset(block, 0, size);
}

template <class T>
T* New(void* root = nullptr) {
  return static_cast<T*>(Raw(sizeof(T), root));
}

char* Copy(const std::string& text, void* root) {
  return static_cast<char*>(std::memcpy(Raw(text.size() + 1, root), text.c_str(), text.size() + 1));
}

std::string Text(const char* text) {
  return text ? text : "(null)";
}

constexpr LHANDLE kSession = 0x1234;

}  // namespace

extern "C" {

__declspec(dllexport) ULONG WINAPI
    MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS, ULONG, LPLHANDLE session) {
  *session = kSession;
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI MAPILogoff(LHANDLE, ULONG_PTR, FLAGS, ULONG) {
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPIResolveName(LHANDLE, ULONG_PTR, LPSTR name, FLAGS, ULONG, lpMapiRecipDesc* recipient) {
  MapiRecipDesc* r = New<MapiRecipDesc>();
  r->ulRecipClass = MAPI_TO;
  r->lpszName = Copy(name, r);
  r->lpszAddress = Copy(std::string("SMTP:") + name, r);
  *recipient = r;
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
  std::ifstream fail(Folder() + "\\fail-send.txt");
  if (ULONG code = 0; fail >> code) return code;
  std::ostringstream text;
  text << "Flags: " << flags << "\r\n";
  for (ULONG i = 0; i < message->nRecipCount; ++i) {
    text << "To: " << Text(message->lpRecips[i].lpszName) << "|"
         << Text(message->lpRecips[i].lpszAddress) << "\r\n";
  }
  text << "Subject: " << Text(message->lpszSubject) << "\r\n";
  text << "Body: " << Text(message->lpszNoteText) << "\r\n";
  for (ULONG i = 0; i < message->nFileCount; ++i) {
    text << "File: " << Text(message->lpFiles[i].lpszPathName) << "|"
         << Text(message->lpFiles[i].lpszFileName) << "|"
         << static_cast<long>(message->lpFiles[i].nPosition) << "\r\n";
  }
  Record(text.str() + ".\r\n");
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPIFindNext(LHANDLE, ULONG_PTR, LPSTR, LPSTR seed, FLAGS, ULONG, LPSTR id) {
  const size_t next = seed && *seed ? std::stoul(seed) + 1 : 0;
  static const bool endless =
      ::GetFileAttributesA((Folder() + "\\endless.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!endless && next >= Inbox().size()) {
    return MAPI_E_NO_MESSAGES;
  }
  std::snprintf(id, 512, "%zu", next);
  return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI
    MAPIReadMail(LHANDLE, ULONG_PTR, LPSTR id, FLAGS flags, ULONG, lpMapiMessage* out) {
  const std::vector<Message> inbox = Inbox();
  const size_t index = std::stoul(id);
  if (index >= inbox.size()) return MAPI_E_INVALID_MESSAGE;
  const Message& m = inbox[index];
  MapiMessage* message = New<MapiMessage>();
  message->lpszSubject = Copy(m.subject, message);
  message->lpszNoteText = Copy(m.body, message);
  message->lpszDateReceived = Copy(m.date, message);
  message->flFlags = m.unread ? MAPI_UNREAD : 0;
  message->lpOriginator = New<MapiRecipDesc>(message);
  message->lpOriginator->lpszName = Copy(m.from, message);
  message->nFileCount = static_cast<ULONG>(m.attachments.size());
  if (!m.attachments.empty()) {
    message->lpFiles =
        static_cast<MapiFileDesc*>(Raw(sizeof(MapiFileDesc) * m.attachments.size(), message));
  }
  for (size_t i = 0; i < m.attachments.size(); ++i) {
    const std::string& original = m.attachments[i];
    const std::string name = original.substr(original.find_last_of('\\') + 1);
    MapiFileDesc& file = message->lpFiles[i];
    file.nPosition = 0xFFFFFFFF;
    file.lpszFileName = Copy(name, message);
    if (flags & MAPI_SUPPRESS_ATTACH) continue;
    if (m.handed[i]) {
      file.lpszPathName = Copy(original, message);
      continue;
    }
    // A temporary copy of its own for each file, for the caller to delete,
    // written afresh as a mail program writes one out of its store.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "postique-provider-" +
                               std::to_string(::GetTickCount64()) + "-" + std::to_string(i);
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\" + name;
    std::ifstream in(original, std::ios::binary);
    std::ofstream(copy, std::ios::binary) << in.rdbuf();
    file.lpszPathName = Copy(copy, message);
  }
  *out = message;
  return SUCCESS_SUCCESS;
}

}  // extern "C"
