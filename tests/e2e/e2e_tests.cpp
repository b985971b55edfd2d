// The whole program, end to end: build/dist/tarrow.exe runs as a process of
// its own on a generated game, driven only by real clicks, drags and key
// presses, and read from outside. On a failure the screen is saved beside the
// test's output.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "core/handles.h"
#include "app/options_dialog.h"
#include "compat/compatibility.h"
#include "compat/load_order_window.h"
#include "maps/maps_window.h"
#include "modinfo/mod_info_editor.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

namespace {

using Names = std::vector<std::wstring>;

std::wstring DistFolder() {
    const wchar_t* dist = _wgetenv(L"TARROW_DIST");
    return dist ? dist : ProgramFolder() + L"\\..\\..\\dist";
}

// Saves what the screen shows of one window.
// The screen inside a rectangle, as a bitmap file.
void SaveRect(const RECT& r, const std::wstring& path) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB};
    const int stride = (w * 3 + 3) & ~3;
    std::string pixels(static_cast<size_t>(stride) * h, '\0');
    GetDIBits(memory, bitmap, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info + pixels.size()), 0, 0,
                          sizeof file + sizeof info};
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

void SaveWindow(HWND window, const std::wstring& path) {
    RECT r{};
    GetWindowRect(window, &r);
    SaveRect(r, path);
}

class ScreenOnFailure : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (!result.failed()) return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string("e2e-failure-") + test->name() + ".bmp";
        SaveWindow(GetDesktopWindow(), ProgramFolder() + L"\\" + std::wstring(name.begin(), name.end()));
    }
};

// Waits until a person's next input would reach the window: its top-level
// window is in front. Input sent earlier may reach another window.
void Ready(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    // A window the program has just opened comes to the front by itself; one
    // more change of the foreground from here would only race with that one.
    if (!PumpUntil([&] { return GetForegroundWindow() == top; }, 2000)) {
        SetForegroundWindow(top);
        PumpUntil([&] { return GetForegroundWindow() == top; }, 5000);
    }
}

// Tarrow as a separate process.
class Tarrow {
public:
    explicit Tarrow(const std::wstring& arguments = {}) {
        std::wstring command = L"\"" + DistFolder() + L"\\tarrow.exe\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW si{sizeof si};
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, DistFolder().c_str(),
                                  &si, &pi_);
    }
    ~Tarrow() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 1);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }
    Tarrow(const Tarrow&) = delete;
    Tarrow& operator=(const Tarrow&) = delete;

    // A visible top-level window of the process, by class ("#32770" for a message box).
    HWND Window(const std::wstring& className, DWORD timeoutMs = 10000) const {
        HWND found = nullptr;
        PumpUntil([&] { return (found = Find(className)) != nullptr; }, timeoutMs);
        return found;
    }
    bool Gone(const std::wstring& className) const { return Find(className) == nullptr; }
    bool Exited(DWORD timeoutMs = 10000) const { return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }

private:
    HWND Find(const std::wstring& className) const {
        struct Search {
            DWORD pid;
            const std::wstring* cls;
            HWND hit;
        } search{pi_.dwProcessId, &className, nullptr};
        EnumWindows(
            [](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                wchar_t cls[64] = {};
                GetClassNameW(w, cls, 64);
                if (pid == s->pid && IsWindowVisible(w) && *s->cls == cls) {
                    s->hit = w;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.hit;
    }

    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

// A control's text, asked of its window: GetWindowText does not ask the
// controls of another process.
std::wstring TextOf(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(
        static_cast<size_t>(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

HWND Control(HWND parent, int id) {
    struct Search {
        int id;
        HWND hit;
    } search{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (GetDlgCtrlID(w) == s->id && !s->hit) s->hit = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.hit;
}

HWND ControlOfClass(HWND parent, int id, const std::wstring& className) {
    struct Search {
        int id;
        const std::wstring* cls;
        HWND hit;
    } search{id, &className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (GetDlgCtrlID(w) == s->id && *s->cls == cls && !s->hit) s->hit = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.hit;
}

// Keys go to the control once the click has given it the keyboard.
bool WaitForFocus(HWND control) {
    GUITHREADINFO thread{sizeof thread};
    return PumpUntil([&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &thread) && thread.hwndFocus == control;
    });
}

void Click(HWND control) {
    Ready(control);
    const POINT p = CentreOf(control);
    ClickAt(control, p.x, p.y);
}

// Where an item of another process's list box lies, from messages that carry no pointer.
POINT ItemPoint(HWND list, int index) {
    const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    return {client.right / 2, (index - top) * height + height / 2};
}

void ClickItem(HWND list, int index) {
    Ready(list);
    const POINT p = ItemPoint(list, index);
    ClickAt(list, p.x, p.y);
}

void KeyDown(WORD key, bool up = false) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
    PumpPending();
}

// Alt+F4 on a window, as a person closes it.
// Under Wine, a window that has just come to the front takes the keyboard state
// from the display once more, and that can drop an Alt pressed a moment before:
// the F4 then arrives alone. So, as a person would, the chord is pressed again
// while the window stays, a few times at most.
void CloseWithAltF4(HWND window) {
    for (int attempt = 0; attempt < 3 && IsWindow(window); ++attempt) {
        Ready(window);
        KeyDown(VK_MENU);
        PressKey(VK_F4);
        KeyDown(VK_MENU, true);
        PumpUntil([&] { return !IsWindow(window); }, 3000);
    }
}

// Where the arrow keys find a command in the main window's menus: the menu's
// place on the bar, and the item's among those the keys stop at. Read from
// the program's own menu bar, so that a new item moves no test.
struct MenuPlace {
    int menu = -1, item = -1;
};
MenuPlace PlaceOf(int command) {
    HMENU bar = frmMain::CreateMenuBar();
    MenuPlace place;
    for (int m = 0; m < GetMenuItemCount(bar) && place.menu < 0; ++m) {
        HMENU popup = GetSubMenu(bar, m);
        for (int i = 0, stop = 0; i < GetMenuItemCount(popup); ++i) {
            if (GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) continue;
            if (GetMenuItemID(popup, i) == static_cast<UINT>(command)) {
                place = {m, stop};
                break;
            }
            ++stop;
        }
    }
    DestroyMenu(bar);
    return place;
}

HWND OpenPopupMenu() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t name[16]{};
            GetClassNameW(w, name, 16);
            if (std::wstring(name) != L"#32768" || !IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Every open menu, the menu bar's popup first.
std::vector<HWND> PopupMenus() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t name[16]{};
            GetClassNameW(w, name, 16);
            if (std::wstring(name) == L"#32768" && IsWindowVisible(w))
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The top of the highlighted item of an open menu, as the screen shows it, or -1.
int HighlightedRow(HWND popup) {
    RECT r{};
    GetWindowRect(popup, &r);
    const int h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP column = CreateCompatibleBitmap(screen, 1, h);
    HGDIOBJ old = SelectObject(memory, column);
    BitBlt(memory, 0, 0, 1, h, screen, r.left + 8, r.top, SRCCOPY);
    int row = -1;
    const COLORREF marks[] = {GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_MENUHILIGHT)};
    for (int y = 0; y < h && row < 0; ++y) {
        const COLORREF pixel = GetPixel(memory, 0, y);
        if (pixel == marks[0] || pixel == marks[1]) row = y;
    }
    SelectObject(memory, old);
    DeleteObject(column);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return row;
}

// Highlights a command of the main window with the keyboard, as a person does:
// F10 to the menu bar, right to the menu, down to open it, down to the item;
// ChooseMenu then presses Enter. Each arrow in the open menu waits until the highlight has moved, so
// that no key is counted that the menu did not take.
void HighlightMenuItem(HWND window, int command) {
    const MenuPlace place = PlaceOf(command);
    ASSERT_GE(place.menu, 0) << "no menu item " << command;
    Ready(window);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    const ProcessHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    auto press = [&](WORD key) {
        PressKey(key);
        WaitForInputIdle(process.get(), 1000);
    };
    // A menu highlights the item under the pointer, wherever the keys put it:
    // the pointer waits where no menu opens, below the window.
    RECT frame{};
    GetWindowRect(window, &frame);
    MoveTo(GetDesktopWindow(), frame.left + 4, frame.bottom + 40);
    press(VK_F10);
    for (int i = 0; i < place.menu; ++i) press(VK_RIGHT);
    press(VK_DOWN);
    HWND popup = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (popup = OpenPopupMenu()) != nullptr; }, 3000));
    int row = -1;
    // A menu opened from the keyboard highlights its first item; one that did not, gets it with Down.
    if (!PumpUntil([&] { return (row = HighlightedRow(popup)) >= 0; }, 1000)) {
        PressKey(VK_DOWN);
        ASSERT_TRUE(PumpUntil([&] { return (row = HighlightedRow(popup)) >= 0; }, 3000));
    }
    for (int i = 0; i < place.item; ++i) {
        const int before = row;
        PressKey(VK_DOWN);
        ASSERT_TRUE(PumpUntil([&] { return (row = HighlightedRow(popup)) > before; }, 3000)) << "item " << i + 1;
    }
}

void ChooseMenu(HWND window, int command) {
    HighlightMenuItem(window, command);
    PressKey(VK_RETURN);
}

void TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT inputs[2]{};
        inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
        inputs[0].ki.wScan = inputs[1].ki.wScan = c;
        inputs[0].ki.dwFlags = KEYEVENTF_UNICODE;
        inputs[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
    }
    PumpPending();
}

// A click on the "Manager" tab, then the right arrow key to the next tab.
void ShowCompatibilityPage(HWND main) {
    HWND tabs = Control(main, frmMain::IdTabStrip);
    Ready(tabs);
    ClickAt(tabs, 20, 10);
    WaitForFocus(tabs);
    PressKey(VK_RIGHT);
    PumpUntil([&] { return SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == 1; });
}

// The text of a message box, its title, and its OK button pressed by a click.
struct Box {
    std::wstring text, title;
};
Box AnswerMessage(const Tarrow& tarrow) {
    HWND box = tarrow.Window(L"#32770");
    if (!box) return {};
    Box seen{TextOf(GetDlgItem(box, 0xFFFF)), TextOf(box)};
    Click(GetDlgItem(box, IDOK));
    PumpUntil([&] { return !IsWindow(box); });
    return seen;
}

bool Until(const std::function<bool()>& condition) { return PumpUntil(condition, 10000); }

// A list view of another process, focused by a click below its rows, and its first row selected with Home.
void SelectFirstRow(HWND window, int id) {
    HWND list = ControlOfClass(window, id, L"SysListView32");
    Ready(list);
    RECT area{};
    GetClientRect(list, &area);
    ClickAt(list, 40, area.bottom - 4);
    PressKey(VK_HOME);
}

}  // namespace

TEST(EndToEnd, StartsWithoutTheGamesKey) {
    TestGame game(false);
    Tarrow tarrow;
    const Box warning = AnswerMessage(tarrow);
    EXPECT_EQ(warning.text, L"Tarrow did not detect CoD, please make sure it's installed correctly.");
    EXPECT_EQ(warning.title, L"Tarrow");
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(TextOf(main), L"Tarrow 0.6 Beta");
    EXPECT_TRUE(ListItems(Control(main, frmMain::IdListEnabled)).empty());
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

// A wrong argument is named in one message, and Tarrow ends without a window.
TEST(EndToEnd, ABadArgumentIsNamedAndNothingStarts) {
    TestGame game;
    game.Add(L"sniper.pk3");
    Tarrow tarrow(L"--set Realism --plya");
    const Box refusal = AnswerMessage(tarrow);
    EXPECT_EQ(refusal.text, L"Tarrow does not know the argument \"--plya\".");
    EXPECT_TRUE(tarrow.Exited());
    EXPECT_TRUE(tarrow.Gone(L"TarrowMain"));
    EXPECT_TRUE(game.Has(L"sniper.pk3"));
}

TEST(EndToEnd, SwitchesModsAndShowsTheirInformation) {
    TestGame game;
    game.Install(L"info_full.zip", L"sniper.pk3");
    game.Install(L"info_none.zip", L"tanks.dis");
    game.Install(L"info_none.zip", L"twice.pk3");
    game.Install(L"info_none.zip", L"twice.dis");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    HWND enabled = Control(main, frmMain::IdListEnabled), disabled = Control(main, frmMain::IdListDisabled);
    EXPECT_EQ(ListItems(enabled), (Names{L"sniper", L"twice"}));
    EXPECT_EQ(ListItems(disabled), (Names{L"tanks", L"twice"}));

    // Selecting a mod shows its information.
    ClickItem(enabled, 0);
    HWND info = Control(main, frmMain::IdModInfo);
    EXPECT_TRUE(Until([&] { return TextOf(info).rfind(L"Name: Sniper Pack", 0) == 0; })) << TextOf(info);

    // Disable by button.
    Click(Control(main, frmMain::IdDisable));
    EXPECT_TRUE(Until([&] { return game.Has(L"sniper.dis") && !game.Has(L"sniper.pk3"); }));
    EXPECT_TRUE(Until([&] { return ListItems(disabled) == Names{L"sniper", L"tanks", L"twice"}; }));

    // Enable by dragging from the disabled list onto the enabled one.
    Ready(disabled);
    DragTo(disabled, ItemPoint(disabled, 1), enabled, CentreOf(enabled));
    EXPECT_TRUE(Until([&] { return game.Has(L"tanks.pk3") && !game.Has(L"tanks.dis"); }));
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == Names{L"tanks", L"twice"}; }));

    // A collision is reported and moves nothing.
    ClickItem(enabled, 1);
    Click(Control(main, frmMain::IdDisable));
    const Box collision = AnswerMessage(tarrow);
    EXPECT_EQ(collision.text, L"Error: " + game.main + L"twice.dis already exists");
    EXPECT_EQ(collision.title, L"Tarrow");
    EXPECT_TRUE(game.Has(L"twice.pk3"));
    EXPECT_TRUE(game.Has(L"twice.dis"));
}

TEST(EndToEnd, ChecksCompatibility) {
    TestGame game;
    game.Install(L"compat_alpha.zip", L"alpha.pk3");
    game.Install(L"compat_beta.zip", L"beta.pk3");
    game.Install(L"compat_gamma.zip", L"gamma.pk3");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    ShowCompatibilityPage(main);
    HWND list = ControlOfClass(main, ctlCompatibility::IdList, L"ListBox");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(Until([&] { return ListItems(list) == Names{L"alpha", L"beta", L"gamma"}; }));
    ClickItem(list, 0);
    Click(ControlOfClass(main, ctlCompatibility::IdCheck, L"Button"));
    HWND caption = nullptr;
    EnumChildWindows(
        main,
        [](HWND w, LPARAM p) -> BOOL {
            const std::wstring text = TextOf(w);
            if (text.rfind(L"Conflicts", 0) == 0) *reinterpret_cast<HWND*>(p) = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&caption));
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(Until([&] { return TextOf(caption) == L"Conflicts Found: 3"; })) << TextOf(caption);
    EXPECT_EQ(TextOf(ControlOfClass(main, ctlCompatibility::IdOutput, L"Edit")),
              L"beta : maps\\a.bsp\r\ngamma : maps\\a.bsp\r\ngamma : sound\\b.wav\r\n");
    EXPECT_EQ(TreeOf(game.main), (Names{L"alpha.pk3", L"beta.pk3", L"gamma.pk3"}));
}

TEST(EndToEnd, ShowsWhatTheGameLoads) {
    TestGame game;
    game.Install(L"lo_game.zip", L"pak0.pk3");
    game.Install(L"lo_one.zip", L"mod_one.pk3");
    game.Install(L"lo_two.zip", L"zz_two.pk3");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    ChooseMenu(main, frmMain::mnuToolsLoadOrder);
    HWND window = tarrow.Window(L"TarrowLoadOrder");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), L"Load Order");
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    // Waiting on the clipboard's change count, not by opening it, leaves it free for the program.
    const DWORD before = GetClipboardSequenceNumber();
    Click(ControlOfClass(window, frmLoadOrder::IdCopy, L"Button"));
    EXPECT_TRUE(Until([&] { return GetClipboardSequenceNumber() != before; }));
    std::wstring copied;
    EXPECT_TRUE(Until([&] { return !(copied = ClipboardText()).empty(); }));
    // The game takes maps\a.bsp from the archive that sorts last.
    EXPECT_NE(copied.find(L"\r\nmaps\\a.bsp\tzz_two.pk3\tmod_one.pk3, pak0.pk3\t\r\n"), std::wstring::npos) << copied;

    // From the keyboard: the first archive, mod_one, moved down twice to the end, then applied; the
    // file is then spelt as mod_one spells it.
    SelectFirstRow(window, frmLoadOrder::IdArchives);
    for (int i = 0; i < 2; ++i) {
        KeyDown(VK_MENU);
        PressKey(VK_DOWN);
        KeyDown(VK_MENU, true);
    }
    Click(ControlOfClass(window, frmLoadOrder::IdApply, L"Button"));
    const Box preview = AnswerMessage(tarrow);
    EXPECT_EQ(preview.text.rfind(L"Tarrow will rename these archives:\r\n\r\nmod_one.pk3 \u2192 ~^mod_one.pk3", 0), 0u)
        << preview.text;
    EXPECT_TRUE(Until([&] { return game.Has(L"~^mod_one.pk3") && !game.Has(L"mod_one.pk3"); }));
    const DWORD applied = GetClipboardSequenceNumber();
    Click(ControlOfClass(window, frmLoadOrder::IdCopy, L"Button"));
    EXPECT_TRUE(Until([&] { return GetClipboardSequenceNumber() != applied; }));
    EXPECT_TRUE(Until([&] { return (copied = ClipboardText()).find(L"~^mod_one") != std::wstring::npos; }));
    EXPECT_NE(copied.find(L"\r\nMaps\\A.bsp\t~^mod_one.pk3\tpak0.pk3, zz_two.pk3\t\r\n"), std::wstring::npos) << copied;
    Ready(window);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Until([&] { return tarrow.Gone(L"TarrowLoadOrder"); }));
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

// A change from outside while a menu is open waits until the menu closes: a
// re-read in the menu's own loop would rebuild what the menu's owner holds.
TEST(EndToEnd, TheListsWaitForAnOpenMenu) {
    TestGame game;
    game.Add(L"old.pk3");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    HWND enabled = Control(main, frmMain::IdListEnabled);
    // A download in progress: the watcher ticks until the file stops growing,
    // before the menu opens and on inside it.
    std::string bytes = "PK";
    auto grow = [&] {
        for (int i = 0; i < 7; ++i) {
            game.Add(L"new.pk3", bytes += "x");
            PumpUntil([] { return false; }, 100);
        }
    };
    grow();
    HighlightMenuItem(main, frmMain::mnuToolsLoadOrder);
    grow();
    // Settled: the ticks from here on would read the lists again.
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(ListItems(enabled), Names{L"old"});
    EXPECT_NE(OpenPopupMenu(), nullptr);
    PressKey(VK_ESCAPE);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == (Names{L"new", L"old"}); })) << ListItems(enabled).size();
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

TEST(EndToEnd, InstallsADownloadAndRemovesAMod) {
    TestGame game;
    TempFolder downloads;
    CopyFileW(Fixture(L"inst_nested.zip").c_str(), (downloads / L"pack.zip").c_str(), FALSE);
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    ChooseMenu(main, frmMain::mnuToolsInstall);
    HWND open = tarrow.Window(L"#32770");
    ASSERT_NE(open, nullptr);
    Ready(open);
    TypeText(downloads / L"pack.zip");
    PressKey(VK_RETURN);
    EXPECT_TRUE(Until([&] { return TreeOf(game.main) == Names{L"Beta.pk3", L"alpha.pk3"}; }));
    HWND enabled = Control(main, frmMain::IdListEnabled);
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == Names{L"alpha", L"Beta"}; }));

    // Delete on the selected mod, and Yes to the question.
    ClickItem(enabled, 1);
    PressKey(VK_DELETE);
    HWND box = tarrow.Window(L"#32770");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), L"Move Beta.pk3 to the Recycle Bin?");
    Click(GetDlgItem(box, IDYES));
    EXPECT_TRUE(Until([&] { return TreeOf(game.main) == Names{L"alpha.pk3"}; }));
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == Names{L"alpha"}; }));
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

TEST(EndToEnd, EditsTheInformationOfAMod) {
    TestGame game;
    game.Install(L"info_full.zip", L"sniper.pk3");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    HWND enabled = Control(main, frmMain::IdListEnabled);
    HWND info = Control(main, frmMain::IdModInfo);
    ClickItem(enabled, 0);
    EXPECT_TRUE(Until([&] { return TextOf(info).rfind(L"Name: Sniper Pack", 0) == 0; }));
    ChooseMenu(main, frmMain::mnuTools_ModInfoMaker);
    HWND editor = tarrow.Window(L"TarrowModInfoEditor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(TextOf(editor), L"Mod Info Editor");
    // The keyboard is in Name, its text selected: typing replaces it.
    Ready(editor);
    EXPECT_TRUE(WaitForFocus(ControlOfClass(editor, frmModInfoEditor::IdName, L"Edit")));
    TypeText(L"Sniper Pack Deluxe");
    Click(ControlOfClass(editor, frmModInfoEditor::IdSave, L"Button"));
    EXPECT_TRUE(Until([&] { return TextOf(info).rfind(L"Name: Sniper Pack Deluxe", 0) == 0; })) << TextOf(info);
    Click(ControlOfClass(editor, IDCANCEL, L"Button"));
    EXPECT_TRUE(Until([&] { return tarrow.Gone(L"TarrowModInfoEditor"); }));
    EXPECT_EQ(TreeOf(game.main), Names{L"sniper.pk3"});
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

TEST(EndToEnd, OptionsAboutChangesAndExit) {
    TestGame game;
    game.Add(L"old.pk3");
    TestGame other(false);
    other.Add(L"new.pk3");
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);

    ChooseMenu(main, frmMain::mnuFileOptions);
    HWND options = tarrow.Window(L"TarrowOptions");
    ASSERT_NE(options, nullptr);
    HWND location = Control(options, frmOptions::IdLocation);
    EXPECT_EQ(TextOf(location), game.folder);
    Click(location);
    EXPECT_TRUE(WaitForFocus(location));
    PressKey(VK_END);
    for (size_t i = 0; i < game.folder.size(); ++i) PressKey(VK_BACK);
    TypeText(other.folder);
    EXPECT_TRUE(Until([&] { return TextOf(location) == other.folder; })) << TextOf(location);
    Click(Control(options, IDOK));
    EXPECT_TRUE(Until([&] { return tarrow.Gone(L"TarrowOptions"); }));
    HWND enabled = Control(main, frmMain::IdListEnabled);
    EXPECT_EQ(ListItems(enabled), Names{L"old"});
    Click(Control(main, frmMain::IdRefresh));
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == Names{L"new"}; }));

    ChooseMenu(main, frmMain::mnuAboutAbout);
    HWND about = tarrow.Window(L"TarrowAbout");
    ASSERT_NE(about, nullptr);
    bool version = false;
    EnumChildWindows(
        about,
        [](HWND w, LPARAM p) -> BOOL {
            if (TextOf(w) == L"Tarrow 0.6 Beta") *reinterpret_cast<bool*>(p) = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&version));
    EXPECT_TRUE(version);
    ChooseMenu(main, frmMain::mnuAboutChanges);
    HWND changes = tarrow.Window(L"TarrowChanges");
    ASSERT_NE(changes, nullptr);
    EXPECT_EQ(TextOf(GetWindow(changes, GW_CHILD)).substr(0, 30), L"Changes since version 0.5 Beta");

    // Closing the main window with the dialogs open ends the program.
    CloseWithAltF4(main);
    EXPECT_TRUE(tarrow.Exited());
}

// The README's pictures, taken on the demo game by scripts/demo.
TEST(Screenshots, OfTheDemo) {
    const wchar_t* folder = _wgetenv(L"TARROW_SCREENSHOTS");
    if (!folder) GTEST_SKIP() << "run by scripts/demo";
    const std::wstring out = folder;
    Tarrow tarrow;
    HWND main = tarrow.Window(L"TarrowMain");
    ASSERT_NE(main, nullptr);
    SetForegroundWindow(main);
    PumpUntil([] { return false; }, 500);
    SaveWindow(main, out + L"\\manager.bmp");

    HWND enabled = Control(main, frmMain::IdListEnabled);
    const Names mods = ListItems(enabled);
    const int sniper = static_cast<int>(std::find(mods.begin(), mods.end(), L"sniper") - mods.begin());
    ClickItem(enabled, sniper);
    HWND info = Control(main, frmMain::IdModInfo);
    EXPECT_TRUE(Until([&] { return TextOf(info).rfind(L"Name:", 0) == 0; }));
    PumpUntil([] { return false; }, 300);
    SaveWindow(main, out + L"\\mod-info.bmp");

    ShowCompatibilityPage(main);
    HWND list = ControlOfClass(main, ctlCompatibility::IdList, L"ListBox");
    EXPECT_TRUE(Until([&] { return ListItems(list) == mods; }));
    ClickItem(list, sniper);
    Click(ControlOfClass(main, ctlCompatibility::IdCheck, L"Button"));
    HWND output = ControlOfClass(main, ctlCompatibility::IdOutput, L"Edit");
    EXPECT_TRUE(Until([&] { return !TextOf(output).empty(); }));
    PumpUntil([] { return false; }, 300);
    SaveWindow(main, out + L"\\compatibility.bmp");

    ChooseMenu(main, frmMain::mnuToolsLoadOrder);
    HWND loadOrder = tarrow.Window(L"TarrowLoadOrder");
    ASSERT_NE(loadOrder, nullptr);
    PumpUntil([] { return false; }, 500);
    SaveWindow(loadOrder, out + L"\\load-order.bmp");
    // The demo's mod with no effect, fixed: the plan shows in the list, and its preview.
    SelectFirstRow(loadOrder, frmLoadOrder::IdProblems);
    PressKey(VK_DOWN);
    Click(ControlOfClass(loadOrder, frmLoadOrder::IdFix, L"Button"));
    HWND preview = tarrow.Window(L"#32770");
    ASSERT_NE(preview, nullptr);
    PumpUntil([] { return false; }, 500);
    SaveWindow(loadOrder, out + L"\\reorder.bmp");
    SaveWindow(preview, out + L"\\reorder-preview.bmp");
    Click(GetDlgItem(preview, IDCANCEL));
    EXPECT_TRUE(Until([&] { return !IsWindow(preview); }));
    SendMessageW(loadOrder, WM_CLOSE, 0, 0);

    SetForegroundWindow(main);
    ChooseMenu(main, frmMain::mnuToolsModSets);
    HWND modSets = tarrow.Window(L"TarrowModSets");
    ASSERT_NE(modSets, nullptr);
    SelectFirstRow(modSets, frmModSets::IdSets);
    PumpUntil([] { return false; }, 500);
    SaveWindow(modSets, out + L"\\mod-sets.bmp");
    SendMessageW(modSets, WM_CLOSE, 0, 0);

    SetForegroundWindow(main);
    // The map pack selected in the Manager: the Maps window shows its two maps.
    const int pack = static_cast<int>(std::find(mods.begin(), mods.end(), L"mappack") - mods.begin());
    HWND tabs = Control(main, frmMain::IdTabStrip);
    Ready(tabs);
    ClickAt(tabs, 20, 10);
    EXPECT_TRUE(Until([&] { return IsWindowVisible(enabled); }));
    ClickItem(enabled, pack);
    EXPECT_TRUE(Until([&] { return TextOf(info).rfind(L"Name: Map Pack", 0) == 0; })) << TextOf(info);
    ChooseMenu(main, frmMain::mnuToolsMaps);
    HWND maps = tarrow.Window(L"TarrowMaps");
    ASSERT_NE(maps, nullptr);
    SelectFirstRow(maps, frmMaps::IdMaps);
    PumpUntil([] { return false; }, 500);
    SaveWindow(maps, out + L"\\maps.bmp");
    SendMessageW(maps, WM_CLOSE, 0, 0);

    SetForegroundWindow(main);
    ClickItem(enabled, sniper);
    ChooseMenu(main, frmMain::mnuTools_ModInfoMaker);
    HWND editor = tarrow.Window(L"TarrowModInfoEditor");
    ASSERT_NE(editor, nullptr);
    PumpUntil([] { return false; }, 500);
    SaveWindow(editor, out + L"\\editor.bmp");
    SendMessageW(editor, WM_CLOSE, 0, 0);

    // File > Game, opened from the keyboard: the demo checked, OpenArena below it.
    SetForegroundWindow(main);
    Ready(main);
    RECT frame{};
    GetWindowRect(main, &frame);
    MoveTo(GetDesktopWindow(), frame.left + 4, frame.bottom + 40);
    PressKey(VK_F10);
    PressKey(VK_DOWN);
    ASSERT_TRUE(PumpUntil([] { return OpenPopupMenu() != nullptr; }, 3000));
    PressKey(VK_RIGHT);
    RECT shot = frame;
    EXPECT_TRUE(PumpUntil([&] { return PopupMenus().size() == 2; }, 3000));
    PumpUntil([] { return false; }, 300);
    for (HWND popup : PopupMenus()) {
        RECT r{};
        GetWindowRect(popup, &r);
        UnionRect(&shot, &shot, &r);
    }
    SaveRect(shot, out + L"\\game-menu.bmp");
    // The second game, chosen: the Manager and the title follow it.
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    EXPECT_TRUE(Until([&] { return TextOf(main) == L"Tarrow 0.6 Beta - OpenArena"; })) << TextOf(main);
    EXPECT_TRUE(Until([&] { return ListItems(enabled) == Names{L"ctf-flags", L"oa-ruins", L"zz-instagib"}; }));
    // OpenArena's map of the ruins: what it misses, in the texture pack the player disabled.
    ChooseMenu(main, frmMain::mnuToolsMaps);
    HWND arenaMaps = tarrow.Window(L"TarrowMaps");
    ASSERT_NE(arenaMaps, nullptr);
    HWND mapList = Control(arenaMaps, frmMaps::IdMaps);
    EXPECT_TRUE(Until([&] { return ListView_GetItemCount(mapList) == 3; }));
    // oa_dm1, oa_ruins, oasago2: the second row.
    SelectFirstRow(arenaMaps, frmMaps::IdMaps);
    PressKey(VK_DOWN);
    HWND enable = Control(arenaMaps, frmMaps::IdEnable);
    EXPECT_TRUE(Until([&] { return TextOf(enable) == L"Enable ruins-textures"; })) << TextOf(enable);
    PumpUntil([] { return false; }, 500);
    SaveWindow(arenaMaps, out + L"\\maps-missing.bmp");
    SendMessageW(arenaMaps, WM_CLOSE, 0, 0);
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(tarrow.Exited());
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScreenOnFailure);
    return RUN_ALL_TESTS();
}
