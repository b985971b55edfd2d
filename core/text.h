#pragma once
// Conversions at the program's boundaries. Inside, all text is std::wstring.
#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
// The system's ANSI code page, as archives made on Windows encode passwords.
std::string WideToAnsi(std::wstring_view wide);
std::wstring AnsiToWide(std::string_view ansi);
std::wstring ToDecimal(long long n);
// Equal without regard to case, as the file system compares names.
bool EqualNoCase(std::wstring_view a, std::wstring_view b);
bool EndsWithNoCase(std::wstring_view s, std::wstring_view end);
// The last part of a path, after its last "\\" or "/".
std::wstring FileNameOf(const std::wstring& path);
// A folder's own name, as messages give it: "main" for "C:\\Game\\main\\".
std::wstring FolderLabel(const std::wstring& folder);
// A file name without its extension of a dot and three letters (".pk3").
std::wstring WithoutExtension(const std::wstring& fileName);
// That extension, its dot included, as spelt; empty when the name has none.
std::wstring_view ExtensionOf(std::wstring_view fileName);
// A path without its trailing backslashes, keeping at least its first keep
// characters ("C:\\" keeps 3).
std::wstring_view WithoutTrailingBackslashes(std::wstring_view path, size_t keep = 0);

// A file name that Windows accepts and that names no device (CON, NUL, COM1...).
bool IsAllowedFileName(const std::wstring& name);

// A name against a pattern where "*" is any run of characters and "?" any
// one, the characters compared by same: greedy, back to the last "*" only,
// so linear for one "*".
template <class Char, class Same>
bool MatchesWildcard(std::basic_string_view<Char> name, std::basic_string_view<Char> pattern, const Same& same) {
    std::size_t n = 0, p = 0, star = std::basic_string_view<Char>::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == Char('*')) {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == Char('?') || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != std::basic_string_view<Char>::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) ++p;
    return p == pattern.size();
}
