#include "platform/posix/parse_ahead.h"

#include <utility>

#include "platform/posix/signal_cleanup.h"

namespace postique::posix {

ParseAhead::ParseAhead() {
  const EndingSignalsBlocked blocked;  // inherited by the thread alone
  thread_ = std::thread([this] { Work(); });
}

ParseAhead::~ParseAhead() {
  stopping_ = true;
  {
    Lock lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool ParseAhead::Busy() {
  Lock lock(mutex_);
  return busy_;
}

void ParseAhead::Start(std::vector<Job> batch) {
  {
    Lock lock(mutex_);
    batch_ = std::move(batch);
    busy_ = true;
    wanted_ = false;
  }
  changed_.notify_all();
}

void ParseAhead::Finish(bool decodeAll) {
  if (!decodeAll) wanted_ = true;
  Lock lock(mutex_);
  while (busy_) lock.Wait(changed_);
}

std::unique_ptr<ParsedMessage> ParseAhead::Take(int index) {
  Lock lock(mutex_);
  const auto found = parsed_.find(index);
  if (found == parsed_.end()) return nullptr;
  std::unique_ptr<ParsedMessage> parsed = std::move(found->second);
  parsed_.erase(found);
  return parsed;
}

bool ParseAhead::Holds(int index) {
  Lock lock(mutex_);
  return parsed_.count(index) > 0;
}

std::vector<std::unique_ptr<ParsedMessage>> ParseAhead::KeepOnly(int from, int to) {
  std::vector<std::unique_ptr<ParsedMessage>> given;
  Lock lock(mutex_);
  for (auto i = parsed_.begin(); i != parsed_.end();) {
    if (i->first >= from && i->first < to) {
      ++i;
    } else {
      given.push_back(std::move(i->second));
      i = parsed_.erase(i);
    }
  }
  return given;
}

void ParseAhead::Work() {
  for (;;) {
    std::vector<Job> batch;
    {
      Lock lock(mutex_);
      while (!busy_ && !stop_) lock.Wait(changed_);
      if (stop_) return;
      batch = std::move(batch_);
    }
    size_t parsed = 0;
    try {
      for (; parsed < batch.size() && !stopping_; ++parsed) {
        Job& job = batch[parsed];
        ReadMessage(std::move(job.file), job.size, buffers_, *job.into);
      }
      // What is decoded of messages that are no orders is lost.
      for (size_t i = 0; i < parsed && !stopping_ && !wanted_; ++i) {
        DecodeFirst(*batch[i].into, buffers_);
      }
    } catch (...) {
      // Out of memory: the caller parses the rest itself, and finds out.
    }
    {
      Lock lock(mutex_);
      for (size_t i = 0; i < parsed; ++i) parsed_[batch[i].index] = std::move(batch[i].into);
      busy_ = false;
    }
    changed_.notify_all();
  }
}

}  // namespace postique::posix
