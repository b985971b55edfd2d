// Times the compatibility check's work without a window (inventory, walk,
// pairing), the load order and mod discovery on synthetic mods, and prints
// them against the floor and the alternatives.
// Usage: compat_bench [mods] [files per mod]
//        compat_bench --load-order-big   (only the 300 x 2000 load order, for its peak memory)
//        compat_bench --picture FILE     (decoding one levelshot)
//        compat_bench --maps GAMEFOLDER  (the Maps window's list of a game folder)
//        compat_bench --game GAMEFOLDER  (a game recognised, and its Load Order)
//        compat_bench --steam            (the games of twenty Steam libraries)
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/unzip.h"
#include "archive/zip_reader.h"
#include "compat/conflicts.h"
#include "compat/inventory.h"
#include "compat/load_order.h"
#include "compat/reorder.h"
#include "core/directory.h"
#include "core/globals.h"
#include "core/transaction.h"
#include "core/text.h"
#include "games/catalog.h"
#include "games/game.h"
#include "games/steam.h"
#include "maps/map_list.h"
#include "maps/files_model.h"
#include "maps/map_needs.h"
#include "maps/picture.h"
#include "mods/mod_library.h"
#include "tests/support/disk_folder.h"
#include "tests/support/zip_builder.h"

namespace {

double Seconds(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Best(int runs, const std::function<void()>& work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, Seconds(work));
    return best;
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

// A game folder of synthetic mods; about one path in ten is one that every mod shares.
std::vector<std::wstring> MakeMods(const std::wstring& main, int mods, int files) {
    std::vector<std::wstring> names;
    for (int m = 0; m < mods; ++m) {
        std::vector<std::string> entries;
        for (int f = 0; f < files; ++f) {
            const bool shared = f % 10 == 0;
            entries.push_back(shared ? "maps/shared/map" + std::to_string(f) + ".bsp"
                                     : "mod" + std::to_string(m) + "/sub" + std::to_string(f % 7) + "/file" +
                                           std::to_string(f) + ".dat");
        }
        names.push_back(L"mod" + std::to_wstring(m));
        std::ofstream((main + names.back() + L".pk3").c_str(), std::ios::binary) << MakeZip(entries);
    }
    return names;
}

void WalkExtracted(WorkLists& lists, bool list, const std::wstring& mod, const std::wstring& root) {
    ModFolder folder;
    AddFromDisk(folder, root, L"");
    FindFiles(lists, list, mod, folder);
}

void RemoveGame(const std::wstring& game) {
    const std::wstring main = game + L"\\main\\";
    DirectoryWalk walk(main + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) DeleteFileW((main + entry.cFileName).c_str());
    RemoveDirectoryW(main.c_str());
    RemoveDirectoryW(game.c_str());
}

double ReadDirectories(const std::wstring& main, const std::vector<std::wstring>& archives) {
    return Best(10, [&] {
        for (const auto& archive : archives) {
            const std::string bytes = ReadAll(main + archive);
            zip::MemorySource source(bytes);
            zip::Directory directory;
            zip::ReadDirectory(source, directory);
        }
    });
}

// One planned move in Load Order: a mod moved one place, the winners of every
// shared file recomputed from the report, and the names chosen. Milliseconds
// per move; no archive is read.
double ReorderPerMove(const LoadOrderReport& report) {
    std::vector<std::size_t> order(report.archives.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::wstring> taken;
    for (const auto& archive : report.archives) taken.push_back(archive.file);
    constexpr int kMoves = 20;
    const double seconds = Seconds([&] {
        for (int move = 0; move < kMoves; ++move) {
            const std::size_t at = static_cast<std::size_t>(move * 7) % (order.size() - 1);
            if (report.archives[order[at]].game || report.archives[order[at + 1]].game) continue;
            std::swap(order[at], order[at + 1]);
            const LoadOrderReport planned = PlannedReport(report, order);
            std::vector<std::wstring> wanted;
            for (const auto& archive : planned.archives) wanted.push_back(archive.file);
            PlanReorder(DemoGame({}), wanted, taken);
        }
    });
    return seconds * 1000.0 / kMoves;
}

// The 300 x 2000 load order alone, so that the peak working set is its own.
int LoadOrderBig() {
    const std::wstring game = TempFolder() + L"tarrow-bench-big-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(game.c_str(), nullptr);
    CreateDirectoryW((game + L"\\main").c_str(), nullptr);
    const std::wstring main = game + L"\\main\\";
    const std::vector<std::wstring> names = MakeMods(main, 300, 2000);
    std::vector<std::wstring> archives;
    archives.reserve(names.size());
    for (const auto& name : names) archives.push_back(name + L".pk3");
    const double floor = ReadDirectories(main, archives);
    LoadOrderReport report;
    const double seconds = Seconds([&] { report = BuildLoadOrder(DemoGame(game)); });
    const size_t shared = report.shared.size();
    PROCESS_MEMORY_COUNTERS memory{sizeof memory};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    const double perMove = ReorderPerMove(report);
    // A switch as the Manager makes it, then the re-read that follows it.
    const std::wstring switched = main + names[150];
    MoveFileExW((switched + L".pk3").c_str(), (switched + L".dis").c_str(), 0);
    const double again = Seconds([&] { report = BuildLoadOrder(DemoGame(game)); });
    // Tools > Files over every path: the player types a path, then a wildcard.
    const GameFiles files(DemoGame(game), report);
    FilesModel model(files, {}, {});
    const std::wstring typed = L"mod150/sub3/file1";
    double typing = 0, slowest = 0;
    for (std::size_t n = 1; n <= typed.size() + 1; ++n) {
        const std::wstring text = n <= typed.size() ? typed.substr(0, n) : L"*/sub3/*.dat";
        const double one = Seconds([&] { model.Filter(text); });
        typing += one;
        slowest = std::max(slowest, one);
    }
    const double perKeystroke = typing * 1000.0 / static_cast<double>(typed.size() + 1);
    const std::size_t paths = model.AllRows();
    RemoveGame(game);
    std::printf(
        "load order 300x2000: %.3f s, %.2f x floor, peak memory %.0f MB (targets <= 2 x floor, <= 150 MB; "
        "floor %.3f s, %zu shared files)\n",
        seconds, seconds / floor, static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0), floor, shared);
    std::printf("load order 300x2000 again after one switch: %.3f s (%.3f x the first; targets <= 0.1 s, <= 0.1 x)\n",
                again, again / seconds);
    std::printf("reorder plan 300x2000: %.1f ms per move (target <= 200 ms)\n", perMove);
    std::printf("files filter 300x2000: %.1f ms per keystroke (target <= 50 ms; slowest %.1f ms; %zu paths)\n",
                perKeystroke, slowest * 1000.0, paths);
    return 0;
}

// The program's own work of a refresh: scan main and fill both sorted lists.
double Discovery(const std::wstring& game) {
    const std::wstring main = game + L"\\main\\";
    for (int i = 0; i < 1000; ++i) {
        std::ofstream((main + L"archive" + std::to_wstring(i) + (i % 4 ? L".pk3" : L".dis")).c_str()) << "PK";
    }
    HWND enabled = CreateWindowExW(0, L"LISTBOX", nullptr, LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    HWND disabled = CreateWindowExW(0, L"LISTBOX", nullptr, LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr,
                                    nullptr, nullptr);
    const double seconds = Best(10, [&] {
        SendMessageW(enabled, LB_RESETCONTENT, 0, 0);
        SendMessageW(disabled, LB_RESETCONTENT, 0, 0);
        const ModLists lists = ScanMods(DemoGame(game));
        for (const auto& name : lists.enabled)
            SendMessageW(enabled, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        for (const auto& name : lists.disabled)
            SendMessageW(disabled, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    });
    DestroyWindow(enabled);
    DestroyWindow(disabled);
    return seconds;
}

}  // namespace

// Decoding one levelshot as the Maps window does, from its bytes.
int DecodeLevelshot(const char* path) {
    const std::string bytes = ReadAll(Utf8ToWide(path));
    Picture picture;
    if (!DecodePicture(L"levelshot.jpg", bytes, picture)) {
        std::printf("levelshot decode: %s is not a picture\n", path);
        return 1;
    }
    const double seconds = Best(5, [&] { DecodePicture(L"levelshot.jpg", bytes, picture); });
    std::printf("levelshot decode %.0f KB jpeg %dx%d: %.1f ms (target <= 50 ms)\n",
                static_cast<double>(bytes.size()) / 1024.0, picture.width, picture.height, seconds * 1000.0);
    return 0;
}

// The game a folder holds, as Add Game Folder recognises it; the demo when none.
Game GameIn(const std::wstring& folder) {
    const std::vector<Game> games = RecognizeGames(folder);
    return games.empty() ? DemoGame(folder) : games.front();
}

// A game folder added by hand: its recognition, and its Load Order from
// nothing and again.
int LoadGame(const char* folder) {
    const std::wstring path = Utf8ToWide(folder);
    Game game = DemoGame(path);
    const double discovery = Best(5, [&] { game = GameIn(path); });
    LoadOrderReport report;
    const double cold = Seconds([&] {
        ForgetListings();
        report = BuildLoadOrder(game);
    });
    const double warm = Best(5, [&] { report = BuildLoadOrder(game); });
    std::printf("game discovery (%ls): %.1f ms (target <= 100 ms)\n", std::wstring(game.profile().name).c_str(),
                discovery * 1000.0);
    std::printf("load order of %ls's %zu own archives, %zu shared files: %.3f s, again %.3f s (target <= 1 s)\n",
                std::wstring(game.profile().name).c_str(), report.archives.size(), report.shared.size(), cold, warm);
    return 0;
}

// Twenty Steam libraries, each with a manifest and a folder for every game of
// ours on Steam, each game with five mod folders: the games found in them, and
// their mod folders, as File > Game finds them.
int FindSteamGames() {
    const std::wstring root = TempFolder() + L"tarrow-bench-steam-" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> libraries;
    for (int l = 0; l < 20; ++l) {
        const std::wstring library = root + L"\\Library" + std::to_wstring(l);
        libraries.push_back(library);
        for (const GameProfile& profile : GameProfiles()) {
            if (profile.steamApp == 0) continue;
            const std::wstring dir = std::wstring(profile.name).substr(0, 8) + std::to_wstring(profile.steamApp);
            std::wstring archives = library;
            archives += L"\\steamapps\\common\\";
            archives += dir;
            if (!profile.below.empty()) archives += L"\\" + std::wstring(profile.below);
            archives += L"\\" + std::wstring(profile.archiveFolder);
            SHCreateDirectoryExW(nullptr, archives.c_str(), nullptr);
            const std::wstring game = archives.substr(0, archives.size() - profile.archiveFolder.size() - 1);
            for (int m = 0; m < 5; ++m) {
                const std::wstring mod =
                    game + (profile.modsFolder.empty() ? L"" : L"\\Mods") + L"\\mod" + std::to_wstring(m);
                SHCreateDirectoryExW(nullptr, mod.c_str(), nullptr);
                std::ofstream((mod + L"\\zz-mod.pk3").c_str()) << "PK";
            }
            std::ofstream(
                (library + L"\\steamapps\\appmanifest_" + std::to_wstring(profile.steamApp) + L".acf").c_str())
                << "\"AppState\"\n{\n\t\"installdir\"\t\"" << WideToUtf8(dir) << "\"\n}\n";
        }
    }
    std::size_t found = 0;
    const double seconds = Best(3, [&] { found = SteamGames(libraries).size(); });
    std::printf("steam discovery of 20 libraries, %zu games: %.1f ms (target <= 500 ms)\n", found, seconds * 1000.0);
    const std::vector<Game> games = SteamGames(libraries);
    std::size_t mods = 0;
    const double modSeconds = Best(3, [&] {
        mods = 0;
        for (const Game& game : games) mods += FindModFolders(game).size();
    });
    std::printf("mod folders of %zu games, %zu found: %.1f ms (target <= 500 ms)\n", games.size(), mods,
                modSeconds * 1000.0);
    SHFILEOPSTRUCTW remove{nullptr, FO_DELETE};
    const std::wstring from = root + L'\0';
    remove.pFrom = from.c_str();
    remove.fFlags = FOF_NO_UI;
    SHFileOperationW(&remove);
    return 0;
}

// The Maps window's list of a game folder, read from nothing, as when it opens.
int ListGameMaps(const char* folder) {
    const Game game = GameIn(Utf8ToWide(folder));
    std::size_t count = 0, archives = 0;
    const double seconds = Seconds([&] {
        ForgetListings();
        const LoadOrderReport report = LoadedArchives(game);
        archives = report.archives.size();
        count = ListMaps(game, report).size();
    });
    std::printf("maps list of %zu archives, %zu maps: %.3f s (target <= 0.3 s)\n", archives, count, seconds);
    // What every map will miss, from nothing: the game's files indexed, each map read.
    std::size_t missing = 0;
    const double needSeconds = Seconds([&] {
        ForgetListings();
        const LoadOrderReport report = BuildLoadOrder(game);
        const std::vector<GameMap> maps = ListMaps(game, report);
        const GameFiles files(game, report);
        for (const MapNeeds& needs : FindMapNeeds(game, files, maps)) missing += needs.missing.size();
        count = maps.size();
    });
    std::printf("missing files of %zu maps: %.3f s (target < 1 s; %zu files missing)\n", count, needSeconds, missing);
    return 0;
}

// A map collection at the game's limit: 1,000 archives of 100 files each, a
// map, its picture and .arena and its textures in each; Load Order and Maps
// as they open on it, read from nothing.
int MapCollection() {
    const std::wstring game = TempFolder() + L"tarrow-bench-maps-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(game.c_str(), nullptr);
    CreateDirectoryW((game + L"\\main").c_str(), nullptr);
    const std::wstring main = game + L"\\main\\";
    std::vector<std::wstring> archives;
    for (int m = 0; m < 1000; ++m) {
        const std::string map = "m" + std::to_string(m);
        std::vector<std::pair<std::string, std::string>> entries{
            {"maps/" + map + ".bsp", MakeBsp({"textures/" + map + "/t0", "textures/common/sky"}, {0, 1}, {}, "")},
            {"levelshots/" + map + ".jpg", "jpg"},
            {"scripts/" + map + ".arena", std::string("{ map ") + map + " longname \"Map\" }"}};
        for (int t = 0; entries.size() < 100; ++t)
            entries.push_back({"textures/" + map + "/t" + std::to_string(t) + ".tga", "tga"});
        archives.push_back(L"map" + std::to_wstring(m) + L".pk3");
        std::ofstream((main + archives.back()).c_str(), std::ios::binary) << MakeZipOf(entries);
    }
    const double floor = ReadDirectories(main, archives);
    const Game demo = DemoGame(game);
    LoadOrderReport report;
    const double loadOrder = Seconds([&] {
        ForgetListings();
        report = BuildLoadOrder(demo);
    });
    std::size_t count = 0;
    // As the window opens: the names first; long names, notes and needs follow on a thread.
    const double maps = Seconds([&] {
        ForgetListings();
        const LoadOrderReport read = LoadedArchives(demo);
        count = ListMaps(demo, read, MapDetails::Later).size();
    });
    RemoveGame(game);
    std::printf("load order 1000x100: %.3f s, %.2f x floor (target <= 0.5 s; floor %.3f s)\n", loadOrder,
                loadOrder / floor, floor);
    std::printf("maps 1000x100: %.3f s (target <= 0.5 s; %zu maps)\n", maps, count);
    return 0;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--load-order-big") return LoadOrderBig();
    if (argc > 1 && std::string(argv[1]) == "--map-collection") return MapCollection();
    if (argc > 2 && std::string(argv[1]) == "--picture") return DecodeLevelshot(argv[2]);
    if (argc > 2 && std::string(argv[1]) == "--maps") return ListGameMaps(argv[2]);
    if (argc > 2 && std::string(argv[1]) == "--game") return LoadGame(argv[2]);
    if (argc > 1 && std::string(argv[1]) == "--steam") return FindSteamGames();
    const int mods = argc > 1 ? std::atoi(argv[1]) : 40;
    const int files = argc > 2 ? std::atoi(argv[2]) : 500;

    const std::wstring temp = TempFolder();
    const std::wstring game = temp + L"tarrow-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring main = game + L"\\main\\";
    CreateDirectoryW(game.c_str(), nullptr);
    CreateDirectoryW(main.c_str(), nullptr);
    const std::vector<std::wstring> names = MakeMods(main, mods, files);

    WorkLists lists;
    auto inventory = [&] {
        lists = WorkLists{};
        for (int m = 0; m < mods; ++m) {
            ModFolder folder;
            UnpackMod(main, names[static_cast<size_t>(m)] + L".pk3", folder);
            FindFiles(lists, m == 0, names[static_cast<size_t>(m)], folder);
        }
    };
    // Cold: every archive is read again, as after a start or a change.
    const double check = Best(10, [&] {
        ForgetListings();
        inventory();
        PairConflicts(lists);
    });
    const double warm = Best(10, [&] {
        inventory();
        PairConflicts(lists);
    });
    const size_t conflicts = lists.List3.size();
    WorkLists nested = lists;
    nested.List3.clear();
    WorkLists indexed = nested;
    const double pairIndexed = Best(5, [&] {
        indexed.List3.clear();
        PairConflicts(indexed);
    });
    const double pairNested = Seconds([&] { PairConflictsNested(nested); });

    std::vector<std::wstring> archives;
    archives.reserve(names.size() + 1);
    for (const auto& name : names) archives.push_back(name + L".pk3");
    const double floor = ReadDirectories(main, archives);

    // The load order: the same mods and a pak0.pk3 of 20,000 entries.
    {
        std::vector<std::string> entries;
        entries.reserve(20000 + static_cast<size_t>(files));
        for (int f = 0; f < 20000; ++f)
            entries.push_back("base/part" + std::to_string(f % 50) + "/file" + std::to_string(f) + ".dat");
        for (int f = 0; f < files; f += 10) entries.push_back("maps/shared/map" + std::to_string(f) + ".bsp");
        std::ofstream((main + L"pak0.pk3").c_str(), std::ios::binary) << MakeZip(entries);
    }
    archives.push_back(L"pak0.pk3");
    const double loadOrder = Best(5, [&] {
        ForgetListings();
        BuildLoadOrder(DemoGame(game));
    });
    const double loadOrderWarm = Best(5, [&] { BuildLoadOrder(DemoGame(game)); });
    // A switch as the Manager makes it, then the re-read that follows it.
    const std::wstring switched = main + names[static_cast<size_t>(mods / 2)];
    MoveFileExW((switched + L".pk3").c_str(), (switched + L".dis").c_str(), 0);
    const double loadOrderSwitched = Seconds([&] { BuildLoadOrder(DemoGame(game)); });
    MoveFileExW((switched + L".dis").c_str(), (switched + L".pk3").c_str(), 0);
    const double reorderMove = ReorderPerMove(BuildLoadOrder(DemoGame(game)));
    const double loadOrderFloor = ReadDirectories(main, archives);
    DeleteFileW((main + L"pak0.pk3").c_str());

    const double disk = Seconds([&] {
        WorkLists onDisk;
        for (int m = 0; m < mods; ++m) {
            using namespace VBUnzBas;
            Options = UnzipOptions{};
            Options.noflag = 1;
            Options.ndflag = 1;
            IncludeCount = 0;
            const std::wstring folder = std::wstring(temp) + L"tarrow-bench-disk-" + std::to_wstring(m);
            ZipFileName = main + names[static_cast<size_t>(m)] + L".pk3";
            ExtractDir = folder;
            RunUnzip();
            WalkExtracted(onDisk, m == 0, names[static_cast<size_t>(m)], folder);
            Globals::RemoveFolder(folder);
        }
    });

    for (const auto& name : names) DeleteFileW((main + name + L".pk3").c_str());
    const double discovery = Discovery(game);
    // One switch as the buttons make it: its journal written, flushed and removed.
    std::ofstream((main + L"switch.pk3").c_str()) << "PK";
    bool enabled = true;
    const double journalSwitch = Best(20, [&] {
        RunChange(main,
                  {L"switching", {{enabled ? L"switch.pk3" : L"switch.dis", enabled ? L"switch.dis" : L"switch.pk3"}}});
        enabled = !enabled;
    });
    DeleteFileW((main + (enabled ? L"switch.pk3" : L"switch.dis")).c_str());
    RemoveGame(game);

    std::printf("mods %d x %d files, %zu conflict lines, %zu + %zu inventory entries\n", mods, files, conflicts,
                lists.list1.size(), lists.list2.size());
    std::printf("whole check (inventory, walk, pairing): %.3f s (target <= 0.300 s)\n", check);
    std::printf("floor (read every central directory):   %.3f s; check / floor = %.2f (target <= 2)\n", floor,
                check / floor);
    std::printf("the check again, archives unchanged:    %.3f s (%.2f x floor)\n", warm, warm / floor);
    std::printf("load order 40x500+pak0: %.3f s, %.2f x floor (targets <= 0.150 s, <= 3 x; floor %.3f s)\n", loadOrder,
                loadOrder / loadOrderFloor, loadOrderFloor);
    std::printf("the load order again, archives unchanged: %.3f s\n", loadOrderWarm);
    std::printf("load order 40x500+pak0 again after one switch: %.3f s (%.3f x the first)\n", loadOrderSwitched,
                loadOrderSwitched / loadOrder);
    std::printf("reorder plan 40x500+pak0: %.2f ms per move (target <= 10 ms)\n", reorderMove);
    std::printf("discovery of 1000 archives: %.1f ms (target <= 50 ms)\n", discovery * 1000.0);
    std::printf("switch through the journal: %.1f ms (target <= 20 ms)\n", journalSwitch * 1000.0);
    std::printf("pairing: indexed %.4f s, nested loop %.3f s; nested / indexed = %.0f (target >= 100)\n", pairIndexed,
                pairNested, pairNested / pairIndexed);
    std::printf("for reference, unpacking to a real folder and walking it: %.3f s (%.1f x the check)\n", disk,
                disk / check);
    std::printf("identical List3 from both pairings: %s\n", nested.List3 == indexed.List3 ? "yes" : "NO");
    return nested.List3 == indexed.List3 ? 0 : 1;
}
