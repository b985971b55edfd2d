// The mod information panel: selecting a mod shows its tarrow.ini, read from
// real archives, and leaves the game folder as it was.
#include <gtest/gtest.h>

#include <memory>

#include "app/main_window.h"
#include "app/windows_prompts.h"
#include "archive/unzip.h"
#include "ui/busy_cursor.h"
#include "modinfo/mod_info.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

namespace {

using Names = std::vector<std::wstring>;

std::wstring Panel(const std::wstring& name, const std::wstring& version, const std::wstring& author,
                   const std::wstring& description) {
    return L"Name: " + name + L"\rVersion: " + version + L"\rAuthor: " + author + L"\rDescription: " + description +
           L"\r";
}

class ModInfoPanel : public ::testing::Test {
protected:
    void SetUp() override { VBUnzBas::PasswordSkip = false; }
    void Install(const std::wstring& fixture, const std::wstring& archive) { game.Install(fixture, archive); }
    void Start() { form = StartMainWindow(); }
    // Clicks a mod and returns what the panel then reads, blank lines dropped.
    std::wstring Select(HWND list, const std::wstring& mod) {
        const auto items = ListItems(list);
        const auto at = std::find(items.begin(), items.end(), mod);
        EXPECT_NE(at, items.end()) << mod;
        const int index = static_cast<int>(at - items.begin());
        // Two separate clicks, not a double click: the system's double-click time passes between them.
        if (list == lastList_ && index == lastIndex_) {
            PumpUntil([&] { return GetTickCount64() - lastClick_ > GetDoubleClickTime(); }, 2000);
        }
        ClickListItem(list, index);
        lastList_ = list;
        lastIndex_ = index;
        lastClick_ = GetTickCount64();
        return Text();
    }
    std::wstring Text() const { return PanelText(form->controls().rtfModInfo); }
    HWND Enabled() const { return form->controls().listEnabled; }
    HWND Disabled() const { return form->controls().listDisabled; }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    std::unique_ptr<frmMain> form;
    HWND lastList_ = nullptr;
    int lastIndex_ = -1;
    ULONGLONG lastClick_ = 0;
};

size_t ScratchFoldersLeft() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    size_t count = 0;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(
        (std::wstring(temp) + L"Tarrow-" + std::to_wstring(GetCurrentProcessId()) + L"-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do ++count;
    while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

}  // namespace

TEST_F(ModInfoPanel, ShowsTheInformationOfEnabledAndDisabledMods) {
    Install(L"info_full.zip", L"sniper.pk3");
    Install(L"info_full.zip", L"tanks.dis");
    Start();
    const std::wstring expected = Panel(L"Sniper Pack", L"1.2", L"Ann", L"Better scopes");
    EXPECT_EQ(Select(Enabled(), L"sniper"), expected);
    EXPECT_EQ(Select(Disabled(), L"tanks"), expected);
    // Clicking the same mod again shows the same.
    EXPECT_EQ(Select(Disabled(), L"tanks"), expected);
    EXPECT_FALSE(BusyCursor::Active());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(ModInfoPanel, ANoticeWhenTheArchiveHasNoInformationAtItsRoot) {
    Install(L"info_none.zip", L"plain.pk3");
    Install(L"info_sub.zip", L"nested.dis");
    Install(L"info_caps.zip", L"caps.pk3");
    Start();
    EXPECT_EQ(Select(Enabled(), L"plain"), L"No information available for plain.pk3");
    EXPECT_EQ(Select(Disabled(), L"nested"), L"No information available for nested.dis");
    EXPECT_EQ(Select(Enabled(), L"caps"), L"No information available for caps.pk3");
}

TEST_F(ModInfoPanel, FollowsTheProfileReadersRules) {
    Install(L"info_name_only.zip", L"a.pk3");
    Install(L"info_other_section.zip", L"b.pk3");
    Install(L"info_key_case.zip", L"c.pk3");
    Install(L"info_long.zip", L"d.pk3");
    Install(L"info_empty.zip", L"e.pk3");
    Start();
    EXPECT_EQ(Select(Enabled(), L"a"), Panel(L"Only Name", L"Default", L"Default", L"Default"));
    EXPECT_EQ(Select(Enabled(), L"b"), Panel(L"Default", L"Default", L"Default", L"Default"));
    EXPECT_EQ(Select(Enabled(), L"c"), Panel(L"lower", L"2", L"Mixed", L"upper"));
    EXPECT_EQ(Select(Enabled(), L"d"), Panel(L"Default", L"Default", L"Default", std::wstring(254, L'd')));
    EXPECT_EQ(Select(Enabled(), L"e"), L"Name: \rVersion: \rAuthor: \rDescription: \r");
}

TEST_F(ModInfoPanel, ValuesCarryRichTextAndAnyCharacter) {
    Install(L"info_par.zip", L"par.pk3");
    Install(L"info_accents.zip", L"accents.pk3");
    Start();
    EXPECT_EQ(Select(Enabled(), L"par"), Panel(L"P", L"1", L"A", L"first line\rsecond line"));
    EXPECT_EQ(Select(Enabled(), L"accents"), Panel(L"Café crème", L"Default", L"Zoë", L"Default"));
}

TEST_F(ModInfoPanel, TwinFilesWithOneTimeStampShowTheirOwnInformation) {
    Install(L"info_twin_a.zip", L"twina.pk3");
    Install(L"info_twin_b.zip", L"twinb.pk3");
    Start();
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(Select(Enabled(), L"twina"), Panel(L"Twin A", L"Default", L"Default", L"Default"));
        EXPECT_EQ(Select(Enabled(), L"twinb"), Panel(L"Twin B", L"Default", L"Default", L"Default"));
    }
}

TEST_F(ModInfoPanel, AnEncryptedEntryAsksForItsPassword) {
    Install(L"encrypted.zip", L"locked.pk3");
    Start();
    prompts.inputs = {L"secret"};
    EXPECT_EQ(Select(Enabled(), L"locked"), Panel(L"Sniper Pack", L"1.2", L"Ann", L"Better scopes"));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Please Enter The Password!");
    // An empty answer gives the notice, and no question is asked again.
    EXPECT_EQ(Select(Enabled(), L"locked"), L"No information available for locked.pk3");
    EXPECT_EQ(Select(Enabled(), L"locked"), L"No information available for locked.pk3");
    EXPECT_EQ(prompts.asked.size(), 2u);
}

TEST_F(ModInfoPanel, OneClickAsksOnceWhenReleasedDuringTheQuestion) {
    Install(L"encrypted.zip", L"locked.pk3");
    Install(L"encrypted.zip", L"locked2.pk3");
    Start();
    const std::wstring shown = Panel(L"Sniper Pack", L"1.2", L"Ann", L"Better scopes");
    prompts.inputs = {L"secret", L"secret"};
    // The button comes up while the question is open, as a person's click does.
    prompts.onAsk = [&](const AskedPrompt&) {
        if (prompts.asked.size() == 1) Release();
    };
    RECT item{};
    SendMessageW(Enabled(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    PressAt(Enabled(), (item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PumpPending();
    EXPECT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(Text(), shown);
    EXPECT_EQ(GetCapture(), nullptr);
    // The next mod still asks: the first answer was right.
    prompts.onAsk = nullptr;
    EXPECT_EQ(Select(Enabled(), L"locked2"), shown);
    EXPECT_EQ(prompts.asked.size(), 2u);
    // A double click is one selection: one question.
    prompts.inputs = {L"secret", L"secret"};
    ClickListItem(Enabled(), 0);
    ClickListItem(Enabled(), 0);
    EXPECT_EQ(prompts.asked.size(), 3u);
    EXPECT_EQ(Text(), shown);
}

namespace {

// Answers the real input box from a timer of this thread, which its modal loop runs.
class PasswordTyper {
public:
    explicit PasswordTyper(const wchar_t* password) {
        password_ = password;
        answered_ = 0;
        timer_ = SetTimer(nullptr, 0, 50, &PasswordTyper::Tick);
    }
    ~PasswordTyper() { KillTimer(nullptr, timer_); }
    PasswordTyper(const PasswordTyper&) = delete;
    PasswordTyper& operator=(const PasswordTyper&) = delete;
    static int answered() { return answered_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        // A person's button is up before they type: the box, not the list, gets the release.
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) {
            Release();
            return;
        }
        EnumThreadWindows(GetCurrentThreadId(), &PasswordTyper::Answer, 0);
    }
    static BOOL CALLBACK Answer(HWND window, LPARAM) {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
        if (std::wstring(className) != L"#32770" || !IsWindowVisible(window) || !edit) return TRUE;
        SetWindowTextW(edit, password_);
        ++answered_;
        PostMessageW(window, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    static inline const wchar_t* password_ = nullptr;
    static inline int answered_ = 0;
    UINT_PTR timer_ = 0;
};

}  // namespace

// The real input box, answered by the typer, over a game with a locked mod first.
class ModInfoFocus : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompts(&real);
        VBUnzBas::PasswordSkip = false;
        game.Install(L"encrypted.zip", L"locked.pk3");
    }
    void Start() {
        form = StartMainWindow();
        list = form->controls().listEnabled;
    }
    std::wstring Panel() const { return WindowText(form->controls().rtfModInfo); }
    void TearDown() override {
        form.reset();
        SetPrompts(nullptr);
    }

    WindowsPrompts real;
    TestGame game;
    std::unique_ptr<frmMain> form;
    HWND list = nullptr;
};

TEST_F(ModInfoFocus, TheKeyboardComesBackToTheListAfterTheQuestion) {
    game.Install(L"info_name_only.zip", L"next.pk3");
    Start();
    PasswordTyper typer(L"secret");
    ClickListItem(list, 0);
    EXPECT_EQ(PasswordTyper::answered(), 1);
    EXPECT_EQ(GetFocus(), list);
    PressKey(VK_DOWN);
    EXPECT_TRUE(PumpUntil([&] { return ListSelection(list) == 1; }));
    EXPECT_EQ(Panel().substr(0, 16), L"Name: Only Name\r");
    EXPECT_EQ(PasswordTyper::answered(), 1);
}

TEST_F(ModInfoFocus, TheClickAfterTheQuestionSelectsTheNextMod) {
    game.Install(L"encrypted.zip", L"locked2.pk3");
    game.Install(L"info_name_only.zip", L"plain.pk3");
    Start();
    PasswordTyper typer(L"secret");
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    PressAt(list, (item.left + item.right) / 2, (item.top + item.bottom) / 2);
    EXPECT_TRUE(PumpUntil([&] { return PasswordTyper::answered() == 1 && GetCapture() == nullptr; }));
    EXPECT_EQ(Panel().substr(0, 18), L"Name: Sniper Pack\r");
    // One click on the plain mod selects it and shows it.
    ClickListItem(list, 2);
    EXPECT_EQ(ListSelection(list), 2);
    EXPECT_EQ(Panel().substr(0, 16), L"Name: Only Name\r");
    // One click on the other locked mod asks its question.
    ClickListItem(list, 1);
    EXPECT_EQ(ListSelection(list), 1);
    EXPECT_EQ(PasswordTyper::answered(), 2);
}

TEST_F(ModInfoPanel, AHugeInformationFileIsNotReadAndTheEditorSaysWhy) {
    Install(L"info_huge.zip", L"huge.pk3");
    Start();
    EXPECT_EQ(Select(Enabled(), L"huge"), L"No information available for huge.pk3");
    EXPECT_EQ(ScratchFoldersLeft(), 0u);
    SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuTools_ModInfoMaker, 0);
    EXPECT_TRUE(form->Editor() == nullptr || form->Editor()->hwnd() == nullptr);
    EXPECT_EQ(prompts.MessageTexts(), std::vector<std::wstring>{L"Tarrow cannot edit the information of huge.pk3: its "
                                                                L"tarrow.ini is larger than 64 KB. A real one is a few "
                                                                L"hundred bytes."});
    EXPECT_EQ(TreeOf(game.main), Names{L"huge.pk3"});
}

TEST_F(ModInfoPanel, NothingInTheGameFolderChanges) {
    Install(L"info_none.zip", L"plain.pk3");
    // A folder named like the mod, with its own information file and more.
    game.Add(L"plain\\tarrow.ini", "[Tarrow]\r\nNAME=Leftover\r\n");
    game.Add(L"plain\\notes.txt", "mine");
    const auto before = TreeOf(game.folder);
    Start();
    EXPECT_EQ(Select(Enabled(), L"plain"), L"No information available for plain.pk3");
    EXPECT_EQ(TreeOf(game.folder), before);
    EXPECT_EQ(ReadFileBytes(game.main + L"plain\\tarrow.ini"), "[Tarrow]\r\nNAME=Leftover\r\n");
    EXPECT_EQ(ReadFileBytes(game.main + L"plain\\notes.txt"), "mine");
    EXPECT_EQ(ScratchFoldersLeft(), 0u);
}

TEST(RtfText, EscapesEverythingAboveAscii) {
    EXPECT_EQ(RtfText(L"plain \\par {x}"), "plain \\par {x}");
    EXPECT_EQ(RtfText(L"é"), "\\u233?");
    EXPECT_EQ(RtfText(L"\u20AC"), "\\u8364?");
    EXPECT_EQ(RtfText(L"\uFFFD"), "\\u-3?");
    // Beyond the BMP: the two surrogates.
    EXPECT_EQ(RtfText(L"\U0001F600"), "\\u-10179?\\u-8704?");
    EXPECT_EQ(NoticeRtf(L"mymod", L".pk3"),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fprq2\\fcharset0 Microsoft Sans "
              "Serif;}{\\f1\\fswiss\\fcharset0 Arial;}}\\viewkind4\\uc1\\pard\\f0\\fs16 No information available for "
              "mymod.pk3\\f1\\fs20\\par}");
}

// Without the library, run from a copy of this program's folder that lacks it.
TEST(InCopy, WithoutTheLibraryTheNoticeShows) {
    if (!_wgetenv(L"TARROW_NO_LIBRARY")) GTEST_SKIP() << "runs only in a copy";
    PromptRecorder prompts;
    TestGame game;
    CopyFileW((_wgetenv(L"TARROW_FIXTURES") + std::wstring(L"\\info_full.zip")).c_str(),
              (game.main + L"sniper.pk3").c_str(), FALSE);
    frmMain form;
    form.Load();
    ClickListItem(form.controls().listEnabled, 0);
    EXPECT_EQ(WindowText(form.controls().rtfModInfo).substr(0, 39), L"No information available for sniper.pk3");
    EXPECT_FALSE(BusyCursor::Active());
    EXPECT_EQ(TreeOf(game.main), Names{L"sniper.pk3"});
    EXPECT_EQ(ScratchFoldersLeft(), 0u);
}

TEST(ModInfoCopy, WithoutTheLibraryTheNoticeShows) {
    TempFolder folder;
    SetEnvironmentVariableW(L"TARROW_FIXTURES", (ProgramFolder() + L"\\fixtures").c_str());
    EXPECT_EQ(RunInCopy(folder, L"TARROW_NO_LIBRARY", L"1"), 0u);
}
