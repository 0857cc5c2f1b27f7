#include "platform/win32/win32_files.h"

#include <windows.h>

#include <atomic>
#include <climits>
#include <cwctype>

#include "base/order_file_name.h"
#include "base/text.h"
#include "platform/win32/code_page.h"
#include "platform/win32/handle.h"
#include "platform/win32/last_error_failure.h"
#include "platform/win32/run_folder.h"

namespace postique::win32 {

namespace {

[[noreturn]] void Throw(const std::string& path) {
  throw LastErrorFailure(::GetLastError(), path);
}

HANDLE OpenToRead(const std::string& path) {
  return ::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Only files on a disk are read: a device or a pipe could block for ever.
void NeedDiskFile(const Handle& handle, const std::string& path) {
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    Raise(Err::kBadFileNameOrNumber, path + " (no es un archivo)");
  }
}

void WriteAll(HANDLE handle, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, data.data(), chunk, &written, nullptr)) Throw(path);
    data.remove_prefix(written);
  }
}

// Reads what is there, up to size bytes; 0 at the end of the file.
size_t ReadSome(HANDLE handle, char* buffer, DWORD size, const std::string& path) {
  DWORD read = 0;
  if (!::ReadFile(handle, buffer, size, &read, nullptr)) Throw(path);
  return read;
}

std::string ReadAll(HANDLE handle, const std::string& path) {
  std::string data;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(handle, &size) && size.QuadPart > 0) {
    data.reserve(static_cast<size_t>(size.QuadPart));
  }
  char buffer[65536];
  while (const size_t n = ReadSome(handle, buffer, sizeof buffer, path)) data.append(buffer, n);
  return data;
}

std::string ParentOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? "." : path.substr(0, separator);
}

class Win32TextWriter : public TextWriter {
 public:
  Win32TextWriter(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void Write(const std::string& text) override {
    if (!handle_.valid()) Raise(Err::kBadFileNameOrNumber, path_);
    WriteAll(handle_.get(), Utf8ToAnsi(text), path_);
  }
  void Close() override {
    if (handle_.valid()) handle_.Close(path_);
  }

 private:
  Handle handle_;
  std::string path_;
};

// A name for a staged copy that no other copy of this or another process
// takes at the same time.
std::string StagingName() {
  static std::atomic<unsigned> counter{0};
  return ".postique-" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(::GetTickCount64()) + "-" + std::to_string(++counter) + ".tmp";
}

}  // namespace

std::string ExecutableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ".";
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return ParentOf(Utf8(buffer));
}

// Counts normal, archive and read-only files; folders, hidden and system
// files and devices do not. Wildcards name no file of their own.
std::string Win32Files::Lookup(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return {};
  if (IsReservedDeviceName(path.substr(path.find_last_of("\\/:") + 1))) return {};
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileW(Wide(path).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return {};
  ::FindClose(find);
  constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  if (data.dwFileAttributes & kNotNormal) return {};
  return Utf8(data.cFileName);
}

std::vector<std::string> Win32Files::ReadLines(const std::string& path) {
  Handle file(OpenToRead(path));
  if (!file.valid()) Throw(path);
  NeedDiskFile(file, path);
  return TextFileLines(ReadAll(file.get(), path), AnsiToUtf8);
}

std::unique_ptr<TextWriter> Win32Files::CreateText(const std::string& path) {
  const HANDLE file = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) Throw(path);
  return std::make_unique<Win32TextWriter>(file, path);
}

void Win32Files::Copy(const std::string& from, const std::string& to) {
  Handle in(OpenToRead(from));
  if (!in.valid()) Throw(from);
  NeedDiskFile(in, from);
  // Staged hidden beside the target: the rename never leaves the volume, and
  // nobody takes a half-written file for the real one.
  const std::string folder = ParentOf(to);
  const std::string staged = folder + "\\" + StagingName();
  // Shared for deletion only, so that the rename can take it while open.
  Handle out(::CreateFileW(Wide(staged).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
  if (!out.valid()) Throw(folder);
  // Marked for deletion while it is written: however the run ends before
  // the rename (a failure, a crash, the process ended from outside), the
  // system removes it with the last handle.
  FILE_DISPOSITION_INFO removed{TRUE};
  ::SetFileInformationByHandle(out.get(), FileDispositionInfo, &removed, sizeof removed);
  // And recorded as this run's: one that ends where the system cannot
  // remove it (a power cut) leaves it for the next run to remove.
  RunFolder& run = RunFolder::Get();
  run.Staging(out.get(), Wide(staged));
  try {
    char buffer[65536];
    while (const size_t n = ReadSome(in.get(), buffer, sizeof buffer, from)) {
      WriteAll(out.get(), std::string_view(buffer, n), to);
    }
    if (!::FlushFileBuffers(out.get())) Throw(to);
  } catch (...) {
    ::DeleteFileW(Wide(staged).c_str());  // where it could not be marked
    run.Staged();
    throw;
  }
  removed.DeleteFile = FALSE;
  if (!::SetFileInformationByHandle(out.get(), FileDispositionInfo, &removed, sizeof removed) ||
      !::MoveFileExW(Wide(staged).c_str(), Wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    removed.DeleteFile = TRUE;
    ::SetFileInformationByHandle(out.get(), FileDispositionInfo, &removed, sizeof removed);
    run.Staged();
    throw LastErrorFailure(error, to);
  }
  run.Staged();
  out.Close(to);
  // Whole and in place: now it may be seen.
  if (!::SetFileAttributesW(Wide(to).c_str(), FILE_ATTRIBUTE_NORMAL)) Throw(to);
}

void NeedAttachmentFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (IsReservedDeviceName(path.substr(path.find_last_of("\\/:") + 1)) ||
      (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    Raise(Err::kMapiAttachmentNotFound, path + " (no es un archivo)");
  }
}

void Win32Files::Remove(const std::string& path) {
  if (!::DeleteFileW(Wide(path).c_str())) Throw(path);
}

void Win32Files::MakeFolder(const std::string& path) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return;
    Raise(Err::kPathFileAccess, path + " (existe y no es una carpeta)");
  }
  if (!::CreateDirectoryW(wide.c_str(), nullptr)) Throw(path);
}

std::string Win32Files::CurrentFolder() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(size, L'\0');
  const DWORD n = ::GetCurrentDirectoryW(size, buffer.data());
  if (n == 0 || n >= size) Throw(".");
  buffer.resize(n);
  return Utf8(buffer);
}

void Win32Files::ChangeDrive(const std::string& path) {
  if (path.size() < 2 || path[1] != ':' || !std::iswalpha(static_cast<wint_t>(path[0]))) return;
  // The drive alone: its own current folder becomes the process's.
  if (!::SetCurrentDirectoryW(Wide(path.substr(0, 2)).c_str())) Throw(path.substr(0, 2));
}

void Win32Files::ChangeFolder(const std::string& path) {
  if (!::SetCurrentDirectoryW(Wide(path).c_str())) Throw(path);
}

}  // namespace postique::win32
