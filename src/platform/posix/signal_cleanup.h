// The attachment copies must not outlive the program, however it ends: a
// signal that ends it (SIGTERM, SIGINT, SIGHUP) first removes them.
#pragma once

#include <string>

namespace postique::posix {

// The folder (and what is in it, two levels deep) to remove when such a
// signal ends the program, which then ends as the signal would. One folder
// at a time; an empty path lets go of it.
void RemoveOnSignal(const std::string& folder);

}  // namespace postique::posix
