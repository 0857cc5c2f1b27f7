#pragma once

#include <string_view>

namespace postique::win32 {

// What follows the program's own name in a command line, as GetCommandLineW
// gives it: the program token is skipped by the Windows rules (it ends at the
// first blank or tab outside double quotes; quotes only open and close, no
// backslash escapes them), then the blanks and tabs after it. The rest is
// returned unchanged, quotes included.
std::wstring_view ArgumentText(std::wstring_view commandLine);

// The job file's path in the argument text. Many callers, and Windows' own
// shell, quote a path with blanks; a Windows file name cannot hold a double
// quote, so one pair enclosing the whole text is taken away. Any other text
// is the path as it stands.
std::wstring_view JobPath(std::wstring_view argument);

}  // namespace postique::win32
