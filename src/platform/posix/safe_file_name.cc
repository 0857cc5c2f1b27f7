#include "platform/posix/safe_file_name.h"

#include "base/order_file_name.h"
#include "base/text.h"

namespace postique::posix {

namespace {

constexpr size_t kMaxBytes = 255;
constexpr size_t kMaxExtension = 32;

bool Unsafe(char32_t c) {
  return IsControlOrInvisible(c) || c == 0xFFFD || c == '<' || c == '>' || c == ':' || c == '"' ||
         c == '|' || c == '?' || c == '*';
}

// The longest prefix of text of at most limit bytes that ends on a character.
std::string_view CutToCharacter(std::string_view text, size_t limit) {
  size_t end = 0;
  for (size_t at = 0; at < text.size();) {
    size_t next = at;
    NextUtf8(text, next);
    if (next > limit) break;
    end = at = next;
  }
  return text.substr(0, end);
}

// At most kMaxBytes, cut on a character boundary; a short extension is kept.
std::string CutKeepingExtension(const std::string& name) {
  if (name.size() <= kMaxBytes) return name;
  const size_t dot = name.rfind('.');
  const std::string extension =
      dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxExtension ? name.substr(dot)
                                                                                : std::string();
  return std::string(CutToCharacter(name.substr(0, name.size() - extension.size()),
                                    kMaxBytes - extension.size())) +
         extension;
}

void DropTrailingPointsAndBlanks(std::string& name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

}  // namespace

std::string SafeAttachmentName(std::string_view decoded, int ordinal) {
  const std::string base = FileNamePart(decoded);
  std::string name;
  for (size_t at = 0; at < base.size();) {
    const char32_t c = NextUtf8(base, at);
    if (Unsafe(c)) {
      name += '_';
    } else {
      AppendUtf8(name, c);
    }
  }
  // Checked after the cut, which can leave a trailing point or blank.
  name = CutKeepingExtension(name);
  DropTrailingPointsAndBlanks(name);
  if (name.empty()) name = "adjunto-" + std::to_string(ordinal);
  if (IsReservedDeviceName(name)) {
    name = CutKeepingExtension("_" + name);
    DropTrailingPointsAndBlanks(name);
  }
  return name;
}

}  // namespace postique::posix
