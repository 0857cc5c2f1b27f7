#pragma once

#include <string_view>

namespace postique::win32 {

// What follows the program's own name in a command line, as GetCommandLineW
// gives it: the program token is skipped by the Windows rules (it ends at the
// first blank or tab outside double quotes; quotes only open and close, no
// backslash escapes them), then the blanks and tabs after it. The rest is
// returned unchanged, quotes included.
std::wstring_view ArgumentText(std::wstring_view commandLine);

}  // namespace postique::win32
