// What a run of Postique leaves behind when it cannot clean up (SIGKILL, a
// crash, a power cut): its private temporary folder and the staged copies in
// the order folder. Each run owns what it makes with a lock held as long as
// the file or folder is open; a later run removes what nobody owns.
#pragma once

#include <string>
#include <string_view>

namespace postique::posix {

// Marks the open file or folder fd as this run's for as long as fd stays open.
void Own(int fd);

// Removes every entry of folder named as mkstemp and mkdtemp name what they
// make from prefix (the prefix and six letters) that this user owns, made
// before this run started, and that no running process owns: a file, or a
// folder with what is in it. What cannot be looked at or locked stays.
void RemoveLeftovers(const std::string& folder, std::string_view prefix);

}  // namespace postique::posix
