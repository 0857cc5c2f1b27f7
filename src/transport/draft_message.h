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
