#include "platform/posix/maildir_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <thread>
#include <tuple>
#include <unordered_set>

#include "base/failure.h"
#include "platform/posix/errno_failure.h"

namespace postique::posix {

namespace {

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

}  // namespace

bool MaildirListing::Readable() const {
  for (const char* sub : kFolders) {
    const std::string folder = maildir_ + "/" + sub;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access(folder.c_str(), R_OK | X_OK) != 0) {
      return false;
    }
  }
  return true;
}

void MaildirListing::List(bool unreadOnly) {
  fetched_.clear();
  names_.clear();
  byUnique_.clear();
  unlistable_ = 0;
  for (unsigned char folder = 0; folder < 2; ++folder) {
    const std::string path = maildir_ + "/" + kFolders[folder];
    folders_[folder].Reset(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folders_[folder].get() < 0) throw ErrnoFailure(errno, path);
  }
  // A reader may miss a message that another reader renames while it reads
  // the folder (flags set, moved to cur/): it may see neither name. Every
  // name that appears meanwhile is told by the watch set before the first
  // reading, and the folders are read again, joined by unique name, until
  // a reading saw no change at all.
  const Fd watch = Watch();
  std::unordered_set<std::string> known, missed;  // unique names, once anything changed
  const auto knowAll = [&] {
    if (known.empty()) {
      for (const Entry& entry : fetched_) known.emplace(UniqueOf(entry));
    }
  };
  const auto add = [&](unsigned char folder, const char* file) {
    const std::string_view name = file;
    const size_t info = name.find(":2,");
    const std::string_view flags = info == std::string_view::npos ? "" : name.substr(info + 3);
    if (flags.find('T') != std::string_view::npos) return true;
    if (unreadOnly && flags.find('S') != std::string_view::npos) return true;
    const std::string_view unique = UniqueOfName(name);
    if (!known.empty() && known.contains(std::string(unique))) return true;
    struct stat st;
    if (::fstatat(folders_[folder].get(), file, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
      return false;  // gone meanwhile
    }
    fetched_.push_back({names_.size(), static_cast<long long>(st.st_mtime),
                        static_cast<unsigned short>(name.size()),
                        static_cast<unsigned short>(unique.size()), folder, 0});
    names_.append(name) += '\0';
    if (!known.empty()) known.emplace(unique);
    return true;
  };
  for (int reading = 0;; ++reading) {
    for (unsigned char folder = 0; folder < 2; ++folder) {
      if (!ForEachName(folders_[folder].get(), [&](const char* file) { add(folder, file); })) {
        throw ErrnoFailure(errno, maildir_ + "/" + kFolders[folder]);
      }
    }
    const bool changed =
        watch.get() < 0 || Appeared(watch.get(), [&](unsigned char folder, const char* name) {
          knowAll();
          if (known.contains(std::string(UniqueOfName(name)))) return;
          // Renamed again already: its next name is told, or the next reading finds it.
          if (!add(folder, name)) missed.emplace(UniqueOfName(name));
        });
    if (!changed) break;
    knowAll();
    if (watch.get() < 0 ? reading == 1 : reading == kReadings) {
      // A rename seen half by the last reading is told a moment later.
      if (watch.get() >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Appeared(watch.get(), [&](unsigned char folder, const char* name) {
          if (!known.contains(std::string(UniqueOfName(name))) && !add(folder, name)) {
            missed.emplace(UniqueOfName(name));
          }
        });
      }
      for (const std::string& unique : missed) unlistable_ += known.contains(unique) ? 0 : 1;
      break;
    }
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
}

Fd MaildirListing::Watch() const {
  Fd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  for (const Fd& folder : folders_) {
    // The very folders opened, whatever has been put at their paths since.
    const std::string path = "/proc/self/fd/" + std::to_string(folder.get());
    if (watch.get() >= 0 &&
        ::inotify_add_watch(watch.get(), path.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
      watch.Reset(-1);
    }
  }
  return watch;
}

template <class Visit>
bool MaildirListing::Appeared(int watch, Visit&& visit) const {
  // The watches are numbered as they were added: new/ 1, cur/ 2.
  alignas(inotify_event) char buffer[16384];
  bool any = false;
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      any = true;
      if (event->mask & IN_Q_OVERFLOW) continue;  // the next reading is read whole
      if (event->len == 0 || event->name[0] == '.' || event->wd < 1 || event->wd > 2) continue;
      visit(static_cast<unsigned char>(event->wd - 1), static_cast<const char*>(event->name));
    }
  }
  return any;
}

Fd MaildirListing::Open(int index, off_t& size) {
  return Fd(OpenEntry(fetched_[static_cast<size_t>(index)], size));
}

std::string_view MaildirListing::NameOf(const Entry& entry) const {
  return std::string_view(names_).substr(entry.name, entry.length);
}

std::string_view MaildirListing::UniqueOf(const Entry& entry) const {
  return NameOf(entry).substr(0, entry.uniqueLength);
}

int MaildirListing::OpenEntry(Entry& entry, off_t& size) {
  const int fd = OpenFile(folders_[entry.folder].get(), NameOf(entry).data(), size);
  if (fd >= 0 || errno != ENOENT) return fd;
  // Another reader moved it from new/ to cur/ or changed its flags. One
  // listing of both folders finds it under its unique name and gives every
  // other message moved meanwhile its new name too: a reader moving the
  // whole inbox during the scan costs a few listings, not one a message.
  // One missing from two listings in a row is gone, as are the others
  // missing with it: a thousand messages deleted meanwhile cost two
  // listings, not a thousand. (One listing alone may miss a message renamed
  // while it runs.) One that a listing finds but that is renamed again
  // before it is opened is looked for again, until the listings agree.
  // A listing of folders that were changing cannot tell a message gone: the
  // next one waits a little for them to settle, or a fast machine would run
  // through every listing before the folders could be found quiet.
  bool quiet = true;
  for (int listings = 0; entry.unlisted < 2; ++listings) {
    if (listings == kListings) {
      Raise(Err::kMapiMessageInUse,
            "otro programa cambia de nombre sin cesar el mensaje " + std::string(UniqueOf(entry)));
    }
    if (!quiet) std::this_thread::sleep_for(kQuiet / 4);
    quiet = Relist();
    if (entry.unlisted > 0) continue;
    const int found = OpenFile(folders_[entry.folder].get(), NameOf(entry).data(), size);
    if (found >= 0 || errno != ENOENT) return found;
  }
  return -1;  // gone
}

void MaildirListing::Rename(Entry& entry, unsigned char folder, std::string_view name) {
  entry.name = names_.size();
  names_.append(name) += '\0';
  entry.length = static_cast<unsigned short>(name.size());
  entry.folder = folder;
  entry.unlisted = 0;
}

bool MaildirListing::Relist() {
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
  return quiet;
}

}  // namespace postique::posix
