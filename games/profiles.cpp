// The games Tarrow knows. Each fact says where it comes from.
#include "games/game.h"

const std::vector<GameProfile>& GameProfiles() {
    static const std::vector<GameProfile> profiles = {
        {
            .id = L"cod-demo",
            .name = L"Call of Duty Single Player Demo",
            .archiveFolder = L"main",
            // The demo's own two archives, as its installer lays them out.
            .ownArchives = {L"pak0.pk3", L"localized_english_pak0.pk3"},
            .rule = OrderRule::Localized,
            .looseFilesFirst = false,
            // The demo installs CoDSP.exe; patched copies keep the prefix.
            .programs = {L"CoDSP*.exe"},
            .registry = {{L"SOFTWARE\\Activision\\Call of Duty Single Player Demo", L"InstallPath", L""}},
        },
    };
    return profiles;
}
