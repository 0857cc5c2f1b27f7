#include "platform/win32/last_error_failure.h"

#include <windows.h>

#include "platform/win32/code_page.h"

namespace postique::win32 {

std::string SystemMessage(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n ? std::wstring(buffer, n) : L"error " + std::to_wstring(error);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  for (wchar_t& c : text) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  return Utf8(text);
}

Failure LastErrorFailure(unsigned long error, const std::string& path) {
  Err err = Err::kPathFileAccess;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      err = Err::kFileNotFound;
      break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      err = Err::kPathNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      err = Err::kPermissionDenied;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      err = Err::kDiskFull;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      err = Err::kBadFileNameOrNumber;
      break;
    default:
      break;
  }
  return MakeFailure(err, path + " (" + SystemMessage(error) + ")");
}

}  // namespace postique::win32
