#include "platform/posix/mime_reader.h"

#include <algorithm>

#include "base/text.h"
#include "platform/posix/tnef.h"

namespace postique::posix {

namespace {

// Reads the whole of an open file into memory (what is there, if it has
// become shorter); false on a read error.
bool ReadWhole(int fd, size_t size, GByteArray* into) {
  g_byte_array_set_size(into, static_cast<guint>(size));
  const ssize_t got = ReadFully(fd, reinterpret_cast<char*>(into->data), size);
  if (got < 0) return false;
  g_byte_array_set_size(into, static_cast<guint>(got));
  return true;
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
  return g_mime_content_type_is_type(g_mime_object_get_content_type(object), type, subtype);
}

// An image or other resource that an HTML body shows in place (a signature
// logo): part of a multipart/related, named by a Content-ID, not its root.
bool IsBodyResource(GMimeObject* parent, GMimeObject* object) {
  return parent && GMIME_IS_MULTIPART(parent) && IsType(parent, "multipart", "related") &&
         g_mime_object_get_content_id(object) &&
         g_mime_multipart_get_part(GMIME_MULTIPART(parent), 0) != object;
}

bool IsTnef(GMimeObject* object, const char* filename) {
  return IsType(object, "application", "ms-tnef") || IsType(object, "application", "vnd.ms-tnef") ||
         (filename && g_ascii_strcasecmp(filename, "winmail.dat") == 0);
}

// The files of a winmail.dat: the message's attachments, as Outlook shows
// them; false when it cannot be decoded.
bool AddTnefFiles(ParsedMessage& parsed, GMimePart* part, MimeBuffers& buffers) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  const auto bytes = content ? buffers.Decode(content) : std::nullopt;
  if (!bytes) return false;
  auto files = UnpackTnef(*bytes);
  if (!files) return false;
  for (TnefFile& file : *files) {
    parsed.attachments.push_back({std::move(file.name), nullptr, std::move(file.data), {}});
  }
  return true;
}

// The text of a body part, as UTF-8. Text in UTF-8 already, as most mail
// is, is taken as it is decoded; GMime's own way sends it through the
// system's converter, which costs more than reading the message. Text that
// is not valid in its charset goes that way, and so comes out as GMime makes
// it.
std::string BodyText(GMimeTextPart* part, MimeBuffers& buffers) {
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  if (!content) return {};
  const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
  const bool ascii = charset && g_ascii_strcasecmp(charset, "us-ascii") == 0;
  if (!charset || ascii || g_ascii_strcasecmp(charset, "utf-8") == 0 ||
      g_ascii_strcasecmp(charset, "utf8") == 0) {
    if (std::optional<std::string_view> text = buffers.Decode(content)) {
      *text = text->substr(0, text->find('\0'));  // a C string, as GMime gives it
      const bool valid =
          !charset ||
          (ascii ? std::all_of(text->begin(), text->end(), [](char c) { return c >= 0; })
                 : g_utf8_validate_len(text->data(), text->size(), nullptr));
      if (valid) return std::string(*text);
    }
  }
  char* text = g_mime_text_part_get_text(part);
  std::string result = Text(text);
  g_free(text);
  return result;
}

struct Collecting {
  ParsedMessage& parsed;
  MimeBuffers& buffers;
};

// What a user sees as an attachment: a part marked as one, or a named part
// outside the body; a TNEF part stands for the files inside it. The first
// other text part is the body.
void CollectPart(GMimeObject* parent, GMimeObject* object, gpointer data) {
  auto& [parsed, buffers] = *static_cast<Collecting*>(data);
  if (!GMIME_IS_PART(object)) return;
  GMimePart* part = GMIME_PART(object);
  const char* filename = g_mime_part_get_filename(part);
  const char* disposition = g_mime_object_get_disposition(object);
  const bool marked = disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
  if (marked || (filename && !IsBodyResource(parent, object))) {
    if (IsTnef(object, filename) && AddTnefFiles(parsed, part, buffers)) return;
    parsed.attachments.push_back({Text(filename), part, {}, {}});
  } else if (!parsed.hasBody && GMIME_IS_TEXT_PART(object)) {
    parsed.body = BodyText(GMIME_TEXT_PART(object), buffers);
    parsed.hasBody = true;
  }
}

}  // namespace

void ParsedMessage::Clear() {
  attachments.clear();
  message.reset();
  subject.clear();
  from.clear();
  body.clear();
  hasBody = false;
}

bool MimeBuffers::Holds(GMimeDataWrapper* content) {
  GMimeStream* encoded = g_mime_data_wrapper_get_stream(content);
  const gint64 length = encoded ? g_mime_stream_length(encoded) : -1;
  return length >= 0 && length <= kReadWhole;
}

std::optional<std::string_view> MimeBuffers::Decode(GMimeDataWrapper* content) {
  // The memory stays, unless a part of a large message took more than a
  // message read whole may hold.
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded_.get()));
  if (bytes->len > kReadWhole) {
    decoded_.reset(g_mime_stream_mem_new());
    bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded_.get()));
  } else {
    g_byte_array_set_size(bytes, 0);
    g_mime_stream_reset(decoded_.get());
  }
  if (g_mime_data_wrapper_write_to_stream(content, decoded_.get()) < 0) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len);
}

void ReadMessage(Fd file, off_t size, MimeBuffers& buffers, ParsedMessage& parsed) {
  // Emptied here, on the thread that reads, which may be the one that read
  // what it held: memory is given back fastest where it was taken.
  parsed.Clear();
  if (file.get() < 0) return;
  // A message of an ordinary size is read in one go and parsed in memory,
  // where its parts stay referred to, not copied; a larger one is parsed
  // from the file, where its attachments stay until they are copied.
  Ref<GMimeStream> stream;
  Ref<GMimeParser> own;  // for a large message: the file is let go with it
  GMimeParser* parser = buffers.parser();
  if (size <= kReadWhole) {
    // Into the memory of a message before, which nothing refers to any more.
    GByteArray* bytes = parsed.bytes.get();
    const bool read = ReadWhole(file.get(), static_cast<size_t>(size), bytes);
    file.Reset(-1);
    if (!read) return;
    stream.reset(g_mime_stream_mem_new_with_byte_array(bytes));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), FALSE);
    g_mime_parser_init_with_stream(parser, stream.get());
  } else {
    stream.reset(g_mime_stream_fs_new(file.Release()));
    own.reset(g_mime_parser_new_with_stream(stream.get()));
    parser = own.get();
  }
  g_mime_parser_set_persist_stream(parser, TRUE);
  parsed.message.reset(g_mime_parser_construct_message(parser, nullptr));
  GMimeMessage* message = parsed.message.get();
  if (!message) return;
  parsed.subject = Text(g_mime_message_get_subject(message));
  InternetAddressList* from = g_mime_message_get_from(message);
  if (from && internet_address_list_length(from) > 0) {
    InternetAddress* address = internet_address_list_get_address(from, 0);
    parsed.from = Text(internet_address_get_name(address));
    if (parsed.from.empty() && INTERNET_ADDRESS_IS_MAILBOX(address)) {
      parsed.from = Text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
  }
  Collecting collecting{parsed, buffers};
  g_mime_message_foreach(message, CollectPart, &collecting);
}

void DecodeFirst(ParsedMessage& parsed, MimeBuffers& buffers) {
  if (parsed.attachments.empty()) return;
  ParsedMessage::Attachment& first = parsed.attachments.front();
  GMimeDataWrapper* content = first.part ? g_mime_part_get_content(first.part) : nullptr;
  if (!content || !MimeBuffers::Holds(content)) return;
  if (const auto bytes = buffers.Decode(content)) {
    first.data.assign(*bytes);
    first.part = nullptr;
  }
}

}  // namespace postique::posix
