// Text at the edges of the program: UTF-16 for the wide-character API, and
// the system's ANSI code page for job files and logs.
#pragma once

#include <string>
#include <string_view>

namespace postique::win32 {

// Malformed UTF-8 becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);

// Bytes in the ANSI code page (GetACP) as UTF-8. In Windows-1252 every byte
// maps to one character, the five undefined ones to the C1 controls of the
// same value, so every byte comes back unchanged.
std::string AnsiToUtf8(std::string_view bytes);
// Characters the code page cannot hold become "?", never a look-alike: a
// best-fit mapping could turn a harmless character into a quote.
std::string Utf8ToAnsi(std::string_view text);

}  // namespace postique::win32
