#include "platform/posix/maildir_client.h"

#include <dirent.h>
#include <fcntl.h>
#include <gmime/gmime.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

#include "app/failure.h"
#include "app/text.h"
#include "platform/posix/errno_failure.h"
#include "platform/posix/fd.h"
#include "platform/posix/gmime_ref.h"
#include "platform/posix/leftovers.h"
#include "platform/posix/safe_file_name.h"
#include "platform/posix/signal_cleanup.h"
#include "platform/posix/tnef.h"

namespace postique::posix {

namespace {

constexpr std::intptr_t kSession = 1;

constexpr const char* kFolders[] = {"new", "cur"};

// Calls visit with every name (a C string) in the open folder that does not start with a
// point; false when the folder cannot be read.
template <class Visit>
bool ForEachName(int folder, Visit&& visit) {
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
  if (!dir) {
    ::close(fd);
    return false;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] != '.') visit(static_cast<const char*>(entry->d_name));
  }
  return true;
}

// The Maildir name without its flags, which other readers may change.
std::string_view UniqueOfName(std::string_view name) {
  return name.substr(0, name.find(':'));
}

// Opens a regular file of folder to read, never waiting: something else put
// in its place (a FIFO, a device) is not opened. -1 with errno set
// otherwise; its size goes to size.
int OpenFile(int folder, const char* name, off_t& size) {
  const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  size = st.st_size;
  return fd;
}

// Reads the whole of an open file into memory (what is there, if it has
// become shorter); false on a read error.
bool ReadWhole(int fd, size_t size, GByteArray* into) {
  g_byte_array_set_size(into, static_cast<guint>(size));
  const ssize_t got = ReadFully(fd, reinterpret_cast<char*>(into->data), size);
  if (got < 0) return false;
  g_byte_array_set_size(into, static_cast<guint>(got));
  return true;
}

}  // namespace

std::string_view MaildirClient::NameOf(const Entry& entry) const {
  return std::string_view(names_).substr(entry.name, entry.length);
}

std::string_view MaildirClient::UniqueOf(const Entry& entry) const {
  return NameOf(entry).substr(0, entry.uniqueLength);
}

int MaildirClient::OpenMessage(Entry& entry, off_t& size) {
  // A program moving the inbox moves every message alike (to cur/, marked
  // read): where the last one went is looked at too, which spares a listing
  // a message to a scan that runs just behind such a program. While the
  // messages keep turning up there, it is looked at first.
  const bool elsewhere =
      lastMove_ && (lastMove_->folder != entry.folder ||
                    NameOf(entry).substr(entry.uniqueLength) != lastMove_->flags);
  const bool movedFirst = elsewhere && lastMove_->followed;
  const auto openMoved = [&] {
    const std::string moved = std::string(UniqueOf(entry)) + lastMove_->flags;
    const int found = OpenFile(folders_[lastMove_->folder].get(), moved.c_str(), size);
    if (found >= 0) Rename(entry, lastMove_->folder, moved);
    lastMove_->followed = found >= 0;  // a miss: the scan has caught up with the mover
    return found;
  };
  if (movedFirst) {
    const int fd = openMoved();
    if (fd >= 0 || errno != ENOENT) return fd;
  }
  const int fd = OpenFile(folders_[entry.folder].get(), NameOf(entry).data(), size);
  if (fd >= 0 || errno != ENOENT) return fd;
  if (elsewhere && !movedFirst) {
    const int found = openMoved();
    if (found >= 0 || errno != ENOENT) return found;
  }
  // Another reader moved it from new/ to cur/ or changed its flags. One
  // listing of both folders finds it under its unique name and gives every
  // other message moved meanwhile its new name too: a reader moving the
  // whole inbox during the scan costs a few listings, not one a message.
  // One missing from two listings in a row is gone, as are the others
  // missing with it: a thousand messages deleted meanwhile cost two
  // listings, not a thousand. (One listing alone may miss a message renamed
  // while it runs.) One that a listing finds but that is renamed again
  // before it is opened is looked for again, until the listings agree.
  for (int listings = 0; entry.unlisted < 2; ++listings) {
    if (listings == kListings) {
      Raise(Err::kMapiMessageInUse,
            "otro programa cambia de nombre sin cesar el mensaje " + std::string(UniqueOf(entry)));
    }
    Relist();
    if (entry.unlisted > 0) continue;
    lastMove_ = Move{entry.folder, std::string(NameOf(entry).substr(entry.uniqueLength)), false};
    const int found = OpenFile(folders_[entry.folder].get(), NameOf(entry).data(), size);
    if (found >= 0 || errno != ENOENT) return found;
  }
  return -1;  // gone
}

void MaildirClient::Rename(Entry& entry, unsigned char folder, std::string_view name) {
  entry.name = names_.size();
  names_.append(name) += '\0';
  entry.length = static_cast<unsigned short>(name.size());
  entry.folder = folder;
  entry.unlisted = 0;
}

void MaildirClient::Relist() {
  const auto unique = [&](unsigned i) { return UniqueOf(fetched_[i]); };
  if (byUnique_.empty()) {
    byUnique_.resize(fetched_.size());
    for (unsigned i = 0; i < byUnique_.size(); ++i) byUnique_[i] = i;
    std::sort(byUnique_.begin(), byUnique_.end(),
              [&](unsigned a, unsigned b) { return unique(a) < unique(b); });
  }
  // A listing misses a message that another reader renames while it runs
  // (readdir may see neither name): one that is missing counts as gone only
  // where both folders were left alone from a while before the listing to
  // its end. A reader that never stops renaming one is then never taken
  // for its having gone.
  const auto changed = [&] {
    timespec last{};
    for (const Fd& folder : folders_) {
      struct stat st;
      if (::fstat(folder.get(), &st) != 0) return timespec{};
      if (std::tie(st.st_mtim.tv_sec, st.st_mtim.tv_nsec) > std::tie(last.tv_sec, last.tv_nsec)) {
        last = st.st_mtim;
      }
    }
    return last;
  };
  const timespec before = changed();
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long sinceChange =
      (now.tv_sec - before.tv_sec) * 1000000000LL + (now.tv_nsec - before.tv_nsec);
  // new/ first: a message moved to cur/ while the folders are listed is seen
  // in one of them.
  std::vector<bool> listed(fetched_.size());
  for (const unsigned char folder : {0, 1}) {
    ForEachName(folders_[folder].get(), [&](const std::string_view name) {
      const std::string_view wanted = UniqueOfName(name);
      const auto from =
          std::lower_bound(byUnique_.begin(), byUnique_.end(), wanted,
                           [&](unsigned i, std::string_view v) { return unique(i) < v; });
      const auto to =
          std::upper_bound(from, byUnique_.end(), wanted,
                           [&](std::string_view v, unsigned i) { return v < unique(i); });
      for (auto i = from; i != to; ++i) {
        listed[*i] = true;
        Entry& entry = fetched_[*i];
        if (entry.folder != folder || NameOf(entry) != name) Rename(entry, folder, name);
      }
    });
  }
  const timespec after = changed();
  // A change stamped ahead of this clock (by another machine) counts as long past.
  const bool quiet = before.tv_sec == after.tv_sec && before.tv_nsec == after.tv_nsec &&
                     (sinceChange > kQuiet.count() || sinceChange < -1000000000LL);
  for (size_t i = 0; i < fetched_.size(); ++i) {
    unsigned char& unlisted = fetched_[i].unlisted;
    if (listed[i]) {
      unlisted = 0;
    } else if (quiet) {
      unlisted = static_cast<unsigned char>(std::min(unlisted + 1, 2));
    }
  }
}

struct MaildirClient::Parsed {
  struct FreeBytes {
    void operator()(GByteArray* bytes) const { g_byte_array_unref(bytes); }
  };
  struct Attachment {
    std::string name;  // as decoded from the message
    // Owned by message; null once data holds the contents: for a file
    // unpacked from TNEF, or a part decoded ahead.
    GMimePart* part;
    std::string data;
    std::string copy;    // the temporary copy, once written
    long long size = 0;  // of the copy
  };
  // The message when it is read whole, which message refers to: first, so
  // that it goes last.
  std::unique_ptr<GByteArray, FreeBytes> bytes{g_byte_array_new()};
  Ref<GMimeMessage> message;
  std::string subject, from, body;
  bool hasBody = false;
  std::vector<Attachment> attachments;

  // Empties it for another message, keeping the memory it was read into.
  void Clear() {
    attachments.clear();
    message.reset();
    subject.clear();
    from.clear();
    body.clear();
    hasBody = false;
  }
};

struct MaildirClient::Buffers {
  // What parts are decoded into.
  Ref<GMimeStream> decoded{g_mime_stream_mem_new()};
  // Messages read whole are parsed by it, one after another: a parser made
  // afresh for each costs a tenth of the parsing.
  Ref<GMimeParser> parser{g_mime_parser_new()};

  // Whether content is few enough bytes to be decoded in memory; a larger
  // one streams through the decoder.
  static bool Holds(GMimeDataWrapper* content) {
    GMimeStream* encoded = g_mime_data_wrapper_get_stream(content);
    const gint64 length = encoded ? g_mime_stream_length(encoded) : -1;
    return length >= 0 && length <= kReadWhole;
  }

  // The decoded bytes of content, valid until the next call; none when GMime
  // cannot decode it. The memory stays, unless a part of a large message
  // took more than a message read whole may hold.
  std::optional<std::string_view> Decode(GMimeDataWrapper* content) {
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded.get()));
    if (bytes->len > kReadWhole) {
      decoded.reset(g_mime_stream_mem_new());
      bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded.get()));
    } else {
      g_byte_array_set_size(bytes, 0);
      g_mime_stream_reset(decoded.get());
    }
    if (g_mime_data_wrapper_write_to_stream(content, decoded.get()) < 0) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes->data), bytes->len);
  }
};

namespace {

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
bool AddTnefFiles(MaildirClient::Parsed& parsed, GMimePart* part, MaildirClient::Buffers& buffers) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  const auto bytes = content ? buffers.Decode(content) : std::nullopt;
  if (!bytes) return false;
  auto files = UnpackTnef(*bytes);
  if (!files) return false;
  for (TnefFile& file : *files) {
    parsed.attachments.push_back({std::move(file.name), nullptr, std::move(file.data), {}, 0});
  }
  return true;
}

// The text of a body part, as UTF-8. Text in UTF-8 already, as most mail
// is, is taken as it is decoded; GMime's own way sends it through the
// system's converter, which costs more than reading the message. Text that
// is not valid in its charset goes that way, and so comes out as GMime makes
// it.
std::string BodyText(GMimeTextPart* part, MaildirClient::Buffers& buffers) {
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
  MaildirClient::Parsed& parsed;
  MaildirClient::Buffers& buffers;
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
    parsed.attachments.push_back({Text(filename), part, {}, {}, 0});
  } else if (!parsed.hasBody && GMIME_IS_TEXT_PART(object)) {
    parsed.body = BodyText(GMIME_TEXT_PART(object), buffers);
    parsed.hasBody = true;
  }
}

// Decodes the first attachment of parsed into its data, when it is small
// enough to hold: that is the one a scan copies.
void DecodeFirst(MaildirClient::Parsed& parsed, MaildirClient::Buffers& buffers) {
  if (parsed.attachments.empty()) return;
  MaildirClient::Parsed::Attachment& first = parsed.attachments.front();
  GMimeDataWrapper* content = first.part ? g_mime_part_get_content(first.part) : nullptr;
  if (!content || !MaildirClient::Buffers::Holds(content)) return;
  if (const auto bytes = buffers.Decode(content)) {
    first.data.assign(*bytes);
    first.part = nullptr;
  }
}

}  // namespace

// Parses messages on a thread of its own, a batch at a time: while the
// caller copies an attachment, which mostly waits for the disk to have the
// copy, the messages after it are parsed, as many as a scan reads between
// two orders. Until the caller comes back for them, their first
// attachments are decoded as well, on a core that would otherwise wait
// too, so that the next order's is ready when the scan gets there; what is
// decoded of messages that are no orders is lost.
class MaildirClient::Ahead {
 public:
  explicit Ahead(MaildirClient& client) : client_(client), thread_([this] { Work(); }) {}
  ~Ahead() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  Ahead(const Ahead&) = delete;
  Ahead& operator=(const Ahead&) = delete;

  bool Busy() {
    std::lock_guard lock(mutex_);
    return busy_;
  }
  // Parses each message of the batch, by its index, into its shell; the
  // batch before has ended.
  void Start(std::vector<std::pair<int, std::unique_ptr<Parsed>>> batch) {
    {
      std::lock_guard lock(mutex_);
      batch_ = std::move(batch);
      busy_ = true;
      wanted_ = false;
    }
    changed_.notify_all();
  }
  // Waits for the batch to end, which then decodes no more: from then until
  // the next one starts, parsed and the listing are the caller's.
  void Finish() {
    wanted_ = true;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
  }

  // The messages parsed, by index.
  std::map<int, std::unique_ptr<Parsed>> parsed;

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return busy_ || stop_; });
      if (stop_) return;
      lock.unlock();
      try {
        for (auto& [index, shell] : batch_) {
          if (stop_) break;
          parsed[index] = client_.Parse(index, buffers_, std::move(shell));
        }
        for (const auto& [index, shell] : batch_) {
          if (stop_ || wanted_) break;
          DecodeFirst(*parsed[index], buffers_);
        }
      } catch (...) {
        // Out of memory: the caller parses the rest itself, and finds out.
      }
      lock.lock();
      batch_.clear();
      busy_ = false;
      changed_.notify_all();
    }
  }

  MaildirClient& client_;
  Buffers buffers_;  // its own
  std::vector<std::pair<int, std::unique_ptr<Parsed>>> batch_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool busy_ = false;
  std::atomic<bool> stop_ = false;    // also read while a batch runs
  std::atomic<bool> wanted_ = false;  // the caller waits for the batch
  std::thread thread_;                // last: it starts once the rest is made
};

MaildirClient::MaildirClient(Screen& screen, std::string maildir,
                             std::chrono::milliseconds sendmailLimit)
    : maildir_(maildir), outbox_(screen, std::move(maildir), sendmailLimit) {
  InitGMime();
}

MaildirClient::~MaildirClient() {
  ahead_.reset();
  ForgetCurrent();
  if (!temp_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(temp_, ignored);
    RemoveOnSignal({});
  }
}

void MaildirClient::ForgetCurrent() {
  if (current_) {
    for (const Parsed::Attachment& a : current_->attachments) {
      if (a.copy.empty()) continue;
      // Kept, nameless, data and all, for the next copy to be written over:
      // on ext4 without a journal every file deleted in the last minutes
      // slows each later creation of a file, and the file's memory, given
      // back and taken again for every order, costs more than the writing.
      // Never renamed onto a spare already there: ext4 writes out a file
      // renamed onto another.
      if (spare_ < 0 &&
          ::renameat2(AT_FDCWD, a.copy.c_str(), AT_FDCWD, Spare().c_str(), RENAME_NOREPLACE) == 0) {
        spare_ = a.size;
      } else {
        ::unlink(a.copy.c_str());
      }
      const std::string folder = a.copy.substr(0, a.copy.rfind('/'));
      if (folder != temp_) ::rmdir(folder.c_str());  // a folder of its own
    }
    Recycle(std::move(current_));
  }
}

std::string MaildirClient::Spare() const {
  return temp_ + "/:libre";  // a name no copy takes: ':' never stays in one
}

int MaildirClient::CreateCopy(const std::string& path, long long& held) {
  held = 0;
  if (spare_ >= 0) {
    if (::renameat2(AT_FDCWD, Spare().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
      held = std::exchange(spare_, -1);
      return ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (errno == EEXIST) return -1;  // the name is taken
    spare_ = -1;
    ::unlink(Spare().c_str());
  }
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void MaildirClient::SignOn() {
  for (const char* sub : kFolders) {
    const std::string folder = maildir_ + "/" + sub;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(folder.c_str(), R_OK | X_OK) != 0) {
      Raise(Err::kMapiLoginFailure, "no hay un buzón Maildir legible en " + maildir_);
    }
  }
  binding_.Open(kSession);
}

std::intptr_t MaildirClient::SessionID() {
  return binding_.id();
}

void MaildirClient::SignOff() {
  binding_.NeedOpen();
  binding_.Close();
  composer_.Drop();
}

void MaildirClient::SetSessionID(std::intptr_t session) {
  binding_.Bind(session);
}

void MaildirClient::NeedSession() const {
  binding_.Need();
}

void MaildirClient::Fetch() {
  NeedSession();
  composer_.Drop();
  ForgetCurrent();
  if (ahead_) {
    ahead_->Finish();
    KeepAhead(0, 0);  // what the old listing numbered
  }
  fetched_.clear();
  names_.clear();
  byUnique_.clear();
  index_ = -1;
  for (unsigned char folder = 0; folder < 2; ++folder) {
    const std::string path = maildir_ + "/" + kFolders[folder];
    Fd& fd = folders_[folder];
    fd.Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const bool listed =
        fd.get() >= 0 && ForEachName(fd.get(), [&](const char* file) {
          const std::string_view name = file;
          const size_t info = name.find(":2,");
          const std::string_view flags =
              info == std::string_view::npos ? "" : name.substr(info + 3);
          if (flags.find('T') != std::string_view::npos) return;
          if (unreadOnly_ && flags.find('S') != std::string_view::npos) return;
          struct stat st;
          if (::fstatat(fd.get(), file, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
            return;  // gone meanwhile
          }
          fetched_.push_back({names_.size(), static_cast<long long>(st.st_mtime),
                              static_cast<unsigned short>(name.size()),
                              static_cast<unsigned short>(UniqueOfName(name).size()), folder, 0});
          names_.append(name) += '\0';
        });
    if (!listed) throw ErrnoFailure(errno, path);
  }
  // A message moved from new/ to cur/ between the two listings is in both:
  // it is read once, as it is in cur/.
  std::sort(fetched_.begin(), fetched_.end(), [&](const Entry& a, const Entry& b) {
    return UniqueOf(a) != UniqueOf(b) ? UniqueOf(a) < UniqueOf(b) : a.folder > b.folder;
  });
  fetched_.erase(
      std::unique(fetched_.begin(), fetched_.end(),
                  [&](const Entry& a, const Entry& b) { return UniqueOf(a) == UniqueOf(b); }),
      fetched_.end());
  std::sort(fetched_.begin(), fetched_.end(), [&](const Entry& a, const Entry& b) {
    return a.delivered != b.delivered ? a.delivered < b.delivered : UniqueOf(a) < UniqueOf(b);
  });
  if (!fetched_.empty()) index_ = 0;
}

void MaildirClient::SetMsgIndex(int value) {
  if (value < 0 || value >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (value != index_) ForgetCurrent();  // nobody asks for its copies once the scan has left it
  index_ = value;
  composer_.Drop();
}

MaildirClient::Parsed& MaildirClient::Current() {
  NeedSession();
  if (index_ < 0 || index_ >= MsgCount()) Raise(Err::kMapiInvalidMessage);
  if (current_) return *current_;
  if (ahead_) {
    ahead_->Finish();  // the listing is the thread's until then
    auto found = ahead_->parsed.find(index_);
    if (found != ahead_->parsed.end()) {
      current_ = std::move(found->second);
      ahead_->parsed.erase(found);
      return *current_;
    }
  }
  current_ = Parse(index_, Kept(), Shell());
  return *current_;
}

std::unique_ptr<MaildirClient::Parsed> MaildirClient::Parse(int index, Buffers& buffers,
                                                            std::unique_ptr<Parsed> parsed) {
  // Emptied here, on the thread that parsed what it held, if it did: memory
  // is given back fastest where it was taken.
  parsed->Clear();
  // A message that is gone or that GMime cannot read counts, with empty fields.
  off_t size = 0;
  const int fd = OpenMessage(fetched_[static_cast<size_t>(index)], size);
  if (fd < 0) return parsed;
  // A message of an ordinary size is read in one go and parsed in memory,
  // where its parts stay referred to, not copied; a larger one is parsed
  // from the file, where its attachments stay until they are copied.
  Ref<GMimeStream> stream;
  Ref<GMimeParser> own;  // for a large message: the file is let go with it
  GMimeParser* parser = buffers.parser.get();
  if (size <= kReadWhole) {
    // Into the memory of a message before, which nothing refers to any more.
    GByteArray* bytes = parsed->bytes.get();
    const bool read = ReadWhole(fd, static_cast<size_t>(size), bytes);
    ::close(fd);
    if (!read) return parsed;
    stream.reset(g_mime_stream_mem_new_with_byte_array(bytes));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), FALSE);
    g_mime_parser_init_with_stream(parser, stream.get());
  } else {
    stream.reset(g_mime_stream_fs_new(fd));
    own.reset(g_mime_parser_new_with_stream(stream.get()));
    parser = own.get();
  }
  g_mime_parser_set_persist_stream(parser, TRUE);
  parsed->message.reset(g_mime_parser_construct_message(parser, nullptr));
  GMimeMessage* message = parsed->message.get();
  if (!message) return parsed;
  parsed->subject = Text(g_mime_message_get_subject(message));
  InternetAddressList* from = g_mime_message_get_from(message);
  if (from && internet_address_list_length(from) > 0) {
    InternetAddress* address = internet_address_list_get_address(from, 0);
    parsed->from = Text(internet_address_get_name(address));
    if (parsed->from.empty() && INTERNET_ADDRESS_IS_MAILBOX(address)) {
      parsed->from = Text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
  }
  Collecting collecting{*parsed, buffers};
  g_mime_message_foreach(message, CollectPart, &collecting);
  return parsed;
}

std::unique_ptr<MaildirClient::Parsed> MaildirClient::Shell() {
  if (shells_.empty()) return std::make_unique<Parsed>();
  std::unique_ptr<Parsed> shell = std::move(shells_.back());
  shells_.pop_back();
  return shell;
}

void MaildirClient::Recycle(std::unique_ptr<Parsed> parsed) {
  // No more than the messages in hand at once: the current one and those ahead.
  if (shells_.size() <= kAhead) shells_.push_back(std::move(parsed));
}

void MaildirClient::KeepAhead(int from, int to) {
  std::map<int, std::unique_ptr<Parsed>>& parsed = ahead_->parsed;
  for (auto i = parsed.begin(); i != parsed.end();) {
    if (i->first >= from && i->first < to) {
      ++i;
    } else {
      Recycle(std::move(i->second));
      i = parsed.erase(i);
    }
  }
}

void MaildirClient::ReadAhead() {
  if (!ahead_) {
    try {
      ahead_ = std::make_unique<Ahead>(*this);
    } catch (const std::system_error&) {
      return;  // no thread to be had: each message is parsed when it is asked for
    }
  } else if (ahead_->Busy()) {
    return;
  }
  const int from = index_ + 1, to = std::min(MsgCount(), from + kAhead);
  KeepAhead(from, to);
  std::vector<std::pair<int, std::unique_ptr<Parsed>>> batch;
  for (int i = from; i < to; ++i) {
    if (!ahead_->parsed.count(i)) batch.emplace_back(i, Shell());
  }
  if (!batch.empty()) ahead_->Start(std::move(batch));
}

std::string MaildirClient::MsgDateReceived() {
  Current();
  const std::time_t delivered = static_cast<std::time_t>(fetched_[index_].delivered);
  std::tm local;
  ::localtime_r(&delivered, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
  return text;
}

std::string MaildirClient::MsgOrigDisplayName() {
  return Current().from;
}

std::string MaildirClient::MsgSubject() {
  return composer_.composing() ? composer_.message().subject : Current().subject;
}

std::string MaildirClient::MsgNoteText() {
  return composer_.composing() ? composer_.message().body : Current().body;
}

int MaildirClient::AttachmentCount() {
  return static_cast<int>(composer_.composing() ? composer_.message().attachments.size()
                                                : Current().attachments.size());
}

std::string MaildirClient::AttachmentPathName() {
  if (composer_.composing()) return composer_.attachment(attachmentIndex_).path;
  Parsed& parsed = Current();
  if (attachmentIndex_ < 0 || attachmentIndex_ >= static_cast<int>(parsed.attachments.size())) {
    Raise(Err::kMapiAttachmentNotFound);
  }
  std::string path = WriteCopy(parsed, static_cast<size_t>(attachmentIndex_));
  // The caller copies it now, and mostly waits for the disk meanwhile.
  ReadAhead();
  return path;
}

std::string MaildirClient::TempFolder() {
  if (temp_.empty()) {
    const char* variable = std::getenv("TMPDIR");
    const std::string base = variable && *variable ? variable : "/tmp";
    RemoveLeftovers(base, "postique-");  // of runs that could not clean up
    std::string pattern = base + "/postique-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw ErrnoFailure(errno, pattern);  // made with mode 0700
    tempHeld_.Reset(::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (tempHeld_.get() >= 0) Own(tempHeld_.get());
    temp_ = pattern;
    RemoveOnSignal(temp_);
  }
  return temp_;
}

MaildirClient::Buffers& MaildirClient::Kept() {
  if (!buffers_) buffers_ = std::make_unique<Buffers>();
  return *buffers_;
}

std::string MaildirClient::WriteCopy(Parsed& parsed, size_t attachment) {
  Parsed::Attachment& a = parsed.attachments[attachment];
  if (!a.copy.empty()) return a.copy;
  // Under its own name in the temporary folder; in a folder of its own when
  // another copy has that name, so that names never meet.
  const std::string name = SafeAttachmentName(a.name, static_cast<int>(attachment) + 1);
  std::string path = TempFolder() + "/" + name;
  long long held = 0;  // bytes of an earlier copy, written over
  Fd fd(CreateCopy(path, held));
  if (fd.get() < 0 && errno == EEXIST) {
    const std::string folder = TempFolder() + "/" + std::to_string(++copies_);
    if (::mkdir(folder.c_str(), 0700) != 0) throw ErrnoFailure(errno, folder);
    path = folder + "/" + name;
    fd.Reset(CreateCopy(path, held));
  }
  if (fd.get() < 0) {
    Raise(Err::kMapiAttachmentWriteFailure, path + " (" + std::strerror(errno) + ")");
  }
  // A private copy, only read back by the copy into the order folder: it is
  // written whole, never synced.
  bool written = true;
  long long size = 0;
  if (!a.part) {
    written = WriteFully(fd.get(), a.data);
    size = static_cast<long long>(a.data.size());
  } else if (GMimeDataWrapper* content = g_mime_part_get_content(a.part)) {
    if (Buffers::Holds(content)) {
      // Decoded in memory and written in one go.
      const auto decoded = Kept().Decode(content);
      written = decoded && WriteFully(fd.get(), *decoded);
      if (decoded) size = static_cast<long long>(decoded->size());
    } else {
      // A large one streams from the message through the decoder.
      Ref<GMimeStream> out(g_mime_stream_fs_new(fd.get()));
      g_mime_stream_fs_set_owner(GMIME_STREAM_FS(out.get()), FALSE);
      written = g_mime_data_wrapper_write_to_stream(content, out.get()) >= 0 &&
                (size = ::lseek(fd.get(), 0, SEEK_CUR)) >= 0;
    }
  }
  // What is left of the earlier copy past the end of this one goes.
  if (written && held > size) written = ::ftruncate(fd.get(), size) == 0;
  const int error = errno;  // of the call that failed, if one did
  if (written) {
    try {
      fd.Close(path);
    } catch (const Failure& f) {
      ::unlink(path.c_str());
      Raise(Err::kMapiAttachmentWriteFailure, f.description());
    }
  } else {
    ::unlink(path.c_str());
    Raise(Err::kMapiAttachmentWriteFailure, path + " (" + std::strerror(error) + ")");
  }
  a.copy = path;
  a.size = size;
  return path;
}

void MaildirClient::Compose() {
  NeedSession();
  composer_.Compose();
  attachmentIndex_ = 0;
}

void MaildirClient::SetRecipDisplayName(const std::string& value) {
  composer_.SetDestination(value);
}

void MaildirClient::SetMsgSubject(const std::string& value) {
  composer_.SetSubject(value);
}

void MaildirClient::SetMsgNoteText(const std::string& value) {
  composer_.SetBody(value);
}

void MaildirClient::SetAttachmentIndex(int value) {
  attachmentIndex_ = value;
}

void MaildirClient::SetAttachmentPathName(const std::string& value) {
  composer_.attachment(attachmentIndex_).path = value;
}

void MaildirClient::SetAttachmentName(const std::string& value) {
  composer_.attachment(attachmentIndex_).name = value;
}

void MaildirClient::ResolveName() {
  MaildirOutbox::CheckRecipients(composer_.message().destination);
}

void MaildirClient::Send(bool dialog) {
  NeedSession();
  outbox_.Send(composer_.message(), dialog, TempFolder());
  composer_.Drop();
}

}  // namespace postique::posix
