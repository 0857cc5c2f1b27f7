// The single-byte code page of job files and logs: Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace postique::posix {

// Every byte maps to one character; the five bytes Windows-1252 leaves
// undefined become the C1 control characters of the same value, as Windows
// maps them, so nothing is lost.
std::string Cp1252ToUtf8(std::string_view bytes);

// Characters Windows-1252 cannot hold, and malformed UTF-8, become "?".
std::string Utf8ToCp1252(std::string_view text);

}  // namespace postique::posix
