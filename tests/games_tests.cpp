// The games of the engine family, each by its own rules: the rules as a
// table, the recognition of a folder, and the real engines that Debian ships
// asked on random folders what they load and which copy of a file they take.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compat/load_order.h"
#include "compat/reorder.h"
#include "core/text.h"
#include "games/catalog.h"
#include "games/game.h"
#include "games/launch.h"
#include "games/steam.h"
#include "mods/change_coordinator.h"
#include "games/game_program.h"
#include "mods/mod_library.h"
#include "mods/mod_sets.h"
#include "tests/support/engine.h"
#include "tests/support/profiles.h"
#include "tests/support/recorder.h"
#include "tests/support/registry_key.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

// What the game loads of these names, weakest first.
Names Loads(const Game& game, Names names) {
    names.erase(
        std::remove_if(names.begin(), names.end(), [&](const std::wstring& n) { return !game.LoadsArchive(n); }),
        names.end());
    std::stable_sort(names.begin(), names.end(), [&](const auto& a, const auto& b) { return game.LoadsBefore(a, b); });
    return names;
}

Names Archives(const LoadOrderReport& report) {
    Names names;
    for (const LoadOrderArchive& archive : report.archives) names.push_back(archive.file);
    return names;
}

}  // namespace

TEST(GameRules, EachRuleLoadsAndSkipsAsItsEngine) {
    const struct {
        const wchar_t* profile;
        Names present, loads;
    } cases[] = {
        // Plain: every archive by name, letters as capitals, "_" after them.
        {L"q3",
         {L"pak0.pk3", L"zz.pk3", L"a.pk3", L"Z_b.pk3", L"localized_german_x.pk3"},
         {L"a.pk3", L"localized_german_x.pk3", L"pak0.pk3", L"zz.pk3", L"Z_b.pk3"}},
        // Call of Duty: the localized archives of the game's language first, the others not at all.
        {L"cod-demo",
         {L"pak0.pk3", L"localized_english_pak0.pk3", L"localized_german_x.pk3", L"a.pk3", L"zz.pk3"},
         {L"localized_english_pak0.pk3", L"a.pk3", L"pak0.pk3", L"zz.pk3"}},
        // RTCW multiplayer, as iowolfded printed it: mp_ as zz_, no sp_, no real zz_ in small letters.
        {L"rtcw-mp",
         {L"pak0.pk3", L"mp_pak0.pk3", L"zzz.pk3", L"sp_pak1.pk3", L"zz_mine.pk3", L"ZZ_upper.pk3", L"a.pk3",
          L"Mp_x.pk3"},
         {L"a.pk3", L"Mp_x.pk3", L"pak0.pk3", L"zzz.pk3", L"mp_pak0.pk3", L"ZZ_upper.pk3"}},
        {L"rtcw-sp",
         {L"pak0.pk3", L"sp_pak1.pk3", L"mp_pak0.pk3", L"zzz.pk3", L"zz_mine.pk3", L"a.pk3"},
         {L"a.pk3", L"pak0.pk3", L"zzz.pk3", L"sp_pak1.pk3"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Loads(Game(Profile(c.profile), L"C:\\g"), c.present), c.loads) << c.profile;
    }
}

TEST(GameRules, AnExpansionLoadsAboveItsBaseAndItsArchivesAreMarked) {
    TempFolder game;
    for (const wchar_t* name : {L"main\\pak0.pk3", L"main\\localized_english_pak0.pk3", L"main\\m.pk3",
                                L"uo\\pakuo00.pk3", L"uo\\localized_english_pakuo00.pk3", L"uo\\u.pk3"}) {
        WriteFileBytes(game / name, MakeZip({"maps/x.bsp"}));
    }
    const Game uo(Profile(L"coduo"), game.path());
    const LoadOrderReport report = BuildLoadOrder(uo);
    EXPECT_EQ(Archives(report), (Names{L"main\\localized_english_pak0.pk3", L"localized_english_pakuo00.pk3",
                                       L"main\\m.pk3", L"main\\pak0.pk3", L"pakuo00.pk3", L"u.pk3"}));
    // The base game's archives are never Tarrow's to rename.
    EXPECT_TRUE(uo.IsOwnArchiveFile(L"main\\m.pk3"));
    EXPECT_FALSE(uo.IsOwnArchiveFile(L"u.pk3"));
    // A mod of uo cannot be moved below main's archives.
    const ReorderPlan plan = PlanReorder(uo,
                                         {L"main\\localized_english_pak0.pk3", L"localized_english_pakuo00.pk3",
                                          L"u.pk3", L"main\\m.pk3", L"main\\pak0.pk3", L"pakuo00.pk3"},
                                         Archives(report));
    EXPECT_FALSE(plan.failure.empty());
}

TEST(GameRules, AReorderNeverGivesANameTheGameSkips) {
    const Game rtcw(Profile(L"rtcw-mp"), L"C:\\g");
    const Names present = Loads(rtcw, {L"pak0.pk3", L"mp_pak0.pk3", L"zz_a.pk3", L"b.pk3", L"ZZ_c.pk3", L"d.pk3"});
    Names wanted = present;
    std::rotate(wanted.begin(), wanted.begin() + 1, wanted.end());
    const ReorderPlan plan = PlanReorder(rtcw, {L"b.pk3", L"d.pk3", L"pak0.pk3", L"ZZ_c.pk3", L"mp_pak0.pk3"}, present);
    for (const ChangeStep& step : plan.renames) EXPECT_TRUE(rtcw.LoadsArchive(step.to)) << step.to;
}

TEST(Recognize, AFolderIsKnownByItsArchiveFolderAndOwnArchives) {
    TempFolder root;
    WriteFileBytes(root / L"q3\\baseq3\\pak0.pk3", "PK");
    WriteFileBytes(root / L"q3\\baseq3\\pak8.pk3", "PK");
    WriteFileBytes(root / L"oa\\baseoa\\pak1-maps.pk3", "PK");
    WriteFileBytes(root / L"jka\\GameData\\base\\assets0.pk3", "PK");
    WriteFileBytes(root / L"jka\\GameData\\base\\assets3.pk3", "PK");
    WriteFileBytes(root / L"demo\\main\\pak0.pk3", "PK");
    WriteFileBytes(root / L"demo\\main\\localized_english_pak0.pk3", "PK");
    for (const wchar_t* name : {L"pak0.pk3", L"sp_pak1.pk3", L"mp_pak0.pk3", L"mp_bin.pk3"}) {
        WriteFileBytes(root / (std::wstring(L"rtcw\\main\\") + name), "PK");
    }
    MakeFolder(root / L"empty\\main");
    auto ids = [&](const wchar_t* folder) {
        std::vector<std::wstring> found;
        for (const Game& game : RecognizeGames(root / folder))
            found.push_back(std::wstring(game.profile().id) + L" " + game.folder().substr(root.path().size()));
        return found;
    };
    EXPECT_EQ(ids(L"q3"), (Names{L"q3 \\q3"}));
    EXPECT_EQ(ids(L"oa"), (Names{L"openarena \\oa"}));
    // Jedi Knight's game folder is GameData, whichever of the two is picked.
    EXPECT_EQ(ids(L"jka"), (Names{L"jka \\jka\\GameData"}));
    EXPECT_EQ(ids(L"jka\\GameData"), (Names{L"jka \\jka\\GameData"}));
    EXPECT_EQ(ids(L"demo"), (Names{L"cod-demo \\demo"}));
    // Both programs of RTCW share its folder.
    EXPECT_EQ(ids(L"rtcw"), (Names{L"rtcw-mp \\rtcw", L"rtcw-sp \\rtcw"}));
    EXPECT_TRUE(ids(L"empty").empty());
    EXPECT_TRUE(ids(L"nowhere").empty());
}

namespace {

// A random archive name of the pieces that the rules treat apart.
std::wstring RandomName(unsigned& seed) {
    static const wchar_t* pieces[] = {L"mp_", L"sp_", L"zz_", L"ZZ_", L"zz",  L"a",  L"B",
                                      L"_",   L"~",   L"0",   L"pak", L"Mp_", L"[x]"};
    auto random = [&](unsigned below) { return (seed = seed * 1103515245u + 12345u) / 65536u % below; };
    std::wstring name;
    for (unsigned i = 0, n = 1 + random(3); i < n; ++i) name += pieces[random(std::size(pieces))];
    return name + L".pk3";
}

// Random folders for a game: each archive holds shared.txt and a file of its
// own, and every other folder a loose shared.txt; the engine's load order and
// its choice of shared.txt are the report's. The folder is named for the test:
// RTCW's engine checks its own archives in main.
void HoldAgainstEngine(const wchar_t* id, const wchar_t* program, const wchar_t* log, unsigned seed, bool withLoose) {
    GameProfile profile = Profile(id);
    profile.archiveFolder = L"probe";
    const std::wstring folder(profile.archiveFolder);
    for (int round = 0; round < 4; ++round) {
        TempFolder game;
        // The engines want a default.cfg to start; a loose one is no archive.
        WriteFileBytes(game / (folder + L"\\default.cfg"), "// probe\n");
        const bool loose = withLoose && round % 2 == 1;
        const std::wstring archives = game / folder + L"\\";
        if (loose) WriteFileBytes(archives + L"shared.txt", "loose");
        Names present;
        while (present.size() < 12) {
            const std::wstring name = RandomName(seed);
            if (std::any_of(present.begin(), present.end(),
                            [&](const std::wstring& p) { return EqualNoCase(p, name); }))
                continue;
            present.push_back(name);
            WriteFileBytes(archives + name, MakeZip({"shared.txt", "own" + std::to_string(present.size()) + ".txt"}));
        }
        const LoadOrderReport report = BuildLoadOrder(Game(profile, game.path()));
        std::wstring logPath = folder;
        logPath += L"\\";
        logPath += log;
        const EngineAnswer engine = AskEngine({program, logPath, game.path(), folder, L"", {"shared.txt"}});
        const std::wstring place = folder + L"/";
        Names expected;
        for (const std::wstring& file : Archives(report)) {
            if (file != Game::LooseFiles) expected.push_back(place + file);
        }
        EXPECT_EQ(engine.order, expected) << id << " round " << round;
        const auto shared = std::find_if(report.shared.begin(), report.shared.end(),
                                         [](const SharedFile& f) { return f.path == L"shared.txt"; });
        ASSERT_NE(shared, report.shared.end());
        const std::wstring& winner = report.archives[shared->holders.back()].file;
        EXPECT_EQ(winner == Game::LooseFiles, loose);
        EXPECT_EQ(engine.which.at("shared.txt"), loose ? folder : place + winner) << id << " round " << round;
    }
}

}  // namespace

TEST(Referee, Ioquake3LoadsWhatThePlainRuleSays) {
    ASSERT_TRUE(PathExists(L"Z:\\usr\\lib\\ioquake3\\ioq3ded")) << "scripts/setup installs ioquake3-server";
    // A folder other than baseq3: the engine runs without Quake III's own archives.
    HoldAgainstEngine(L"openarena", L"Z:\\usr\\lib\\ioquake3\\ioq3ded", L"qconsole.log", 17, true);
}

TEST(Referee, IortcwLoadsWhatTheMultiplayerRuleSays) {
    ASSERT_TRUE(PathExists(L"Z:\\usr\\lib\\rtcw\\iowolfded")) << "scripts/setup installs rtcw-server from contrib";
    // iortcw searches loose files first, as ioquake3 does; the retail program
    // that the profile describes searches them last, so none are laid here.
    HoldAgainstEngine(L"rtcw-mp", L"Z:\\usr\\lib\\rtcw\\iowolfded", L"rtcwconsole.log", 29, false);
}

TEST(Referee, OpenArenasRealArchivesLoadInTheEnginesOrder) {
    const std::wstring root = L"Z:\\usr\\share\\games\\openarena";
    ASSERT_TRUE(PathExists(root + L"\\baseoa\\pak0.pk3")) << "scripts/setup installs openarena-server and its data";
    const std::vector<Game> games = RecognizeGames(root);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games.front().profile().id, L"openarena");
    const LoadOrderReport report = BuildLoadOrder(games.front());
    // Files that several archives hold, one from each holder that wins some.
    std::vector<std::string> asked;
    std::vector<std::wstring> winners;
    for (const SharedFile& file : report.shared) {
        const std::wstring& winner = report.archives[file.holders.back()].file;
        if (std::find(winners.begin(), winners.end(), winner) != winners.end() ||
            file.path.find(L' ') != std::wstring::npos)
            continue;
        winners.push_back(winner);
        std::wstring path = file.path;
        std::replace(path.begin(), path.end(), L'\\', L'/');
        asked.push_back(WideToUtf8(path));
    }
    const EngineAnswer engine =
        AskEngine({L"Z:\\usr\\lib\\ioquake3\\ioq3ded", L"baseoa\\qconsole.log", root, L"baseoa", L"", asked});
    Names expected;
    for (const std::wstring& file : Archives(report)) expected.push_back(L"baseoa/" + file);
    EXPECT_EQ(engine.order, expected);
    for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(engine.which.at(asked[i]), L"baseoa/" + winners[i]) << asked[i];
}

// The program the player chose for the demo is not another game's.
TEST(GamePrograms, EachGameStartsItsOwnProgram) {
    TempFolder folder;
    WriteFileBytes(folder / L"CoDSP.exe", "MZ");
    WriteFileBytes(folder / L"openarena.exe", "MZ");
    WriteFileBytes(folder / L"chosen.exe", "MZ");
    const Game demo = DemoGame(folder.path()), arena(Profile(L"openarena"), folder.path());
    EXPECT_EQ(FindGameProgram(demo), folder / L"CoDSP.exe");
    ASSERT_EQ(KeepGameProgram(demo, folder / L"chosen.exe"), ERROR_SUCCESS);
    EXPECT_EQ(FindGameProgram(demo), folder / L"chosen.exe");
    EXPECT_EQ(FindGameProgram(arena), folder / L"openarena.exe");
    // Two installs of one game: the program chosen for one is not the other's.
    TempFolder second;
    WriteFileBytes(second / L"openarena.exe", "MZ");
    ASSERT_EQ(KeepGameProgram(arena, folder / L"chosen.exe"), ERROR_SUCCESS);
    EXPECT_EQ(FindGameProgram(arena), folder / L"chosen.exe");
    EXPECT_EQ(FindGameProgram(Game(Profile(L"openarena"), second.path())), second / L"openarena.exe");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarrow", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegDeleteValueW(key, GameProgramValue);
    RegDeleteTreeW(key, GameProgramsKey);
    RegCloseKey(key);
}

TEST(Steam, ReadsTheLibrariesOfEveryLayoutInAnyLetterCase) {
    EXPECT_EQ(LibrariesIn("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1\"\n\t\"1\"\t\"D:\\\\SteamLibrary\"\n"
                          "\t\"2\"\t\"E:/Games/Steam/\"\n}\n"),
              (Names{L"D:\\SteamLibrary", L"E:\\Games\\Steam"}));
    EXPECT_EQ(LibrariesIn("\"LIBRARYFOLDERS\" { \"0\" { \"PATH\" \"C:\\\\Steam\" \"apps\" { \"2200\" \"1\" } }\n"
                          "\"1\" { \"path\" \"D:\\\\Lib\" \"mounted\" \"1\" } \"contentstatsid\" \"9\" }"),
              (Names{L"C:\\Steam", L"D:\\Lib"}));
    EXPECT_EQ(LibrariesIn("\"InstallConfigStore\" { \"Software\" { \"Valve\" { \"Steam\" { \"baseinstallfolder_1\" "
                          "\"F:\\\\Steam Games\" \"Accounts\" { } } } } }"),
              (Names{L"F:\\Steam Games"}));
    // Truncated, binary, or deeper than Steam writes: nothing.
    EXPECT_TRUE(LibrariesIn("\"libraryfolders\" { \"0\" { \"path\" \"C:\\\\Pro").empty());
    EXPECT_TRUE(LibrariesIn(std::string("\x00\x01libraryfolders\x02\xFF", 18)).empty());
    EXPECT_TRUE(LibrariesIn("\"libraryfolders\" " + std::string(10000, '{') + std::string(10000, '}')).empty());
}

namespace {

// Steam's key in the test prefix, as Steam's installer writes it, gone again after.
struct SteamKey {
    explicit SteamKey(const std::wstring& folder) {
        std::wstring path = folder;
        std::replace(path.begin(), path.end(), L'\\', L'/');
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Valve\\Steam", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr);
        RegSetValueExW(key, L"SteamPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~SteamKey() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Valve"); }
};

// A path as Steam writes it in its files: each "\\" doubled.
std::string Escaped(const std::wstring& path) {
    std::string out;
    for (const char c : WideToUtf8(path)) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string Manifest(const std::string& installdir) {
    return "\"AppState\"\n{\n\t\"appid\"\t\"1\"\n\t\"installdir\"\t\"" + installdir + "\"\n}\n";
}

}  // namespace

// A Steam folder with libraries in every file Steam keeps them in, some of
// them damaged or hostile: each game is found by its manifest, and a broken
// file costs only its own library or game.
TEST(Steam, FindsEachGameByItsManifestAndSkipsWhatIsBroken) {
    TempFolder root;
    const std::wstring steam = root / L"Steam", a = root / L"LibA", b = root / L"LibB", c = root / L"LibC";
    // The older copy is damaged, nested deeper than Steam writes; the master names A and B.
    WriteFileBytes(steam + L"\\steamapps\\libraryfolders.vdf", "\"libraryfolders\" " + std::string(10000, '{'));
    WriteFileBytes(steam + L"\\config\\libraryfolders.vdf",
                   "\"libraryfolders\" { \"0\" { \"path\" \"" + Escaped(steam) + "\" } \"1\" { \"path\" \"" +
                       Escaped(a) + "\" } \"2\" { \"path\" \"" + Escaped(b) + "\" } }");
    WriteFileBytes(steam + L"\\config\\config.vdf",
                   "\"InstallConfigStore\" { \"Software\" { \"Valve\" { \"Steam\" { \"BaseInstallFolder_1\" \"" +
                       Escaped(c) + "\" } } } }");
    // Quake III in the Steam folder; Jedi Academy in A; RTCW's manifest in B truncated;
    // in C a manifest that would lead out of its library, and one of 50 MB.
    WriteFileBytes(steam + L"\\steamapps\\appmanifest_2200.acf", Manifest("Quake 3 Arena"));
    WriteFileBytes(steam + L"\\steamapps\\common\\Quake 3 Arena\\baseq3\\pak0.pk3", "PK");
    WriteFileBytes(a + L"\\steamapps\\appmanifest_6020.acf", Manifest("Jedi Academy"));
    WriteFileBytes(a + L"\\steamapps\\common\\Jedi Academy\\GameData\\base\\assets0.pk3", "PK");
    WriteFileBytes(b + L"\\steamapps\\appmanifest_9010.acf", Manifest("Return to Castle Wolfenstein").substr(0, 40));
    WriteFileBytes(b + L"\\steamapps\\common\\Return to Castle Wolfenstein\\main\\pak0.pk3", "PK");
    WriteFileBytes(c + L"\\steamapps\\appmanifest_2350.acf", Manifest("..\\\\..\\\\LibA"));
    WriteFileBytes(c + L"\\steamapps\\appmanifest_6030.acf", Manifest("Outcast") + std::string(50u << 20, ' '));
    WriteFileBytes(c + L"\\steamapps\\common\\Outcast\\GameData\\base\\assets0.pk3", "PK");
    SteamKey key(steam);
    EXPECT_EQ(SteamLibraries(), (Names{steam, a, b, c}));
    std::vector<std::wstring> found;
    for (const Game& game : SteamGames(SteamLibraries()))
        found.push_back(std::wstring(game.profile().id) + L" " + game.folder());
    EXPECT_EQ(found, (Names{L"q3 " + steam + L"\\steamapps\\common\\Quake 3 Arena",
                            L"jka " + a + L"\\steamapps\\common\\Jedi Academy\\GameData"}));
    // File > Game lists them as found through Steam.
    const std::vector<KnownGame> known = FindKnownGames(L"");
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(known[0].where, L"Steam");
    EXPECT_EQ(known[1].game.profile().id, L"jka");
}

TEST(Steam, FindsAGameByItsUninstallEntryToo) {
    TempFolder folder;
    WriteFileBytes(folder / L"GameData\\base\\assets0.pk3", "PK");
    TestRegistryKey key(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 6020");
    key.SetText(L"InstallLocation", folder.path());
    const std::vector<KnownGame> known = FindKnownGames(L"");
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(known[0].game.profile().id, L"jka");
    EXPECT_EQ(known[0].game.folder(), folder / L"GameData");
    EXPECT_EQ(known[0].where, L"Steam");
}

TEST(Gog, FindsAGameByItsInstallersKey) {
    TempFolder folder;
    WriteFileBytes(folder / L"baseq3\\pak0.pk3", "PK");
    TestRegistryKey key(L"SOFTWARE\\GOG.com\\Games\\1441704920");
    key.SetText(L"PATH", folder.path());
    const std::vector<KnownGame> known = FindKnownGames(L"");
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(known[0].game.profile().id, L"q3");
    EXPECT_EQ(known[0].game.folder(), folder.path());
    EXPECT_EQ(known[0].where, L"GOG");
}

namespace {

// A folder that the test lays out elsewhere than in the temporary folder
// (below Program Files, in the user's folders), removed at the end.
struct LaidFolder {
    explicit LaidFolder(std::wstring at) : path(std::move(at)) { RemoveTree(path); }
    ~LaidFolder() { RemoveTree(path); }
    LaidFolder(const LaidFolder&) = delete;
    LaidFolder& operator=(const LaidFolder&) = delete;
    std::wstring path;
};

GameProfile ProbeProfile(const wchar_t* user) {
    GameProfile profile = Profile(L"q3");
    profile.archiveFolder = L"probe";
    profile.ownArchives = {L"pak0.pk3"};
    profile.looseFilesFirst = true;
    profile.userFolders = {user};
    return profile;
}

}  // namespace

TEST(Places, PerUserFoldersAndVirtualStoreLoadWhereTheGameLooks) {
    const GameProfile profile = ProbeProfile(L"%APPDATA%\\TarrowPlaces");
    const LaidFolder installed(ExpandUserFolder(L"%PROGRAMFILES(X86)%") + L"\\TarrowPlaces");
    const LaidFolder user(ExpandUserFolder(L"%APPDATA%\\TarrowPlaces"));
    const LaidFolder stored(ExpandUserFolder(L"%LOCALAPPDATA%\\VirtualStore\\Program Files (x86)\\TarrowPlaces"));
    for (const wchar_t* name : {L"probe\\pak0.pk3", L"probe\\a.pk3", L"probe\\z.pk3", L"mymod\\m.pk3"}) {
        WriteFileBytes(installed.path + L"\\" + name, MakeZip({"shared.txt"}));
    }
    WriteFileBytes(stored.path + L"\\probe\\vs.pk3", MakeZip({"shared.txt"}));
    WriteFileBytes(user.path + L"\\probe\\user.pk3", MakeZip({"shared.txt"}));
    WriteFileBytes(user.path + L"\\mymod\\u.pk3", MakeZip({"shared.txt"}));

    const Game game(profile, installed.path);
    Names labels;
    for (const Game::Place& place : game.Places()) labels.push_back(place.label + L" " + std::to_wstring(place.rank));
    EXPECT_EQ(labels, (Names{L"probe 0", L"VirtualStore\\probe 0", L"AppData\\Roaming\\TarrowPlaces\\probe 1"}));
    // The VirtualStore copy sorts among the folder's own by name; the per-user folder wins over both.
    EXPECT_EQ(Archives(BuildLoadOrder(game)), (Names{L"a.pk3", L"pak0.pk3", L"VirtualStore\\probe\\vs.pk3", L"z.pk3",
                                                     L"AppData\\Roaming\\TarrowPlaces\\probe\\user.pk3"}));
    EXPECT_EQ(game.PathOf(QualifiedName::Parse(L"VirtualStore\\probe\\vs.pk3")), stored.path + L"\\probe\\vs.pk3");

    // A mod folder stacks above all of the base folder's places.
    const Game mod(profile, installed.path, L"mymod");
    EXPECT_EQ(mod.ArchiveFolder(), installed.path + L"\\mymod\\");
    EXPECT_EQ(Archives(BuildLoadOrder(mod)), (Names{L"probe\\a.pk3", L"probe\\pak0.pk3", L"VirtualStore\\probe\\vs.pk3",
                                                    L"probe\\z.pk3", L"AppData\\Roaming\\TarrowPlaces\\probe\\user.pk3",
                                                    L"m.pk3", L"AppData\\Roaming\\TarrowPlaces\\mymod\\u.pk3"}));
    // A game outside Program Files has no VirtualStore copy.
    EXPECT_TRUE(VirtualStoreOf(L"C:\\Games\\Quake3").empty());

    // A newer z.pk3 written into VirtualStore hides the folder's own: the game
    // sees one z.pk3, VirtualStore's, and so do Load Order and the Manager.
    WriteFileBytes(stored.path + L"\\probe\\z.pk3", MakeZip({"shared.txt", "newer.txt"}));
    EXPECT_EQ(Archives(BuildLoadOrder(game)),
              (Names{L"a.pk3", L"pak0.pk3", L"VirtualStore\\probe\\vs.pk3", L"VirtualStore\\probe\\z.pk3",
                     L"AppData\\Roaming\\TarrowPlaces\\probe\\user.pk3"}));
    EXPECT_EQ(ScanMods(game).enabled, (Names{L"a", L"VirtualStore\\probe\\vs", L"VirtualStore\\probe\\z",
                                             L"AppData\\Roaming\\TarrowPlaces\\probe\\user"}));
}

TEST(ModFolders, AreListedBelowTheirGameAndStartedWithTheirFolder) {
    TempFolder folder;
    WriteFileBytes(folder / L"baseq3\\pak0.pk3", "PK");
    WriteFileBytes(folder / L"goggame-1441704920.info", "{}");
    WriteFileBytes(folder / L"cpma\\z-cpma-pak.pk3", "PK");
    WriteFileBytes(folder / L"cpma\\description.txt", "  Challenge ProMode\tArena \r\nsecond line");
    WriteFileBytes(folder / L"defrag\\description.txt", std::string(4000, 'x'));
    WriteFileBytes(folder / L"missionpack\\pak0.pk3", "PK");
    MakeFolder(folder / L"Docs");
    // GOG's key, under a name that is no game's id: the folder's goggame file says which game it holds.
    TestRegistryKey key(L"SOFTWARE\\GOG.com\\Games\\1234");
    key.SetText(L"PATH", folder.path() + L"\\");
    const std::vector<KnownGame> known = FindKnownGames(L"");
    Names texts;
    for (const KnownGame& game : known) texts.push_back(KnownGameText(game));
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], L"Quake III Arena (" + folder.path() + L")");
    EXPECT_EQ(texts[1], L"Quake III Arena: cpma - Challenge ProMode Arena");
    EXPECT_EQ(texts[2].substr(0, 24), L"Quake III Arena: defrag ");
    EXPECT_LT(texts[2].size(), 300u);
    EXPECT_EQ(known[1].game.ModArguments(), L"+set fs_game cpma");
    EXPECT_EQ(known[1].game.Base(), known[0].game);
    // A mod folder keeps mod sets of its own.
    ASSERT_EQ(SaveModSet(known[1].game, {L"Duel", {L"z-cpma-pak"}}), 0);
    EXPECT_TRUE(ReadModSets(known[0].game).sets.empty());
    EXPECT_EQ(ReadModSets(known[1].game).sets.size(), 1u);
    DeleteModSet(known[1].game, L"Duel");

    // Call of Duty's lie below Mods, and are started so.
    EXPECT_EQ(Game(Profile(L"cod"), L"C:\\CoD", L"Mods\\My Mod").ModArguments(), L"+set fs_game \"mods/My Mod\"");
    for (const wchar_t* bad : {L"..", L"a\\..\\..\\b", L"C:\\x", L"\\x", L"a\\b\\c", L"", L"a:b"}) {
        EXPECT_EQ(SafeModFolder(bad), L"") << bad;
    }
    EXPECT_EQ(SafeModFolder(L"Mods/x"), L"Mods\\x");
}

TEST(Referee, Ioquake3StacksThePerUserAndModFoldersAsLoadOrderDoes) {
    ASSERT_TRUE(PathExists(L"Z:\\usr\\lib\\ioquake3\\ioq3ded")) << "scripts/setup installs ioquake3-server";
    const GameProfile profile = ProbeProfile(L"%APPDATA%\\TarrowReferee");
    const LaidFolder user(ExpandUserFolder(L"%APPDATA%\\TarrowReferee"));
    TempFolder installed;
    unsigned seed = 41;
    for (const std::wstring& folder :
         {installed / L"probe", installed / L"probemod", user.path + L"\\probe", user.path + L"\\probemod"}) {
        for (int i = 0; i < 4; ++i) WriteFileBytes(folder + L"\\" + RandomName(seed), MakeZip({"shared.txt"}));
    }
    WriteFileBytes(installed / L"probe\\default.cfg", "// probe\n");
    const LoadOrderReport report = BuildLoadOrder(Game(profile, installed.path(), L"probemod"));
    const EngineAnswer engine = AskEngine({L"Z:\\usr\\lib\\ioquake3\\ioq3ded",
                                           L"probemod\\qconsole.log",
                                           installed.path(),
                                           L"probe",
                                           L"+set fs_game probemod",
                                           {"shared.txt"},
                                           user.path});
    std::vector<std::string> expected;
    for (const std::wstring& file : Archives(report)) {
        expected.push_back(UnixPath(Game(profile, installed.path(), L"probemod").PathOf(QualifiedName::Parse(file))));
    }
    EXPECT_EQ(engine.paths, expected);
}

TEST(CommandLine, ArgumentsRoundTripAndABadOneIsNamed) {
    TempFolder folder;
    WriteFileBytes(folder / L"mod one.pk3", "PK");
    const LaunchRequest request{L"C:\\Games\\Quake III\\", L"Say \"hi\" \\", true, {folder / L"mod one.pk3"}};
    const ParsedLaunch back = ParseLaunch(SplitArguments(LaunchArguments(request)));
    EXPECT_EQ(back.error, L"");
    EXPECT_EQ(back.request.game, request.game);
    EXPECT_EQ(back.request.set, request.set);
    EXPECT_TRUE(back.request.play);
    EXPECT_EQ(back.request.files, request.files);
    // A file is made whole against the current folder, where the second Tarrow was started.
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    EXPECT_EQ(ParseLaunch({L"mod one.pk3"}).request.files, Names{folder / L"mod one.pk3"});
    EXPECT_EQ(ParseLaunch({L"--sett", L"x"}).error, L"Tarrow does not know the argument \"--sett\".");
    EXPECT_EQ(ParseLaunch({L"--set"}).error, L"The argument --set needs a value after it.");
    EXPECT_EQ(ParseLaunch({L"--game", L"--play"}).error, L"The argument --game needs a value after it.");
    // A set whose name looks like an argument still makes a line that runs.
    const LaunchRequest odd{L"", L"--x", true, {}};
    EXPECT_EQ(ParseLaunch(SplitArguments(LaunchArguments(odd))).request.set, L"--x");
    EXPECT_EQ(ParseLaunch({L"--set="}).error, L"The argument --set needs a value after it.");
    EXPECT_EQ(ParseLaunch({L"--play", L"missing.pk3"}).error, L"Tarrow found no file \"missing.pk3\" to install.");
    SetCurrentDirectoryW(ProgramFolder().c_str());
}

// Tarrow splits a handed-over line itself, portably, so that it is fuzzed on
// the host: it splits as Windows' own CommandLineToArgvW does.
// A stranger's archive names its maps, and a folder names its mod: what goes
// onto the engine's command line is one word that starts nothing else.
TEST(CommandLine, OnlyOneWordGoesOntoTheEnginesCommandLine) {
    for (const wchar_t* name : {L"q3dm17", L"mp/ffa_bespin", L"oa-dm1.v2", L"Z_x"})
        EXPECT_TRUE(IsEngineWord(name)) << WideToUtf8(name);
    for (const wchar_t* name : {L"x +exec y", L"x+exec", L"my map", L"a\"b", L"a\tb", L"", L"ma\u00efs"}) {
        EXPECT_FALSE(IsEngineWord(name)) << WideToUtf8(name);
    }
    EXPECT_EQ(SafeModFolder(L"osp"), L"osp");
    EXPECT_EQ(SafeModFolder(L"x+exec"), L"");
    EXPECT_EQ(SafeModFolder(L"a\"b"), L"");
}

TEST(CommandLine, SplitsAsWindowsDoes) {
    static const wchar_t* pieces[] = {L" ",    L"\t",   L"\"", L"\"\"", L"\"\"\"", L"\\",
                                      L"\\\\", L"\\\"", L"a",  L"b c",  L"--set"};
    unsigned seed = 7;
    auto random = [&](unsigned below) { return (seed = seed * 1103515245u + 12345u) / 65536u % below; };
    for (int round = 0; round < 2000; ++round) {
        std::wstring line;
        for (unsigned i = 0, n = 1 + random(8); i < n; ++i) line += pieces[random(std::size(pieces))];
        int count = 0;
        LPWSTR* split = CommandLineToArgvW((L"tarrow.exe " + line).c_str(), &count);
        ASSERT_NE(split, nullptr);
        Names windows(split + 1, split + count);
        LocalFree(split);
        ASSERT_EQ(SplitCommandWords(line), windows) << "line [" << WideToUtf8(line) << "]";
    }
}

TEST(CommandLine, AShortcutNamesItsGameSoThatItIsFoundAgain) {
    TempFolder first, second;
    for (const std::wstring& root : {first.path(), second.path()}) {
        WriteFileBytes(root + L"\\main\\mp_pak0.pk3", "PK");
        WriteFileBytes(root + L"\\main\\sp_pak1.pk3", "PK");
    }
    WriteFileBytes(first / L"osp\\osp.pk3", "PK");
    TestRegistryKey key(L"SOFTWARE\\Activision\\Return to Castle Wolfenstein");
    key.SetText(L"InstallPath", first.path());
    const std::vector<KnownGame> known = FindKnownGames(L"");
    auto roundTrip = [&](const Game& game) { return ResolveLaunchGame(LaunchGameName(game, known), known); };
    // Each program by its id and folder, since the folder alone would name the first program.
    const Game mp(Profile(L"rtcw-mp"), first.path()), other(Profile(L"rtcw-mp"), second.path());
    EXPECT_EQ(LaunchGameName(mp, known), L"rtcw-mp@" + first.path());
    EXPECT_EQ(roundTrip(mp), mp);
    // A copy found after the shortcut was made, and listed first, does not take it over.
    std::vector<KnownGame> later{{other, L"Steam", {}}};
    later.insert(later.end(), known.begin(), known.end());
    EXPECT_EQ(ResolveLaunchGame(LaunchGameName(mp, known), later), mp);
    EXPECT_EQ(roundTrip(Game(Profile(L"rtcw-sp"), first.path())), Game(Profile(L"rtcw-sp"), first.path()));
    EXPECT_EQ(LaunchGameName(other, known), L"rtcw-mp@" + second.path());
    EXPECT_EQ(roundTrip(other), other);
    EXPECT_EQ(ResolveLaunchGame(second.path(), known), Game(Profile(L"rtcw-sp"), second.path()));
    // Both programs have the mod folder: the folder alone would name the first.
    const Game osp(Profile(L"rtcw-mp"), first.path(), L"osp");
    EXPECT_EQ(LaunchGameName(osp, known), L"rtcw-mp@" + first / L"osp");
    EXPECT_EQ(roundTrip(osp), osp);
    EXPECT_FALSE(ResolveLaunchGame(L"q3", known));
    EXPECT_FALSE(ResolveLaunchGame(L"C:\\nowhere", known));
}

// The per-user folder's mods are the Manager's too: switched, reordered and
// undone in that folder, under its own journal; a change over two places that
// fails in the second takes back the first.
TEST(Places, TarrowChangesThePerUserFolderInPlace) {
    PromptRecorder prompts;
    const GameProfile profile = ProbeProfile(L"%APPDATA%\\TarrowManaged");
    const LaidFolder user(ExpandUserFolder(L"%APPDATA%\\TarrowManaged"));
    TempFolder installed;
    WriteFileBytes(installed / L"probe\\pak0.pk3", MakeZip({"shared.txt"}));
    WriteFileBytes(installed / L"probe\\x.pk3", MakeZip({"shared.txt"}));
    for (const wchar_t* name : {L"q.pk3", L"r.pk3", L"pak0.pk3"})
        WriteFileBytes(user.path + L"\\probe\\" + name, MakeZip({"shared.txt"}));
    const Game game(profile, installed.path());
    const std::wstring place = L"AppData\\Roaming\\TarrowManaged\\probe\\";
    EXPECT_EQ(ScanMods(game).enabled, (Names{L"x", place + L"q", place + L"r"}));
    EXPECT_FALSE(game.IsOwnArchiveFile(place + L"q.pk3"));
    EXPECT_TRUE(game.IsOwnArchiveFile(place + L"pak0.pk3"));

    ChangeCoordinator coordinator(prompts);
    ASSERT_TRUE(coordinator.Switch(game, place + L"q", L".pk3", L".dis"));
    EXPECT_TRUE(PathExists(user.path + L"\\probe\\q.dis"));
    EXPECT_FALSE(PathExists(installed / L"probe\\a.dis"));
    ASSERT_TRUE(coordinator.Undo(game));
    EXPECT_TRUE(PathExists(user.path + L"\\probe\\q.pk3"));

    // r before q: the per-user folder's names change, within it.
    Names wanted = Archives(BuildLoadOrder(game));
    ASSERT_EQ(wanted.back(), place + L"r.pk3");
    std::swap(wanted[wanted.size() - 1], wanted[wanted.size() - 2]);
    const ReorderPlan plan = PlanReorder(game, wanted, ArchiveFileNamesOfEveryPlace(game));
    ASSERT_EQ(plan.failure, L"");
    ASSERT_TRUE(coordinator.Run(game, {L"reordering", plan.renames}, L"Reorder"));
    const Names after = Archives(BuildLoadOrder(game));
    EXPECT_EQ(QualifiedName::Parse(after.back()).file.substr(QualifiedName::Parse(after.back()).file.size() - 5),
              L"q.pk3");
    EXPECT_EQ(QualifiedName::Parse(after.back()).place + L"\\", place);
    ASSERT_TRUE(coordinator.Undo(game));
    EXPECT_EQ(Archives(BuildLoadOrder(game)).back(), place + L"r.pk3");

    // Its problems are named, and fixed, in that folder.
    WriteFileBytes(user.path + L"\\probe\\r.dis", MakeZip({"other.txt"}));
    const std::vector<LoadProblem> problems = BuildLoadOrder(game).problems;
    ASSERT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const LoadProblem& p) {
        return p.archive == place + L"r.pk3" && p.kind == ProblemKind::Duplicate &&
               p.problem.rfind(L"It is also in AppData\\Roaming\\TarrowManaged\\probe as r.dis.", 0) == 0;
    }));

    // A mod set switches them there too; a mod in the folder twice is left as it is.
    const SetSwitch sets = PlanSetSwitch(game, {L"Only X", {L"x"}}, ArchiveFileNamesOfEveryPlace(game));
    EXPECT_EQ(sets.disable, Names{L"q"});
    ASSERT_EQ(sets.renames.size(), 1u);
    ASSERT_TRUE(coordinator.Run(game, {L"switching", sets.renames}, L"Switch"));
    EXPECT_TRUE(PathExists(user.path + L"\\probe\\q.dis"));

    prompts.asked.clear();
    EXPECT_FALSE(coordinator.Run(game, {L"renaming", {{L"x.pk3", L"y.pk3"}, {place + L"gone.pk3", place + L"c.pk3"}}},
                                 L"Rename"));
    EXPECT_TRUE(PathExists(installed / L"probe\\x.pk3"));
    EXPECT_FALSE(PathExists(installed / L"probe\\y.pk3"));
    EXPECT_EQ(prompts.MessageTexts().size(), 1u);
    // The base folder's places are never changed.
    EXPECT_FALSE(coordinator.Run(Game(profile, installed.path(), L"mymod"),
                                 {L"renaming", {{L"probe\\x.pk3", L"probe\\y.pk3"}}}, L"Rename"));
    EXPECT_TRUE(PathExists(installed / L"probe\\x.pk3"));
}

TEST(MicrosoftStore, FindsQuake3InItsFolder) {
    const LaidFolder store(ExpandUserFolder(L"%PROGRAMFILES%\\ModifiableWindowsApps"));
    WriteFileBytes(store.path + L"\\Quake 3\\EN\\baseq3\\pak0.pk3", "PK");
    const std::vector<KnownGame> known = FindKnownGames(L"");
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(known[0].game.profile().id, L"q3");
    EXPECT_EQ(known[0].where, L"Microsoft Store");
}
