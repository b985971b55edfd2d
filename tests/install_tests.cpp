// Installing downloads and removing mods through the main window, on real
// files, with the trash of the test run (XDG_DATA_HOME under build/).
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "app/single_instance.h"
#include "app/windows_prompts.h"
#include "archive/zip_format.h"
#include "core/text.h"
#include "mods/change_coordinator.h"
#include "mods/installer.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

using namespace std::string_literals;

namespace {

using Names = std::vector<std::wstring>;

// A drop handle as the shell builds it: DROPFILES, then the wide names, each
// ended by a NUL, and a last NUL.
HGLOBAL DropOf(const Names& files) {
    size_t chars = 1;
    for (const auto& f : files) chars += f.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* at = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& f : files) {
        std::memcpy(at, f.c_str(), (f.size() + 1) * sizeof(wchar_t));
        at += f.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

// What the test run's trash holds, by name.
Names Trash() {
    const wchar_t* folder = _wgetenv(L"TARROW_TRASH");
    return folder ? TreeOf(folder) : Names{};
}

// A zip whose one small entry lies behind size bytes of other data.
void WriteLargeArchive(const std::wstring& path, DWORD size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string chunk(1 << 20, 'x');
    DWORD written = 0;
    for (DWORD at = 0; at < size; at += static_cast<DWORD>(chunk.size())) {
        WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    }
    const DWORD offset = size;
    std::string tail;
    auto put = [&](unsigned long v, int bytes) {
        for (int i = 0; i < bytes; ++i) tail += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    // A stored entry "a.txt" holding "a" (CRC 0xE8B7BE43).
    put(zip::format::kLocalSignature, 4), put(10, 2), put(0, 2), put(0, 2), put(0, 2), put(0x21, 2), put(0xE8B7BE43, 4),
        put(1, 4), put(1, 4), put(5, 2), put(0, 2);
    tail += "a.txta";
    const size_t central = tail.size();
    put(zip::format::kCentralSignature, 4), put(20, 2), put(10, 2), put(0, 2), put(0, 2), put(0, 2), put(0x21, 2),
        put(0xE8B7BE43, 4), put(1, 4), put(1, 4), put(5, 2), put(0, 2), put(0, 2), put(0, 2), put(0, 2), put(0, 4),
        put(offset, 4);
    tail += "a.txt";
    const size_t centralSize = tail.size() - central;
    put(zip::format::kEndSignature, 4), put(0, 2), put(0, 2), put(1, 2), put(1, 2),
        put(static_cast<unsigned long>(centralSize), 4), put(static_cast<unsigned long>(offset + central), 4),
        put(0, 2);
    WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
    CloseHandle(file);
}

class Installing : public ::testing::Test {
protected:
    void Start() { form = StartMainWindow(); }
    void Drop(const Names& files) {
        SendMessageW(form->hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(files)), 0);
        PumpPending();
    }
    Names Main() const { return TreeOf(game.main); }
    const frmMain::Controls& c() const { return form->controls(); }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    TempFolder downloads;
    std::unique_ptr<frmMain> form;
};

}  // namespace

TEST_F(Installing, DroppedDownloadsGoInAndTheFirstIsShown) {
    Start();
    EXPECT_TRUE(GetWindowLongPtrW(form->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    CopyFileW(Fixture(L"info_full.zip").c_str(), (downloads / L"Sniper.PK3").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_nested.zip").c_str(), (downloads / L"pack.zip").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_none.zip").c_str(), (downloads / L"readme.zip").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_itself.zip").c_str(), (downloads / L"Desert Map.zip").c_str(), FALSE);
    prompts.buttons = {IDOK, IDYES};
    Drop(
        {downloads / L"Sniper.PK3", downloads / L"pack.zip", downloads / L"readme.zip", downloads / L"Desert Map.zip"});
    EXPECT_EQ(prompts.MessageTexts(),
              (Names{L"readme.zip holds no mod.",
                     L"Desert Map.zip holds no .pk3 file, but it looks like a mod. Install it as Desert Map.pk3?"}));
    // Only the last part of a path inside a zip names the archive; the extension is written in lower case.
    EXPECT_EQ(Main(), (Names{L"Beta.pk3", L"Desert Map.pk3", L"Sniper.pk3", L"alpha.pk3"}));
    EXPECT_EQ(ReadFileBytes(game.main + L"Sniper.pk3"), ReadFileBytes(Fixture(L"info_full.zip")));
    EXPECT_EQ(ReadFileBytes(game.main + L"Desert Map.pk3"), ReadFileBytes(Fixture(L"inst_itself.zip")));
    EXPECT_EQ(ListItems(c().listEnabled), (Names{L"alpha", L"Beta", L"Desert Map", L"Sniper"}));
    EXPECT_EQ(ListSelection(c().listEnabled), 3);
    EXPECT_EQ(WindowText(c().rtfModInfo).substr(0, 17), L"Name: Sniper Pack");
}

// One Tarrow per user: a second one started with a file hands it to the
// first, which installs it as a drop, and ends.
TEST_F(Installing, ASecondTarrowsFilesAreInstalledByTheFirst) {
    const SingleInstance first;
    ASSERT_TRUE(first.First());
    Start();
    CopyFileW(Fixture(L"info_full.zip").c_str(), (downloads / L"Sniper.pk3").c_str(), FALSE);
    const wchar_t* dist = _wgetenv(L"TARROW_DIST");
    // Started in the downloads' folder, with the file's name alone.
    std::wstring command = L"\"" + (dist ? dist : ProgramFolder() + L"\\..\\..\\dist") + L"\\tarrow.exe\" Sniper.pk3";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, downloads.path().c_str(),
                               &si, &pi));
    const ProcessHandle second(pi.hProcess), thread(pi.hThread);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(second.get(), 0) == WAIT_OBJECT_0; }, 20000));
    DWORD code = 1;
    GetExitCodeProcess(second.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(PumpUntil([&] { return ListItems(c().listEnabled) == Names{L"Sniper"}; }));
    EXPECT_EQ(ReadFileBytes(game.main + L"Sniper.pk3"), ReadFileBytes(Fixture(L"info_full.zip")));
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(Installing, AReplaceAsksAndADisabledModStaysDisabled) {
    game.Install(L"info_full.zip", L"sniper.dis");
    game.Install(L"info_none.zip", L"Tanks.pk3");
    Start();
    CopyFileW(Fixture(L"inst_new_sniper.zip").c_str(), (downloads / L"sniper.pk3").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_nested.zip").c_str(), (downloads / L"tanks.pk3").c_str(), FALSE);
    prompts.buttons = {IDYES, IDNO};
    const Names trashBefore = Trash();
    Drop({downloads / L"sniper.pk3", downloads / L"tanks.pk3"});
    ASSERT_EQ(prompts.asked.size(), 2u);
    const std::wstring size = std::to_wstring(ReadFileBytes(Fixture(L"info_full.zip")).size());
    EXPECT_EQ(prompts.asked[0].text.rfind(L"Replace sniper?\r\n\r\nNow in main: sniper.dis, " + size + L" bytes, ", 0),
              0u)
        << prompts.asked[0].text;
    EXPECT_NE(prompts.asked[0].text.find(L"\r\nNew: sniper.dis, "), std::wstring::npos);
    EXPECT_EQ(prompts.asked[1].text.rfind(L"Replace tanks?", 0), 0u);
    // Yes put the new archive in under the .dis name; No kept the old one.
    EXPECT_EQ(Main(), (Names{L"Tanks.pk3", L"sniper.dis"}));
    EXPECT_EQ(ReadFileBytes(game.main + L"sniper.dis"), ReadFileBytes(Fixture(L"inst_new_sniper.zip")));
    EXPECT_EQ(ReadFileBytes(game.main + L"Tanks.pk3"), ReadFileBytes(Fixture(L"info_none.zip")));
    EXPECT_EQ(Trash().size(), trashBefore.size() + 1);
    EXPECT_EQ(ListSelection(c().listDisabled), 0);
    EXPECT_EQ(WindowText(c().rtfModInfo).substr(0, 16), L"Name: New Sniper");
}

// A mod that a reorder placed is the same mod: its replace keeps the prefix,
// so it keeps its place in the load order.
TEST_F(Installing, AReplaceKeepsThePlaceThatAReorderGave) {
    game.Install(L"info_full.zip", L"Q^sniper.pk3");
    Start();
    CopyFileW(Fixture(L"inst_new_sniper.zip").c_str(), (downloads / L"sniper.pk3").c_str(), FALSE);
    prompts.buttons = {IDYES};
    Drop({downloads / L"sniper.pk3"});
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text.rfind(L"Replace sniper?\r\n\r\nNow in main: Q^sniper.pk3, ", 0), 0u);
    EXPECT_EQ(Main(), Names{L"Q^sniper.pk3"});
    EXPECT_EQ(ReadFileBytes(game.main + L"Q^sniper.pk3"), ReadFileBytes(Fixture(L"inst_new_sniper.zip")));
}

TEST_F(Installing, DamagedArchivesReservedAndGameNamesAreRefused) {
    Start();
    CopyFileW(Fixture(L"notzip.zip").c_str(), (downloads / L"broken.pk3").c_str(), FALSE);
    CopyFileW(Fixture(L"truncated.zip").c_str(), (downloads / L"cut.zip").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_reserved.zip").c_str(), (downloads / L"names.zip").c_str(), FALSE);
    CopyFileW(Fixture(L"inst_badinner.zip").c_str(), (downloads / L"inner.zip").c_str(), FALSE);
    Drop({downloads / L"broken.pk3", downloads / L"cut.zip", downloads / L"names.zip", downloads / L"inner.zip"});
    const std::wstring damaged = L" is damaged: Tarrow cannot read its directory, so it installed nothing from it.";
    EXPECT_EQ(prompts.MessageTexts(),
              (Names{L"broken.pk3" + damaged, L"cut.zip" + damaged, L"broken.pk3 in inner.zip" + damaged,
                     L"con.pk3 is not a name that Windows allows for a file, so Tarrow did not install it.",
                     L"pak0.pk3 is the game's own archive. Tarrow never replaces it."}));
    EXPECT_TRUE(Main().empty());
    EXPECT_TRUE(IsAllowedFileName(L"sniper.pk3"));
    // The same devices as the archive reader keeps apart, blanks before the dot included.
    for (const wchar_t* name : {L"NUL.pk3", L"com1.pk3", L"LPT9", L"a:b.pk3", L"a?.pk3", L"trailing.", L"", L"com0.pk3",
                                L"CONIN$.pk3", L"con .pk3"}) {
        EXPECT_FALSE(IsAllowedFileName(name)) << name;
    }
}

// A Tarrow killed while it copied an install left its partial copy; one still
// running (this one) is copying into its own.
TEST_F(Installing, PartialCopiesOfAStoppedTarrowAreOfferedToTheRecycleBin) {
    const std::wstring stopped = L"~tarrow-999999-1.tmp";
    const std::wstring running = L"~tarrow-" + std::to_wstring(GetCurrentProcessId()) + L"-7.tmp";
    game.Add(stopped, std::string(1234, 'x'));
    game.Add(running, "in progress");
    game.Add(L"sniper.pk3");
    prompts.buttons = {IDYES};
    Start();
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"A Tarrow that was stopped halfway left these temporary files in main:\r\n\r\n" + stopped +
                    L", 1234 bytes\r\n\r\nSend them to the Recycle Bin?"});
    EXPECT_EQ(Main(), (Names{L"sniper.pk3", running}));
    const Names trash = Trash();
    EXPECT_NE(std::find(trash.begin(), trash.end(), stopped), trash.end());
}

TEST_F(Installing, AReplaceThatCannotTakePlaceLosesNothing) {
    game.Install(L"info_full.zip", L"sniper.pk3");
    Start();
    CopyFileW(Fixture(L"inst_new_sniper.zip").c_str(), (downloads / L"sniper.pk3").c_str(), FALSE);
    // The game holds the old archive open without sharing delete.
    HANDLE held = CreateFileW((game.main + L"sniper.pk3").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    prompts.buttons = {IDYES};
    Drop({downloads / L"sniper.pk3"});
    CloseHandle(held);
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[1].text.rfind(L"Tarrow could not replace sniper.pk3: ", 0), 0u) << prompts.asked[1].text;
    EXPECT_EQ(Main(), Names{L"sniper.pk3"});
    EXPECT_EQ(ReadFileBytes(game.main + L"sniper.pk3"), ReadFileBytes(Fixture(L"info_full.zip")));
}

TEST_F(Installing, ACancelledLargeInstallKeepsWhatWasFinished) {
    Start();
    WriteLargeArchive(downloads / L"first.pk3", 55u << 20);
    WriteLargeArchive(downloads / L"second.pk3", 55u << 20);
    prompts.cancelAt = 70;  // a megabyte a step: in the middle of the second archive
    Drop({downloads / L"first.pk3", downloads / L"second.pk3"});
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, AskedPrompt::ShowProgress);
    EXPECT_EQ(Main(), Names{L"first.pk3"});
}

TEST_F(Installing, InstallFromTheMenuAndRemoveWithTheDeleteKey) {
    Start();
    CopyFileW(Fixture(L"info_full.zip").c_str(), (downloads / L"sniper.pk3").c_str(), FALSE);
    prompts.opened = {{downloads / L"sniper.pk3"}};
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsInstall, 0);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Mods (*.pk3;*.zip)\0*.pk3;*.zip\0All files (*.*)\0*.*\0"s);
    EXPECT_EQ(Main(), Names{L"sniper.pk3"});

    // With nothing selected in the list used last, "Remove Mod" is greyed.
    HMENU tools = GetSubMenu(GetMenu(form->hwnd()), 2);
    SendMessageW(form->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), 1);
    EXPECT_EQ(GetMenuState(tools, frmMain::mnuToolsRemove, MF_BYCOMMAND) & MF_GRAYED, 0u);  // the install selected it
    SendMessageW(c().listEnabled, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageW(form->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), 1);
    EXPECT_NE(GetMenuState(tools, frmMain::mnuToolsRemove, MF_BYCOMMAND) & MF_GRAYED, 0u);

    const Names trashBefore = Trash();
    ClickListItem(c().listEnabled, 0);
    prompts.buttons = {IDNO, IDYES};
    PressKey(VK_DELETE);
    EXPECT_EQ(Main(), Names{L"sniper.pk3"});
    PressKey(VK_DELETE);
    EXPECT_EQ(prompts.MessageTexts(),
              (Names{L"Move sniper.pk3 to the Recycle Bin?", L"Move sniper.pk3 to the Recycle Bin?"}));
    EXPECT_TRUE(Main().empty());
    EXPECT_TRUE(ListItems(c().listEnabled).empty());
    EXPECT_EQ(Trash().size(), trashBefore.size() + 1);

    HMENU edit = GetSubMenu(GetMenu(form->hwnd()), 1);
    SendMessageW(form->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 1);
    wchar_t undo[128] = {};
    GetMenuStringW(edit, frmMain::mnuEditUndo, undo, 128, MF_BYCOMMAND);
    EXPECT_STREQ(undo, L"Can't Undo Remove: the archive is in the Recycle Bin");
    EXPECT_NE(GetMenuState(edit, frmMain::mnuEditUndo, MF_BYCOMMAND) & MF_GRAYED, 0u);
}

// Undoing an install asks, then sends the archive to the Recycle Bin; a redo
// installs it again from its download, a .pk3 inside a zip included.
TEST_F(Installing, AnInstallIsUndoneAfterAQuestionAndRedone) {
    Start();
    CopyFileW(Fixture(L"inst_nested.zip").c_str(), (downloads / L"pack.zip").c_str(), FALSE);
    Drop({downloads / L"pack.zip"});
    ASSERT_EQ(Main(), (Names{L"Beta.pk3", L"alpha.pk3"}));
    const std::string installed = ReadFileBytes(game.main + L"Beta.pk3");
    const Names trashBefore = Trash();
    prompts.buttons = {IDNO, IDYES};
    ClickListItem(c().listEnabled, 0);
    PressCtrlKey('Z');
    EXPECT_EQ(Main(), (Names{L"Beta.pk3", L"alpha.pk3"}));
    PressCtrlKey('Z');
    EXPECT_EQ(prompts.MessageTexts(),
              (Names{L"Move Beta.pk3 to the Recycle Bin?", L"Move Beta.pk3 to the Recycle Bin?"}));
    EXPECT_EQ(Main(), Names{L"alpha.pk3"});
    EXPECT_EQ(Trash().size(), trashBefore.size() + 1);
    EXPECT_EQ(ListItems(c().listEnabled), Names{L"alpha"});
    PressCtrlKey('Y');
    EXPECT_EQ(Main(), (Names{L"Beta.pk3", L"alpha.pk3"}));
    EXPECT_EQ(ReadFileBytes(game.main + L"Beta.pk3"), installed);
    EXPECT_EQ(prompts.asked.size(), 2u);
}

TEST_F(Installing, TheRealProgressWindowIsModalAndCancels) {
    Start();
    WindowsPrompts real;
    SetPrompts(&real);
    {
        auto progress = real.ShowProgress(L"Tarrow", L"Installing mods...");
        HWND window = FindWindowW(L"TarrowProgress", L"Tarrow");
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(IsWindowEnabled(form->hwnd()));
        EXPECT_TRUE(progress->Update(50, 100));
        PostMessageW(FindWindowExW(window, nullptr, L"Button", L"Cancel"), BM_CLICK, 0, 0);
        EXPECT_FALSE(progress->Update(60, 100));
    }
    EXPECT_TRUE(IsWindowEnabled(form->hwnd()));
    EXPECT_EQ(FindWindowW(L"TarrowProgress", nullptr), nullptr);
    SetPrompts(&prompts);
}

// Run as a CTest entry of its own, with a trash that cannot be made.
TEST(NoTrash, ARemovedModStaysWhenTheRecycleBinRefusesIt) {
    if (!_wgetenv(L"TARROW_NO_TRASH")) GTEST_SKIP() << "runs with a trash that cannot be made";
    PromptRecorder prompts;
    TestGame game;
    game.Install(L"info_full.zip", L"sniper.pk3");
    auto form = StartMainWindow();
    ClickListItem(form->controls().listEnabled, 0);
    prompts.buttons = {IDYES};
    PressKey(VK_DELETE);
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[1].text.rfind(L"Tarrow could not move sniper.pk3 to the Recycle Bin. ", 0), 0u)
        << prompts.asked[1].text;
    EXPECT_NE(prompts.asked[1].text.find(game.main + L"sniper.pk3"), std::wstring::npos);
    EXPECT_EQ(TreeOf(game.main), Names{L"sniper.pk3"});
    EXPECT_EQ(ReadFileBytes(game.main + L"sniper.pk3"), ReadFileBytes(Fixture(L"info_full.zip")));
    EXPECT_EQ(ListItems(form->controls().listEnabled), Names{L"sniper"});
}

// A change whose Recycle step the bin refused was still made: it is kept for
// Undo, and the player is told where the file stayed.
TEST(NoTrash, AChangeWhoseFileTheBinKeptIsStillKeptForUndo) {
    if (!_wgetenv(L"TARROW_NO_TRASH")) GTEST_SKIP() << "runs with a trash that cannot be made";
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"a.pk3");
    game.Add(L"copy.pk3");
    ChangeCoordinator coordinator(prompts);
    const Game demo = DemoGame(game.folder);
    EXPECT_TRUE(coordinator.Run(demo, {L"fixing", {{L"a.pk3", L"b.pk3"}, RecycleStep(L"copy.pk3")}}, L"Fix"));
    ASSERT_EQ(prompts.MessageTexts().size(), 1u);
    EXPECT_EQ(prompts.MessageTexts()[0].rfind(L"The Recycle Bin did not take the archive.", 0), 0u);
    EXPECT_TRUE(coordinator.history(demo).UndoItem().enabled);
    EXPECT_TRUE(game.Has(L"b.pk3"));
}
