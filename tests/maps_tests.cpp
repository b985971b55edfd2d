// The Maps window on real archives: long names from .arena files, a levelshot
// that a later archive replaces, a .tga and a .jpg shown scaled, a map
// without a picture, and the Manager's selection followed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "core/text.h"
#include "games/game.h"
#include "app/main_window.h"
#include "maps/map_list.h"
#include "maps/map_needs.h"
#include "maps/map_references.h"
#include "maps/shader_script.h"
#include "maps/tga_reader.h"
#include "tests/support/engine.h"
#include "tests/support/main_window.h"
#include "tests/support/profiles.h"
#include "tests/support/recorder.h"
#include "tests/support/zip_builder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

namespace {

using Names = std::vector<std::wstring>;

struct Pixel {
    int b, g, r;
};
Pixel At(const Picture& picture, int x, int y) {
    const auto* p = &picture.bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4];
    return {p[0], p[1], p[2]};
}

}  // namespace

TEST(MapList, NamesPicturesAndWhatReplacedThem) {
    TestGame game;
    game.Install(L"maps_one.zip", L"a_one.pk3");
    game.Install(L"maps_two.zip", L"b_two.pk3");
    game.Install(L"maps_three.zip", L"c_three.pk3");
    const LoadOrderReport report = BuildLoadOrder(DemoGame(game.folder));
    const std::vector<GameMap> maps = ListMaps(DemoGame(game.folder), report);
    ASSERT_EQ(maps.size(), 3u);
    EXPECT_EQ(MapRow(maps[0], report),
              (Names{L"alpha", L"Alpha Base", L"a_one.pk3", L"", L"picture from c_three.pk3"}));
    EXPECT_EQ(MapRow(maps[1], report), (Names{L"beta", L"", L"b_two.pk3", L"a_one.pk3", L""}));
    EXPECT_EQ(MapRow(maps[2], report), (Names{L"gamma", L"", L"c_three.pk3", L"", L"no picture"}));
    EXPECT_EQ(maps[1].picture, L"levelshots/beta.jpg");
    // A levelshot that cannot be read is named in the list, before it is shown.
    game.Add(L"d_four.pk3", MakeZip({"maps/delta.bsp", "levelshots/delta.tga"}));
    const LoadOrderReport more = BuildLoadOrder(DemoGame(game.folder));
    EXPECT_EQ(MapRow(ListMaps(DemoGame(game.folder), more)[2], more),
              (Names{L"delta", L"", L"d_four.pk3", L"", L"picture unreadable"}));
    EXPECT_EQ(ReadArenas("{ map \"q3dm1\" longname \"Arena Gate\" }\n{ map q3dm2 longname \"\" }"),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"q3dm1", L"Arena Gate"}}));
}

// A levelshot's bytes, whatever an archive holds: cut short, of another kind,
// or too large, they are refused; run-length rows read as the plain ones.
TEST(MapList, TheTgaReaderTakesOnlyWhatItCanRead) {
    auto header = [](int type, int width, int height, int bits, int descriptor) {
        const unsigned char h[18] = {0,
                                     0,
                                     static_cast<unsigned char>(type),
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     static_cast<unsigned char>(width),
                                     static_cast<unsigned char>(width >> 8),
                                     static_cast<unsigned char>(height),
                                     static_cast<unsigned char>(height >> 8),
                                     static_cast<unsigned char>(bits),
                                     static_cast<unsigned char>(descriptor)};
        return std::string(reinterpret_cast<const char*>(h), 18);
    };
    tga::Image plain, runs;
    ASSERT_TRUE(tga::Read(header(2, 3, 1, 24, 0) + std::string("\x01\x02\x03\x01\x02\x03\x01\x02\x03", 9), plain));
    ASSERT_TRUE(tga::Read(header(10, 3, 1, 24, 0) + std::string("\x82\x01\x02\x03", 4), runs));
    EXPECT_EQ(plain.bgra, runs.bgra);
    EXPECT_FALSE(tga::Read(header(2, 3, 1, 24, 0) + "\x01\x02", plain));
    EXPECT_FALSE(tga::Read(header(10, 3, 1, 24, 0) + std::string("\x85\x01\x02\x03", 4), plain));
    EXPECT_FALSE(tga::Read(header(1, 3, 1, 8, 0) + "abc", plain));
    EXPECT_FALSE(tga::Read(header(2, 9000, 1, 24, 0), plain));
    EXPECT_FALSE(tga::Read(header(2, 0, 1, 24, 0), plain));
    EXPECT_FALSE(tga::Read(header(2, 4097, 1, 24, 0) + std::string(std::size_t{4097} * 3, '\x01'), plain));
    // A stranger's 58 bytes that declare a picture of 4096 by 4096 are refused
    // before anything is allocated for its pixels.
    EXPECT_FALSE(tga::Read(header(10, 4096, 4096, 32, 0) + std::string(40, '\xFF'), plain));
}

// What a map lacks, rule by rule: each row is a name the map uses, and what
// the game will miss for it (nothing, or the file and the disabled archives
// that hold it).
TEST(MapNeeds, FollowTheEnginesRules) {
    TestGame game;
    const std::string script =
        "// the sky and a scripted wall\n"
        "textures/s/scripted\n{\n\tskyparms env/sky 512 -\n\t{\n\t\tmap textures/s/img1.tga\n\t}\n"
        "\t{\n\t\tmap $lightmap\n\t\tblendFunc filter\n\t}\n}\n"
        "textures/s/twice\n{\n\t{\n\t\tclampMap textures/s/first.tga\n\t}\n}\n";
    const std::string entities =
        "{\n\"classname\" \"worldspawn\"\n\"music\" \"music/intro.wav music/loop.wav\"\n}\n"
        "{\n\"classname\" \"misc_model\"\n\"model2\" \"models/m/thing.md3\"\n\"model\" \"*1\"\n}\n"
        "{\n\"classname\" \"target_speaker\"\n\"noise\" \"sound/s/hum.wav\"\n}\n";
    const std::vector<std::string> shaders{"textures/s/scripted",
                                           "textures/s/implicit",
                                           "textures/s/gone",
                                           "noshader",
                                           "textures/s/twice",
                                           "textures/common/clip",
                                           "textures/s/defined_elsewhere.tga"};
    game.Add(L"a.pk3", MakeZipOf({{"maps/m.bsp", MakeBsp(shaders, {0, 1, 2, 3, 4, 6}, {"*white"}, entities)},
                                  {"scripts/s.shader", script},
                                  {"textures/s/img1.tga", "x"},
                                  {"env/sky_rt.tga", "x"},
                                  {"env/sky_bk.jpg", "x"},
                                  {"env/sky_lf.tga", "x"},
                                  {"env/sky_ft.tga", "x"},
                                  {"env/sky_up.tga", "x"},
                                  {"textures/s/implicit.jpg", "x"},
                                  {"models/m/thing.md3", MakeMd3({"models/m/skin", "$whiteimage"})},
                                  {"sound/s/hum.ogg", "x"},
                                  {"music/intro.wav", "x"}}));
    // A later script defines textures/s/twice again: the one that sorts last wins.
    game.Add(L"b.pk3", MakeZipOf({{"scripts/z.shader", "textures/s/twice { { map textures/s/second.tga } }"},
                                  {"textures/s/second.tga", "x"}}));
    game.Add(L"pack.dis",
             MakeZipOf({{"textures/s/gone.tga", "x"},
                        {"env/sky_dn.tga", "x"},
                        {"scripts/d.shader", "textures/s/defined_elsewhere { { map textures/d/x.tga } }"}}));
    const Game demo = DemoGame(game.folder);
    const LoadOrderReport report = BuildLoadOrder(demo);
    const std::vector<GameMap> maps = ListMaps(demo, report);
    ASSERT_EQ(maps.size(), 1u);
    const GameFiles files(demo, report);
    const MapNeeds needs = FindMapNeeds(demo, files, maps).front();
    ASSERT_TRUE(needs.readable);
    std::vector<std::wstring> seen;
    for (const MissingFile& missing : needs.missing) {
        std::wstring row = missing.path + L" for " + (missing.shaders.empty() ? L"" : missing.shaders.front()) + L" in";
        for (const auto& holder : missing.holders) row += L" " + holder;
        seen.push_back(row);
    }
    EXPECT_EQ(seen, (Names{L"env/sky_dn.tga for textures/s/scripted in pack.dis",
                           L"textures/s/gone.tga for textures/s/gone in pack.dis",
                           L"textures/s/defined_elsewhere.tga for textures/s/defined_elsewhere in pack.dis",
                           L"models/m/skin.tga for models/m/skin in", L"music/loop.wav for  in"}));
    // Enabled, the pack supplies all it holds.
    MoveFileW((game.main + L"pack.dis").c_str(), (game.main + L"pack.pk3").c_str());
    const LoadOrderReport after = BuildLoadOrder(demo);
    const MapNeeds less = FindMapNeeds(demo, GameFiles(demo, after), ListMaps(demo, after)).front();
    ASSERT_EQ(less.missing.size(), 3u);
    EXPECT_EQ(less.missing[0].path, L"textures/d/x.tga");
    EXPECT_EQ(ReadMapReferences(std::string_view("IBSP\x3B\0\0\0", 8)).why,
              L"Tarrow cannot read maps of version 59 yet.");
}

// The real renderer as referee: OpenArena's real archives and a real
// third-party map pack, with archives disabled in turn. The shaders Tarrow
// names missing for a map are those whose images the client warns it could
// not find, apart from those the game code asks for whatever the map.
TEST(Referee, TheRendererMissesWhatTarrowNames) {
    const wchar_t* layout = _wgetenv(L"TARROW_OA_LAYOUT");
    if (!layout) GTEST_SKIP() << "runs in the test command, on the layout it makes";
    // The renderer's own, and what the game code shows of its players,
    // weapons, items, effects and menus (some named by their author's disk).
    const std::set<std::string> askedAlways{"sun",         "levelshotdetail", "kamikazeshell", "quaddamage",
                                            "rocketflare", "rocketflare_001", "rocketthrust",  "teleportereffect",
                                            "poopypants",  "grismlambert2sg"};
    const auto gameCode = [&](const std::string& shader) {
        for (const char* prefix : {"gfx/", "ui/", "playeroverlays/", "models/players/", "models/weaphits/",
                                   "models/weapons2/", "models/powerups/"}) {
            if (shader.starts_with(prefix)) return true;
        }
        return askedAlways.contains(shader) || shader.find(":\\") != std::string::npos;
    };
    struct Case {
        const wchar_t* disabled;
        std::vector<std::string> maps;
    };
    for (const Case& c : {Case{L"pak4-textures", {"oacmpdm1", "oacmpctf2", "oa_dm1"}},
                          Case{L"pak6-patch085", {"oacmpdm5"}}, Case{L"pak6-misc", {"oacmpdm3"}}}) {
        const std::wstring base = std::wstring(layout) + L"\\without-" + c.disabled;
        ASSERT_TRUE(PathExists(base + L"\\baseoa\\z_oacmp-volume1-v3.pk3"))
            << "scripts/setup installs openarena-oacmp1";
        ASSERT_TRUE(PathExists(base + L"\\baseoa\\" + c.disabled + L".dis"));
        const Game game(Profile(L"openarena"), base);
        const LoadOrderReport report = BuildLoadOrder(game);
        const std::vector<GameMap> maps = ListMaps(game, report);
        const GameFiles files(game, report);
        NeedsFinder finder(files, true);
        for (const std::string& name : c.maps) {
            const auto map =
                std::find_if(maps.begin(), maps.end(), [&](const GameMap& m) { return m.name == Utf8ToWide(name); });
            if (map == maps.end()) {
                ADD_FAILURE() << name << " is not listed";
                continue;
            }
            std::set<std::string> named;
            for (const MissingFile& missing : finder.Find(*map).missing) {
                for (const std::wstring& shader : missing.shaders) named.insert(WideToUtf8(shader));
            }
            std::set<std::string> warned = AskRenderer(base, name);
            std::erase_if(warned, gameCode);
            std::erase_if(named, gameCode);
            std::vector<std::string> onlyNamed, onlyWarned;
            std::set_difference(named.begin(), named.end(), warned.begin(), warned.end(),
                                std::back_inserter(onlyNamed));
            std::set_difference(warned.begin(), warned.end(), named.begin(), named.end(),
                                std::back_inserter(onlyWarned));
            EXPECT_EQ(onlyNamed, std::vector<std::string>()) << name << " without " << WideToUtf8(c.disabled);
            EXPECT_EQ(onlyWarned, std::vector<std::string>()) << name << " without " << WideToUtf8(c.disabled);
            EXPECT_FALSE(named.empty() && c.disabled == std::wstring(L"pak4-textures")) << name;
        }
    }
}

TEST(MapsWindow, ShowsEachMapsPictureAndFollowsTheManager) {
    PromptRecorder prompts;
    TestGame game;
    game.Install(L"maps_one.zip", L"a_one.pk3");
    game.Install(L"maps_two.zip", L"b_two.pk3");
    game.Install(L"maps_three.zip", L"c_three.pk3");
    const auto form = StartMainWindow();
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsMaps, 0);
    ASSERT_NE(form->Maps(), nullptr);
    frmMaps& maps = *form->Maps();
    EXPECT_EQ(WindowText(maps.hwnd()), L"Maps");
    EXPECT_EQ(WindowText(maps.controls().lblShown), L"All maps");
    ASSERT_EQ(maps.shown().size(), 3u);

    // alpha's picture is c_three's: white in its top left corner, green elsewhere, scaled to the box.
    SelectListViewRow(maps.controls().lvMaps, 0);
    const Picture& shown = maps.shownPicture();
    const UINT dpi = GetDpiForWindow(maps.hwnd());
    const int boxWidth = MulDiv(256, static_cast<int>(dpi), 96) - 4,
              boxHeight = MulDiv(192, static_cast<int>(dpi), 96) - 4;
    EXPECT_EQ(shown.height, boxHeight);
    EXPECT_LE(shown.width, boxWidth);
    EXPECT_EQ(shown.width, shown.height * 8 / 6);
    EXPECT_EQ(At(shown, 0, 0).g, 255);
    EXPECT_EQ(At(shown, 0, 0).r, 255);
    EXPECT_EQ(At(shown, shown.width - 1, shown.height - 1).r, 0);
    EXPECT_EQ(At(shown, shown.width - 1, shown.height - 1).g, 255);
    BITMAP bitmap{};
    const auto image =
        reinterpret_cast<HBITMAP>(SendMessageW(maps.controls().picLevelshot, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(image, nullptr);
    GetObjectW(image, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, shown.width);
    EXPECT_EQ(WindowText(maps.controls().lblPicture), L"levelshots/alpha.tga from c_three.pk3");

    // beta's is a .jpg of one colour, decoded by the platform.
    SelectListViewRow(maps.controls().lvMaps, 1);
    ASSERT_FALSE(maps.shownPicture().bgra.empty());
    EXPECT_EQ(maps.shownPicture().width, maps.shownPicture().height * 40 / 30);
    const Pixel middle = At(maps.shownPicture(), maps.shownPicture().width / 2, maps.shownPicture().height / 2);
    EXPECT_NEAR(middle.r, 0x20, 8);
    EXPECT_NEAR(middle.g, 0x60, 8);
    EXPECT_NEAR(middle.b, 0xc0, 8);
    SelectListViewRow(maps.controls().lvMaps, 2);
    EXPECT_TRUE(maps.shownPicture().bgra.empty());
    EXPECT_EQ(WindowText(maps.controls().lblPicture), L"This map has no picture.");

    // A mod selected in the Manager: only its maps.
    ClickListItem(form->controls().listEnabled, 1);
    EXPECT_EQ(WindowText(maps.controls().lblShown), L"Maps of b_two");
    ASSERT_EQ(maps.shown().size(), 1u);
    EXPECT_EQ(maps.maps()[maps.shown()[0]].name, L"beta");
    EXPECT_TRUE(prompts.asked.empty());
}

// A map pack that needs a disabled texture pack: the Maps window counts what
// the map misses, names the archive that holds it, and its Enable button
// enables that archive as the Manager does, with one Undo.
TEST(MapsWindow, NamesWhatAMapMissesAndEnablesTheArchiveThatHasIt) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"mappack.pk3",
             MakeZipOf({{"maps/ruin.bsp", MakeBsp({"textures/ruin/wall", "textures/ruin/floor"}, {0, 1}, {}, "")},
                        {"maps/plain.bsp", MakeBsp({"textures/ruin/seen"}, {0}, {}, "")},
                        {"textures/ruin/seen.tga", "x"}}));
    game.Add(L"ruin-textures.dis", MakeZipOf({{"textures/ruin/wall.jpg", "x"}, {"textures/ruin/floor.tga", "x"}}));
    const auto form = StartMainWindow();
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsMaps, 0);
    ASSERT_NE(form->Maps(), nullptr);
    frmMaps& maps = *form->Maps();
    ASSERT_TRUE(PumpUntil([&] { return !maps.needs().empty(); }));
    auto cell = [&](int row) {
        wchar_t text[64] = L"";
        ListView_GetItemText(maps.controls().lvMaps, row, 5, text, 64);
        return std::wstring(text);
    };
    EXPECT_EQ(cell(0), L"");
    EXPECT_EQ(cell(1), L"2");
    SelectListViewRow(maps.controls().lvMaps, 1);
    EXPECT_EQ(WindowText(maps.controls().lblMissing), L"The game will miss 2 files of this map:");
    EXPECT_EQ(ListItems(maps.controls().lstMissing), (Names{L"textures/ruin/wall.tga, in ruin-textures.dis",
                                                            L"textures/ruin/floor.tga, in ruin-textures.dis"}));
    EXPECT_EQ(WindowText(maps.controls().cmdEnable), L"Enable ruin-textures");
    ClickAt(maps.controls().cmdEnable, 20, 10);
    EXPECT_TRUE(game.Has(L"ruin-textures.pk3"));
    ASSERT_TRUE(PumpUntil([&] { return !maps.needs().empty() && cell(1).empty(); }));
    EXPECT_EQ(ListItems(form->controls().listEnabled), (Names{L"mappack", L"ruin-textures"}));
    // Undo in the Manager takes it back.
    SetForegroundWindow(form->hwnd());
    PumpPending();
    PressCtrlKey('Z');
    EXPECT_TRUE(PumpUntil([&] { return game.Has(L"ruin-textures.dis"); }));
    EXPECT_TRUE(prompts.asked.empty());
}

// Tools > Files: every file the game sees and those of the disabled archives,
// filtered as the player types, a wildcard too; what a map needs and nothing
// supplies is a row of its own.
TEST(FilesWindow, FiltersEveryFileAsThePlayerTypes) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"mappack.pk3", MakeZipOf({{"maps/ruin.bsp", MakeBsp({"textures/ruin/wall"}, {0}, {}, "")},
                                        {"textures/ruin/seen.tga", "x"}}));
    game.Add(L"later.pk3", MakeZipOf({{"textures/ruin/seen.tga", "y"}}));
    game.Add(L"ruin-textures.dis", MakeZipOf({{"textures/ruin/wall.jpg", "x"}}));
    const auto form = StartMainWindow();
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsFiles, 0);
    ASSERT_NE(form->Files(), nullptr);
    frmFiles& files = *form->Files();
    ASSERT_TRUE(PumpUntil([&] { return files.model() != nullptr; }));
    SetFocus(files.controls().txtFilter);
    for (const WORD key : {WORD{'S'}, WORD{'E'}, WORD{'E'}, WORD{'N'}}) PressKey(key);
    ASSERT_TRUE(PumpUntil([&] { return files.model()->Rows() == 1; }));
    EXPECT_EQ(files.model()->Row(0), (Names{L"textures/ruin/seen.tga", L"mappack.pk3", L"later.pk3", L""}));
    EXPECT_EQ(WindowText(files.controls().lblCount), L"1 of 4 files");
    SetWindowTextW(files.controls().txtFilter, L"TEXTURES/*/WALL.*");
    ASSERT_EQ(files.model()->Rows(), 2u);
    EXPECT_EQ(files.model()->Row(0), (Names{L"textures/ruin/wall.jpg", L"not loaded", L"", L"ruin-textures.dis"}));
    EXPECT_EQ(files.model()->Row(1), (Names{L"textures/ruin/wall.tga", L"missing", L"", L"needed by ruin"}));
    EXPECT_EQ(ListView_GetItemCount(files.controls().lvFiles), 2);
    EXPECT_TRUE(prompts.asked.empty());
}

// Load Order names a map whose missing files a disabled archive holds, and
// its Fix enables that archive after a question.
TEST(LoadOrderWindow, FixEnablesTheArchiveAMapNeeds) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"mappack.pk3",
             MakeZipOf({{"maps/ruin.bsp", MakeBsp({"textures/ruin/wall", "textures/ruin/floor"}, {0, 1}, {}, "")}}));
    game.Add(L"ruin-textures.dis", MakeZipOf({{"textures/ruin/wall.jpg", "x"}, {"textures/ruin/floor.tga", "x"}}));
    const auto form = StartMainWindow();
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsLoadOrder, 0);
    ASSERT_NE(form->LoadOrder(), nullptr);
    frmLoadOrder& window = *form->LoadOrder();
    const auto& problems = window.report().problems;
    const auto found = [&] {
        return std::find_if(problems.begin(), problems.end(),
                            [](const LoadProblem& p) { return p.kind == ProblemKind::MissingFiles; });
    };
    ASSERT_TRUE(PumpUntil([&] { return found() != problems.end(); }));
    EXPECT_EQ(found()->archive, L"mappack.pk3");
    EXPECT_EQ(found()->problem, L"ruin needs 2 files that no enabled archive holds; ruin-textures.dis holds them.");
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window.controls().lvProblems, LVM_SETITEMSTATE, static_cast<WPARAM>(found() - problems.begin()),
                 reinterpret_cast<LPARAM>(&item));
    prompts.buttons = {IDOK};
    ClickAt(window.controls().cmdFix, 20, 10);
    EXPECT_TRUE(game.Has(L"ruin-textures.pk3"));
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(prompts.MessageTexts()[0],
              L"Tarrow will enable ruin-textures: ruin-textures.dis becomes ruin-textures.pk3, and the game loads the "
              L"files it holds.");
}
