#include "platform/win32/run_folder.h"

#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "platform/win32/code_page.h"

namespace postique::win32 {

namespace {

constexpr wchar_t kRuns[] = L"\\Ejecuciones";
constexpr wchar_t kLock[] = L"\\lock", kRecord[] = L"\\staged";

std::wstring FileText(const std::wstring& path) {
  const Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  std::string bytes(8192, '\0');
  DWORD read = 0;
  if (!file.valid() ||
      !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return {};
  }
  bytes.resize(read);
  return Wide(bytes);
}

// Removes the copy that the record of an ended run names, when it is still
// the very file that run staged (the same volume and file index under the
// same name): renamed into place, the name is gone; anything made there
// since is somebody else's.
void RemoveRecordedCopy(const std::wstring& run) {
  const std::wstring text = FileText(run + kRecord);
  unsigned long volume = 0;
  unsigned long long index = 0;
  int at = 0;
  if (std::swscanf(text.c_str(), L"%lu %llu %n", &volume, &index, &at) != 2 || at == 0) return;
  const std::wstring path = text.substr(static_cast<size_t>(at));
  const Handle file(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info) ||
      info.dwVolumeSerialNumber != volume ||
      (static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) != index) {
    return;
  }
  FILE_DISPOSITION_INFO remove{TRUE};
  ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
}

// Removes the folders of runs that have ended, and their staged copies. A
// run's lock file cannot be removed while the run holds it open.
void RemoveEnded(const std::wstring& runs) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE find = ::FindFirstFileW((runs + L"\\run-*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      names.push_back(found.cFileName);
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  for (const std::wstring& name : names) {
    const std::wstring run = runs + L"\\" + name;
    if (!::DeleteFileW((run + kLock).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
      continue;  // a run still going
    }
    RemoveRecordedCopy(run);
    ::DeleteFileW((run + kRecord).c_str());
    ::RemoveDirectoryW(run.c_str());
  }
}

}  // namespace

std::wstring UserFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder) !=
      S_OK) {
    ::GetTempPathW(MAX_PATH, folder);
  }
  std::wstring path = folder;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path + L"\\Postique";
}

RunFolder& RunFolder::Get() {
  static RunFolder folder;
  return folder;
}

RunFolder::RunFolder() {
  const std::wstring runs = UserFolder() + kRuns;
  ::CreateDirectoryW(UserFolder().c_str(), nullptr);
  ::CreateDirectoryW(runs.c_str(), nullptr);
  // Runs make their folders and remove ended ones one at a time: no run's
  // folder is ever seen between being made and being locked.
  Handle all(INVALID_HANDLE_VALUE);
  for (int tries = 0; tries < 500 && !all.valid(); ++tries) {
    all = Handle(::CreateFileW((runs + kLock).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!all.valid()) ::Sleep(10);
  }
  if (!all.valid()) return;  // nothing is recorded, nothing removed
  RemoveEnded(runs);
  path_ = runs + L"\\run-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(::GetTickCount64());
  if (!::CreateDirectoryW(path_.c_str(), nullptr)) {
    path_.clear();
    return;
  }
  lock_ = Handle(::CreateFileW((path_ + kLock).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

RunFolder::~RunFolder() {
  if (path_.empty()) return;
  record_ = Handle(INVALID_HANDLE_VALUE);
  lock_ = Handle(INVALID_HANDLE_VALUE);
  ::DeleteFileW((path_ + kRecord).c_str());
  ::DeleteFileW((path_ + kLock).c_str());
  ::RemoveDirectoryW(path_.c_str());
}

void RunFolder::Staging(HANDLE file, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!lock_.valid() || !::GetFileInformationByHandle(file, &info)) return;
  if (!record_.valid()) {
    record_ = Handle(::CreateFileW((path_ + kRecord).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  const std::string text =
      std::to_string(info.dwVolumeSerialNumber) + " " +
      std::to_string(static_cast<unsigned long long>(info.nFileIndexHigh) << 32 |
                     info.nFileIndexLow) +
      " " + Utf8(path);
  DWORD written = 0;
  if (record_.valid() && ::SetFilePointer(record_.get(), 0, nullptr, FILE_BEGIN) == 0) {
    ::WriteFile(record_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::SetEndOfFile(record_.get());
  }
}

void RunFolder::Staged() {
  if (record_.valid() && ::SetFilePointer(record_.get(), 0, nullptr, FILE_BEGIN) == 0) {
    ::SetEndOfFile(record_.get());
  }
}

}  // namespace postique::win32
