#pragma once
// mdlRegistry: single values of the Windows registry. The program uses one:
// the game's InstallPath. The game is a 32-bit program, so its installer
// writes into the 32-bit view of HKLM; every open here uses that view.
#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// A value read from the registry: empty, text or 32-bit number.
using RegValue = std::variant<std::monostate, std::wstring, std::uint32_t>;

inline constexpr wchar_t GameKey[] = L"SOFTWARE\\Activision\\Call of Duty Single Player Demo";
inline constexpr wchar_t InstallPathValue[] = L"InstallPath";

// Text form of a value: empty stays empty, a number becomes decimal.
std::wstring RegValueText(const RegValue& value);

// Writes REG_SZ (with its terminating NUL, as Windows documents) or REG_DWORD.
// Returns the platform's result code; 0 for a type that is not handled.
LONG RegWriteValue(HKEY key, const std::wstring& name, DWORD type, const RegValue& value);
// Reads REG_SZ or REG_DWORD into value. Returns the result code of the last
// query, -1 for a type that is not handled; on failure value is untouched.
LONG RegReadValue(HKEY key, const std::wstring& name, RegValue& value);

// Opens the key for writing only and writes the value. Returns the result code
// of the open, or of the write when the open succeeded.
LONG SetRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, const RegValue& value,
                      DWORD type);
// Opens the key for reading only. An absent key or value gives the empty value.
RegValue GetRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& name);

// The names of a key's subkeys, in the 32-bit view; none when the key is absent.
std::vector<std::wstring> GetRegistrySubkeys(HKEY root, const std::wstring& keyPath);

// One value of an open key, as the registry lists it.
struct RegistryValueInfo {
    std::wstring name;
    DWORD type = 0;
    DWORD bytes = 0;  // the size of its data
};
// Every value of an open key, in the registry's order; a value that cannot be
// listed is left out. Names are up to the registry's 16,383 characters.
std::vector<RegistryValueInfo> ListRegistryValues(HKEY key);

// The game's InstallPath as text; absent gives the empty text.
std::wstring ReadInstallPath();
