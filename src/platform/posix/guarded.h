// A mutex and its lock that clang's -Wthread-safety can follow: members
// marked GUARDED_BY are touched only with their mutex held, or the build
// fails. Other compilers see plain std::mutex.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define POSTIQUE_THREADS(x) __attribute__((x))
#else
#define POSTIQUE_THREADS(x)
#endif
#define GUARDED_BY(x) POSTIQUE_THREADS(guarded_by(x))
#define EXCLUDES(...) POSTIQUE_THREADS(locks_excluded(__VA_ARGS__))

namespace postique::posix {

class POSTIQUE_THREADS(capability("mutex")) Mutex {
 public:
  std::mutex& native() { return mutex_; }

 private:
  std::mutex mutex_;
};

class POSTIQUE_THREADS(scoped_lockable) Lock {
 public:
  explicit Lock(Mutex& mutex) POSTIQUE_THREADS(acquire_capability(mutex)) : lock_(mutex.native()) {}
  ~Lock() POSTIQUE_THREADS(release_capability()) {}
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // Lets the mutex go until changed is notified, then holds it again.
  void Wait(std::condition_variable& changed) { changed.wait(lock_); }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace postique::posix
