// What the Linux mail client's parts share of GMime: its objects owned as
// references, its one initialisation, and its texts that may be null.
#pragma once

#include <gmime/gmime.h>

#include <memory>
#include <string>

namespace postique::posix {

struct Unref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using Ref = std::unique_ptr<T, Unref>;

inline void InitGMime() {
  static const bool once = (g_mime_init(), true);
  (void)once;
}

inline std::string Text(const char* text) {
  return text ? text : "";
}

}  // namespace postique::posix
