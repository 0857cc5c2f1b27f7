#include "platform/win32/mapi_library.h"

#include "base/failure.h"

namespace postique::win32 {

namespace {

template <class Function>
bool Find(HMODULE module, const char* name, Function& into) {
  into = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  return into != nullptr;
}

}  // namespace

MapiLibrary MapiLibrary::System() {
  MapiLibrary library;
  // Kept loaded for the life of the program: the mail program lives in it.
  const HMODULE module = ::LoadLibraryExW(L"mapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) {
    library.missing_ = "no se encuentra MAPI32.DLL, la biblioteca de correo del sistema";
    return library;
  }
  MapiFunctions& f = library.functions_;
  const char* missing = nullptr;
  if (!Find(module, "MAPILogon", f.logon)) missing = "MAPILogon";
  if (!Find(module, "MAPILogoff", f.logoff)) missing = "MAPILogoff";
  if (!Find(module, "MAPIFindNext", f.findNext)) missing = "MAPIFindNext";
  if (!Find(module, "MAPIReadMail", f.readMail)) missing = "MAPIReadMail";
  if (!Find(module, "MAPISendMail", f.sendMail)) missing = "MAPISendMail";
  if (!Find(module, "MAPIResolveName", f.resolveName)) missing = "MAPIResolveName";
  if (!Find(module, "MAPIFreeBuffer", f.freeBuffer)) missing = "MAPIFreeBuffer";
  Find(module, "MAPISendMailW", f.sendMailW);  // optional
  if (missing) library.missing_ = std::string("MAPI32.DLL no tiene la función ") + missing;
  return library;
}

const MapiFunctions& MapiLibrary::functions() const {
  if (!missing_.empty()) Raise(Err::kMapiLoginFailure, missing_);
  return functions_;
}

}  // namespace postique::win32
