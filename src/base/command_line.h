#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace postique {

// Splits a Windows command line into the arguments a Windows program gets
// from it: blanks and tabs separate arguments outside double quotes; 2n
// backslashes before a quote give n backslashes and the quote opens or
// closes quoting; 2n+1 give n backslashes and a literal quote; other
// backslashes are literal; inside quotes a doubled quote is a literal one.
std::vector<std::string> SplitWindowsCommandLine(std::string_view line);

}  // namespace postique
