// A game's own archives are never mods: held against game-data-packager's
// lists of the real games' files, laid out as the installers leave them, and
// refused by the layer below the windows. And the words Tarrow says about
// what loads where: the loose-file rule of the program that runs, and RTCW's
// sort, held against the real engines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "archive/file_source.h"
#include "archive/zip_reader.h"
#include "compat/load_order.h"
#include "compat/reorder.h"
#include "core/text.h"
#include "games/game.h"
#include "games/game_program.h"
#include "mods/mod_library.h"
#include "mods/placed_change.h"
#include "tests/support/engine.h"
#include "tests/support/profiles.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

class TextSink : public zip::Sink {
public:
    bool Write(const void* data, std::size_t n) override {
        text.append(static_cast<const char*>(data), n);
        return true;
    }
    std::string text;
};

constexpr wchar_t kPackagerLists[] = L"Z:\\usr\\share\\games\\game-data-packager\\vfs.zip";

// The files of one game's lists in the packager's archive, by name.
std::map<std::string, std::string> PackagerFiles(const std::string& game) {
    FileSource source(kPackagerLists);
    zip::Directory directory;
    std::map<std::string, std::string> files;
    if (!source.valid() || zip::ReadDirectory(source, directory) != zip::Status::Ok) return files;
    for (const zip::Entry& entry : directory.entries) {
        // Its lists of files and their groups; the checksum lists repeat the names without groups.
        if (entry.name != game + ".json" && entry.name != game + ".files" && entry.name != game + ".groups") continue;
        TextSink sink;
        if (zip::ExtractEntry(source, entry, {}, sink) == zip::Status::Ok) files[entry.name] = std::move(sink.text);
    }
    return files;
}

struct Listed {
    std::string folder, name;  // "baseq3", "pak0.pk3"
    bool thirdParty = false;   // in a group of another author's content (Threewave)
};

// Every archive a game's lists name, as <folder>/<name>.pk3 (a "?de" variant
// is the same file), with whether its group is a third party's add-on.
std::vector<Listed> PackagerArchives(const std::string& game) {
    std::vector<Listed> found;
    for (const auto& [file, text] : PackagerFiles(game)) {
        bool thirdParty = false;
        std::size_t line = 0;
        for (std::size_t at = text.find(".pk3"); at != std::string::npos; at = text.find(".pk3", at + 4)) {
            // Groups are "[name]" lines; the packager names third parties' content by the add-on.
            for (std::size_t section; (section = text.find("\n[", line)) != std::string::npos && section < at;
                 line = section + 1) {
                thirdParty = text.compare(section + 2, 9, "Threewave") == 0;
            }
            const std::size_t start = text.find_last_of("\" \t\n", at) + 1;
            const std::string path = text.substr(start, at + 4 - start);
            const std::size_t slash = path.rfind('/');
            if (slash == std::string::npos || slash == 0 || path.find('*') != std::string::npos) continue;
            const std::size_t parent = path.rfind('/', slash - 1);
            const std::string folder = path.substr(parent == std::string::npos ? 0 : parent + 1,
                                                   slash - (parent == std::string::npos ? 0 : parent + 1));
            found.push_back({folder, path.substr(slash + 1), file.ends_with(".groups") && thirdParty});
        }
    }
    return found;
}

}  // namespace

TEST(OwnArchives, AreEveryArchiveTheGamesListsName) {
    ASSERT_TRUE(PathExists(kPackagerLists)) << "scripts/setup installs game-data-packager";
    const struct {
        const char* game;
        std::vector<const wchar_t*> profiles;
    } cases[] = {
        {"quake3", {L"q3", L"q3ta"}},
        {"rtcw", {L"rtcw-sp", L"rtcw-mp"}},
        {"enemy-territory", {L"et", L"etl"}},
        {"jk2", {L"jk2"}},
    };
    for (const auto& c : cases) {
        const std::vector<Listed> listed = PackagerArchives(c.game);
        ASSERT_FALSE(listed.empty()) << c.game;
        int checked = 0;
        for (const wchar_t* id : c.profiles) {
            const Game game(Profile(id), L"C:\\g");
            const std::string folder = WideToUtf8(std::wstring(game.profile().archiveFolder));
            for (const Listed& archive : listed) {
                if (archive.folder != folder) continue;
                ++checked;
                // A third party's add-on in the game's folder is a mod like any other.
                EXPECT_EQ(game.IsOwnArchiveName(Utf8ToWide(archive.name)), !archive.thirdParty)
                    << c.game << " " << archive.folder << "/" << archive.name << " for " << WideToUtf8(id);
            }
        }
        EXPECT_GT(checked, 0) << c.game;
    }
}

// The installers' layouts: nothing of the game's own is offered as a mod, is
// a problem, or may be renamed, whichever program runs.
TEST(OwnArchives, AreNeverModsNorProblemsAndTheLayerRefusesToTakeThem) {
    const struct {
        const wchar_t* profile;
        const wchar_t* folder;
        Names files;
        Names skipped;  // "<archive> <note>"
    } cases[] = {
        {L"rtcw-mp",
         L"main",
         {L"pak0.pk3", L"sp_pak1.pk3", L"sp_pak2.pk3", L"sp_pak3.pk3", L"sp_pak4.pk3", L"sp_pakG.pk3", L"mp_pak0.pk3",
          L"mp_pak5.pk3", L"mp_bin.pk3", L"mp_pakmaps0.pk3", L"mp_bin0.pk3", L"sp_rend2_shaders0.pk3", L"mine.pk3"},
         {L"sp_pak1.pk3 game (single player)", L"sp_pak2.pk3 game (single player)", L"sp_pak3.pk3 game (single player)",
          L"sp_pak4.pk3 game (single player)", L"sp_pakG.pk3 game (single player)",
          L"sp_rend2_shaders0.pk3 game (single player)"}},
        {L"rtcw-sp",
         L"main",
         {L"pak0.pk3", L"sp_pak1.pk3", L"sp_pakG.pk3", L"mp_pak0.pk3", L"mp_bin.pk3", L"mp_rend2_shaders0.pk3",
          L"mine.pk3"},
         {L"mp_bin.pk3 game (multiplayer)", L"mp_pak0.pk3 game (multiplayer)",
          L"mp_rend2_shaders0.pk3 game (multiplayer)"}},
        {L"cod",
         L"main",
         {L"pak0.pk3", L"pak6.pk3", L"paka.pk3", L"localized_english_pak0.pk3", L"localized_english_pak1.pk3",
          L"Localized_German_Pak0.pk3", L"mine.pk3"},
         {L"Localized_German_Pak0.pk3 game (German)"}},
        {L"q3", L"baseq3", {L"PAK0.PK3", L"pak8.pk3", L"mine.pk3"}, {}},
    };
    for (const auto& c : cases) {
        TempFolder root;
        const std::wstring folder = root / c.folder + L"\\";
        for (const std::wstring& file : c.files) WriteFileBytes(folder + file, MakeZip({"x/" + WideToUtf8(file)}));
        const Game game(Profile(c.profile), root.path());
        const std::string id = WideToUtf8(c.profile);
        EXPECT_EQ(ScanMods(game).enabled, Names{L"mine"}) << id;
        const LoadOrderReport report = BuildLoadOrder(game);
        for (const LoadProblem& problem : report.problems)
            ADD_FAILURE() << id << ": " << WideToUtf8(problem.archive) << " " << WideToUtf8(problem.problem);
        Names skipped;
        for (const SkippedArchive& s : report.skipped) skipped.push_back(s.file + L" " + s.note);
        EXPECT_EQ(skipped, c.skipped) << id;
        // The belt: a hand-made plan that takes an own archive away runs nothing.
        for (const std::wstring& file : c.files) {
            if (file == L"mine.pk3") continue;
            const ChangeOutcome outcome =
                RunPlacedChange(game, {L"disabling", {{file, file.substr(0, file.size() - 4) + L".dis"}}});
            EXPECT_EQ(outcome.result, ChangeResult::Refused) << id << " " << WideToUtf8(file);
            EXPECT_EQ(outcome.message,
                      file + L" is the game's own archive. Tarrow never renames, replaces or removes it.");
            EXPECT_TRUE(PathExists(folder + file));
            EXPECT_EQ(RunPlacedChange(game, {L"removing", {RecycleStep(file)}}).result, ChangeResult::Refused);
        }
        EXPECT_EQ(RunPlacedChange(game, {L"disabling mine", {{L"mine.pk3", L"mine.dis"}}}).result, ChangeResult::Done)
            << id;
    }
}

namespace {

void ForgetPrograms() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarrow", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, GameProgramsKey);
    RegCloseKey(key);
}

std::wstring WinnerOf(const LoadOrderReport& report, const std::wstring& path) {
    for (const SharedFile& file : report.shared) {
        if (EqualNoCase(file.path, path)) return report.archives[file.holders.back()].file;
    }
    return {};
}

}  // namespace

// Quake III 1.32 takes an archive's copy over a loose file; ioquake3 the loose
// file. Which one runs is the program that Play starts.
TEST(Referee, TheLooseFileWinnerFollowsTheProgramThatRuns) {
    ForgetPrograms();
    GameProfile profile = Profile(L"q3");
    // A folder other than baseq3: the engine runs without Quake III's own archives.
    profile.archiveFolder = L"probe";
    TempFolder root;
    WriteFileBytes(root / L"probe\\default.cfg", "// probe\n");
    WriteFileBytes(root / L"probe\\scripts\\loose.shader", "loose");
    WriteFileBytes(root / L"probe\\pak0.pk3", MakeZip({"scripts/loose.shader"}));
    const Game game(profile, root.path());

    LoadOrderReport report = BuildLoadOrder(game);
    EXPECT_FALSE(report.looseRuleKnown);
    EXPECT_NE(WinnerOf(report, L"scripts\\loose.shader"), Game::LooseFiles);

    WriteFileBytes(root / L"quake3.exe", "MZ");
    report = BuildLoadOrder(game);
    EXPECT_TRUE(report.looseRuleKnown);
    EXPECT_FALSE(report.looseFilesFirst);
    EXPECT_NE(WinnerOf(report, L"scripts\\loose.shader"), Game::LooseFiles);

    WriteFileBytes(root / L"ioquake3.x86_64.exe", "MZ");
    ASSERT_EQ(KeepGameProgram(game, root / L"ioquake3.x86_64.exe"), ERROR_SUCCESS);
    report = BuildLoadOrder(game);
    ForgetPrograms();
    EXPECT_TRUE(report.looseRuleKnown);
    EXPECT_EQ(WinnerOf(report, L"scripts\\loose.shader"), Game::LooseFiles);
    const EngineAnswer engine = AskEngine({L"Z:\\usr\\lib\\ioquake3\\ioq3ded",
                                           L"probe\\qconsole.log",
                                           root.path(),
                                           L"probe",
                                           L"",
                                           {"scripts/loose.shader"}});
    EXPECT_EQ(engine.which.at("scripts/loose.shader"), L"probe");
}

// A mod that the multiplayer program's own archives replace: the advice names
// the key the game sorts by, and the name Fix gives it loads where Tarrow says.
TEST(Referee, IortcwLoadsAModWhereTarrowsAdviceAndFixPutIt) {
    ASSERT_TRUE(PathExists(L"Z:\\usr\\lib\\rtcw\\iowolfded")) << "scripts/setup installs rtcw-server from contrib";
    GameProfile profile = Profile(L"rtcw-mp");
    // RTCW's engine checks its own archives in main.
    profile.archiveFolder = L"probe";
    TempFolder root;
    const std::wstring folder = root / L"probe\\";
    WriteFileBytes(folder + L"default.cfg", "// probe\n");
    WriteFileBytes(folder + L"mp_pak0.pk3", MakeZip({"shared.txt", "a.txt"}));
    WriteFileBytes(folder + L"mp_pak5.pk3", MakeZip({"shared.txt", "b.txt"}));
    WriteFileBytes(folder + L"mp_bin.pk3", MakeZip({"c.txt"}));
    // Its copy of shared.txt differs from the game's: the name in capitals is the same file to the engine.
    WriteFileBytes(folder + L"zzz.pk3", MakeZip({"SHARED.TXT"}));
    const Game game(profile, root.path());
    const LoadOrderReport report = BuildLoadOrder(game);
    const auto before = std::find_if(report.problems.begin(), report.problems.end(),
                                     [](const LoadProblem& p) { return p.kind == ProblemKind::BeforeGame; });
    ASSERT_NE(before, report.problems.end());
    EXPECT_EQ(
        before->problem,
        L"1 of its files is replaced by the game's own archives, because its name sorts before theirs. Its name must "
        L"sort after mp_pak5.pk3, which the game sorts as zz_pak5.pk3 (a name that starts with zz_ in small "
        L"letters does not load), for them to take effect.");
    // Fix: just after the last of the game's archives.
    Names wanted;
    for (const LoadOrderArchive& archive : report.archives) {
        if (archive.file != L"zzz.pk3") wanted.push_back(archive.file);
    }
    wanted.push_back(L"zzz.pk3");
    Names taken;
    for (const LoadOrderArchive& archive : report.archives) taken.push_back(archive.file);
    const ReorderPlan plan = PlanReorder(game, wanted, taken);
    ASSERT_EQ(plan.renames.size(), 1u) << WideToUtf8(plan.failure);
    ASSERT_EQ(RunPlacedChange(game, {L"reordering mods", plan.renames}).result, ChangeResult::Done);
    const std::wstring renamed = plan.renames.front().to;
    const LoadOrderReport after = BuildLoadOrder(game);
    EXPECT_EQ(WinnerOf(after, L"shared.txt"), renamed);
    const EngineAnswer engine = AskEngine(
        {L"Z:\\usr\\lib\\rtcw\\iowolfded", L"probe\\rtcwconsole.log", root.path(), L"probe", L"", {"shared.txt"}});
    EXPECT_EQ(engine.which.at("shared.txt"), L"probe/" + renamed);
    Names order;
    for (const LoadOrderArchive& archive : after.archives) order.push_back(L"probe/" + archive.file);
    EXPECT_EQ(engine.order, order);
}
