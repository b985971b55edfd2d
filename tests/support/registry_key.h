#pragma once
// A registry key of the test prefix in the 32-bit view of HKLM, where the
// game's installer writes, deleted again when the object goes.
#include <windows.h>

#include <string>

class TestRegistryKey {
public:
    explicit TestRegistryKey(std::wstring path) : path_(std::move(path)) {
        Delete();
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                        &key_, nullptr);
    }
    ~TestRegistryKey() {
        RegCloseKey(key_);
        Delete();
    }
    TestRegistryKey(const TestRegistryKey&) = delete;
    TestRegistryKey& operator=(const TestRegistryKey&) = delete;

    // Stores text as the game's installer does: REG_SZ with its terminating NUL.
    void SetText(const std::wstring& name, const std::wstring& text, bool withNul = true) {
        const DWORD bytes = static_cast<DWORD>((text.size() + (withNul ? 1 : 0)) * sizeof(wchar_t));
        RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    }
    HKEY get() const { return key_; }

    static void Delete(const std::wstring& path) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);
    }

private:
    void Delete() { Delete(path_); }
    std::wstring path_;
    HKEY key_ = nullptr;
};
