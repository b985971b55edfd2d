#include "mods/mod_sets.h"

#include <windows.h>

#include <algorithm>

#include "core/globals.h"
#include "core/handles.h"
#include "core/registry.h"
#include "core/text.h"
#include "mods/installer.h"
#include "mods/mod_library.h"

namespace {

constexpr wchar_t kHeader[] = L"Tarrow mod set: ";
// A set of thousands of mods is still far below this; a value above it is not one of ours.
constexpr DWORD kLongestValue = 1u << 20;

// The key of one game folder's sets: a key name cannot hold "\", and folders are named without regard to case.
// A mod folder's sets are its own.
std::wstring FolderKey(const Game& game) {
    std::wstring name(WithoutTrailingBackslashes(game.folder(), 3));
    if (!game.mod().empty()) name += L"\\" + game.mod();
    std::replace(name.begin(), name.end(), L'\\', L'/');
    std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    return std::wstring(ModSetsKey) + L"\\" + name;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return EqualNoCase(n, name); });
}

bool ValidModName(const std::wstring& mod) { return mod.size() <= 250 && IsAllowedFileName(mod + EnabledExtension); }

std::vector<std::wstring> SplitMulti(const std::wstring& data) {
    std::vector<std::wstring> parts;
    for (size_t at = 0; at < data.size();) {
        const size_t end = data.find(L'\0', at);
        const size_t stop = end == std::wstring::npos ? data.size() : end;
        if (stop > at) parts.push_back(data.substr(at, stop - at));
        at = stop + 1;
    }
    return parts;
}

std::wstring NotAModName(const std::wstring& set, const std::wstring& mod) {
    return L"\"" + set + L"\", which holds \"" + mod + L"\", not a mod's name";
}

// One stored value as a set, or why it is skipped.
std::wstring TakeValue(const std::wstring& name, DWORD type, const std::wstring& data, ModSet& set) {
    if (!IsValidSetName(name)) return L"a set whose name is empty or longer than 64 characters";
    if (type != REG_MULTI_SZ) return L"\"" + name + L"\", which is not a list of names";
    set = {name, {}};
    for (const std::wstring& mod : SplitMulti(data)) {
        if (!ValidModName(mod)) return NotAModName(name, mod);
        if (!Contains(set.mods, mod)) set.mods.push_back(mod);
    }
    return {};
}

void Section(std::wstring& text, const wchar_t* caption, const std::vector<std::wstring>& names) {
    if (names.empty()) return;
    if (!text.empty()) text += L"\r\n\r\n";
    text += caption;
    for (const auto& name : names) text += L"\r\n    " + name;
}

}  // namespace

std::wstring SetModName(const std::wstring& fileName) {
    return WithoutExtension(WithoutTarrowPrefix(QualifiedName::Parse(fileName).file));
}

bool IsValidSetName(const std::wstring& name) {
    return !name.empty() && name.size() <= kLongestSetName &&
           std::none_of(name.begin(), name.end(), [](wchar_t c) { return c < 32; });
}

StoredSets ReadModSets(const Game& game) {
    StoredSets stored;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, FolderKey(game).c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return stored;
    const RegKeyHandle key(raw);
    for (const RegistryValueInfo& value : ListRegistryValues(key.get())) {
        const std::wstring& valueName = value.name;
        DWORD type = value.type;
        const DWORD bytes = value.bytes;
        if (bytes > kLongestValue) {
            stored.skipped.push_back(L"\"" + valueName.substr(0, 64) + L"\", which is too long");
            continue;
        }
        std::wstring data(bytes / sizeof(wchar_t), L'\0');
        DWORD got = bytes;
        if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &got) != ERROR_SUCCESS) {
            continue;
        }
        data.resize(got / sizeof(wchar_t));
        ModSet set;
        std::wstring why = TakeValue(valueName, type, data, set);
        if (why.empty() && std::any_of(stored.sets.begin(), stored.sets.end(),
                                       [&](const ModSet& s) { return EqualNoCase(s.name, set.name); })) {
            why = L"\"" + set.name + L"\", a second set of that name";
        }
        if (!why.empty()) {
            stored.skipped.push_back(std::move(why));
            continue;
        }
        stored.sets.push_back(std::move(set));
    }
    std::sort(stored.sets.begin(), stored.sets.end(), [](const ModSet& a, const ModSet& b) {
        return CompareStringOrdinal(a.name.c_str(), -1, b.name.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return stored;
}

long SaveModSet(const Game& game, const ModSet& set) {
    HKEY raw = nullptr;
    const LONG opened =
        RegCreateKeyExW(HKEY_CURRENT_USER, FolderKey(game).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr);
    if (opened != ERROR_SUCCESS) return opened;
    const RegKeyHandle key(raw);
    std::wstring data;
    for (const auto& mod : set.mods) data += mod + L'\0';
    data += L'\0';
    return RegSetValueExW(key.get(), set.name.c_str(), 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

long DeleteModSet(const Game& game, const std::wstring& name) {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, FolderKey(game).c_str(), 0, KEY_SET_VALUE, &raw);
    if (opened != ERROR_SUCCESS) return opened;
    const RegKeyHandle key(raw);
    return RegDeleteValueW(key.get(), name.c_str());
}

SetSwitch PlanSetSwitch(const Game& game, const ModSet& set, const std::vector<std::wstring>& files) {
    SetSwitch plan;
    std::vector<std::wstring> present;  // the mods of main, as a set names them
    present.reserve(files.size());
    for (const auto& file : files) present.push_back(SetModName(file));
    auto twice = [&](const std::wstring& mod) {
        return std::count_if(present.begin(), present.end(),
                             [&](const std::wstring& p) { return EqualNoCase(p, mod); }) > 1;
    };
    for (const auto& file : files) {
        const std::wstring extension(ExtensionOf(file));
        if (game.IsOwnArchiveFile(file) || extension.empty()) continue;
        const std::wstring mod = SetModName(file), stem = WithoutExtension(file);
        const bool wanted = Contains(set.mods, mod);
        const bool enabled = extension == EnabledExtension, disabled = extension == DisabledExtension;
        if (wanted == enabled && (enabled || disabled)) continue;
        if (!enabled && !disabled) {
            // Any other letter case: the game loads a .PK3, but it is not Tarrow's to rename.
            if (!wanted && EqualNoCase(extension, EnabledExtension)) plan.leftAsIs.push_back(file);
            continue;
        }
        if (twice(mod)) {
            // A wanted mod that is enabled in another file is enabled already.
            const bool loaded = std::any_of(files.begin(), files.end(), [&](const std::wstring& other) {
                return other != file && EqualNoCase(SetModName(other), mod) &&
                       EqualNoCase(ExtensionOf(other), EnabledExtension);
            });
            if (!(wanted && loaded)) plan.leftAsIs.push_back(file);
            continue;
        }
        (wanted ? plan.enable : plan.disable).push_back(mod);
        plan.renames.push_back({file, stem + (wanted ? EnabledExtension : DisabledExtension)});
    }
    for (const auto& mod : set.mods) {
        if (!Contains(present, mod)) plan.missing.push_back(mod);
    }
    return plan;
}

std::wstring SetSwitchPreview(const SetSwitch& plan) {
    std::wstring text;
    Section(text, L"Enable:", plan.enable);
    Section(text, L"Disable:", plan.disable);
    Section(text, L"Missing:", plan.missing);
    Section(text, L"Left as it is:", plan.leftAsIs);
    if (plan.renames.empty()) return text.empty() ? L"The set's mods are enabled already." : text;
    return text;
}

std::string ExportModSet(const ModSet& set) {
    std::wstring text = kHeader + set.name + L"\r\n";
    for (const auto& mod : set.mods) text += mod + L"\r\n";
    return WideToUtf8(text);
}

ImportedSet ImportModSet(const std::string& bytes) {
    std::string_view rest(bytes);
    if (rest.rfind("\xEF\xBB\xBF", 0) == 0) rest.remove_prefix(3);
    ImportedSet imported;
    auto refuse = [&](size_t line, const std::wstring& why) {
        imported.set = {};
        imported.failure = L"Line " + ToDecimal(static_cast<long long>(line)) + L": " + why + L" Nothing was added.";
        return imported;
    };
    if (rest.find('\0') != std::string_view::npos || WideToUtf8(Utf8ToWide(rest)) != rest) {
        return refuse(1, L"the file is not text in UTF-8, so it is not a Tarrow mod set.");
    }
    size_t number = 0;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::wstring line = Utf8ToWide(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        ++number;
        if (number == 1) {
            if (line.rfind(kHeader, 0) != 0 || !IsValidSetName(line.substr(std::wstring(kHeader).size()))) {
                return refuse(1, L"a mod set begins with \"Tarrow mod set: \" and a name of 1 to 64 characters.");
            }
            imported.set.name = line.substr(std::wstring(kHeader).size());
            continue;
        }
        if (line.empty()) continue;
        if (!ValidModName(line)) return refuse(number, L"\"" + line + L"\" is not a name that a mod's file can have.");
        if (!Contains(imported.set.mods, line)) imported.set.mods.push_back(line);
    }
    if (number == 0) return refuse(1, L"the file is empty.");
    return imported;
}
