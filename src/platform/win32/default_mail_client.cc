#include "platform/win32/default_mail_client.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shlwapi.h>

#include <cstdint>
#include <cwctype>

#include "platform/win32/code_page.h"
#include "platform/win32/handle.h"
#include "platform/win32/registry.h"

namespace postique::win32 {

namespace {

constexpr wchar_t kClients[] = L"Software\\Clients\\Mail";

// The default client's name in one view of the registry: per user first.
std::wstring ClientName(DWORD view) {
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    if (std::wstring name = RegistryString(root, kClients, nullptr, view); !name.empty())
      return name;
  }
  return {};
}

std::wstring ClientLibrary(const std::wstring& name) {
  const std::wstring key = std::wstring(kClients) + L"\\" + name;
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (const wchar_t* value : {L"DLLPathEx", L"DLLPath"}) {
      if (std::wstring path = RegistryString(root, key, value); !path.empty()) return path;
    }
  }
  return {};
}

bool MailtoIsNewOutlook() {
  wchar_t program[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (FAILED(::AssocQueryStringW(ASSOCF_IS_PROTOCOL, ASSOCSTR_EXECUTABLE, L"mailto", nullptr,
                                 program, &size))) {
    return false;
  }
  std::wstring name = program;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name == L"olk.exe";
}

std::string Bits(int bits) {
  return std::to_string(bits) + " bits";
}

}  // namespace

int ImageBits(const std::string& path) {
  Handle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return 0;
  const auto read = [&](LONG at, void* into, DWORD size) {
    DWORD got = 0;
    return ::SetFilePointer(file.get(), at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ::ReadFile(file.get(), into, size, &got, nullptr) && got == size;
  };
  IMAGE_DOS_HEADER dos{};
  std::uint32_t signature = 0;
  std::uint16_t machine = 0;
  if (!read(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
      !read(dos.e_lfanew, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
      !read(dos.e_lfanew + 4, &machine, sizeof machine)) {
    return 0;
  }
  switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
      return 32;
    case IMAGE_FILE_MACHINE_AMD64:
    case IMAGE_FILE_MACHINE_ARM64:
      return 64;
    default:
      return 0;
  }
}

DefaultMailClient FindDefaultMailClient() {
  DefaultMailClient client;
  client.newOutlookMailto = MailtoIsNewOutlook();
  const std::wstring name = ClientName(0);
  if (name.empty()) {
    const DWORD other = sizeof(void*) == 8 ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY;
    client.otherBitsName = Utf8(ClientName(other));
    return client;
  }
  client.name = Utf8(name);
  client.library = Utf8(ClientLibrary(name));
  if (!client.library.empty()) {
    client.libraryFound =
        ::GetFileAttributesW(Wide(client.library).c_str()) != INVALID_FILE_ATTRIBUTES;
    client.libraryBits = client.libraryFound ? ImageBits(client.library) : 0;
  }
  return client;
}

std::string SignOnObstacle(const DefaultMailClient& client, int programBits) {
  const int otherBits = programBits == 64 ? 32 : 64;
  const std::string useOther = ": use la versión de " + Bits(otherBits) + " de Postique";
  if (client.name.empty()) {
    if (!client.otherBitsName.empty()) {
      return "el programa de correo predeterminado «" + client.otherBitsName +
             "» solo está registrado para programas de " + Bits(otherBits) + useOther;
    }
    return "no hay ningún programa de correo predeterminado (Simple MAPI) en este equipo: " +
           std::string(client.newOutlookMailto
                           ? "el nuevo Outlook no lo tiene; elija Outlook clásico o Thunderbird "
                             "como programa de correo predeterminado"
                           : "instale uno, como Outlook clásico o Thunderbird, y elíjalo como "
                             "programa de correo predeterminado");
  }
  const std::string program = "programa de correo predeterminado «" + client.name + "»";
  const std::string who = "el " + program;
  if (client.library.empty()) return who + " no indica su biblioteca (DLLPath)";
  if (!client.libraryFound) {
    return "no se encuentra " + client.library + ", la biblioteca del " + program;
  }
  if (client.libraryBits != 0 && client.libraryBits != programBits) {
    return who + " es de " + Bits(client.libraryBits) + " y esta versión de Postique es de " +
           Bits(programBits) + useOther;
  }
  return {};
}

}  // namespace postique::win32
