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

namespace {

void Put(std::string& out, unsigned long value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// One attribute: level, id (type << 16 | tag), length, data, checksum.
void Attribute(std::string& out, int level, unsigned type, unsigned tag, const std::string& data) {
  Put(out, static_cast<unsigned long>(level), 1);
  Put(out, (type << 16) | tag, 4);
  Put(out, data.size(), 4);
  out += data;
  unsigned long sum = 0;
  for (unsigned char c : data) sum += c;
  Put(out, sum & 0xFFFF, 2);
}

}  // namespace

std::string Tnef(const std::vector<std::pair<std::string, std::string>>& files, bool longName) {
  constexpr unsigned kByte = 6, kString = 1, kDword = 8;
  std::string out;
  Put(out, 0x223E9F78, 4);  // the signature
  Put(out, 1, 2);           // the key
  std::string version;
  Put(version, 0x00010000, 4);
  Attribute(out, 1, kDword, 0x9006, version);
  std::string codePage;
  Put(codePage, 1252, 4);
  Put(codePage, 0, 4);
  Attribute(out, 1, kByte, 0x9007, codePage);
  for (const auto& [name, contents] : files) {
    std::string rendering;  // a file, not placed in the text
    Put(rendering, 1, 2);
    Put(rendering, 0xFFFFFFFF, 4);
    Put(rendering, 0xFFFF, 2);
    Put(rendering, 0xFFFF, 2);
    Put(rendering, 0, 4);
    Attribute(out, 2, kByte, 0x9002, rendering);
    Attribute(out, 2, kString, 0x8010, (longName ? "SHORT~1.DAT" : name) + '\0');
    Attribute(out, 2, kByte, 0x800F, contents);
    if (longName) {  // PR_ATTACH_LONG_FILENAME, an 8-bit string
      std::string props;
      Put(props, 1, 4);
      Put(props, 0x001E, 2);
      Put(props, 0x3707, 2);
      Put(props, 1, 4);
      std::string value = name + '\0';
      Put(props, value.size(), 4);
      while (value.size() % 4) value += '\0';
      props += value;
      Attribute(out, 2, kByte, 0x9005, props);
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
