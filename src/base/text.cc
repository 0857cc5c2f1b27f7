#include "base/text.h"

#include <cctype>
#include <tuple>

#include "base/failure.h"

namespace postique {

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string_view::npos;
       start = at + separator.size()) {
    parts.emplace_back(text.substr(start, at - start));
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string result;
  size_t start = 0;
  for (size_t at; (at = text.find(from, start)) != std::string_view::npos;
       start = at + from.size()) {
    result.append(text.substr(start, at - start));
    result.append(to);
  }
  result.append(text.substr(start));
  return result;
}

std::vector<std::string> SplitRecipients(std::string_view destination) {
  std::vector<std::string> recipients;
  std::string current;
  bool quoted = false;
  int angle = 0;
  const auto finish = [&] {
    const size_t first = current.find_first_not_of(" \t");
    if (first != std::string::npos) {
      recipients.push_back(current.substr(first, current.find_last_not_of(" \t") - first + 1));
    }
    current.clear();
  };
  for (const char c : destination) {
    if (!quoted && angle == 0 && (c == ';' || c == ',')) {
      finish();
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '<') ++angle;
    if (!quoted && c == '>' && angle > 0) --angle;
    current += c;
  }
  finish();
  return recipients;
}

std::string FileNamePart(std::string_view path) {
  const size_t separator = path.find_last_of("/\\");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// A decimal number: sign, digits with an optional point and fraction (one
// side may be empty, not both), optional exponent. Returns whether it is zero.
std::optional<bool> ParseNumberIsZero(std::string_view text) {
  size_t i = 0;
  const auto digits = [&] {
    size_t from = i;
    bool zero = true;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      zero = zero && text[i] == '0';
      ++i;
    }
    return std::pair{i - from, zero};
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  auto [whole, wholeZero] = digits();
  size_t fraction = 0;
  bool fractionZero = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    std::tie(fraction, fractionZero) = digits();
  }
  if (whole + fraction == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits().first == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return wholeZero && fractionZero;
}

}  // namespace

bool ContainsIgnoringCase(std::string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return false;
  for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
    if (EqualIgnoringCase(text.substr(i, needle.size()), needle)) return true;
  }
  return false;
}

std::optional<bool> ParseBoolean(std::string_view text) {
  text = Trim(text);
  if (EqualIgnoringCase(text, "true") || EqualIgnoringCase(text, "verdadero")) return true;
  if (EqualIgnoringCase(text, "false") || EqualIgnoringCase(text, "falso")) return false;
  if (auto zero = ParseNumberIsZero(text)) return !*zero;
  return std::nullopt;
}

bool ToBoolean(std::string_view text) {
  if (auto value = ParseBoolean(text)) return *value;
  Raise(Err::kTypeMismatch);
}

std::string BooleanText(bool value) {
  return value ? "True" : "False";
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

bool IsControlOrInvisible(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

std::vector<std::string> TextFileLines(std::string bytes, std::string (*decode)(std::string_view)) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  std::string text;
  if (bytes.starts_with(kUtf8Mark)) {
    const std::string_view utf8 = std::string_view(bytes).substr(kUtf8Mark.size());
    text.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size();) AppendUtf8(text, NextUtf8(utf8, at));
  } else {
    text = decode(bytes);
  }
  std::string().swap(bytes);
  return SplitLines(text);
}

char32_t NextUtf8(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at++);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
  if (more < 0 || lead >= 0xF5) return 0xFFFD;
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  char32_t c = lead & (0x3F >> more);
  size_t i = at;
  for (int k = 0; k < more; ++k, ++i) {
    if (i >= text.size() || (byte(i) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (byte(i) & 0x3F);
  }
  if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
  at = i;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace postique
