#include "platform/win32/command_line.h"

namespace postique::win32 {

std::wstring_view ArgumentText(std::wstring_view line) {
  size_t i = 0;
  for (bool quoted = false; i < line.size(); ++i) {
    if (line[i] == L'"') {
      quoted = !quoted;
    } else if (!quoted && (line[i] == L' ' || line[i] == L'\t')) {
      break;
    }
  }
  while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
  return line.substr(i);
}

std::wstring_view JobPath(std::wstring_view argument) {
  if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"' &&
      argument.substr(1, argument.size() - 2).find(L'"') == std::wstring_view::npos) {
    return argument.substr(1, argument.size() - 2);
  }
  return argument;
}

}  // namespace postique::win32
