#include "core/ini_file.h"

#include <windows.h>

namespace {

std::wstring Read(const std::wstring& section, const std::wstring& key, const std::wstring& filePath,
                  const wchar_t* missing) {
    wchar_t buffer[255] = {};
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), missing, buffer,
                                             static_cast<DWORD>(std::size(buffer)), filePath.c_str());
    return std::wstring(buffer, n);
}

}  // namespace

std::wstring GetINIFile(const std::wstring& section, const std::wstring& key, const std::wstring& filePath) {
    return Read(section, key, filePath, L"Default");
}

std::wstring GetINIFileOrEmpty(const std::wstring& section, const std::wstring& key, const std::wstring& filePath) {
    return Read(section, key, filePath, L"");
}
