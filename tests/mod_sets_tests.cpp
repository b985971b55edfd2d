// Mod sets: kept in the registry of the test prefix, switched by plans of
// renames, and shared as UTF-8 text.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/handles.h"
#include "ui/shortcut.h"
#include "core/text.h"
#include "games/game.h"
#include "games/launch.h"
#include "mods/mod_sets.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

// A game folder of its own in the registry, removed with its sets afterwards.
class ModSets : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, ModSetsKey); }
    // Writes a raw value among a folder's sets, as a damaged or foreign registry may hold it.
    static void WriteRaw(const std::wstring& name, DWORD type, const std::wstring& data,
                         const std::wstring& gameFolder = L"C:\\Games\\CoD") {
        std::wstring path = gameFolder;
        for (wchar_t& ch : path) ch = ch == L'\\' ? L'/' : static_cast<wchar_t>(towlower(ch));
        HKEY raw = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(ModSetsKey) + L"\\" + path).c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &raw, nullptr),
                  ERROR_SUCCESS);
        const RegKeyHandle key(raw);
        RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    }
    const std::wstring folder = L"C:\\Games\\CoD";
};

}  // namespace

TEST_F(ModSets, AreKeptPerFolderAndDamagedValuesAreSkipped) {
    ASSERT_EQ(SaveModSet(DemoGame(folder), {L"Realism", {L"sniper", L"M\u00fcnchen"}}), ERROR_SUCCESS);
    ASSERT_EQ(SaveModSet(DemoGame(folder), {L"fun", {}}), ERROR_SUCCESS);
    ASSERT_EQ(SaveModSet(DemoGame(L"D:\\Other"), {L"Elsewhere", {L"x"}}), ERROR_SUCCESS);
    WriteRaw(L"Text", REG_SZ, std::wstring(L"sniper") + L'\0');
    WriteRaw(L"Bad", REG_MULTI_SZ, std::wstring(L"a<b") + L'\0' + L'\0');
    WriteRaw(std::wstring(65, L'n'), REG_MULTI_SZ, std::wstring(1, L'\0'));
    // The folder is the same in another letter case, or with a trailing backslash.
    const StoredSets stored = ReadModSets(DemoGame(L"c:\\games\\cod\\"));
    ASSERT_EQ(stored.sets.size(), 2u);
    EXPECT_EQ(stored.sets[0].name, L"fun");
    EXPECT_EQ(stored.sets[1].name, L"Realism");
    EXPECT_EQ(stored.sets[1].mods, (Names{L"sniper", L"M\u00fcnchen"}));
    EXPECT_EQ(stored.skipped.size(), 3u);
    ASSERT_EQ(DeleteModSet(DemoGame(folder), L"fun"), ERROR_SUCCESS);
    EXPECT_EQ(ReadModSets(DemoGame(folder)).sets.size(), 1u);
    EXPECT_TRUE(ReadModSets(DemoGame(L"E:\\None")).sets.empty());
}

// A set saved before a reorder finds its mods under their prefixes; a mod that
// is gone is missing, and what is not Tarrow's to rename is left as it is.
TEST_F(ModSets, ASwitchRenamesOnlyWhatTheSetChanges) {
    const ModSet set{L"Realism", {L"Sniper", L"tanks", L"gone", L"upper", L"twice"}};
    const Names files = {L"pak0.pk3",  L"B^sniper.pk3", L"tanks.dis", L"voices.pk3", L"Upper.PK3",
                         L"Other.PK3", L"twice.pk3",    L"twice.dis", L"old.dis",    L"localized_english_pak0.pk3"};
    const SetSwitch plan = PlanSetSwitch(DemoGame({}), set, files);
    EXPECT_EQ(plan.enable, Names{L"tanks"});
    EXPECT_EQ(plan.disable, Names{L"voices"});
    EXPECT_EQ(plan.missing, Names{L"gone"});
    EXPECT_EQ(plan.leftAsIs, Names{L"Other.PK3"});
    ASSERT_EQ(plan.renames.size(), 2u);
    EXPECT_EQ(plan.renames[0].from, L"tanks.dis");
    EXPECT_EQ(plan.renames[0].to, L"tanks.pk3");
    EXPECT_EQ(plan.renames[1].from, L"voices.pk3");
    EXPECT_EQ(plan.renames[1].to, L"voices.dis");
    EXPECT_EQ(SetSwitchPreview(plan),
              L"Enable:\r\n    tanks\r\n\r\nDisable:\r\n    voices\r\n\r\nMissing:\r\n    gone\r\n\r\nLeft as it "
              L"is:\r\n    Other.PK3");
}

TEST_F(ModSets, ExportAndImportInUtf8AndRefuseWhatIsNotASet) {
    const ModSet set{L"Winter \u00e9t\u00e9", {L"M\u00fcnchen", L"sniper"}};
    const std::string text = ExportModSet(set);
    EXPECT_EQ(text.rfind("Tarrow mod set: Winter \xC3\xA9t\xC3\xA9\r\nM\xC3\xBCnchen\r\n", 0), 0u);
    const ImportedSet back = ImportModSet("\xEF\xBB\xBF" + text);
    EXPECT_EQ(back.failure, L"");
    EXPECT_EQ(back.set.name, set.name);
    EXPECT_EQ(back.set.mods, set.mods);
    EXPECT_EQ(ImportModSet("Tarrow mod set: x\r\nfine\r\na<b\r\n").failure,
              L"Line 3: \"a<b\" is not a name that a mod's file can have. Nothing was added.");
    EXPECT_EQ(ImportModSet("").failure, L"Line 1: the file is empty. Nothing was added.");
    EXPECT_FALSE(ImportModSet(std::string("PK\3\4\0\0\xFF", 7)).failure.empty());
    EXPECT_FALSE(ImportModSet("just a list\r\n").failure.empty());
    EXPECT_TRUE(ImportModSet("just a list\r\n").set.mods.empty());
}

// The window: the enabled mods saved as a set, a set imported, switched to
// through its preview, and the switch undone with Ctrl+Z.
TEST_F(ModSets, TheWindowSavesImportsSwitchesAndUndoes) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"a.pk3");
    game.Add(L"b.dis");
    WriteRaw(L"Damaged", REG_SZ, std::wstring(L"sniper") + L'\0', game.folder);
    auto form = StartMainWindow();
    // A damaged value is named once, when the window opens.
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsModSets, 0);
    PumpPending();
    ASSERT_NE(form->ModSets(), nullptr);
    EXPECT_EQ(prompts.MessageTexts(), Names{L"Tarrow skipped these values of its mod sets in the registry:\r\n\r\n"
                                            L"\"Damaged\", which is not a list of names"});
    prompts.asked.clear();
    const auto& c = form->ModSets()->controls();
    prompts.inputs = {L"Only A"};
    ClickAt(c.cmdSave, 20, 10);
    ASSERT_EQ(form->ModSets()->sets().size(), 1u);
    EXPECT_EQ(form->ModSets()->sets()[0].mods, Names{L"a"});

    WriteFileBytes(game.temp / L"b.tarrow-set.txt", "Tarrow mod set: Only B\r\nb\r\nmissing\r\n");
    prompts.opened = {{game.temp / L"b.tarrow-set.txt"}};
    ClickAt(c.cmdImport, 20, 10);
    ASSERT_EQ(form->ModSets()->sets().size(), 2u);
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(c.lvSets, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
    prompts.buttons = {IDOK};
    ClickAt(c.cmdSwitch, 20, 10);
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"Enable:\r\n    b\r\n\r\nDisable:\r\n    a\r\n\r\nMissing:\r\n    missing"});
    EXPECT_TRUE(game.Has(L"a.dis"));
    EXPECT_TRUE(game.Has(L"b.pk3"));
    EXPECT_EQ(ListItems(form->controls().listEnabled), Names{L"b"});
    PressCtrlKey('Z');
    EXPECT_TRUE(PumpUntil([&] { return game.Has(L"a.pk3") && game.Has(L"b.dis"); }));
    EXPECT_EQ(ListItems(form->controls().listEnabled), Names{L"a"});

    // Rename and delete the first set, "Only A".
    SendMessageW(c.lvSets, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    prompts.inputs = {L"Just A"};
    ClickAt(c.cmdRename, 20, 10);
    ASSERT_EQ(form->ModSets()->sets().size(), 2u);
    EXPECT_EQ(form->ModSets()->sets()[0].name, L"Just A");
    EXPECT_EQ(form->ModSets()->sets()[0].mods, Names{L"a"});
    SendMessageW(c.lvSets, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    prompts.buttons = {IDYES};
    ClickAt(c.cmdDelete, 20, 10);
    ASSERT_EQ(form->ModSets()->sets().size(), 1u);
    EXPECT_EQ(form->ModSets()->sets()[0].name, L"Only B");
}

// A set's desktop shortcut runs Tarrow with the game, the set and Play: that
// command line switches to the set in one change, names what is missing in
// one message, starts the game, and Tarrow ends when the game does.
TEST_F(ModSets, ADesktopShortcutSwitchesToTheSetAndPlays) {
    PromptRecorder prompts;
    TestGame game;
    game.Add(L"a.pk3", MakeZip({"a.txt"}));
    game.Add(L"b.dis", MakeZip({"b.txt"}));
    CopyFileW((ProgramFolder() + L"\\fake_game.exe").c_str(), (game.folder + L"\\CoDSP.exe").c_str(), FALSE);
    const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TarrowTestGameEnd");
    ASSERT_EQ(SaveModSet(DemoGame(game.folder), {L"Only \"B\"", {L"b", L"gone"}}), 0);
    auto form = StartMainWindow();
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuToolsModSets, 0);
    PumpPending();
    ASSERT_NE(form->ModSets(), nullptr);
    const auto& c = form->ModSets()->controls();
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(c.lvSets, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ClickAt(c.cmdShortcut, 20, 10);
    const std::wstring link = DesktopFolder() + L"\\Only _B_ - Call of Duty Single Player Demo.lnk";
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"Tarrow made the shortcut \"Only _B_ - Call of Duty Single Player Demo.lnk\" on the desktop."});
    Shortcut shortcut;
    ASSERT_EQ(ReadShortcut(link, shortcut), S_OK);
    DeleteFileW(link.c_str());
    EXPECT_TRUE(EqualNoCase(shortcut.target, FileSystem::ProgramPath()));
    // Its game by its folder, which another copy of the game found later does not take over.
    EXPECT_EQ(shortcut.arguments, L"--game \"" + game.folder + L"\" --set \"Only \\\"B\\\"\" --play");

    prompts.asked.clear();
    const ParsedLaunch parsed = ParseLaunch(SplitArguments(shortcut.arguments));
    ASSERT_EQ(parsed.error, L"");
    HWND window = form->hwnd();
    form->Launch(parsed.request);
    EXPECT_TRUE(game.Has(L"a.dis"));
    EXPECT_TRUE(game.Has(L"b.pk3"));
    EXPECT_EQ(prompts.MessageTexts(), Names{L"These mods of the set Only \"B\" are not in main:\r\n\r\n    gone"});
    EXPECT_TRUE(form->Playing());
    SetEvent(end);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
    CloseHandle(end);

    // A set that the game does not have is named, and nothing changes.
    prompts.asked.clear();
    auto again = StartMainWindow();
    again->Launch(ParseLaunch({L"--set", L"Nothing Like It", L"--play"}).request);
    EXPECT_EQ(
        prompts.MessageTexts(),
        Names{
            L"Tarrow found no mod set \"Nothing Like It\" of Call of Duty Single Player Demo for the argument --set."});
    EXPECT_FALSE(again->Playing());
    EXPECT_TRUE(game.Has(L"b.pk3"));
}
