#pragma once
// Tarrow's own settings: text values under HKEY_CURRENT_USER\Software\Tarrow
// (or a key below it). Tarrow writes no other key of the user's.
#include <string>
#include <utility>
#include <vector>

inline constexpr wchar_t TarrowKey[] = L"Software\\Tarrow";

// The text of a value; empty when the key or value is absent or not text.
std::wstring ReadSetting(const std::wstring& name, const std::wstring& below = {});
// Creates the key if needed and writes the text; the platform's result code.
long WriteSetting(const std::wstring& name, const std::wstring& text, const std::wstring& below = {});
// Every value name of a key and its text, in the registry's order.
std::vector<std::pair<std::wstring, std::wstring>> ReadSettings(const std::wstring& below);
