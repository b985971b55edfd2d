#pragma once
// A file in one place of a game: the place's label ("VirtualStore\main"),
// empty for the folder Tarrow manages, and the file's name there. The lists,
// plans and reports show it as one text; Parse reads that text back.
#include <string>
#include <string_view>

struct QualifiedName {
    std::wstring place;  // empty: the managed folder
    std::wstring file;

    // "x.pk3" in the managed folder, "VirtualStore\main\x.pk3" elsewhere.
    std::wstring Shown() const { return place.empty() ? file : place + L'\\' + file; }
    // A file's name holds no backslash, so the place ends at the last one.
    static QualifiedName Parse(std::wstring_view shown) {
        const size_t slash = shown.rfind(L'\\');
        if (slash == std::wstring_view::npos) return {{}, std::wstring(shown)};
        return {std::wstring(shown.substr(0, slash)), std::wstring(shown.substr(slash + 1))};
    }
    bool operator==(const QualifiedName&) const = default;
};
