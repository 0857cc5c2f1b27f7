// Rich-text Outlook mail carries its attachments inside one winmail.dat
// (application/ms-tnef); Outlook unpacks it, and so does this.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postique::posix {

struct TnefFile {
  std::string name;  // UTF-8, as the sender named it (its long name when it has one)
  std::string data;
};

// The files inside a TNEF stream, in their order; nothing when it cannot be
// decoded or holds none.
std::optional<std::vector<TnefFile>> UnpackTnef(std::string_view stream);

}  // namespace postique::posix
