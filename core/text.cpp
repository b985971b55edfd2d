#include "core/text.h"

#include <algorithm>

#include "core/device_names.h"

#include <windows.h>

namespace {

std::wstring FromCodePage(UINT cp, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string ToCodePage(UINT cp, std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(cp, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
    // Most names are plain ASCII: widen them directly.
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) return FromCodePage(CP_UTF8, utf8);
    }
    return std::wstring(utf8.begin(), utf8.end());
}
std::string WideToUtf8(std::wstring_view wide) { return ToCodePage(CP_UTF8, wide); }
std::string WideToAnsi(std::wstring_view wide) { return ToCodePage(CP_ACP, wide); }
std::wstring AnsiToWide(std::string_view ansi) { return FromCodePage(CP_ACP, ansi); }
std::wstring ToDecimal(long long n) { return std::to_wstring(n); }

bool EndsWithNoCase(std::wstring_view s, std::wstring_view end) {
    return s.size() >= end.size() && EqualNoCase(s.substr(s.size() - end.size()), end);
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

std::wstring FolderLabel(const std::wstring& folder) {
    return FileNameOf(std::wstring(WithoutTrailingBackslashes(folder, 0)));
}

std::wstring WithoutExtension(const std::wstring& fileName) {
    return fileName.substr(0, fileName.size() - ExtensionOf(fileName).size());
}

std::wstring_view ExtensionOf(std::wstring_view fileName) {
    const size_t n = fileName.size();
    return n >= 4 && fileName[n - 4] == L'.' ? fileName.substr(n - 4) : std::wstring_view();
}

std::wstring_view WithoutTrailingBackslashes(std::wstring_view path, size_t keep) {
    while (path.size() > keep && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

bool IsAllowedFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    if (name.find_first_of(L"<>:\"/\\|?*") != std::wstring::npos) return false;
    if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 32; })) return false;
    return !IsDeviceName(std::wstring_view(name));
}
