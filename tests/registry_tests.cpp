// Registry access on the real registry of the test prefix.
#include <gtest/gtest.h>

#include "core/globals.h"
#include "core/registry.h"
#include "tests/support/registry_key.h"
#include "tests/support/temp_folder.h"

namespace {
const std::wstring kKey = L"SOFTWARE\\TarrowTests\\Registry";
const std::wstring kAbsentKey = L"SOFTWARE\\TarrowTests\\Absent";
const std::wstring kNul(1, L'\0');
}  // namespace

TEST(Registry, TextWithAndWithoutTerminatingNul) {
    TestRegistryKey key(kKey);
    key.SetText(L"Installer", L"C:\\Games\\CoD");
    key.SetText(L"Bare", L"C:\\Games\\CoD", false);
    EXPECT_EQ(RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Installer")), L"C:\\Games\\CoD" + kNul);
    // Windows reads data stored without a NUL back without one; Wine reports one
    // more character and adds it. Either way the path itself comes back whole.
    const std::wstring bare = RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Bare"));
    EXPECT_TRUE(bare == L"C:\\Games\\CoD" || bare == L"C:\\Games\\CoD" + kNul);

    // Our own writes store the NUL too, so both writers read back alike.
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Ours", std::wstring(L"C:\\X"), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Ours")), L"C:\\X" + kNul);
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Empty", std::wstring(), REG_SZ), ERROR_SUCCESS);
    EXPECT_EQ(RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Empty")), kNul);
}

TEST(Registry, NumbersAndUnhandledTypes) {
    TestRegistryKey key(kKey);
    EXPECT_EQ(RegWriteValue(key.get(), L"Count", REG_DWORD, std::uint32_t{42}), ERROR_SUCCESS);
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Count"), RegValue(std::uint32_t{42}));
    EXPECT_EQ(RegWriteValue(key.get(), L"Blob", REG_BINARY, std::wstring(L"x")), 0);
    const BYTE blob[] = {1, 2, 3};
    RegSetValueExW(key.get(), L"Blob", 0, REG_BINARY, blob, sizeof blob);
    RegValue value = std::wstring(L"untouched");
    EXPECT_EQ(RegReadValue(key.get(), L"Blob", value), -1);
    EXPECT_EQ(value, RegValue(std::wstring(L"untouched")));
}

TEST(Registry, AbsentKeyOrValueReadsEmpty) {
    TestRegistryKey::Delete(kAbsentKey);
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kAbsentKey, L"InstallPath"), RegValue{});
    TestRegistryKey key(kKey);
    EXPECT_EQ(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"Missing"), RegValue{});
    EXPECT_EQ(RegValueText(RegValue{}), L"");
}

TEST(Registry, WriteToAbsentKeyIsLostAndReported) {
    TestRegistryKey::Delete(kAbsentKey);
    EXPECT_EQ(SetRegistryValue(HKEY_LOCAL_MACHINE, kAbsentKey, L"InstallPath", std::wstring(L"C:\\"), REG_SZ),
              ERROR_FILE_NOT_FOUND);
    HKEY probe = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAbsentKey.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &probe),
              ERROR_SUCCESS);
}

TEST(Registry, UsesThe32BitView) {
    TestRegistryKey key(kKey);
    key.SetText(L"View", L"32");
    EXPECT_EQ(RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, kKey, L"View")), L"32" + kNul);
    // The 64-bit view does not hold the value the 32-bit installer wrote.
    HKEY native = nullptr;
    DWORD size = 0;
    const bool open =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &native) == 0;
    if (open) {
        EXPECT_NE(RegQueryValueExW(native, L"View", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
        RegCloseKey(native);
    }
}

TEST(InitGlobals, GamePathFromTheGamesKey) {
    TempFolder temp;
    MakeFolder(temp / L"Call of Duty");
    {
        TestRegistryKey game(GameKey);
        game.SetText(InstallPathValue, Globals::GetShortPath(temp / L"Call of Duty"));
        Globals::InitGlobals();
        EXPECT_EQ(Globals::GamePath, temp / L"Call of Duty");
        EXPECT_EQ(Globals::VersionText, L"Tarrow 0.6 Beta");
        EXPECT_EQ(Globals::ChangesText,
                  L"Changes since version 0.5 Beta\r\n  - Added Compatibility Checker\r\n\r\n"
                  L"Changes since version 0.4 Beta\r\n  - Fixed Enable/Disable buttons\r\n"
                  L"  - Fixed searching in %CoD%/Main subdirectories for mods\r\n");
        game.SetText(InstallPathValue, temp / L"No Such Folder");
        Globals::InitGlobals();
        EXPECT_EQ(Globals::GamePath, L"");
    }
    Globals::InitGlobals();
    EXPECT_EQ(Globals::GamePath, L"\\");
}
