// Whether a mail client has a session open, under which number, and whether
// its messages control is bound to it: the same rules for every client.
#pragma once

#include <cstdint>

#include "base/failure.h"

namespace postique {

class SessionBinding {
 public:
  // The session is open under id; a binding made before stays.
  void Open(std::intptr_t id) {
    id_ = id;
    open_ = true;
  }
  void Close() { open_ = bound_ = false; }
  bool open() const { return open_; }
  // Invalid session (32019) unless one is open.
  void NeedOpen() const {
    if (!open_) Raise(Err::kMapiInvalidSession);
  }
  // The open session's number; invalid session when none is open.
  std::intptr_t id() const {
    NeedOpen();
    return id_;
  }
  // Binds the messages control to session, which must be the open one
  // (32019 otherwise, and unbound).
  void Bind(std::intptr_t session) {
    bound_ = open_ && session == id_;
    if (!bound_) Raise(Err::kMapiInvalidSession);
  }
  // Invalid session (32019) unless bound.
  void Need() const {
    if (!bound_) Raise(Err::kMapiInvalidSession);
  }

 private:
  std::intptr_t id_ = 0;
  bool open_ = false, bound_ = false;
};

}  // namespace postique
