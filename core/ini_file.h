#pragma once
// ReadWrite_INI: reads one key of an INI file.
#include <string>

// A missing file, section or key gives "Default"; a value is cut at 254 characters.
std::wstring GetINIFile(const std::wstring& section, const std::wstring& key, const std::wstring& filePath);
