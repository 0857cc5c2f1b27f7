// Reading the registry.
#pragma once

#include <windows.h>

#include <string>

namespace postique::win32 {

// A string value under root\key (value null: the key's default), a
// REG_EXPAND_SZ expanded; empty when there is none. view is 0 for this
// program's view of the registry, or RRF_SUBKEY_WOW6464KEY or
// RRF_SUBKEY_WOW6432KEY for the 64-bit or 32-bit one.
std::wstring RegistryString(HKEY root, const std::wstring& key, const wchar_t* value,
                            DWORD view = 0);

}  // namespace postique::win32
