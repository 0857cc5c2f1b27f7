#include "platform/win32/read_copies.h"

#include "platform/win32/code_page.h"
#include "platform/win32/handle.h"

namespace postique::win32 {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

ULONGLONG Ticks(const FILETIME& time) {
  return static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The path of an open file or folder with every link and short name
// resolved; empty when the system cannot say.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(
        handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);
  }
}

// Whether path lies inside folder (both final paths), in any letter case.
bool Inside(const std::wstring& path, const std::wstring& folder) {
  return !folder.empty() && path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
         ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

void ReadCopies::BeforeRead() {
  made_.clear();
  since_.reset();
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return;
  const Handle folder(::CreateFileW(temp, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.valid()) return;
  temp_ = FinalPath(folder.get());
  // The file system stamps a file it makes with its own clock, which moves
  // in steps: files made there until the clock has stepped past a file made
  // now hold no later time than it. The time of the first file made after
  // that step is one that no file made before this call holds, and every
  // file made after it holds or passes.
  std::optional<ULONGLONG> first;
  for (int probe = 0; probe < 200 && !since_; ++probe) {
    const std::wstring name = std::wstring(temp) + L"~postique-" +
                              std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(probe) + L".tmp";
    const Handle made(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!made.valid() || !::GetFileInformationByHandle(made.get(), &info)) return;
    const ULONGLONG stamp = Ticks(info.ftCreationTime);
    if (!first) {
      first = stamp;
    } else if (stamp > *first) {
      since_ = stamp;
    } else {
      ::Sleep(1);
    }
  }
}

void ReadCopies::Consider(const std::string& path) {
  if (!since_ || path.empty()) return;
  // Never through a link, and never a device or a folder.
  const Handle file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
      Ticks(info.ftCreationTime) < *since_) {
    return;
  }
  std::wstring final = FinalPath(file.get());
  if (!Inside(final, temp_)) return;
  made_.push_back({std::move(final), info.dwVolumeSerialNumber,
                   static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow});
}

void ReadCopies::RemoveAll() {
  for (const Made& made : made_) {
    const Handle file(::CreateFileW(made.path.c_str(), DELETE | FILE_READ_ATTRIBUTES, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &info) ||
        info.dwVolumeSerialNumber != made.volume ||
        (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) != made.index) {
      continue;
    }
    FILE_DISPOSITION_INFO remove{TRUE};
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
  }
  made_.clear();
}

}  // namespace postique::win32
