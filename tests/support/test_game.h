#pragma once
// A game folder in a fresh temporary folder, with the game's registry key
// pointing at it as the installer writes it.
#include <optional>
#include <string>

#include "core/registry.h"
#include "tests/support/registry_key.h"
#include "tests/support/temp_folder.h"

class TestGame {
public:
    explicit TestGame(bool withKey = true) {
        MakeFolder(main);
        if (withKey) {
            key.emplace(GameKey);
            key->SetText(InstallPathValue, folder);
        }
    }
    ~TestGame() { TestRegistryKey::Delete(GameKey); }

    // Writes a file into the main folder.
    void Add(const std::wstring& name, const std::string& bytes = "PK") const { WriteFileBytes(main + name, bytes); }
    bool Has(const std::wstring& name) const { return PathExists(main + name); }
    // Copies a generated fixture archive into the main folder.
    void Install(const std::wstring& fixture, const std::wstring& archive) const {
        CopyFileW(Fixture(fixture).c_str(), (main + archive).c_str(), FALSE);
    }

    TempFolder temp;
    std::wstring folder = temp / L"Call of Duty";
    std::wstring main = folder + L"\\main\\";
    std::optional<TestRegistryKey> key;
};
