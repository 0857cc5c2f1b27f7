#include "posix/test_maildir.h"

#include <sys/stat.h>
#include <utime.h>

#include <vector>

namespace postique::testing {

TestMaildir::TestMaildir() {
  for (const char* sub : {"new", "cur", "tmp"}) ::mkdir((dir_ / sub).c_str(), 0700);
}

std::string TestMaildir::Deliver(const std::string& sub, const std::string& name,
                                 const std::string& message, long long delivered) {
  const std::string path = dir_ / sub + "/" + name;
  WriteFile(path, message);
  const utimbuf times{static_cast<time_t>(delivered), static_cast<time_t>(delivered)};
  ::utime(path.c_str(), &times);
  return path;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t line = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    if ((line += 4) == 76) {
      out += '\n';
      line = 0;
    }
  }
  return out;
}

std::string Message(const std::string& subject, const std::string& body,
                    const std::vector<std::pair<std::string, std::string>>& attachments) {
  std::string m =
      "From: Cliente <cliente@example.es>\nTo: pedidos@example.es\nSubject: " + subject +
      "\nMIME-Version: 1.0\n";
  if (attachments.empty()) {
    return m + "Content-Type: text/plain; charset=utf-8\n\n" + body + "\n";
  }
  m += "Content-Type: multipart/mixed; boundary=\"frontera\"\n\n--frontera\n"
       "Content-Type: text/plain; charset=utf-8\n\n" +
       body + "\n";
  for (const auto& [header, content] : attachments) {
    m += "--frontera\n" + header + "\nContent-Transfer-Encoding: base64\n\n" + Base64(content) +
         "\n";
  }
  return m + "--frontera--\n";
}

}  // namespace postique::testing
