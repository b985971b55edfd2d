#include "core/settings.h"

#include <windows.h>

#include "core/handles.h"
#include "core/registry.h"

namespace {

std::wstring KeyPath(const std::wstring& below) {
    return below.empty() ? TarrowKey : std::wstring(TarrowKey) + L"\\" + below;
}

// A REG_SZ value's text, without the terminating NULs a writer may have kept.
std::wstring TextOf(std::wstring data, DWORD bytes) {
    data.resize(bytes / sizeof(wchar_t));
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    return data;
}

}  // namespace

std::wstring ReadSetting(const std::wstring& name, const std::wstring& below) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(below).c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return {};
    const RegKeyHandle key(raw);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return TextOf(std::move(data), bytes);
}

long WriteSetting(const std::wstring& name, const std::wstring& text, const std::wstring& below) {
    HKEY raw = nullptr;
    const LONG opened = RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(below).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                        nullptr, &raw, nullptr);
    if (opened != ERROR_SUCCESS) return opened;
    const RegKeyHandle key(raw);
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::vector<std::pair<std::wstring, std::wstring>> ReadSettings(const std::wstring& below) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(below).c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
        return values;
    const RegKeyHandle key(raw);
    for (const RegistryValueInfo& value : ListRegistryValues(key.get())) {
        if (value.type == REG_SZ) values.emplace_back(value.name, ReadSetting(value.name, below));
    }
    return values;
}
