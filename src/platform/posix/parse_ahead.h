// Parses inbox messages on a thread of its own, a batch at a time: while
// the caller copies an attachment, which mostly waits for the disk to have
// the copy, the messages after it are parsed, as many as a scan reads
// between two orders. Until the caller comes back for them, their first
// attachments are decoded as well, on a core that would otherwise wait
// too, so that the next order's is ready when the scan gets there.
//
// The thread shares nothing but what its lock guards: it is handed each
// message already open, with the memory to parse it into, and hands back
// what it parsed.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/posix/fd.h"
#include "platform/posix/guarded.h"
#include "platform/posix/mime_reader.h"

namespace postique::posix {

class ParseAhead {
 public:
  // A message to parse: its number in the listing, its open file and size,
  // and where to parse it into.
  struct Job {
    int index;
    Fd file;
    off_t size;
    std::unique_ptr<ParsedMessage> into;
  };

  // Starts the thread, with the ending signals held off it: they are the
  // caller's to handle. A std::system_error when no thread can be had.
  ParseAhead();
  ~ParseAhead();
  ParseAhead(const ParseAhead&) = delete;
  ParseAhead& operator=(const ParseAhead&) = delete;

  bool Busy() EXCLUDES(mutex_);
  // Parses the batch; the one before has ended.
  void Start(std::vector<Job> batch) EXCLUDES(mutex_);
  // Waits for the batch to end. What it has not decoded yet is left
  // undecoded, unless decodeAll.
  void Finish(bool decodeAll = false) EXCLUDES(mutex_);
  // What was parsed of the message numbered index, if it was; null
  // otherwise.
  std::unique_ptr<ParsedMessage> Take(int index) EXCLUDES(mutex_);
  bool Holds(int index) EXCLUDES(mutex_);
  // Gives up what was parsed of the messages numbered outside from to to.
  std::vector<std::unique_ptr<ParsedMessage>> KeepOnly(int from, int to) EXCLUDES(mutex_);

 private:
  void Work() EXCLUDES(mutex_);

  MimeBuffers buffers_;  // the thread's alone
  Mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job> batch_ GUARDED_BY(mutex_);
  std::map<int, std::unique_ptr<ParsedMessage>> parsed_ GUARDED_BY(mutex_);
  bool busy_ GUARDED_BY(mutex_) = false;
  bool stop_ GUARDED_BY(mutex_) = false;
  // Read while a batch runs, outside the lock: flags that end it early.
  std::atomic<bool> stopping_ = false;
  std::atomic<bool> wanted_ = false;  // the caller waits for the batch
  std::thread thread_;                // last: it starts once the rest is made
};

}  // namespace postique::posix
