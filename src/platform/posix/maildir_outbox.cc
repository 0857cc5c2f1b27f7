#include "platform/posix/maildir_outbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/failure.h"
#include "base/text.h"
#include "platform/posix/errno_failure.h"
#include "platform/posix/gmime_ref.h"
#include "platform/posix/sendmail.h"
#include "transport/draft_message.h"

namespace postique::posix {

namespace {

std::string Hostname() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || !*host) return "localhost";
  std::string name = host;
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), ':', '_');
  return name;
}

// The content type of an attachment, from its name, by the system's own
// table of types (shared-mime-info, through GLib).
std::pair<std::string, std::string> ContentTypeOf(const std::string& name) {
  gboolean uncertain = FALSE;
  char* guessed = g_content_type_guess(name.c_str(), nullptr, 0, &uncertain);
  char* mime = guessed ? g_content_type_get_mime_type(guessed) : nullptr;
  std::string type = mime ? mime : "";
  g_free(mime);
  g_free(guessed);
  const size_t slash = type.find('/');
  if (uncertain || slash == std::string::npos) return {"application", "octet-stream"};
  return {type.substr(0, slash), type.substr(slash + 1)};
}

// Sets the header, made already, to a value written out as it stands
// (lines after the first folded with a blank, each ended by "\n").
void SetRawHeader(GMimeObject* object, const char* name, const std::string& value) {
  if (GMimeHeader* header =
          g_mime_header_list_get_header(g_mime_object_get_header_list(object), name)) {
    g_mime_header_set_raw_value(header, value.c_str());
  }
}

bool AllMailboxes(InternetAddressList* list) {
  const int count = internet_address_list_length(list);
  if (count == 0) return false;
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = internet_address_list_get_address(list, i);
    if (INTERNET_ADDRESS_IS_GROUP(address)) {
      if (!AllMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)))) {
        return false;
      }
      continue;
    }
    const std::string addr =
        Text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    const size_t at = addr.find('@');
    if (at == std::string::npos || at == 0 || at + 1 == addr.size()) return false;
  }
  return true;
}

// Every address of a destination, as GMime reads them (see
// CheckRecipients).
Ref<InternetAddressList> Recipients(const std::string& destination) {
  Ref<InternetAddressList> all(internet_address_list_new());
  const std::vector<std::string> addresses = SplitRecipients(destination);
  if (addresses.empty()) Raise(Err::kMapiUnknownRecipient, destination);
  for (const std::string& address : addresses) {
    Ref<InternetAddressList> one(internet_address_list_parse(nullptr, address.c_str()));
    if (!one || !AllMailboxes(one.get())) Raise(Err::kMapiUnknownRecipient, address);
    internet_address_list_append(all.get(), one.get());
  }
  return all;
}

}  // namespace

MaildirOutbox::MaildirOutbox(Screen& screen, std::string maildir,
                             std::chrono::milliseconds sendmailLimit)
    : screen_(screen), maildir_(std::move(maildir)), sendmailLimit_(sendmailLimit) {
  InitGMime();
}

void MaildirOutbox::CheckRecipients(const std::string& destination) {
  Recipients(destination);
}

bool MaildirOutbox::Confirm(const OutgoingMessage& draft) {
  std::string names;
  for (const OutgoingMessage::Attachment& a : draft.attachments) {
    if (a.path.empty()) continue;
    if (!names.empty()) names += ", ";
    names += a.FileName();
  }
  return screen_.MsgBox("¿Enviar este mensaje?\r\n\r\nDestino: " + draft.destination +
                            "\r\nAsunto: " + draft.subject + "\r\nCuerpo: " + draft.body +
                            "\r\nAdjuntos: " + names,
                        mb::kYesNo | mb::kQuestion) == mb::kAnswerYes;
}

void MaildirOutbox::Send(const OutgoingMessage& message, bool dialog, const std::string& folder) {
  if (dialog && !Confirm(message)) Raise(Err::kMapiUserAbort);

  // The message is delivered into .Sent by the Maildir protocol: written in
  // tmp/, handed to sendmail from there, then renamed into cur/ as read.
  const std::string sent = maildir_ + "/.Sent";
  for (const std::string& made : {sent, sent + "/tmp", sent + "/new", sent + "/cur"}) {
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) throw ErrnoFailure(errno, made);
  }
  static int counter = 0;
  const std::string unique = std::to_string(std::time(nullptr)) + ".P" +
                             std::to_string(::getpid()) + "Q" + std::to_string(++counter) + "." +
                             Hostname();
  const std::string file = sent + "/tmp/" + unique;
  try {
    Write(message, file);
    Sendmail(file, folder, sendmailLimit_);
  } catch (const Failure&) {
    ::unlink(file.c_str());
    throw;
  }
  ::rename(file.c_str(), (sent + "/cur/" + unique + ":2,S").c_str());
}

void MaildirOutbox::Write(const OutgoingMessage& draft, const std::string& file) {
  Ref<GMimeMessage> message(g_mime_message_new(TRUE));
  internet_address_list_append(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO),
                               Recipients(draft.destination).get());
  g_mime_message_set_subject(message.get(), draft.subject.c_str(), "utf-8");
  // GMime writes a text that looks like an encoded word as it stands, and
  // readers decode it: every subject that is not plain goes as the draft's
  // words, which every reader reads back as written.
  if (!PlainAscii(draft.subject)) {
    std::string words;
    for (const std::string& word : EncodedWords(draft.subject)) words += " " + word + "\n";
    SetRawHeader(GMIME_OBJECT(message.get()), "Subject", words);
  }
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message.get(), now);
  g_date_time_unref(now);
  char* id = g_mime_utils_generate_message_id(Hostname().c_str());
  g_mime_message_set_message_id(message.get(), id);
  g_free(id);

  Ref<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
  g_mime_text_part_set_text(text.get(), draft.body.c_str());
  // GMime's choice for the text: quoted-printable where a line is longer
  // than a mail server takes (998 bytes), as a job's one-line body often is.
  g_mime_part_set_content_encoding(GMIME_PART(text.get()),
                                   g_mime_part_get_best_content_encoding(
                                       GMIME_PART(text.get()), GMIME_ENCODING_CONSTRAINT_7BIT));
  Ref<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
  g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
  // Each attachment's file, with what it was when it was opened.
  struct Read {
    int fd;
    const std::string& path;
    struct stat st;
  };
  std::vector<Read> reads;
  for (const OutgoingMessage::Attachment& a : draft.attachments) {
    if (a.path.empty()) continue;  // an empty entry of the job's list names no file
    // Opened without waiting for a writer, and taken only when it is a
    // file: a FIFO or a device would block the send for ever.
    const int fd = ::open(a.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      Raise(Err::kMapiAttachmentNotFound,
            a.path +
                (fd >= 0 ? " (no es un archivo)" : " (" + std::string(std::strerror(errno)) + ")"));
    }
    // Read from the file as the message is written, never held whole.
    Ref<GMimeStream> stream(g_mime_stream_fs_new(fd));
    Ref<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    const std::string name = a.FileName();
    const auto [type, subtype] = ContentTypeOf(name);
    Ref<GMimePart> part(g_mime_part_new_with_type(type.c_str(), subtype.c_str()));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_part_set_filename(part.get(), name.c_str());
    if (name.find("=?") != std::string::npos) {  // as GMime writes it, a reader would decode it
      SetRawHeader(GMIME_OBJECT(part.get()), "Content-Type",
                   " " + type + "/" + subtype + NameParameter("name", name, "\n") + "\n");
      SetRawHeader(GMIME_OBJECT(part.get()), "Content-Disposition",
                   " attachment" + NameParameter("filename", name, "\n") + "\n");
    }
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
    reads.push_back({fd, a.path, st});
  }
  g_mime_message_set_mime_part(
      message.get(), reads.empty() ? GMIME_OBJECT(text.get()) : GMIME_OBJECT(mixed.get()));

  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) throw ErrnoFailure(errno, file);
  Ref<GMimeStream> out(g_mime_stream_fs_new(fd));
  if (g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), nullptr, out.get()) < 0 ||
      g_mime_stream_flush(out.get()) != 0 || ::fsync(fd) != 0) {
    throw ErrnoFailure(errno, file);
  }
  if (g_mime_stream_close(out.get()) != 0) throw ErrnoFailure(errno, file);
  // A file that another program cut or changed while it was read would go
  // out as it was then, cut or mixed: its size and time of change must be
  // those it had when it was attached.
  for (const Read& r : reads) {
    struct stat now;
    if (::fstat(r.fd, &now) != 0 || now.st_size != r.st.st_size ||
        now.st_mtim.tv_sec != r.st.st_mtim.tv_sec || now.st_mtim.tv_nsec != r.st.st_mtim.tv_nsec) {
      Raise(Err::kMapiAttachmentOpenFailure,
            r.path + " (ha cambiado mientras se escribía el mensaje)");
    }
  }
}

}  // namespace postique::posix
