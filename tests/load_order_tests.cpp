// The load order: the game's rules on real archives in a real main folder,
// and the Load Order window under Xvfb.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "games/game.h"
#include "app/main_window.h"
#include "compat/inventory.h"
#include "compat/load_order.h"
#include "core/file_system.h"
#include "core/handles.h"
#include "core/text.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

// A main folder with one of every problem, and shared files won and lost.
void LayOutGame(const TestGame& game) {
    game.Install(L"info_none.zip", L"\u00fcn\u00ef.pk3");
    game.Install(L"lo_early.zip", L"aaa.pk3");
    game.Install(L"zip64.zip", L"big.pk3");
    game.Install(L"lo_solo.zip", L"both.pk3");
    game.Install(L"lo_solo.zip", L"both.dis");
    game.Install(L"notzip.zip", L"broken.pk3");
    game.Install(L"lo_methods.zip", L"methods.pk3");
    game.Install(L"lo_dead.zip", L"mod_dead.pk3");
    game.Install(L"lo_one.zip", L"mod_one.pk3");
    game.Install(L"lo_game.zip", L"pak0.pk3");
    game.Install(L"lo_solo.zip", L"Upper.PK3");
    game.Install(L"lo_two.zip", L"zz_two.pk3");
    game.Install(L"lo_dead.zip", L"ignored.dis");
}

const wchar_t kExpected[] =
    L"Order\tArchive\tFiles\tWins\tOverridden\tNote\r\n"
    L"1\t\u00fcn\u00ef.pk3\t1\t0\t0\t\r\n"
    L"2\taaa.pk3\t2\t0\t1\t\r\n"
    L"3\tboth.pk3\t1\t0\t0\tsame as Upper.PK3\r\n"
    L"4\tmethods.pk3\t3\t0\t0\t\r\n"
    L"5\tmod_dead.pk3\t1\t0\t1\tno effect\r\n"
    L"6\tmod_one.pk3\t2\t0\t2\tno effect\r\n"
    L"7\tpak0.pk3\t2\t1\t1\tgame\r\n"
    L"8\tUpper.PK3\t1\t1\t0\t\r\n"
    L"9\tzz_two.pk3\t2\t2\t0\t\r\n"
    L"\r\n"
    L"File\tUsed from\tOverridden in\tSame\r\n"
    L"default.cfg\tpak0.pk3\taaa.pk3\t\r\n"
    L"maps\\a.bsp\tzz_two.pk3\tmod_one.pk3, pak0.pk3\t\r\n"
    L"solo\\only.txt\tUpper.PK3\tboth.pk3\tidentical\r\n"
    L"sound\\X.WAV\tzz_two.pk3\tmod_dead.pk3, mod_one.pk3\t\r\n"
    L"\r\n"
    L"Archive\tProblem\r\n"
    L"\u00fcn\u00ef.pk3\tIts name has characters outside ASCII, so its place in the load order depends on the game's "
    L"code page.\r\n"
    L"aaa.pk3\t1 of its files is replaced by the game's own archives, because its name sorts before theirs. Its "
    L"name must sort after pak0.pk3 for them to take effect.\r\n"
    L"big.pk3\tThe game cannot open it: it is a zip64 archive, which the game's reader predates.\r\n"
    L"both.pk3\tIt is also in main as both.dis. Tarrow cannot switch this mod until one of them is gone.\r\n"
    L"broken.pk3\tThe game cannot open it: it is not a zip archive.\r\n"
    L"methods.pk3\t2 entries the game cannot read: BZip2, LZMA.\r\n"
    L"mod_dead.pk3\tEvery one of its files is replaced by a later archive, so it has no effect.\r\n"
    L"mod_one.pk3\tEvery one of its files is replaced by a later archive, so it has no effect.\r\n"
    L"Upper.PK3\tIt holds the same files as both.pk3, with the same contents: both.pk3 is a copy that the game "
    L"loads for nothing.\r\n"
    L"Upper.PK3\tIts extension is not .pk3 in lower case: the game loads it, but the Manager lists it as "
    L"Upper.PK3 and cannot switch it.\r\n";

void Command(HWND window, int id) { SendMessageW(window, WM_COMMAND, id, 0); }

}  // namespace

TEST(GameOrder, FollowsTheGamesByteOrder) {
    struct Case {
        const wchar_t *first, *second;
    };
    // Each first name loads before its second.
    for (const Case& c :
         {Case{L"zzz.pk3", L"zz_x.pk3"}, Case{L"z.pk3", L"_a.pk3"}, Case{L"1.pk3", L"a.pk3"}, Case{L"9.pk3", L"A.pk3"},
          Case{L"localized_english_pak0.pk3", L"pak0.pk3"}, Case{L"pak0.pk3", L"PAK1.pk3"},
          Case{L"ab.pk3", L"ab_c.pk3"}, Case{L"\u00e9.pk3", L"0.pk3"}, Case{L"aaa.pk3", L"pak0.pk3"},
          // Localized archives are the weakest tier, whatever their names.
          Case{L"localized_english_pak0.pk3", L"aaa.pk3"}, Case{L"Localized_English_zz.pk3", L"0.pk3"},
          Case{L"localized_english_a.pk3", L"localized_english_pak0.pk3"},
          Case{L"localized_german_z.pk3", L"localizedx.pk3"}}) {
        EXPECT_TRUE(DemoGame({}).LoadsBefore(c.first, c.second)) << c.first << L" " << c.second;
        EXPECT_FALSE(DemoGame({}).LoadsBefore(c.second, c.first)) << c.second << L" " << c.first;
    }
    EXPECT_TRUE(DemoGame({}).LoadsArchive(L"LOCALIZED_ENGLISH_x.pk3"));
    EXPECT_TRUE(DemoGame({}).LoadsArchive(L"localizedx.pk3"));
    EXPECT_FALSE(DemoGame({}).LoadsArchive(L"localized_german_pak0.pk3"));
    EXPECT_FALSE(DemoGame({}).LoadsArchive(L"localized_englishx.pk3"));
    // Letter case does not order names.
    EXPECT_FALSE(DemoGame({}).LoadsBefore(L"Alpha.pk3", L"alpha.PK3"));
    EXPECT_FALSE(DemoGame({}).LoadsBefore(L"alpha.PK3", L"Alpha.pk3"));
}

TEST(GameOrder, APathIsOneFileWhateverItsCaseAndSeparators) {
    EXPECT_TRUE(SamePath("Maps\\A.bsp", "maps/a.bsp"));
    EXPECT_TRUE(SamePath("SOUND/x.WAV", "sound\\X.wav"));
    EXPECT_FALSE(SamePath("maps/a.bsp", "maps/a.bsq"));
    EXPECT_FALSE(SamePath("maps/a.bsp", "maps/a.bsp2"));
    // Only ASCII letters fold.
    EXPECT_FALSE(SamePath("\xC3\x89", "\xC3\xA9"));
}

TEST(LoadOrder, TheWholeReportOfAFolderWithEveryProblem) {
    TestGame game(false);
    LayOutGame(game);
    const LoadOrderReport report = BuildLoadOrder(DemoGame(game.folder));
    EXPECT_EQ(LoadOrderText(report), kExpected);
    // An unchanged archive is served from memory; a changed one is read again.
    game.Install(L"lo_dead.zip", L"zz_two.pk3");
    const std::wstring text = LoadOrderText(BuildLoadOrder(DemoGame(game.folder)));
    EXPECT_NE(text.find(L"9\tzz_two.pk3\t1\t1\t0\t\r\n"), std::wstring::npos) << text;
}

// What the inventory keeps between reads gives, byte for byte, what a read
// from nothing gives: random folders through random switches, renames,
// replacements, and rewrites of the same size and time as another file.
TEST(LoadOrder, AReadThroughTheKeptListingsEqualsAReadFromNothing) {
    unsigned seed = 11;
    auto random = [&](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
    auto archive = [&](char letter) {
        std::vector<std::string> names;
        for (unsigned i = 0, n = 1 + random(6); i < n; ++i) {
            names.push_back("maps/" + std::string(1, letter) + std::to_string(random(9)) + ".bsp");
        }
        return MakeZip(names);
    };
    for (int folder = 0; folder < 4; ++folder) {
        TempFolder game;
        const std::wstring main = game / L"main\\";
        std::vector<std::wstring> mods;
        for (int i = 0; i < 10; ++i) {
            mods.push_back(L"mod" + std::to_wstring(i) + (random(4) ? L".pk3" : L".dis"));
            WriteFileBytes(main + mods.back(), archive('a'));
        }
        BuildLoadOrder(DemoGame(game.path()));
        for (int step = 0; step < 12; ++step) {
            std::wstring& mod = mods[random(static_cast<unsigned>(mods.size()))];
            const std::wstring path = main + mod;
            switch (random(4)) {
            case 0: {  // a switch, as the Manager makes it
                const std::wstring other = WithoutExtension(mod) + (mod.ends_with(L".pk3") ? L".dis" : L".pk3");
                ASSERT_TRUE(MoveFileExW(path.c_str(), (main + other).c_str(), 0));
                mod = other;
                break;
            }
            case 1: {  // a rename, as a reorder makes it
                const std::wstring other = L"Z" + std::to_wstring(step) + L"^" + mod;
                ASSERT_TRUE(MoveFileExW(path.c_str(), (main + other).c_str(), 0));
                mod = other;
                break;
            }
            case 2:  // a replacement of another size
                ASSERT_TRUE(DeleteFileW(path.c_str()));
                WriteFileBytes(path, archive('b') + std::string(1 + random(5), 'x'));
                break;
            default: {  // another file of the same size and time in its place
                const std::string before = ReadFileBytes(path);
                std::string after = before;
                for (char& c : after) c = c == 'a' ? 'c' : c;
                FILETIME written{};
                {
                    const FileHandle old(
                        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
                    GetFileTime(old.get(), nullptr, nullptr, &written);
                }
                WriteFileBytes(main + L"new.tmp", after);
                {
                    const FileHandle fresh(
                        CreateFileW((main + L"new.tmp").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
                    SetFileTime(fresh.get(), nullptr, nullptr, &written);
                }
                ASSERT_TRUE(DeleteFileW(path.c_str()));
                ASSERT_TRUE(MoveFileExW((main + L"new.tmp").c_str(), path.c_str(), 0));
                break;
            }
            }
            const std::wstring kept = LoadOrderText(BuildLoadOrder(DemoGame(game.path())));
            ForgetListings();
            EXPECT_EQ(kept, LoadOrderText(BuildLoadOrder(DemoGame(game.path()))))
                << "folder " << folder << ", step " << step;
        }
    }
}

TEST(LoadOrder, LocalizedArchivesAreTheWeakestAndOnlyTheGamesLanguageLoads) {
    TestGame game(false);
    game.Install(L"lo_game.zip", L"localized_english_pak0.pk3");
    game.Install(L"lo_two.zip", L"aaa_tweaks.pk3");
    game.Install(L"lo_dead.zip", L"localized_english_mine.pk3");
    game.Install(L"lo_solo.zip", L"localized_german_pak0.pk3");
    EXPECT_EQ(LoadOrderText(BuildLoadOrder(DemoGame(game.folder))),
              L"Order\tArchive\tFiles\tWins\tOverridden\tNote\r\n"
              L"1\tlocalized_english_mine.pk3\t1\t0\t1\tno effect\r\n"
              L"2\tlocalized_english_pak0.pk3\t2\t0\t1\tgame\r\n"
              L"3\taaa_tweaks.pk3\t2\t2\t0\t\r\n"
              L"\r\n"
              L"File\tUsed from\tOverridden in\tSame\r\n"
              L"maps\\a.bsp\taaa_tweaks.pk3\tlocalized_english_pak0.pk3\t\r\n"
              L"sound\\X.WAV\taaa_tweaks.pk3\tlocalized_english_mine.pk3\t\r\n"
              L"\r\n"
              L"Archive\tProblem\r\n"
              L"localized_english_mine.pk3\tIts name starts with localized_, so the game loads it after every other "
              L"archive.\r\n"
              L"localized_english_mine.pk3\tEvery one of its files is replaced by a later archive, so it has no "
              L"effect.\r\n"
              L"localized_german_pak0.pk3\tThe game loads localized archives of its own language (english) only.\r\n");
}

class LoadOrderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        LayOutGame(game);
        form = StartMainWindow();
        Command(form->hwnd(), frmMain::mnuToolsLoadOrder);
        PumpPending();
        ASSERT_NE(form->LoadOrder(), nullptr);
        window = form->LoadOrder()->hwnd();
    }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    std::unique_ptr<frmMain> form;
    HWND window = nullptr;
};

TEST_F(LoadOrderWindow, OpensOnceFollowsTheListsAndClosesWithEsc) {
    EXPECT_EQ(WindowText(window), L"Load Order");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(WindowText(form->LoadOrder()->controls().lblFolder), L"Folder: " + game.folder + L"\\main");
    Command(form->hwnd(), frmMain::mnuToolsLoadOrder);
    EXPECT_EQ(form->LoadOrder()->hwnd(), window);
    // A re-read of the Manager's lists rebuilds it.
    game.Install(L"lo_solo.zip", L"zzz_last.pk3");
    EXPECT_EQ(form->LoadOrder()->report().archives.size(), 9u);
    SendMessageW(form->controls().cmdRefreshMods, BM_CLICK, 0, 0);
    EXPECT_EQ(form->LoadOrder()->report().archives.size(), 10u);
    SetForegroundWindow(window);
    PumpPending();
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(LoadOrderWindow, CopySelectionAndSort) {
    const auto& c = form->LoadOrder()->controls();
    SendMessageW(c.cmdCopy, BM_CLICK, 0, 0);
    EXPECT_EQ(ClipboardText(), kExpected);
    // Selecting mod_one (order 6) shows only the paths it holds.
    LVITEMW select{};
    select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(c.lvArchives, LVM_SETITEMSTATE, 5, reinterpret_cast<LPARAM>(&select));
    const auto& report = form->LoadOrder()->report();
    auto shownPaths = [&] {
        Names paths;
        for (size_t i : form->LoadOrder()->SharedShown()) paths.push_back(report.shared[i].path);
        return paths;
    };
    EXPECT_EQ(shownPaths(), (Names{L"maps\\a.bsp", L"sound\\X.WAV"}));
    SendMessageW(c.cmdAll, BM_CLICK, 0, 0);
    EXPECT_EQ(shownPaths().size(), 4u);
    // A real click on the "Used from" header sorts by it; the copy keeps its order.
    HWND header = reinterpret_cast<HWND>(SendMessageW(c.lvShared, LVM_GETHEADER, 0, 0));
    RECT r{};
    SendMessageW(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    ClickAt(header, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    EXPECT_EQ(shownPaths(), (Names{L"default.cfg", L"solo\\only.txt", L"maps\\a.bsp", L"sound\\X.WAV"}));
    SendMessageW(c.cmdCopy, BM_CLICK, 0, 0);
    EXPECT_EQ(ClipboardText(), kExpected);
    // Save writes the same text as UTF-8.
    prompts.files = {game.temp / L"load-order.txt"};
    SendMessageW(c.cmdSave, BM_CLICK, 0, 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"load-order.txt");
    EXPECT_EQ(ReadFileBytes(game.temp / L"load-order.txt"), "\xEF\xBB\xBF" + WideToUtf8(kExpected));
}

// A mod moved with Alt+Down, the button and a drag: the list shows the plan at
// once, Apply previews the rename and the winners it changes, OK writes it,
// and Undo takes it back.
TEST_F(LoadOrderWindow, AModIsMovedAppliedAndUndone) {
    const auto& c = form->LoadOrder()->controls();
    auto files = [&] {
        Names names;
        for (const auto& a : form->LoadOrder()->report().archives) names.push_back(a.file);
        return names;
    };
    auto row = [&](int index) {
        RECT r{LVIR_BOUNDS};
        SendMessageW(c.lvArchives, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        return POINT{120, (r.top + r.bottom) / 2};
    };
    const POINT modOne = row(5);
    ClickAt(c.lvArchives, modOne.x, modOne.y);
    PressWithKey(VK_MENU, VK_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return files()[6] == L"mod_one.pk3"; }));
    EXPECT_TRUE(IsWindowEnabled(c.cmdApply));
    ClickAt(c.cmdMoveDown, 20, 10);
    EXPECT_EQ(files()[7], L"mod_one.pk3");
    // Dragged below the last row, it goes last; the game's pak0 never moved.
    const POINT last = row(8);
    DragTo(c.lvArchives, row(7), c.lvArchives, {last.x, last.y + 16});
    EXPECT_TRUE(PumpUntil([&] { return files()[8] == L"mod_one.pk3"; }));
    EXPECT_EQ(files()[5], L"pak0.pk3");
    EXPECT_TRUE(game.Has(L"mod_one.pk3"));

    prompts.buttons = {IDOK};
    ClickAt(c.cmdApply, 20, 10);
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"Tarrow will rename these archives:\r\n\r\nmod_one.pk3 \u2192 ~^mod_one.pk3\r\n\r\n"
                    L"These shared files will be used from another archive:\r\n\r\n"
                    L"maps\\a.bsp: zz_two.pk3 \u2192 mod_one.pk3\r\nsound\\X.WAV: zz_two.pk3 \u2192 mod_one.pk3"});
    EXPECT_TRUE(game.Has(L"~^mod_one.pk3"));
    EXPECT_FALSE(game.Has(L"mod_one.pk3"));
    EXPECT_EQ(files().back(), L"~^mod_one.pk3");
    EXPECT_FALSE(IsWindowEnabled(c.cmdApply));
    const Names enabled = ListItems(form->controls().listEnabled);
    EXPECT_NE(std::find(enabled.begin(), enabled.end(), L"~^mod_one"), enabled.end());

    SetForegroundWindow(window);
    PressCtrlKey('Z');
    EXPECT_TRUE(PumpUntil([&] { return game.Has(L"mod_one.pk3"); }));
    EXPECT_FALSE(game.Has(L"~^mod_one.pk3"));
    EXPECT_EQ(files()[5], L"mod_one.pk3");
}

// Enter on a shared file offers its other copies; the chosen one's archive is
// planned just after the present winner.
// A plan not yet applied stays through a re-read while main holds the same
// archives, and is dropped, with a word, once it holds others.
TEST_F(LoadOrderWindow, APlanOutlivesAReReadOfTheSameArchives) {
    const auto& c = form->LoadOrder()->controls();
    auto files = [&] {
        Names names;
        for (const auto& a : form->LoadOrder()->report().archives) names.push_back(a.file);
        return names;
    };
    SetForegroundWindow(window);
    SelectListViewRow(c.lvArchives, 5);
    SendMessageW(c.cmdMoveDown, BM_CLICK, 0, 0);
    ASSERT_EQ(files()[6], L"mod_one.pk3");
    const Names planned = files();
    SendMessageW(form->controls().cmdRefreshMods, BM_CLICK, 0, 0);
    EXPECT_TRUE(form->LoadOrder()->Planned());
    EXPECT_EQ(files(), planned);
    EXPECT_TRUE(prompts.asked.empty());
    game.Install(L"lo_solo.zip", L"zzz_new.pk3");
    SendMessageW(form->controls().cmdRefreshMods, BM_CLICK, 0, 0);
    EXPECT_FALSE(form->LoadOrder()->Planned());
    EXPECT_EQ(prompts.MessageTexts(), Names{L"The archives in main changed, so the order planned in Load Order was "
                                            L"dropped. Nothing was renamed."});
}

TEST_F(LoadOrderWindow, TheCopyToUseIsChosenFromTheKeyboard) {
    const auto& c = form->LoadOrder()->controls();
    RECT r{LVIR_BOUNDS};
    SendMessageW(c.lvShared, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    ClickAt(c.lvShared, 60, (r.top + r.bottom) / 2);
    ASSERT_EQ(form->LoadOrder()->report().shared[form->LoadOrder()->SharedShown()[1]].path, L"maps\\a.bsp");
    // Enter opens the menu, whose first item is the copy in mod_one.pk3.
    INPUT keys[6]{};
    const WORD sequence[3] = {VK_RETURN, VK_DOWN, VK_RETURN};
    for (int i = 0; i < 6; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i / 2];
        keys[i].ki.dwFlags = i % 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(6, keys, sizeof(INPUT));
    const auto& report = form->LoadOrder()->report();
    EXPECT_TRUE(PumpUntil([&] { return report.archives.back().file == L"mod_one.pk3"; }));
    const auto a = std::find_if(report.shared.begin(), report.shared.end(),
                                [](const SharedFile& f) { return f.path == L"maps\\a.bsp"; });
    EXPECT_EQ(report.archives[a->holders.back()].file, L"mod_one.pk3");
    EXPECT_TRUE(IsWindowEnabled(c.cmdApply));
    EXPECT_TRUE(game.Has(L"mod_one.pk3"));
}

// The fixes: a mod before the game's archives goes just after them, through
// the same preview; a capital extension becomes .pk3; the selected problem's
// whole sentence stands under the list.
TEST_F(LoadOrderWindow, ProblemsAreFixedThroughThePreview) {
    const auto& c = form->LoadOrder()->controls();
    const auto& problems = form->LoadOrder()->report().problems;
    auto select = [&](ProblemKind kind) {
        const auto at =
            std::find_if(problems.begin(), problems.end(), [&](const LoadProblem& p) { return p.kind == kind; });
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(c.lvProblems, LVM_SETITEMSTATE, static_cast<WPARAM>(at - problems.begin()),
                     reinterpret_cast<LPARAM>(&item));
        return at->problem;
    };
    EXPECT_FALSE(IsWindowEnabled(c.cmdFix));
    const std::wstring sentence = select(ProblemKind::BeforeGame);
    EXPECT_EQ(WindowText(c.lblProblem), sentence);
    EXPECT_TRUE(IsWindowEnabled(c.cmdFix));
    prompts.buttons = {IDOK};
    ClickAt(c.cmdFix, 20, 10);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text.substr(0, 57),
              L"Tarrow will rename these archives:\r\n\r\naaa.pk3 \u2192 Q^aaa.pk3");
    EXPECT_TRUE(game.Has(L"Q^aaa.pk3"));

    select(ProblemKind::Extension);
    prompts.buttons = {IDOK};
    ClickAt(c.cmdFix, 20, 10);
    EXPECT_EQ(FileSystem::Dir(game.main + L"Upper.*", FileSystem::AttrArchive), L"Upper.pk3");
    // A mod in main twice: the player keeps one, and the other goes to the Recycle Bin.
    select(ProblemKind::Duplicate);
    prompts.buttons = {IDNO};
    ClickAt(c.cmdFix, 20, 10);
    EXPECT_EQ(prompts.asked.back().text.rfind(
                  L"both is in main twice. Which one should stay?\r\n\r\nYes keeps both.pk3, ", 0),
              0u);
    EXPECT_FALSE(game.Has(L"both.pk3"));
    EXPECT_TRUE(game.Has(L"both.dis"));
    EXPECT_TRUE(std::none_of(problems.begin(), problems.end(), [](const LoadProblem& p) {
        return p.kind == ProblemKind::Extension || p.kind == ProblemKind::BeforeGame ||
               p.kind == ProblemKind::Duplicate;
    }));
}

bool Overlap(HWND a, HWND b) {
    RECT x{}, y{}, both{};
    GetWindowRect(a, &x);
    GetWindowRect(b, &y);
    return IntersectRect(&both, &x, &y);
}

// Both windows of ours that accompany the main window open beside it, and where
// the player moved them once, they open again.
TEST_F(LoadOrderWindow, OpensBesideTheMainWindowAndStaysWhereMoved) {
    const auto& c = form->controls();
    EXPECT_FALSE(Overlap(window, c.listEnabled));
    EXPECT_FALSE(Overlap(window, c.listDisabled));
    ClickListItem(c.listEnabled, 0);
    Command(form->hwnd(), frmMain::mnuTools_ModInfoMaker);
    PumpPending();
    ASSERT_NE(form->Editor(), nullptr);
    HWND editor = form->Editor()->hwnd();
    EXPECT_FALSE(Overlap(editor, c.listEnabled));
    EXPECT_FALSE(Overlap(editor, c.listDisabled));
    SetWindowPos(window, nullptr, 300, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window, WM_CLOSE, 0, 0);
    Command(form->hwnd(), frmMain::mnuToolsLoadOrder);
    RECT r{};
    GetWindowRect(form->LoadOrder()->hwnd(), &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 400);
}

TEST_F(LoadOrderWindow, ClosesWithTheMainWindow) {
    SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

// Three hundred mods: a real click on Disable shows at once in the Manager
// and in Load Order, read through what the inventory keeps.
TEST(LoadOrderWindowLarge, ASwitchAmongThreeHundredModsShowsEverywhere) {
    PromptRecorder prompts;
    TestGame game;
    for (int i = 0; i < 300; ++i) {
        game.Add(L"mod" + std::to_wstring(1000 + i) + L".pk3", MakeZip({"maps/m" + std::to_string(i % 7) + ".bsp"}));
    }
    const auto form = StartMainWindow();
    Command(form->hwnd(), frmMain::mnuToolsLoadOrder);
    ASSERT_NE(form->LoadOrder(), nullptr);
    EXPECT_EQ(form->LoadOrder()->report().archives.size(), 300u);
    ClickListItem(form->controls().listEnabled, 0);
    const POINT centre = CentreOf(form->controls().cmdDisable);
    ClickAt(form->controls().cmdDisable, centre.x, centre.y);
    EXPECT_TRUE(game.Has(L"mod1000.dis"));
    EXPECT_EQ(ListItems(form->controls().listDisabled), std::vector<std::wstring>{L"mod1000"});
    EXPECT_EQ(ListItems(form->controls().listEnabled).size(), 299u);
    const LoadOrderReport& report = form->LoadOrder()->report();
    ASSERT_EQ(report.archives.size(), 299u);
    EXPECT_EQ(report.archives.front().file, L"mod1001.pk3");
    EXPECT_TRUE(prompts.asked.empty());
}

// Two archives of the same files with the same contents: the earlier is "same
// as" the later, the later names the copy as a problem whose Fix sends the
// copy to the Recycle Bin after a preview, and "Differing only" leaves out
// the files whose copies are all the same. A folder near the game's limit of
// archives is named too.
TEST(LoadOrderCopies, ACopyIsNamedFixedAndLeftOutOfTheDifferingFiles) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"alpha.pk3", MakeZip({"sound/b.wav"}));
    game.Add(L"beta.pk3", MakeZip({"sound/b.wav"}));
    game.Add(L"gamma.pk3", MakeZip({"maps/a.bsp"}));
    game.Add(L"delta.pk3", MakeZip({"maps/A.bsp"}));
    const auto form = StartMainWindow();
    Command(form->hwnd(), frmMain::mnuToolsLoadOrder);
    frmLoadOrder& window = *form->LoadOrder();
    const LoadOrderReport& report = window.report();
    EXPECT_EQ(ArchiveRow(report, 0), (Names{L"1", L"alpha.pk3", L"1", L"0", L"0", L"same as beta.pk3"}));
    EXPECT_EQ(ArchiveRow(report, 2), (Names{L"3", L"delta.pk3", L"1", L"0", L"1", L"no effect"}));
    ASSERT_EQ(report.shared.size(), 2u);
    EXPECT_EQ(SharedRow(report, 0), (Names{L"maps\\a.bsp", L"gamma.pk3", L"delta.pk3", L""}));
    EXPECT_EQ(SharedRow(report, 1), (Names{L"sound\\b.wav", L"beta.pk3", L"alpha.pk3", L"identical"}));
    EXPECT_EQ(window.SharedShown().size(), 2u);
    SendMessageW(window.controls().chkDiffering, BM_CLICK, 0, 0);
    EXPECT_EQ(window.SharedShown(), std::vector<std::size_t>{0});

    const auto copy = std::find_if(report.problems.begin(), report.problems.end(),
                                   [](const LoadProblem& p) { return p.kind == ProblemKind::Copy; });
    ASSERT_NE(copy, report.problems.end());
    EXPECT_EQ(ProblemRow(report, static_cast<std::size_t>(copy - report.problems.begin())),
              (Names{L"beta.pk3",
                     L"It holds the same files as alpha.pk3, with the same contents: alpha.pk3 is a copy "
                     L"that the game loads for nothing."}));
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window.controls().lvProblems, LVM_SETITEMSTATE, static_cast<WPARAM>(copy - report.problems.begin()),
                 reinterpret_cast<LPARAM>(&item));
    prompts.buttons = {IDOK};
    ClickAt(window.controls().cmdFix, 20, 10);
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(prompts.MessageTexts()[0],
              L"Tarrow will send alpha.pk3 to the Recycle Bin. The game loads the same "
              L"files, with the same contents, from beta.pk3.");
    EXPECT_FALSE(game.Has(L"alpha.pk3"));
    EXPECT_TRUE(game.Has(L"beta.pk3"));
}

TEST(LoadOrderLimits, AFolderOverTheGamesLimitOfArchivesIsNamed) {
    TestGame game;
    const std::string empty = MakeZip({});
    for (int i = 0; i < kMaxArchivesPerFolder + 2; ++i) game.Add(L"m" + std::to_wstring(1000 + i) + L".pk3", empty);
    const LoadOrderReport report = BuildLoadOrder(DemoGame(game.folder));
    ASSERT_FALSE(report.problems.empty());
    EXPECT_EQ(ProblemRow(report, 0), (Names{L"main",
                                            L"It holds 1026 archives; the game loads at most 1024 from one "
                                            L"folder, so 2 of them do not load."}));
}

// The archives' note and the problems agree: a copy is "same as" the archive
// it copies though a third archive wins one of their files.
TEST(LoadOrderCopies, SameAsHoldsWhenAThirdArchiveWinsAFile) {
    TestGame game;
    game.Add(L"echo.pk3", MakeZip({"a.txt", "b.txt"}));
    game.Add(L"foxtrot.pk3", MakeZip({"a.txt", "b.txt"}));
    game.Add(L"zulu.pk3", MakeZip({"B.TXT"}));
    const LoadOrderReport report = BuildLoadOrder(DemoGame(game.folder));
    ASSERT_EQ(report.archives.size(), 3u);
    EXPECT_EQ(ArchiveRow(report, 0), (Names{L"1", L"echo.pk3", L"2", L"0", L"1", L"same as foxtrot.pk3"}));
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].archive, L"foxtrot.pk3");
    EXPECT_EQ(report.problems[0].kind, ProblemKind::Copy);
}
