#include "platform/posix/tnef.h"

#include <climits>
#include <cstring>

#include "base/text.h"
#include "platform/posix/code_page.h"

// The decoder's headers define short macro names (BYTE, WORD, ...): they stay
// in this file.
extern "C" {
#include <ytnef.h>
}

// The decoder's printing calls, renamed to these in the copy of its library
// that the program links (CMakeLists.txt): its complaints about broken
// streams would otherwise land in the terminal screen's output.
extern "C" {
int postique_tnef_printf_chk(int, const char*, ...) {
  return 0;
}
int postique_tnef_puts(const char*) {
  return 0;
}
int postique_tnef_putchar(int c) {
  return c;
}
}

namespace postique::posix {

namespace {

bool Present(const variableLength* v) {
  return v && v != MAPI_UNDEFINED && v->data && v->size > 0;
}

// A NUL-terminated 8-bit name, in the sender's code page (taken as
// Windows-1252, Outlook's usual one).
std::string Narrow(const variableLength* v) {
  const auto* bytes = reinterpret_cast<const char*>(v->data);
  return Cp1252ToUtf8(std::string_view(bytes, strnlen(bytes, static_cast<size_t>(v->size))));
}

std::string FromUtf16(const variableLength* v) {
  std::string out;
  for (int i = 0; i + 1 < v->size; i += 2) {
    char32_t c = v->data[i] | (v->data[i + 1] << 8);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < v->size) {
      const char32_t low = v->data[i + 2] | (v->data[i + 3] << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(out, c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
  }
  return out;
}

std::string NameOf(Attachment* a) {
  if (const variableLength* wide =
          MAPIFindProperty(&a->MAPI, PROP_TAG(PT_UNICODE, PR_ATTACH_LONG_FILENAME));
      Present(wide)) {
    return FromUtf16(wide);
  }
  if (const variableLength* name =
          MAPIFindProperty(&a->MAPI, PROP_TAG(PT_STRING8, PR_ATTACH_LONG_FILENAME));
      Present(name)) {
    return Narrow(name);
  }
  return Present(&a->Title) ? Narrow(&a->Title) : std::string();
}

struct Decoded {
  TNEFStruct tnef;
  Decoded() { TNEFInitialize(&tnef); }
  ~Decoded() { TNEFFree(&tnef); }
};

}  // namespace

std::optional<std::vector<TnefFile>> UnpackTnef(std::string_view stream) {
  if (stream.size() > static_cast<size_t>(LONG_MAX)) return std::nullopt;
  // The decoder takes a writable buffer: it gets a copy of its own.
  std::string bytes(stream);
  Decoded decoded;
  decoded.tnef.Debug = 0;
  if (TNEFParseMemory(reinterpret_cast<BYTE*>(bytes.data()), static_cast<long>(bytes.size()),
                      &decoded.tnef) != 0) {
    return std::nullopt;
  }
  std::vector<TnefFile> files;
  for (Attachment* a = decoded.tnef.starting_attach.next; a; a = a->next) {
    if (!Present(&a->FileData)) continue;  // an embedded message or a link: no file
    files.push_back({NameOf(a), std::string(reinterpret_cast<const char*>(a->FileData.data),
                                            static_cast<size_t>(a->FileData.size))});
  }
  if (files.empty()) return std::nullopt;
  return files;
}

}  // namespace postique::posix
