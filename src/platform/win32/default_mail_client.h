// What the system says about its default Simple MAPI mail program, read
// where MAPI32.DLL looks for it, so that a sign-on that cannot work is
// explained in words a user can act on.
#pragma once

#include <string>

namespace postique::win32 {

struct DefaultMailClient {
  std::string name;     // empty: none registered for programs of this bitness
  std::string library;  // its DLL (DLLPathEx, else DLLPath), variables expanded
  bool libraryFound = false;
  int libraryBits = 0;            // 32 or 64, from the DLL's header; 0 unknown
  std::string otherBitsName;      // registered only for programs of the other bitness
  bool newOutlookMailto = false;  // mailto: opens the new Outlook, which has no Simple MAPI
};

// As registered for this program: per user first, then per machine; and
// what the other bitness's view of the registry holds.
DefaultMailClient FindDefaultMailClient();

// Why signing on cannot work, for a program of the given bitness; empty when
// nothing stands in the way that can be seen from outside.
std::string SignOnObstacle(const DefaultMailClient& client, int programBits);

// The bitness of a Windows program or DLL, from its header: 32, 64, or 0 when
// it cannot be read.
int ImageBits(const std::string& path);

}  // namespace postique::win32
