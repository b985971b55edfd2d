// The main window under Xvfb: start-up, mod discovery, page switching, and
// switching mods by button and by dragging, on real files with real input.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "ui/busy_cursor.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "ui/message_loop.h"
#include "app/single_instance.h"
#include "app/main_menu.h"
#include "core/handles.h"
#include "core/transaction.h"
#include "games/catalog.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/temp_folder.h"
#include "tests/support/ui.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

class MainWindow : public ::testing::Test {
protected:
    void Start() { form = StartMainWindow(); }
    const frmMain::Controls& c() const { return form->controls(); }
    Names Enabled() const { return ListItems(c().listEnabled); }
    Names Disabled() const { return ListItems(c().listDisabled); }
    void Click(HWND control) {
        const POINT p = CentreOf(control);
        ClickAt(control, p.x, p.y);
    }
    POINT ItemPoint(HWND list, int index) {
        RECT r{};
        SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void ClickTab(int index) { ::ClickTab(c().TabStrip1, index); }
    // The Edit menu's item, as the menu shows it when it opens, and whether it can be chosen.
    std::pair<std::wstring, bool> EditItem(int id, int menu = 1) {
        HMENU edit = GetSubMenu(GetMenu(form->hwnd()), menu);
        SendMessageW(form->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 1);
        wchar_t text[128] = {};
        GetMenuStringW(edit, static_cast<UINT>(id), text, 128, MF_BYCOMMAND);
        return {text, !(GetMenuState(edit, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED)};
    }
    void TearDown() override {
        form.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }

    PromptRecorder prompts;
    std::unique_ptr<TestGame> game = std::make_unique<TestGame>();
    std::unique_ptr<frmMain> form;
};

}  // namespace

TEST_F(MainWindow, StartsWithTheGamesModsListed) {
    game->Add(L"pak0.pk3");
    game->Add(L"localized_english_pak0.pk3");
    game->Add(L"sniper.pk3");
    game->Add(L"tanks.dis");
    Start();
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(WindowText(form->hwnd()), L"Tarrow 0.6 Beta");
    EXPECT_EQ(form->SearchPath(), game->folder);
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    EXPECT_EQ(Disabled(), Names{L"tanks"});
    EXPECT_EQ(WindowText(c().rtfModInfo), L"You have not selected a mod yet.");
    EXPECT_TRUE(IsWindowVisible(c().frametab[1]));
    EXPECT_FALSE(IsWindowVisible(c().frametab[2]));
    EXPECT_FALSE(BusyCursor::Active());
    // The client area is 625 x 290 at 96 DPI.
    RECT client{};
    GetClientRect(form->hwnd(), &client);
    EXPECT_EQ(client.right, MulDiv(625, static_cast<int>(GetDpiForWindow(form->hwnd())), 96));
}

// A mod-set switch stopped after its first rename: the start puts it back
// before the lists are filled, and says so once.
TEST_F(MainWindow, TheStartPutsRightAChangeThatWasStopped) {
    game->Add(L"a.dis");
    game->Add(L"b.dis");
    game->Add(JournalName, "what switching mods\nrename a.pk3\ta.dis\nrename b.dis\tb.pk3\nbegin\ndone 0\n");
    Start();
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"Tarrow was stopped while switching mods. The folder is as it was before."});
    EXPECT_EQ(Enabled(), Names{L"a"});
    EXPECT_EQ(Disabled(), Names{L"b"});
    EXPECT_FALSE(game->Has(JournalName));
}

// A stopped change whose archive is held open cannot be put right: the start
// names the archive and the journal, a real click on Disable says why nothing
// changes and how to go on, and Edit > Forget this change sets the journal
// aside, after a question, so that the next click switches the mod.
TEST_F(MainWindow, AChangeThatCannotBePutRightIsNamedAndCanBeForgotten) {
    game->Add(L"x.dis");
    game->Add(L"y.pk3");
    game->Add(JournalName, "what switching mods\nrename x.pk3\tx.dis\nrename y.pk3\ty.dis\nbegin\ndone 0\n");
    FileHandle held(CreateFileW((game->main + L"x.dis").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    Start();
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    const std::wstring start = prompts.MessageTexts()[0];
    EXPECT_EQ(start.rfind(L"Tarrow was stopped while switching mods. It could not put main back as it was:\r\n\r\n"
                          L"x.dis: it could not get its old name x.pk3 back.",
                          0),
              0u)
        << start;
    EXPECT_NE(start.find(L"main\\~tarrow-journal.txt"), std::wstring::npos) << start;
    EXPECT_TRUE(EditItem(frmMain::mnuEditForget).second);

    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    ASSERT_EQ(prompts.MessageTexts().size(), 2u);
    EXPECT_NE(prompts.MessageTexts()[1].find(L"Edit > Forget this change"), std::wstring::npos);
    EXPECT_TRUE(game->Has(L"y.pk3"));

    prompts.buttons = {IDNO};
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuEditForget, 0);
    EXPECT_TRUE(game->Has(JournalName));
    prompts.buttons = {IDYES};
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuEditForget, 0);
    EXPECT_EQ(prompts.MessageTexts().back(),
              L"The change is forgotten. Its journal is now main\\~tarrow-journal-set-aside-1.txt.");
    EXPECT_FALSE(EditItem(frmMain::mnuEditForget).second);
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    EXPECT_TRUE(game->Has(L"y.dis"));
    EXPECT_TRUE(game->Has(L"x.dis"));
}

TEST_F(MainWindow, WarnsWhenTheGameIsNotInstalled) {
    game = std::make_unique<TestGame>(false);
    Start();
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Tarrow did not detect CoD, please make sure it's installed correctly.");
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_EQ(prompts.asked[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(Enabled().empty());
    EXPECT_TRUE(Disabled().empty());
    EXPECT_EQ(form->SearchPath(), L"");
    EXPECT_EQ(Globals::GamePath, L"\\");
}

TEST_F(MainWindow, AValueOfOnlyTheNulCountsAsPresent) {
    game->key->SetText(InstallPathValue, L"");
    Start();
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_TRUE(Enabled().empty());
}

TEST_F(MainWindow, DiscoveryFollowsTheNamingRules) {
    for (const wchar_t* f : {L"Pak0.pk3", L"MyMod.PK3", L"a.pk3.pk3", L"pak0.dis", L"b.pk3x", L"zeta.pk3", L"Alpha.pk3",
                             L"sub\\inner.pk3"}) {
        game->Add(f);
    }
    MakeFolder(game->main + L"maps.pk3");
    Start();
    EXPECT_EQ(Enabled(), (Names{L"a", L"Alpha", L"MyMod.PK3", L"Pak0", L"zeta"}));
    EXPECT_EQ(Disabled(), Names{L"pak0"});
    // A second scan gives the same lists, without duplicates.
    form->FindMods();
    EXPECT_EQ(Enabled(), (Names{L"a", L"Alpha", L"MyMod.PK3", L"Pak0", L"zeta"}));
    // a.pk3.pk3 is listed as a, whose a.pk3 is not there: Disable says so and changes nothing.
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(prompts.MessageTexts()[0].rfind(L"Error: could not rename " + game->main + L"a.pk3 to a.dis: ", 0), 0u);
    EXPECT_TRUE(game->Has(L"a.pk3.pk3"));

    // The base-archive test is case-sensitive: PAK0.PK3 is listed in full.
    TestGame other(false);
    other.Add(L"PAK0.PK3");
    Globals::GamePath = other.folder;
    Click(c().cmdRefreshMods);
    EXPECT_EQ(form->SearchPath(), other.folder);
    EXPECT_EQ(Enabled(), Names{L"PAK0.PK3"});
    EXPECT_TRUE(Disabled().empty());
}

TEST_F(MainWindow, RefreshReadsTheFolderAgain) {
    game->Add(L"sniper.pk3");
    Start();
    game->Add(L"tanks.pk3");
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    Click(c().cmdRefreshMods);
    EXPECT_EQ(Enabled(), (Names{L"sniper", L"tanks"}));
}

TEST_F(MainWindow, AFailingScanIsReportedAndTheProgramGoesOn) {
    game->Add(L"sniper.pk3");
    Start();
    Globals::GamePath = game->temp / L"bad|folder";
    Click(c().cmdRefreshMods);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_NE(prompts.asked[0].text.find(game->temp / L"bad|folder\\main\\"), std::wstring::npos);
    EXPECT_GT(prompts.asked[0].text.size(), (game->temp / L"bad|folder\\main\\").size() + 30);
    EXPECT_TRUE(Enabled().empty());
    EXPECT_FALSE(BusyCursor::Active());
    EXPECT_TRUE(IsWindow(form->hwnd()));
}

TEST_F(MainWindow, TabsSwitchPagesOnlyWhenAnotherTabIsChosen) {
    Start();
    ClickTab(1);
    EXPECT_EQ(form->CurrentTab(), 2);
    EXPECT_TRUE(IsWindowVisible(c().frametab[2]));
    EXPECT_FALSE(IsWindowVisible(c().frametab[1]));
    ClickTab(1);
    EXPECT_EQ(form->CurrentTab(), 2);
    ClickTab(0);
    EXPECT_EQ(form->CurrentTab(), 1);
    EXPECT_TRUE(IsWindowVisible(c().frametab[1]));
}

TEST_F(MainWindow, ClosingEndsTheProgram) {
    Start();
    HWND window = form->hwnd();
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindow, ButtonsSwitchTheSelectedMod) {
    game->Add(L"sniper.pk3", "sniper bytes");
    game->Add(L"tanks.dis", "tank bytes");
    Start();
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    EXPECT_FALSE(game->Has(L"sniper.pk3"));
    EXPECT_EQ(ReadFileBytes(game->main + L"sniper.dis"), "sniper bytes");
    EXPECT_TRUE(Enabled().empty());
    EXPECT_EQ(Disabled(), (Names{L"sniper", L"tanks"}));
    EXPECT_EQ(ListSelection(c().listDisabled), LB_ERR);

    ClickListItem(c().listDisabled, 1);
    Click(c().cmdEnable);
    EXPECT_EQ(ReadFileBytes(game->main + L"tanks.pk3"), "tank bytes");
    EXPECT_EQ(Enabled(), Names{L"tanks"});
    EXPECT_TRUE(prompts.asked.empty());
}

// Ctrl+Z and Ctrl+Y, pressed on the lists, take a switch back and make it
// again; once the mod has gone from outside, the undo says so and changes nothing.
TEST_F(MainWindow, ASwitchIsUndoneAndRedoneFromTheKeyboard) {
    game->Add(L"sniper.pk3", "sniper bytes");
    Start();
    EXPECT_EQ(EditItem(frmMain::mnuEditUndo), std::pair(std::wstring(L"&Undo\tCtrl+Z"), false));
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    EXPECT_EQ(EditItem(frmMain::mnuEditUndo), std::pair(std::wstring(L"&Undo Disable sniper\tCtrl+Z"), true));
    ClickListItem(c().listDisabled, 0);
    PressCtrlKey('Z');
    EXPECT_TRUE(PumpUntil([&] { return game->Has(L"sniper.pk3"); }));
    EXPECT_EQ(ReadFileBytes(game->main + L"sniper.pk3"), "sniper bytes");
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    EXPECT_EQ(EditItem(frmMain::mnuEditRedo), std::pair(std::wstring(L"&Redo Disable sniper\tCtrl+Y"), true));
    PressCtrlKey('Y');
    EXPECT_TRUE(PumpUntil([&] { return game->Has(L"sniper.dis"); }));
    EXPECT_EQ(Disabled(), Names{L"sniper"});

    MoveFileW((game->main + L"sniper.dis").c_str(), (game->main + L"elsewhere.dis").c_str());
    PressCtrlKey('Z');
    EXPECT_TRUE(PumpUntil([&] { return !prompts.asked.empty(); }));
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"Tarrow could not undo Disable sniper: sniper.dis is no longer in main. Nothing was changed."});
    EXPECT_FALSE(game->Has(L"sniper.pk3"));
    EXPECT_TRUE(game->Has(L"elsewhere.dis"));
    EXPECT_EQ(EditItem(frmMain::mnuEditUndo).second, false);
}

// An archive copied into main by someone else shows without Refresh, and the
// selection stays on its mod.
TEST_F(MainWindow, AChangeFromOutsideShowsInTheLists) {
    game->Add(L"sniper.pk3");
    Start();
    ClickListItem(c().listEnabled, 0);
    CopyFileW((game->main + L"sniper.pk3").c_str(), (game->main + L"armour.pk3").c_str(), FALSE);
    EXPECT_TRUE(PumpUntil([&] { return Enabled().size() == 2; }, 3000));
    EXPECT_EQ(Enabled(), (Names{L"armour", L"sniper"}));
    EXPECT_EQ(ListSelection(c().listEnabled), 1);
    EXPECT_TRUE(prompts.asked.empty());
}

// Play starts the game from its folder, after naming what Load Order finds;
// while it runs, what writes to main is greyed, and when it ends the lists are
// read again and everything comes back.
TEST_F(MainWindow, PlayHoldsWritesWhileTheGameRuns) {
    game->Add(L"broken.pk3", "not a zip");
    CopyFileW((ProgramFolder() + L"\\fake_game.exe").c_str(), (game->folder + L"\\CoDSP.exe").c_str(), FALSE);
    const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TarrowTestGameEnd");
    Start();
    prompts.buttons = {IDYES};
    SetForegroundWindow(form->hwnd());
    PressKey(VK_F5);
    ASSERT_TRUE(PumpUntil([&] { return form->Playing(); }));
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(prompts.MessageTexts()[0].rfind(L"Load Order finds these problems:\r\n\r\nbroken.pk3: ", 0), 0u);
    EXPECT_TRUE(PumpUntil([&] { return game->Has(L"..\\working-folder.txt"); }));
    EXPECT_FALSE(IsWindowEnabled(c().cmdEnable));
    EXPECT_FALSE(IsWindowEnabled(c().cmdDisable));
    EXPECT_EQ(EditItem(frmMain::mnuToolsPlay, 2), std::pair(std::wstring(L"Playing..."), false));
    EXPECT_FALSE(EditItem(frmMain::mnuToolsInstall, 2).second);
    // Greying is not all: a click that reaches the greyed button switches nothing.
    ClickListItem(c().listEnabled, 0);
    SendMessageW(c().cmdDisable, BM_CLICK, 0, 0);
    EXPECT_TRUE(game->Has(L"broken.pk3"));
    EXPECT_EQ(prompts.MessageTexts().back(),
              L"The game is running and holds its archives. Tarrow changes nothing in main until it ends.");
    game->Add(L"later.pk3");
    SetEvent(end);
    EXPECT_TRUE(PumpUntil([&] { return !form->Playing(); }));
    CloseHandle(end);
    EXPECT_TRUE(IsWindowEnabled(c().cmdEnable));
    EXPECT_EQ(EditItem(frmMain::mnuToolsPlay, 2), std::pair(std::wstring(L"&Play\tF5"), true));
    EXPECT_EQ(Enabled(), (Names{L"broken", L"later"}));
    const std::string folder = ReadFileBytes(game->folder + L"\\working-folder.txt");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(folder.data()), folder.size() / 2), game->folder);
}

// Without a CoDSP program in the game folder, Play asks for one there; a cancel starts nothing.
TEST_F(MainWindow, PlayAsksForTheProgramWhenThereIsNone) {
    Start();
    prompts.program = {std::nullopt};
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsPlay, 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Choose the game program");
    EXPECT_EQ(prompts.asked[0].text, game->folder);
    EXPECT_FALSE(form->Playing());
}

TEST_F(MainWindow, ButtonsWithNothingSelectedOnlyRefresh) {
    game->Add(L"sniper.pk3");
    Start();
    ClickListItem(c().listEnabled, 0);
    // Disable acts on the enabled list only; Enable with nothing selected there moves nothing.
    Click(c().cmdEnable);
    EXPECT_TRUE(game->Has(L"sniper.pk3"));
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(MainWindow, ACollisionIsReportedAndNothingMoves) {
    game->Add(L"sniper.pk3", "enabled");
    game->Add(L"sniper.dis", "disabled");
    Start();
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Error: " + game->main + L"sniper.dis already exists");
    EXPECT_EQ(prompts.asked[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_EQ(ReadFileBytes(game->main + L"sniper.pk3"), "enabled");
    EXPECT_EQ(ReadFileBytes(game->main + L"sniper.dis"), "disabled");
}

TEST_F(MainWindow, AFailedMoveIsReportedAndTheSourceStays) {
    game->Add(L"sniper.pk3", "held open");
    Start();
    // The game holds the archive open without sharing delete.
    HANDLE held = CreateFileW((game->main + L"sniper.pk3").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    CloseHandle(held);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_EQ(prompts.asked[0].text.rfind(L"Error: could not rename " + game->main + L"sniper.pk3 to sniper.dis: ", 0),
              0u);
    EXPECT_EQ(ReadFileBytes(game->main + L"sniper.pk3"), "held open");
    EXPECT_FALSE(game->Has(L"sniper.dis"));
    EXPECT_EQ(Enabled(), Names{L"sniper"});
}

TEST_F(MainWindow, DraggingOntoTheOtherListSwitchesTheMod) {
    game->Add(L"sniper.pk3", "s");
    game->Add(L"tanks.dis", "t");
    Start();
    DragTo(c().listEnabled, ItemPoint(c().listEnabled, 0), c().listDisabled, CentreOf(c().listDisabled));
    EXPECT_TRUE(game->Has(L"sniper.dis"));
    EXPECT_FALSE(game->Has(L"sniper.pk3"));
    EXPECT_EQ(Disabled(), (Names{L"sniper", L"tanks"}));
    EXPECT_EQ(ListSelection(c().listDisabled), LB_ERR);

    // The right button drags just like the left one.
    ClickListItem(c().listDisabled, 1);
    DragTo(c().listDisabled, ItemPoint(c().listDisabled, 1), c().listEnabled, CentreOf(c().listEnabled), Button::Right);
    EXPECT_TRUE(game->Has(L"tanks.pk3"));
    EXPECT_EQ(Enabled(), Names{L"tanks"});
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(MainWindow, DropsElsewhereChangeNothing) {
    game->Add(L"sniper.pk3");
    Start();
    DragTo(c().listEnabled, ItemPoint(c().listEnabled, 0), c().listEnabled, CentreOf(c().listEnabled));
    DragTo(c().listEnabled, ItemPoint(c().listEnabled, 0), c().cmdDisable, CentreOf(c().cmdDisable), Button::Middle);
    DragTo(c().listEnabled, ItemPoint(c().listEnabled, 0), c().rtfModInfo, CentreOf(c().rtfModInfo));
    EXPECT_TRUE(game->Has(L"sniper.pk3"));
    EXPECT_FALSE(game->Has(L"sniper.dis"));
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    // The drop on the same list re-read nothing: the selection is still there.
    EXPECT_EQ(ListSelection(c().listEnabled), 0);
}

TEST_F(MainWindow, ACollisionOnDropKeepsListsAndSelections) {
    game->Add(L"sniper.pk3");
    game->Add(L"sniper.dis");
    game->Add(L"other.dis");
    Start();
    ClickListItem(c().listDisabled, 0);
    DragTo(c().listEnabled, ItemPoint(c().listEnabled, 0), c().listDisabled, CentreOf(c().listDisabled));
    ASSERT_EQ(prompts.MessageTexts(), Names{L"Error: " + game->main + L"sniper.dis already exists"});
    EXPECT_EQ(ListSelection(c().listEnabled), 0);
    EXPECT_EQ(ListSelection(c().listDisabled), 0);
    EXPECT_EQ(Disabled(), (Names{L"other", L"sniper"}));
}

TEST_F(MainWindow, APressOnAListWithoutCurrentItemBeginsNoDrag) {
    game->Add(L"sniper.pk3");
    Start();
    DragTo(c().listDisabled, CentreOf(c().listDisabled), c().listEnabled, CentreOf(c().listEnabled));
    EXPECT_TRUE(game->Has(L"sniper.pk3"));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MainWindow, ArrowKeysMoveTheSelection) {
    game->Add(L"alpha.pk3");
    game->Add(L"beta.pk3");
    Start();
    ClickListItem(c().listEnabled, 0);
    PressKey(VK_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return ListSelection(c().listEnabled) == 1; }));
    // Selecting with the keys shows the mod's information, as a click does.
    EXPECT_EQ(WindowText(c().rtfModInfo), L"No information available for beta.pk3");
}

// Start-up without the library runs from a copy of this program's folder that lacks it.
TEST(InCopy, StartupWithoutTheLibrary) {
    if (!_wgetenv(L"TARROW_NO_LIBRARY")) GTEST_SKIP() << "runs only in a copy";
    PromptRecorder prompts;
    bool windowShown = true;
    prompts.onAsk = [&](const AskedPrompt&) {
        if (prompts.asked.size() == 1)
            windowShown = FindWindowW(L"TarrowMain", nullptr) && IsWindowVisible(FindWindowW(L"TarrowMain", nullptr));
    };
    TestGame game;
    frmMain form;
    form.Load();
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Could not load unzip32.dll");
    EXPECT_EQ(prompts.asked[0].title, L"Error");
    EXPECT_EQ(prompts.asked[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_FALSE(windowShown);
    EXPECT_TRUE(IsWindowVisible(form.hwnd()));
}

TEST(MainWindowCopy, StartupWithoutTheLibraryWarnsFirst) {
    TempFolder folder;
    EXPECT_EQ(RunInCopy(folder, L"TARROW_NO_LIBRARY", L"1"), 0u);
}

namespace {

// Tarrow's own keys of the game choice, gone before and after a test.
struct ForgetGameChoice {
    ForgetGameChoice() { Forget(); }
    ~ForgetGameChoice() { Forget(); }
    static void Forget() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarrow", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        RegDeleteValueW(key, L"Game");
        RegDeleteValueW(key, L"Game Folder");
        RegDeleteValueW(key, L"Game Mod");
        RegDeleteTreeW(key, L"Added Games");
        RegDeleteTreeW(key, L"Game Folders");
        RegCloseKey(key);
    }
};

// The File > Game menu as it opens once Tarrow has found the games: its
// items' texts, and which is checked.
std::vector<std::pair<std::wstring, bool>> GameMenu(HWND main) {
    HMENU games = GetSubMenu(GetSubMenu(GetMenu(main), 0), 0);
    std::vector<std::pair<std::wstring, bool>> items;
    auto open = [&] {
        SendMessageW(main, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(games), 0);
        items.clear();
        for (int i = 0; i < GetMenuItemCount(games); ++i) {
            wchar_t text[512] = {};
            GetMenuStringW(games, static_cast<UINT>(i), text, 512, MF_BYPOSITION);
            items.emplace_back(text, (GetMenuState(games, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0);
        }
        return std::none_of(items.begin(), items.end(), [](const auto& item) { return item.first == LookingForGames; });
    };
    EXPECT_TRUE(PumpUntil(open));
    return items;
}

}  // namespace

// An OpenArena folder added by hand: the Manager, Load Order and the title
// follow it, File > Game lists both games, and the demo is one choice away.
TEST_F(MainWindow, AddsAGameFolderByHandAndEverythingFollows) {
    ForgetGameChoice forget;
    game->Add(L"pak0.pk3", MakeZip({"maps/a.bsp"}));
    game->Add(L"sniper.pk3", MakeZip({"maps/s.bsp"}));
    TempFolder other;
    WriteFileBytes(other / L"baseoa\\pak0.pk3", MakeZip({"maps/oasago2.bsp"}));
    WriteFileBytes(other / L"baseoa\\instagib.pk3", MakeZip({"maps/x.bsp"}));
    WriteFileBytes(other / L"baseoa\\old.dis", MakeZip({"maps/y.bsp"}));
    MakeFolder(other / L"nothing here");
    Start();
    ASSERT_EQ(Enabled(), Names{L"sniper"});
    // A folder that holds no game is refused with what Tarrow looked for.
    prompts.folders.push_back(other / L"nothing here");
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileAddGame, 0);
    ASSERT_FALSE(prompts.MessageTexts().empty());
    EXPECT_NE(prompts.MessageTexts().back().find(L"Tarrow found no game in"), std::wstring::npos);
    EXPECT_NE(prompts.MessageTexts().back().find(L"baseoa\\pak0.pk3 (OpenArena)"), std::wstring::npos);
    EXPECT_EQ(Enabled(), Names{L"sniper"});

    prompts.folders.push_back(other.path());
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsLoadOrder, 0);
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileAddGame, 0);
    EXPECT_EQ(Enabled(), Names{L"instagib"});
    EXPECT_EQ(Disabled(), Names{L"old"});
    EXPECT_EQ(WindowText(form->hwnd()), L"Tarrow 0.6 Beta - OpenArena");
    const LoadOrderReport& report = form->LoadOrder()->report();
    ASSERT_EQ(report.archives.size(), 2u);
    EXPECT_EQ(report.archives[0].file, L"instagib.pk3");
    EXPECT_EQ(report.archives[1].file, L"pak0.pk3");

    const auto menu = GameMenu(form->hwnd());
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[0], std::make_pair(L"Call of Duty Single Player Demo (" + game->folder + L")", false));
    EXPECT_EQ(menu[1], std::make_pair(L"OpenArena (" + other.path() + L")", true));
    EXPECT_EQ(menu[3].first, L"Add Game Folder...");
    // Back to the demo: its title is as it always was.
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileGameFirst, 0);
    EXPECT_EQ(Enabled(), Names{L"sniper"});
    EXPECT_EQ(WindowText(form->hwnd()), L"Tarrow 0.6 Beta");
    ASSERT_FALSE(form->LoadOrder()->report().archives.empty());
    EXPECT_EQ(form->LoadOrder()->report().archives.back().file, L"sniper.pk3");
}

TEST_F(MainWindow, StartsWithTheGameChosenLast) {
    ForgetGameChoice forget;
    game->Add(L"sniper.pk3");
    auto other = std::make_unique<TempFolder>();
    WriteFileBytes(*other / L"baseoa\\pak0.pk3", MakeZip({"maps/oasago2.bsp"}));
    WriteFileBytes(*other / L"baseoa\\instagib.pk3", MakeZip({"maps/x.bsp"}));
    Start();
    prompts.folders.push_back(other->path());
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileAddGame, 0);
    form.reset();
    Start();
    EXPECT_EQ(Enabled(), Names{L"instagib"});
    EXPECT_EQ(WindowText(form->hwnd()), L"Tarrow 0.6 Beta - OpenArena");
    // Its folder gone, Tarrow starts with the demo.
    form.reset();
    other.reset();
    Start();
    EXPECT_EQ(Enabled(), Names{L"sniper"});
}

// OpenArena's per-user folder is the Manager's too, its mods named with their
// place and switched there; a mod folder is one choice of File > Game, and
// Play starts the game with it.
TEST_F(MainWindow, PerUserFoldersAndModFoldersAreManaged) {
    ForgetGameChoice forget;
    TempFolder other;
    const std::wstring user = ExpandUserFolder(L"%APPDATA%\\OpenArena");
    RemoveTree(user);
    WriteFileBytes(other / L"baseoa\\pak0.pk3", MakeZip({"maps/oasago2.bsp"}));
    WriteFileBytes(other / L"baseoa\\instagib.pk3", MakeZip({"maps/x.bsp"}));
    WriteFileBytes(user + L"\\baseoa\\fromnet.pk3", MakeZip({"maps/n.bsp"}));
    WriteFileBytes(other / L"excessiveplus\\xp.pk3", MakeZip({"xp.cfg"}));
    WriteFileBytes(other / L"excessiveplus\\description.txt", "Excessive Plus\n");
    CopyFileW((ProgramFolder() + L"\\fake_game.exe").c_str(), (other / L"openarena.exe").c_str(), FALSE);
    const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TarrowTestGameEnd");
    Start();
    prompts.folders.push_back(other.path());
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileAddGame, 0);
    const std::wstring fromnet = L"AppData\\Roaming\\OpenArena\\baseoa\\fromnet";
    ASSERT_EQ(Enabled(), (Names{fromnet, L"instagib"}));
    ClickListItem(c().listEnabled, 0);
    Click(c().cmdDisable);
    EXPECT_TRUE(PathExists(user + L"\\baseoa\\fromnet.dis"));
    EXPECT_EQ(Disabled(), Names{fromnet});
    // What the game downloads there shows up, as a change from outside does.
    WriteFileBytes(user + L"\\baseoa\\downloaded.pk3", MakeZip({"maps/d.bsp"}));
    EXPECT_TRUE(PumpUntil([&] { return Enabled().size() == 2; }, 3000));
    EXPECT_EQ(Enabled(), (Names{L"AppData\\Roaming\\OpenArena\\baseoa\\downloaded", L"instagib"}));

    const auto menu = GameMenu(form->hwnd());
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[2].first, L"OpenArena: excessiveplus - Excessive Plus");
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuFileGameFirst + 2, 0);
    EXPECT_EQ(WindowText(form->hwnd()), L"Tarrow 0.6 Beta - OpenArena: excessiveplus");
    EXPECT_EQ(Enabled(), Names{L"xp"});
    SetForegroundWindow(form->hwnd());
    PressKey(VK_F5);
    EXPECT_TRUE(PumpUntil([&] { return PathExists(other / L"command-line.txt"); }));
    SetEvent(end);
    EXPECT_TRUE(PumpUntil([&] { return !form->Playing(); }));
    CloseHandle(end);
    const std::string line = ReadFileBytes(other / L"command-line.txt");
    const std::wstring command(reinterpret_cast<const wchar_t*>(line.data()), line.size() / 2);
    EXPECT_TRUE(command.ends_with(L" +set fs_game excessiveplus")) << command;
    RemoveTree(user);
}

// A player with Quake III and no demo: Tarrow opens on Quake III without a
// word; and when the game chosen last is gone, on a game that is there.
TEST_F(MainWindow, StartsOnAGameThatIsThere) {
    ForgetGameChoice forget;
    game = std::make_unique<TestGame>(false);
    TempFolder q3;
    WriteFileBytes(q3 / L"baseq3\\pak0.pk3", "PK");
    WriteFileBytes(q3 / L"baseq3\\rail.pk3", "PK");
    TestRegistryKey key(L"SOFTWARE\\Id\\Quake III Arena");
    key.SetText(L"INSTALLPATH", q3.path());
    Start();
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(Enabled(), Names{L"rail"});
    EXPECT_NE(WindowText(form->hwnd()).find(L"Quake III Arena"), std::wstring::npos);
    form.reset();
    ASSERT_EQ(KeepChosenGame(Game(*FindProfile(L"openarena"), q3 / L"gone")), ERROR_SUCCESS);
    Start();
    EXPECT_TRUE(prompts.asked.empty());
    EXPECT_EQ(Enabled(), Names{L"rail"});
}

// A second Tarrow's --play that arrives while Play's question is open waits
// until the question is answered, and then finds the game running: the game
// starts once, and when it ends every change is taken again.
TEST_F(MainWindow, AHandOffWaitsWhileAQuestionIsOpen) {
    game->Add(L"broken.pk3", "not a zip");
    game->Add(L"sniper.pk3", MakeZip({"a.txt"}));
    CopyFileW((ProgramFolder() + L"\\fake_game.exe").c_str(), (game->folder + L"\\CoDSP.exe").c_str(), FALSE);
    const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TarrowTestGameEnd");
    Start();
    prompts.buttons = {IDYES};
    bool ranInside = false;
    prompts.onAsk = [&](const AskedPrompt& asked) {
        if (asked.text.rfind(L"Load Order finds these problems", 0) != 0) return;
        // As the real prompt does: a loop of the system's, which dispatches messages.
        const ModalLoop loop;
        std::wstring line = L"--play";
        COPYDATASTRUCT data{HandOffTag, static_cast<DWORD>(line.size() * sizeof(wchar_t)), line.data()};
        EXPECT_EQ(SendMessageW(form->hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), TRUE);
        const DWORD until = GetTickCount() + 600;
        PumpUntil([&] { return GetTickCount() > until; });
        ranInside = form->Playing() || prompts.asked.size() > 1;
    };
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsPlay, 0);
    EXPECT_FALSE(ranInside);
    ASSERT_TRUE(form->Playing());
    prompts.onAsk = nullptr;
    const DWORD until = GetTickCount() + 600;
    PumpUntil([&] { return GetTickCount() > until; });
    EXPECT_EQ(prompts.asked.size(), 1u);
    SetEvent(end);
    EXPECT_TRUE(PumpUntil([&] { return !form->Playing(); }));
    CloseHandle(end);
    ClickListItem(c().listEnabled, 1);
    Click(c().cmdDisable);
    EXPECT_TRUE(game->Has(L"sniper.dis"));
}
