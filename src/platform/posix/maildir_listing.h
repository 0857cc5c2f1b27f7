// The messages of a Maildir's new/ and cur/, in the order they were
// delivered, found again wherever another mail reader moves them meanwhile.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/fd.h"

namespace postique::posix {

class MaildirListing {
 public:
  explicit MaildirListing(std::string maildir) : maildir_(std::move(maildir)) {}

  const std::string& maildir() const { return maildir_; }
  // Whether new/ and cur/ are folders this user can list and read.
  bool Readable() const;
  // Lists both folders afresh, leaving out messages marked for deletion
  // and, when unreadOnly, those read; a failure when one cannot be listed.
  void List(bool unreadOnly);
  int size() const { return static_cast<int>(fetched_.size()); }
  // How many messages the last listing saw renamed but could never find
  // under a name: another reader renames them without pause.
  int unlistable() const { return unlistable_; }
  // Seconds since the epoch.
  long long Delivered(int index) const { return fetched_[static_cast<size_t>(index)].delivered; }
  // Opens a listed message, wherever another reader has moved it since, and
  // gives its size; none when it is gone or is no file. A message that
  // another reader keeps renaming faster than it can be opened is a failure.
  Fd Open(int index, off_t& size);

 private:
  // A listed message. Its file name, kept in names_ with all the others so
  // that a large inbox costs a few bytes a message, and ended there by a
  // NUL, starts with its unique name; the flags after it are what other
  // readers may change.
  struct Entry {
    size_t name;
    long long delivered;  // seconds since the epoch
    unsigned short length, uniqueLength;
    unsigned char folder;    // new/ or cur/, as in folders_
    unsigned char unlisted;  // the listings in a row, up to two, it was not in
  };
  // How many listings a message that another reader keeps renaming is
  // looked for in before it is reported as in use.
  static constexpr int kListings = 100;
  // How long both folders must have been left alone before a listing for a
  // message missing from it to count as gone: more than the coarse clock
  // the file system stamps changes with.
  static constexpr std::chrono::nanoseconds kQuiet = std::chrono::milliseconds(20);

  // How many times more the folders are read while other readers keep
  // changing them, before the names told by the watch alone must do: the
  // watch tells every name, and a reading again only catches a rename whose
  // telling came late. Each is a reading of the whole inbox.
  static constexpr int kReadings = 3;

  // A watch of both folders for names that appear in them; none when the
  // system cannot give one.
  Fd Watch() const;
  // Calls visit with the folder and name (a C string) of each name the
  // watch has told of since last asked; whether anything changed.
  template <class Visit>
  bool Appeared(int watch, Visit&& visit) const;
  std::string_view NameOf(const Entry& entry) const;
  std::string_view UniqueOf(const Entry& entry) const;
  int OpenEntry(Entry& entry, off_t& size);
  // Lists both folders again and gives every message found under another
  // name its new one; whether both folders were left alone meanwhile.
  bool Relist();
  // Gives entry the name it was found under in folder.
  void Rename(Entry& entry, unsigned char folder, std::string_view name);

  std::string maildir_;
  Fd folders_[2]{Fd(-1), Fd(-1)};  // new/ and cur/ while listed
  std::vector<Entry> fetched_;
  int unlistable_ = 0;
  std::string names_;
  std::vector<unsigned> byUnique_;  // fetched_ in the order of their unique names, once needed
};

}  // namespace postique::posix
