#pragma once

#include <chrono>
#include <string>

namespace postique::posix {

// Hands the message file to `sendmail -t -i` as its standard input, never
// through a shell, and waits for it. The program is looked for on the search
// path, then at /usr/sbin/sendmail. A missing program, a non-zero exit or
// one that ends before it has read the whole message is a Failure that names
// the program, its exit status and the first line it printed; scratch is a
// folder for what it prints. One that has not ended
// within limit is stopped (with whatever it started) and the send fails.
void Sendmail(const std::string& messageFile, const std::string& scratch,
              std::chrono::milliseconds limit);

}  // namespace postique::posix
