// Looking at windows from outside, as a user sees them: their texts and
// classes, and the child that fits a test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace postique::win32 {

inline std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  return name;
}

// The first window, among the children of parent at any depth (or among the
// top-level windows when parent is null), for which test holds; null if none.
inline HWND FindWindowWhere(HWND parent, const std::function<bool(HWND)>& test) {
  struct Search {
    const std::function<bool(HWND)>& test;
    HWND found = nullptr;
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM data) {
      auto* s = reinterpret_cast<Search*>(data);
      if (s->test(hwnd)) s->found = hwnd;
      return !s->found;
    }
  } search{test};
  if (parent) {
    ::EnumChildWindows(parent, Search::Visit, reinterpret_cast<LPARAM>(&search));
  } else {
    ::EnumWindows(Search::Visit, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

}  // namespace postique::win32
