// A whole message written as a mail program opens an unsent draft (with
// "X-Unsent: 1"): every recipient, the subject and body in UTF-8, each
// attachment in base64 under its file name only. Portable: it is for mail
// programs that take such a file instead of a Simple MAPI call.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace postique {

// Whether text is one bare mail address (local@domain, printable ASCII,
// nothing a header could read as more than one address).
bool IsMailAddress(std::string_view text);

// The header words any mail message writes its texts with, so that every
// reader reads back exactly what was written.
//
// Whether text can stand in a header as it is: printable ASCII holding
// nothing that a reader would decode as an encoded word ("=?").
bool PlainAscii(std::string_view text);
// RFC 2047 words of UTF-8 text, each short enough for a line of its own
// after a blank. Each is a whole number of characters and, but the last, of
// base64 groups: a reader that joins the words before it decodes them (as
// GMime does) never meets padding inside.
std::vector<std::string> EncodedWords(std::string_view text);
// The file name as a parameter of a Content-Type or Content-Disposition
// header (";", a line break and the parameter): quoted where it is plain and
// short, otherwise RFC 2231 UTF-8 in numbered sections, each on a line of
// its own.
std::string NameParameter(std::string_view attribute, std::string_view name,
                          std::string_view lineBreak = "\r\n");

// Writes one draft in order: Begin, then for each attachment Attach and its
// bytes in chunks of any size, then End. Everything goes to out as CRLF
// lines no longer than 78 characters.
class DraftWriter {
 public:
  explicit DraftWriter(std::function<void(std::string_view)> out);

  // Every address must be a mail address (IsMailAddress); subject and body
  // are UTF-8.
  void Begin(const std::vector<std::string>& to, std::string_view subject, std::string_view body);
  // name is the file's name only; type a content type ("application/pdf"),
  // application/octet-stream when empty or not one.
  void Attach(std::string_view name, std::string_view type);
  void Bytes(std::string_view bytes);
  void End();

 private:
  void FlushBase64(bool last);
  std::function<void(std::string_view)> out_;
  std::string pending_;  // bytes not yet encoded: fewer than a line's
};

}  // namespace postique
