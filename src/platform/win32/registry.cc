#include "platform/win32/registry.h"

namespace postique::win32 {

std::wstring RegistryString(HKEY root, const std::wstring& key, const wchar_t* value, DWORD view) {
  DWORD size = 0;
  // A REG_EXPAND_SZ comes expanded, as a REG_SZ.
  const DWORD types = RRF_RT_REG_SZ | view;
  if (::RegGetValueW(root, key.c_str(), value, types, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegGetValueW(root, key.c_str(), value, types, nullptr, text.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

}  // namespace postique::win32
