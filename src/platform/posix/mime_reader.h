// One inbox message read by GMime: its fields, its body and what a user
// sees as its attachments. The reader holds no state of the mail client: it
// is given an open file and memory to decode into, so any thread may read.
#pragma once

#include <gmime/gmime.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/fd.h"
#include "platform/posix/gmime_ref.h"

namespace postique::posix {

// Messages up to this size are read whole and parsed in memory.
constexpr long long kReadWhole = 1 << 20;

// A message as read, with the memory it was read into, kept for the next
// message once it is forgotten: memory taken afresh for each costs more
// than the reading on a virtual machine.
struct ParsedMessage {
  struct FreeBytes {
    void operator()(GByteArray* bytes) const { g_byte_array_unref(bytes); }
  };
  struct Attachment {
    std::string name;  // as decoded from the message
    // Owned by message; null once data holds the contents: for a file
    // unpacked from TNEF, or a part decoded ahead.
    GMimePart* part;
    std::string data;
    std::string copy;  // the temporary copy, once written
  };
  // The message when it is read whole, which message refers to: first, so
  // that it goes last.
  std::unique_ptr<GByteArray, FreeBytes> bytes{g_byte_array_new()};
  Ref<GMimeMessage> message;
  std::string subject, from, body;
  bool hasBody = false;
  std::vector<Attachment> attachments;

  // Empties it for another message, keeping the memory it was read into.
  void Clear();
};

// Memory that parts are decoded into, kept from one part to the next, and
// the parser of the messages read whole: one thread's.
class MimeBuffers {
 public:
  // Whether content is few enough bytes to be decoded in memory; a larger
  // one streams through the decoder.
  static bool Holds(GMimeDataWrapper* content);
  // The decoded bytes of content, valid until the next call; none when GMime
  // cannot decode it.
  std::optional<std::string_view> Decode(GMimeDataWrapper* content);
  GMimeParser* parser() { return parser_.get(); }

 private:
  Ref<GMimeStream> decoded_{g_mime_stream_mem_new()};
  // A parser made afresh for each message costs a tenth of the parsing.
  Ref<GMimeParser> parser_{g_mime_parser_new()};
};

// Empties parsed and reads into it the message open as file, of size bytes;
// a message that could not be opened (file holds none) or that GMime cannot
// read leaves it with empty fields.
void ReadMessage(Fd file, off_t size, MimeBuffers& buffers, ParsedMessage& parsed);

// Decodes the first attachment of parsed into its data, when it is small
// enough to hold: that is the one a scan copies.
void DecodeFirst(ParsedMessage& parsed, MimeBuffers& buffers);

}  // namespace postique::posix
