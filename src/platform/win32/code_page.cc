#include "platform/win32/code_page.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace postique::win32 {

namespace {

std::wstring ToWide(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
  const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
  return wide;
}

std::string FromWide(UINT codePage, DWORD flags, std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(std::min<size_t>(wide.size(), INT_MAX));
  const char* unknown = codePage == CP_UTF8 ? nullptr : "?";
  const int n =
      ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, unknown, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), n, unknown, nullptr);
  return bytes;
}

}  // namespace

std::wstring Wide(std::string_view utf8) {
  return ToWide(CP_UTF8, utf8);
}

std::string Utf8(std::wstring_view wide) {
  return FromWide(CP_UTF8, 0, wide);
}

std::string AnsiToUtf8(std::string_view bytes) {
  return Utf8(ToWide(CP_ACP, bytes));
}

std::string Utf8ToAnsi(std::string_view text) {
  return FromWide(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide(text));
}

}  // namespace postique::win32
