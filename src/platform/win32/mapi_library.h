// The Simple MAPI functions Postique calls, as a table: the real one comes
// from MAPI32.DLL at run time, so that a missing DLL is a failure that says
// so and never stops the program from starting; tests put in their own.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <mapi.h>

#include <string>

namespace postique::win32 {

// The Unicode message of MAPISendMailW, which the system's headers lack.
struct MapiRecipDescW {
  ULONG ulReserved;
  ULONG ulRecipClass;
  PWSTR lpszName;
  PWSTR lpszAddress;
  ULONG ulEIDSize;
  PVOID lpEntryID;
};
struct MapiFileDescW {
  ULONG ulReserved;
  ULONG flFlags;
  ULONG nPosition;
  PWSTR lpszPathName;
  PWSTR lpszFileName;
  PVOID lpFileType;
};
struct MapiMessageW {
  ULONG ulReserved;
  PWSTR lpszSubject;
  PWSTR lpszNoteText;
  PWSTR lpszMessageType;
  PWSTR lpszDateReceived;
  PWSTR lpszConversationID;
  FLAGS flFlags;
  MapiRecipDescW* lpOriginator;
  ULONG nRecipCount;
  MapiRecipDescW* lpRecips;
  ULONG nFileCount;
  MapiFileDescW* lpFiles;
};
using MAPISENDMAILW = ULONG WINAPI(LHANDLE, ULONG_PTR, MapiMessageW*, FLAGS, ULONG);

struct MapiFunctions {
  LPMAPILOGON logon = nullptr;
  LPMAPILOGOFF logoff = nullptr;
  LPMAPIFINDNEXT findNext = nullptr;
  LPMAPIREADMAIL readMail = nullptr;
  LPMAPISENDMAIL sendMail = nullptr;
  MAPISENDMAILW* sendMailW = nullptr;  // from Windows 8 on; null before
  LPMAPIRESOLVENAME resolveName = nullptr;
  LPMAPIFREEBUFFER freeBuffer = nullptr;
};

class MapiLibrary {
 public:
  // MAPI32.DLL from the system's folder (never one planted beside the
  // program or in the current folder).
  static MapiLibrary System();
  explicit MapiLibrary(const MapiFunctions& functions) : functions_(functions) {}

  // The table; a login failure that names what is missing when the DLL or
  // one of its functions is.
  const MapiFunctions& functions() const;

 private:
  MapiLibrary() = default;
  MapiFunctions functions_;
  std::string missing_;
};

}  // namespace postique::win32
