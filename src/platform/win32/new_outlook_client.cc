#include "platform/win32/new_outlook_client.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "base/failure.h"
#include "base/text.h"
#include "platform/win32/code_page.h"
#include "platform/win32/handle.h"
#include "platform/win32/last_error_failure.h"
#include "platform/win32/registry.h"
#include "platform/win32/run_folder.h"
#include "platform/win32/win32_files.h"
#include "transport/draft_message.h"

namespace postique::win32 {

namespace {

constexpr char kName[] = "el nuevo Outlook";

[[noreturn]] void Throw(const std::wstring& path) {
  throw LastErrorFailure(::GetLastError(), Utf8(path));
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The system's content type for a file name's extension.
std::string ContentTypeOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  return Utf8(RegistryString(HKEY_CLASSES_ROOT, Wide(name.substr(dot)), L"Content Type"));
}

ULONGLONG SecondsOf(const FILETIME& time) {
  return (ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart) / 10000000;
}

}  // namespace

std::wstring FindNewOutlook() {
  constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\olk.exe";
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    // The new Outlook is a 64-bit program, registered in the 64-bit view,
    // which a 32-bit Postique is not shown unless it asks for it.
    std::wstring path = RegistryString(root, kKey, nullptr, RRF_SUBKEY_WOW6464KEY);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
      path = path.substr(1, path.size() - 2);
    }
    if (!path.empty() && IsFile(path)) return path;
  }
  return {};
}

std::wstring DraftsFolder() {
  return UserFolder() + L"\\Borradores";
}

NewOutlookClient::NewOutlookClient(Surroundings surroundings)
    : surroundings_(std::move(surroundings)) {}

void NewOutlookClient::SignOn() {
  if (surroundings_.program.empty()) Raise(Err::kMapiLoginFailure, "no se encuentra olk.exe");
  binding_.Open(1);
}

void NewOutlookClient::ResolveName() {
  NeedSession();
  const std::string& destination = composer_.message().destination;
  const std::vector<std::string> to = SplitRecipients(destination);
  if (to.empty()) Raise(Err::kMapiInvalidRecips, destination);
  for (const std::string& address : to) {
    if (!IsMailAddress(address)) Raise(Err::kMapiUnknownRecipient, address);
  }
}

void NewOutlookClient::Send(bool dialog) {
  NeedSession();
  const OutgoingMessage& message = composer_.message();
  const std::vector<std::string> to = SplitRecipients(message.destination);
  if (to.empty()) Raise(Err::kMapiInvalidRecips, message.destination);
  // Every file is there before anything is written or started.
  for (const OutgoingMessage::Attachment& a : message.attachments) {
    if (a.path.empty()) continue;
    NeedAttachmentFile(a.path);
    if (!IsFile(Wide(a.path))) Raise(Err::kMapiAttachmentNotFound, a.path);
  }
  RemoveOldDrafts();
  const std::wstring path = WriteDraft(message, to);
  // One argument, the draft's path; the new Outlook goes on after us.
  std::wstring line = L"\"" + surroundings_.program + L"\" \"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(surroundings_.program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(path.c_str());
    throw LastErrorFailure(error, Utf8(surroundings_.program));
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (!dialog) {
    surroundings_.status("El mensaje espera en Outlook: envíelo desde su ventana");
  }
  composer_.Drop();
}

std::wstring NewOutlookClient::WriteDraft(const OutgoingMessage& message,
                                          const std::vector<std::string>& to) {
  const std::wstring& drafts = surroundings_.drafts;
  ::CreateDirectoryW(drafts.substr(0, drafts.find_last_of(L'\\')).c_str(), nullptr);
  ::CreateDirectoryW(drafts.c_str(), nullptr);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t stamp[64];
  swprintf(stamp, 64, L"%04u%02u%02u-%02u%02u%02u-%lu", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond, ::GetCurrentProcessId());
  const std::wstring path = surroundings_.drafts + L"\\Postique-" + stamp + L".eml";
  const std::wstring temp = path + L".tmp";
  try {
    Handle out(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) Throw(temp);
    DraftWriter writer([&](std::string_view piece) {
      while (!piece.empty()) {
        DWORD written = 0;
        if (!::WriteFile(out.get(), piece.data(), static_cast<DWORD>(piece.size()), &written,
                         nullptr)) {
          Throw(temp);
        }
        piece.remove_prefix(written);
      }
    });
    writer.Begin(to, message.subject, message.body);
    std::vector<char> chunk(1 << 16);
    for (const OutgoingMessage::Attachment& a : message.attachments) {
      if (a.path.empty()) continue;  // an empty entry of the job's list names no file
      Handle in(::CreateFileW(Wide(a.path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      if (!in.valid()) Raise(Err::kMapiAttachmentOpenFailure, a.path);
      // The recipient sees the file's name only, never the sender's folders.
      const std::string name = a.FileName();
      writer.Attach(name, ContentTypeOf(name));
      DWORD read = 0;
      do {
        if (!::ReadFile(in.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr)) {
          Raise(Err::kMapiAttachmentOpenFailure, a.path);
        }
        writer.Bytes(std::string_view(chunk.data(), read));
      } while (read > 0);
    }
    writer.End();
    if (!::FlushFileBuffers(out.get())) Throw(temp);
    out.Close(Utf8(temp));
    if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) Throw(path);
  } catch (...) {
    ::DeleteFileW(temp.c_str());
    throw;
  }
  return path;
}

void NewOutlookClient::RemoveOldDrafts() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  WIN32_FIND_DATAW found;
  const HANDLE search =
      ::FindFirstFileW((surroundings_.drafts + L"\\Postique-*.eml*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        SecondsOf(now) - SecondsOf(found.ftLastWriteTime) > kKeptSeconds) {
      ::DeleteFileW((surroundings_.drafts + L"\\" + found.cFileName).c_str());
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

void NewOutlookClient::Fetch() {
  NeedSession();
  composer_.Drop();
  Raise(Err::kMapiNotSupported, kName);
}

void NewOutlookClient::NoMessage() const {
  NeedSession();
  Raise(Err::kMapiNoMessages);
}

void NewOutlookClient::SetMsgIndex(int) {
  NoMessage();
}
std::string NewOutlookClient::MsgDateReceived() {
  NoMessage();
}
std::string NewOutlookClient::MsgOrigDisplayName() {
  NoMessage();
}
std::string NewOutlookClient::MsgSubject() {
  NoMessage();
}
std::string NewOutlookClient::MsgNoteText() {
  NoMessage();
}
int NewOutlookClient::AttachmentCount() {
  NoMessage();
}
std::string NewOutlookClient::AttachmentPathName() {
  NoMessage();
}

}  // namespace postique::win32
