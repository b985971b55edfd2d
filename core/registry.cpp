#include "core/registry.h"

#include <algorithm>
#include <vector>

#include "core/handles.h"

namespace {

// Opens a key of the 32-bit view, where the game's installer writes.
RegKeyHandle OpenKey(HKEY root, const std::wstring& path, REGSAM access, LONG& result) {
    HKEY key = nullptr;
    result = RegOpenKeyExW(root, path.c_str(), 0, access | KEY_WOW64_32KEY, &key);
    return RegKeyHandle(result == ERROR_SUCCESS ? key : nullptr);
}

}  // namespace

std::wstring RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::wstring>(&value)) return *text;
    if (const auto* number = std::get_if<std::uint32_t>(&value)) return std::to_wstring(*number);
    return {};
}

LONG RegWriteValue(HKEY key, const std::wstring& name, DWORD type, const RegValue& value) {
    if (type == REG_SZ) {
        const std::wstring text = RegValueText(value);
        const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        if (const auto* n = std::get_if<std::uint32_t>(&value)) {
            number = *n;
        } else {
            number = static_cast<DWORD>(std::wcstoul(RegValueText(value).c_str(), nullptr, 10));
        }
        return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    return ERROR_SUCCESS;
}

LONG RegReadValue(HKEY key, const std::wstring& name, RegValue& value) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type == REG_SZ) {
        // The size counts the stored terminating NUL, so the text keeps it.
        std::vector<wchar_t> buffer((size + 1) / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        result = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (result == ERROR_SUCCESS) {
            // The text is the stored data: a terminator that the query adds is not part of it.
            value = std::wstring(buffer.data(), (std::min(bytes, size) + 1) / sizeof(wchar_t));
        } else {
            value = std::monostate{};
        }
        return result;
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        DWORD bytes = sizeof number;
        result = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &bytes);
        if (result == ERROR_SUCCESS) value = static_cast<std::uint32_t>(number);
        return result;
    }
    return -1;
}

LONG SetRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& name, const RegValue& value,
                      DWORD type) {
    // Writing needs no more than KEY_SET_VALUE; asking for more would be refused
    // to a program that is not elevated.
    LONG result = ERROR_SUCCESS;
    const RegKeyHandle key = OpenKey(root, keyPath, KEY_SET_VALUE, result);
    if (!key.valid()) return result;
    return RegWriteValue(key.get(), name, type, value);
}

RegValue GetRegistryValue(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
    // Reading asks for KEY_QUERY_VALUE only, which every user is granted under HKLM.
    LONG result = ERROR_SUCCESS;
    const RegKeyHandle key = OpenKey(root, keyPath, KEY_QUERY_VALUE, result);
    RegValue value;
    if (key.valid()) RegReadValue(key.get(), name, value);
    return value;
}

std::wstring ReadInstallPath() { return RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, GameKey, InstallPathValue)); }

std::vector<std::wstring> GetRegistrySubkeys(HKEY root, const std::wstring& keyPath) {
    std::vector<std::wstring> names;
    LONG result = ERROR_SUCCESS;
    const RegKeyHandle key = OpenKey(root, keyPath, KEY_ENUMERATE_SUB_KEYS, result);
    if (!key.valid()) return names;
    // Key names are at most 255 characters.
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<RegistryValueInfo> ListRegistryValues(HKEY key) {
    std::vector<RegistryValueInfo> values;
    // On the heap: the longest name the registry allows is 16,383 characters.
    std::wstring name(16384, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size()), type = 0, bytes = 0;
        const LONG listed = RegEnumValueW(key, index, name.data(), &length, nullptr, &type, nullptr, &bytes);
        if (listed == ERROR_NO_MORE_ITEMS) break;
        if (listed == ERROR_SUCCESS) values.push_back({name.substr(0, length), type, bytes});
    }
    return values;
}
