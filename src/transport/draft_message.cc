#include "transport/draft_message.h"

#include <stdexcept>

#include "base/failure.h"

namespace postique {

namespace {

// No base64 line, header line or encoded word can hold it.
constexpr char kBoundary[] = "=_postique_draft_7f3a9c";
constexpr size_t kLineBytes = 57;  // 76 characters of base64

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    unsigned v = 0;
    for (size_t k = 0; k < 3; ++k) {
      v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

bool Between(std::string_view text, size_t n) {
  return n == text.size() || (static_cast<unsigned char>(text[n]) & 0xC0) != 0x80;
}

// The length of the start of text, at most max bytes, that the next word
// holds: the longest that ends between two UTF-8 characters and is a whole
// number of base64 groups, or failing that (no such end within max) the
// longest that ends between two characters.
size_t WordBytes(std::string_view text, size_t max) {
  if (text.size() <= max) return text.size();
  for (size_t n = max / 3 * 3; n > 0; n -= 3) {
    if (Between(text, n)) return n;
  }
  size_t n = max;
  while (n > 0 && !Between(text, n)) --n;
  return n > 0 ? n : max;
}

// The header of RFC 2047 words, one a line.
std::string EncodedHeader(std::string_view name, std::string_view text) {
  if (PlainAscii(text) && name.size() + 2 + text.size() <= 78) {
    return std::string(name) + ": " + std::string(text) + "\r\n";
  }
  std::string header = std::string(name) + ":";
  for (const std::string& word : EncodedWords(text)) header += " " + word + "\r\n";
  return header;
}

bool Token(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c <= 0x20 || c > 0x7e ||
        std::string_view("()<>@,;:\\\"/[]?=").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// type/subtype, each a token; otherwise the type of any bytes.
std::string ContentType(std::string_view type) {
  const size_t slash = type.find('/');
  if (slash != std::string_view::npos && Token(type.substr(0, slash)) &&
      Token(type.substr(slash + 1))) {
    return std::string(type);
  }
  return "application/octet-stream";
}

}  // namespace

bool PlainAscii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7e) return false;
  }
  return text.find("=?") == std::string_view::npos;
}

std::vector<std::string> EncodedWords(std::string_view text) {
  std::vector<std::string> words;
  while (!text.empty()) {
    const size_t n = WordBytes(text, 39);
    words.push_back("=?UTF-8?B?" + Base64(text.substr(0, n)) + "?=");
    text.remove_prefix(n);
  }
  return words;
}

namespace {

bool AttributeChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

}  // namespace

std::string NameParameter(std::string_view attribute, std::string_view name,
                          std::string_view lineBreak) {
  const bool quotable = PlainAscii(name) && name.find_first_of("\"\\") == std::string_view::npos;
  if (quotable && name.size() <= 60) {
    return ";" + std::string(lineBreak) + " " + std::string(attribute) + "=\"" + std::string(name) +
           "\"";
  }
  std::string encoded;
  for (const char c : name) {
    if (AttributeChar(c)) {
      encoded += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      const auto b = static_cast<unsigned char>(c);
      encoded += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  std::string out;
  for (size_t at = 0, section = 0; at < encoded.size(); ++section) {
    size_t n = std::min<size_t>(50, encoded.size() - at);
    // A section never splits a %XX.
    if (at + n < encoded.size()) {
      if (encoded[at + n - 1] == '%')
        n -= 1;
      else if (encoded[at + n - 2] == '%')
        n -= 2;
    }
    out += ";" + std::string(lineBreak) + " " + std::string(attribute) + "*" +
           std::to_string(section) + "*=" + (section == 0 ? "UTF-8''" : "") + encoded.substr(at, n);
    at += n;
  }
  return out;
}

bool IsMailAddress(std::string_view text) {
  const size_t at = text.find('@');
  if (at == 0 || at == std::string_view::npos || at + 1 >= text.size() ||
      text.find('@', at + 1) != std::string_view::npos) {
    return false;
  }
  for (const char c : text) {
    if (c <= 0x20 || c > 0x7e ||
        std::string_view("()<>[]:;,\\\"").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

DraftWriter::DraftWriter(std::function<void(std::string_view)> out) : out_(std::move(out)) {}

void DraftWriter::Begin(const std::vector<std::string>& to, std::string_view subject,
                        std::string_view body) {
  std::string header = "X-Unsent: 1\r\nMIME-Version: 1.0\r\n";
  for (size_t i = 0; i < to.size(); ++i) {
    // Checked here as well: an address is never more than one header's worth.
    if (!IsMailAddress(to[i])) Raise(Err::kMapiUnknownRecipient, to[i]);
    header += (i == 0 ? "To: " : " ") + to[i] + (i + 1 < to.size() ? ",\r\n" : "\r\n");
  }
  header += EncodedHeader("Subject", subject);
  header += std::string("Content-Type: multipart/mixed;\r\n boundary=\"") + kBoundary +
            "\"\r\n\r\n--" + kBoundary +
            "\r\nContent-Type: text/plain; charset=UTF-8\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n";
  out_(header);
  Bytes(body);
  FlushBase64(true);
}

void DraftWriter::Attach(std::string_view name, std::string_view type) {
  FlushBase64(true);
  out_(std::string("\r\n--") + kBoundary + "\r\nContent-Type: " + ContentType(type) +
       NameParameter("name", name) + "\r\nContent-Disposition: attachment" +
       NameParameter("filename", name) + "\r\nContent-Transfer-Encoding: base64\r\n\r\n");
}

void DraftWriter::Bytes(std::string_view bytes) {
  pending_.append(bytes);
  FlushBase64(false);
}

void DraftWriter::End() {
  FlushBase64(true);
  out_(std::string("\r\n--") + kBoundary + "--\r\n");
}

void DraftWriter::FlushBase64(bool last) {
  std::string lines;
  size_t at = 0;
  for (; at < pending_.size() && (last || pending_.size() - at >= kLineBytes); at += kLineBytes) {
    const size_t n = std::min(kLineBytes, pending_.size() - at);
    lines += Base64(std::string_view(pending_).substr(at, n)) + "\r\n";
  }
  pending_.erase(0, std::min(at, pending_.size()));
  if (!lines.empty()) out_(lines);
}

}  // namespace postique
