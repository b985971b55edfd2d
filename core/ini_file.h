#pragma once
// ReadWrite_INI: reads one key of an INI file.
#include <string>

// The two readers differ only in what a missing file, section or key gives. A
// value is cut at 254 characters.
// The information panel's reader: "Default".
std::wstring GetINIFile(const std::wstring& section, const std::wstring& key, const std::wstring& filePath);
// The editor's reader: the empty text, so that a field the author left out stays empty.
std::wstring GetINIFileOrEmpty(const std::wstring& section, const std::wstring& key, const std::wstring& filePath);
