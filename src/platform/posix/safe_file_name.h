#pragma once

#include <string>
#include <string_view>

namespace postique::posix {

// An attachment's decoded file name made safe to create in a folder: the
// part after the last "/" or "\"; control, bidi-override, zero-width and
// Windows-forbidden characters (and malformed UTF-8) replaced by "_";
// trailing dots and blanks removed; an empty name replaced by a generated
// one (from ordinal); a Windows device name prefixed with "_"; at most 255
// bytes, cut on a character boundary with the extension kept.
std::string SafeAttachmentName(std::string_view decoded, int ordinal);

}  // namespace postique::posix
