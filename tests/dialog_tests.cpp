// Options, About and Changes, opened from the main window's menus, on the real
// registry of the test prefix; the folder browser answers through the recorder.
#include <windows.h>
#include <richedit.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/main_window.h"
#include "core/globals.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

namespace {

using Names = std::vector<std::wstring>;

class Dialogs : public ::testing::Test {
protected:
    void Start() {
        form = std::make_unique<frmMain>();
        form->Load();
        PumpPending();
    }
    void Menu(int command) {
        SendMessageW(form->hwnd(), WM_COMMAND, command, 0);
        PumpPending();
    }
    frmOptions& Options() {
        Menu(frmMain::mnuFileOptions);
        return *form->Options();
    }
    static void Press(HWND button) {
        SendMessageW(button, BM_CLICK, 0, 0);
        PumpPending();
    }
    static void Type(HWND edit, const std::wstring& text) { SetWindowTextW(edit, text.c_str()); }
    std::wstring Stored() const {
        return RegValueText(GetRegistryValue(HKEY_LOCAL_MACHINE, GameKey, InstallPathValue));
    }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    std::unique_ptr<frmMain> form;
};

const std::wstring kNul(1, L'\0');

}  // namespace

TEST_F(Dialogs, OptionsShowsTheLongFormOfTheStoredFolder) {
    MakeFolder(game.temp / L"Long Folder Name\\Call Of Duty");
    game.key->SetText(InstallPathValue, Globals::GetShortPath(game.temp / L"long folder name\\call of duty"));
    Start();
    EXPECT_EQ(WindowText(Options().controls().txtLocation), game.temp / L"Long Folder Name\\Call Of Duty");
    EXPECT_EQ(WindowText(form->Options()->hwnd()), L"Options");
}

TEST_F(Dialogs, OptionsWithNoValueShowsABackslash) {
    game.key.reset();
    Start();
    EXPECT_EQ(WindowText(Options().controls().txtLocation), L"\\");
}

TEST_F(Dialogs, TheFolderBrowserFillsTheBoxOnly) {
    Start();
    frmOptions& options = Options();
    Press(options.controls().cmdSelectInstall);
    EXPECT_EQ(WindowText(options.controls().txtLocation), game.folder);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, AskedPrompt::Browse);
    EXPECT_EQ(prompts.asked[0].title, L"Call of Duty Installation");
    EXPECT_EQ(prompts.asked[0].style, 3u);
    prompts.folders = {game.temp.path()};
    Press(options.controls().cmdSelectInstall);
    EXPECT_EQ(WindowText(options.controls().txtLocation), game.temp.path());
    EXPECT_EQ(Stored(), game.folder + kNul);
}

TEST_F(Dialogs, ApplyStoresAndCancelOnlyCloses) {
    TestGame other(false);
    other.Add(L"othermod.pk3");
    game.Add(L"firstmod.pk3");
    Start();
    frmOptions& options = Options();
    Type(options.controls().txtLocation, other.folder);
    Press(options.controls().cmdApply);
    EXPECT_TRUE(IsWindow(options.hwnd()));
    EXPECT_EQ(Stored(), Globals::GetShortPath(other.folder) + kNul);
    EXPECT_EQ(Globals::GamePath, other.folder);
    Press(options.controls().cmdCancel);
    EXPECT_EQ(options.hwnd(), nullptr);
    EXPECT_EQ(Globals::GamePath, other.folder);
    // The Manager page keeps the old folder until Refresh Program.
    EXPECT_EQ(ListItems(form->controls().listEnabled), Names{L"firstmod"});
    SendMessageW(form->controls().cmdRefreshMods, BM_CLICK, 0, 0);
    EXPECT_EQ(ListItems(form->controls().listEnabled), Names{L"othermod"});
}

TEST_F(Dialogs, OkayStoresTheShortFormAndCloses) {
    MakeFolder(game.temp / L"Another Game Folder");
    Start();
    frmOptions& options = Options();
    Type(options.controls().txtLocation, game.temp / L"another game folder");
    Press(options.controls().cmdOk);
    EXPECT_EQ(options.hwnd(), nullptr);
    const std::wstring shortForm = Globals::GetShortPath(game.temp / L"Another Game Folder");
    EXPECT_EQ(Stored(), shortForm + kNul);
    EXPECT_EQ(Globals::GamePath, game.temp / L"Another Game Folder");
    EXPECT_EQ(form->SearchPath(), game.folder);
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(Dialogs, AFolderThatDoesNotExistIsNotStored) {
    Start();
    frmOptions& options = Options();
    const std::wstring typo = game.temp / L"Call of Dtuy";
    Type(options.controls().txtLocation, typo);
    Press(options.controls().cmdOk);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_NE(prompts.asked[0].text.find(typo), std::wstring::npos);
    EXPECT_NE(prompts.asked[0].text.find(L"does not exist"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(options.hwnd()));
    EXPECT_EQ(WindowText(options.controls().txtLocation), typo);
    EXPECT_EQ(Stored(), game.folder + kNul);
    EXPECT_EQ(Globals::GamePath, game.folder);
}

TEST_F(Dialogs, ARefusedWriteIsReportedAndNothingChanges) {
    Start();
    frmOptions& options = Options();
    // Wine enforces no registry rights; a key that is not there refuses the write the same way.
    game.key.reset();
    TestRegistryKey::Delete(GameKey);
    Type(options.controls().txtLocation, game.temp.path());
    Press(options.controls().cmdOk);
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_NE(prompts.asked[0].text.find(L"could not be stored"), std::wstring::npos);
    EXPECT_TRUE(IsWindow(options.hwnd()));
    EXPECT_EQ(Globals::GamePath, game.folder);
    EXPECT_EQ(Stored(), L"");
}

TEST_F(Dialogs, AboutAndChangesShowTheirTexts) {
    Start();
    Menu(frmMain::mnuAboutAbout);
    ASSERT_NE(form->About(), nullptr);
    EXPECT_EQ(WindowText(form->About()->controls().lblVersion), L"Tarrow 0.6 Beta");
    EXPECT_EQ(WindowText(form->About()->hwnd()), L"About");
    Menu(frmMain::mnuAboutChanges);
    HWND box = form->Changes()->controls().rtfChanges;
    wchar_t text[1024] = {};
    GETTEXTEX how{sizeof text, GT_USECRLF, 1200, nullptr, nullptr};
    SendMessageW(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), Globals::ChangesText);
    EXPECT_NE(std::wstring(text).find(L"Beta\r\n  - Added Compatibility Checker\r\n\r\nChanges since version 0.4"),
              std::wstring::npos);
    EXPECT_TRUE(SendMessageW(box, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    Press(form->Changes()->controls().cmdClose);
    EXPECT_EQ(form->Changes()->hwnd(), nullptr);
    Press(form->About()->controls().Command1);
    EXPECT_EQ(form->About()->hwnd(), nullptr);
}

TEST_F(Dialogs, ASecondMenuChoiceBringsTheOpenDialogForward) {
    Start();
    frmOptions& options = Options();
    HWND first = options.hwnd();
    Type(options.controls().txtLocation, L"typed, not stored");
    Menu(frmMain::mnuAboutAbout);
    Menu(frmMain::mnuFileOptions);
    EXPECT_EQ(form->Options()->hwnd(), first);
    EXPECT_EQ(WindowText(form->Options()->controls().txtLocation), L"typed, not stored");
    EXPECT_EQ(GetForegroundWindow(), first);
    // Closed and opened again, it loads afresh.
    Press(form->Options()->controls().cmdCancel);
    EXPECT_EQ(WindowText(Options().controls().txtLocation), game.folder);
}

TEST_F(Dialogs, KeysWorkAsInADialog) {
    Start();
    Menu(frmMain::mnuAboutAbout);
    HWND about = form->About()->hwnd();
    SetForegroundWindow(about);
    PumpPending();
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }));

    MakeFolder(game.temp / L"Keyed");
    frmOptions& options = Options();
    SetForegroundWindow(options.hwnd());
    SetFocus(options.controls().txtLocation);
    Type(options.controls().txtLocation, game.temp / L"Keyed");
    PressKey(VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == options.controls().cmdSelectInstall; }));
    SetFocus(options.controls().txtLocation);
    PressKey(VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return options.hwnd() == nullptr; }));
    EXPECT_EQ(Globals::GamePath, game.temp / L"Keyed");
}

TEST_F(Dialogs, ClosingTheMainWindowClosesTheDialogs) {
    Start();
    Menu(frmMain::mnuFileOptions);
    Menu(frmMain::mnuAboutAbout);
    Menu(frmMain::mnuAboutChanges);
    HWND dialogs[] = {form->Options()->hwnd(), form->About()->hwnd(), form->Changes()->hwnd()};
    SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    for (HWND d : dialogs) EXPECT_FALSE(IsWindow(d));
    EXPECT_EQ(form->hwnd(), nullptr);
}
