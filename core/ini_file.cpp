#include "core/ini_file.h"

#include <windows.h>

std::wstring GetINIFile(const std::wstring& section, const std::wstring& key, const std::wstring& filePath) {
    wchar_t buffer[255] = {};
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"Default", buffer,
                                             static_cast<DWORD>(std::size(buffer)), filePath.c_str());
    return std::wstring(buffer, n);
}
