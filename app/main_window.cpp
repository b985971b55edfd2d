#include "app/main_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include "archive/unzip.h"
#include "core/busy_cursor.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/message_loop.h"
#include "core/prompts.h"
#include "core/registry.h"
#include "core/text.h"
#include "core/transaction.h"
#include "modinfo/mod_info.h"
#include "compat/load_order.h"
#include "mods/game_program.h"
#include "mods/installer.h"
#include "mods/mod_library.h"
#include "resources/resource.h"

namespace {


constexpr wchar_t kMainClass[] = L"TarrowMain";
constexpr wchar_t kPageClass[] = L"TarrowPage";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kListStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_SORT | LBS_NOTIFY |
                             LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabelStyle = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
// The re-read after a change from outside waits for the folder to settle over one tick.
constexpr UINT_PTR kOutsideTimer = 1;
constexpr UINT kOutsideTick = 300;

// The rich text that rtfModInfo holds until a mod is selected.
constexpr char kNotSelectedRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss MS Sans Serif;}}\\viewkind4\\uc1\\pard\\f0\\fs17 "
    "You have not selected a mod yet.\\par}";

// A page frame: a borderless container that hands its controls' messages to the main window.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORLISTBOX:
            return SendMessageW(GetParent(page), message, wParam, lParam);
        default:
            return DefWindowProcW(page, message, wParam, lParam);
        }
    } catch (...) {
        ReportCurrentException();
    }
}

void RegisterPageClass() {
    WNDCLASSEXW wc{sizeof wc};
    if (GetClassInfoExW(GetModuleHandleW(nullptr), kPageClass, &wc)) return;
    wc.lpfnWndProc = PageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPageClass;
    RegisterClassExW(&wc);
}

void SetRichText(HWND control, const char* rtf) {
    SETTEXTEX how{ST_DEFAULT, CP_ACP};
    SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(rtf));
}

}  // namespace

std::wstring CurrentItemText(HWND list) {
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

frmMain::~frmMain() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void frmMain::Load(int show) {
    static const INITCOMMONCONTROLSEX controls{sizeof controls,
                                               ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    LoadRichEdit();
    RegisterPageClass();
    RegisterOnce(kMainClass, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARROW)));
    const SIZE size = OuterSize(625, 290, kMainStyle, WS_EX_CONTROLPARENT, true, DpiOf(nullptr));
    // Mods dropped from Explorer are installed.
    if (!CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kMainClass, L"Tarrow", kMainStyle, CW_USEDEFAULT,
                         CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, GetModuleHandleW(nullptr), this)) {
        throw Win32Error(GetLastError(), L"Could not create the main window");
    }
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Form_Load();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->idFrom == IdTabStrip &&
            reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE) {
            TabStrip1_Click();
        }
        return 0;
    case WM_SETCURSOR:
        if (BusyCursor::Apply()) return TRUE;
        break;
    case WM_DPICHANGED:
        ApplyDpiChange(hwnd_, layout_, wParam, lParam);
        return 0;
    case WM_DROPFILES:
        Form_DropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenuItems(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_ENTERMENULOOP:
        EnterModalLoop();
        return 0;
    case WM_EXITMENULOOP:
        ExitModalLoop();
        return 0;
    case WM_TIMER:
        if (wParam == kOutsideTimer) OutsideTimer_Tick();
        return 0;
    case WM_CLOSE:
        Form_Unload();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        if (watch_.valid()) UnwatchHandle(watch_.get());
        if (game_.valid()) UnwatchHandle(game_.get());
        RemoveKeyboardWindow(hwnd_);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmMain::Form_Load() {
    CheckDLLs();
    Globals::InitGlobals();
    currentTab_ = 1;
    CreateMenus();
    CreatePages();
    SetWindowTextW(hwnd_, Globals::VersionText.c_str());
    AddKeyboardWindow(hwnd_);
    AddCommandKey('Z', hwnd_, mnuEditUndo);
    AddCommandKey('Y', hwnd_, mnuEditRedo);
    AddCommandKey(VK_F5, hwnd_, mnuToolsPlay, false);
    InstallTest();
}

void frmMain::CheckDLLs() {
    if (!FileSystem::FileExists(FileSystem::ProgramFolder() + L"\\unzip32.dll")) {
        MsgBox(L"Could not load unzip32.dll", MB_OK | MB_ICONERROR, L"Error");
    }
}

void frmMain::RecoverAbandonedChange() {
    const RecoveryOutcome outcome = RecoverChange(MainFolder(searchPath_));
    const std::wstring message = RecoveryMessage(outcome);
    if (!message.empty()) MsgBox(message, MB_OK | (outcome.stuck.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    if (!outcome.stuck.empty()) return;
    const std::vector<LeftFile> left = LeftTemporaryFiles(MainFolder(searchPath_));
    if (left.empty() || MsgBox(LeftFilesQuestion(left), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    const std::vector<std::wstring> stayed = RecycleLeftFiles(MainFolder(searchPath_), left);
    if (stayed.empty()) return;
    std::wstring text = L"These files stay in main:\r\n";
    for (const auto& line : stayed) text += L"\r\n" + line;
    MsgBox(text, MB_OK | MB_ICONWARNING);
}

void frmMain::InstallTest() {
    // The test is made on the raw registry text, not on GamePath.
    if (!ReadInstallPath().empty()) {
        searchPath_ = Globals::GamePath;
        RecoverAbandonedChange();
        FindMods();
    } else {
        MsgBox(L"Tarrow did not detect CoD, please make sure it's installed correctly.", MB_OK | MB_ICONWARNING);
    }
}

void frmMain::CreateMenus() { SetMenu(hwnd_, CreateMenuBar()); }

HMENU frmMain::CreateMenuBar() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, mnuFileOptions, L"Options");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, mnuFileExit, L"&Exit");
    HMENU edit = CreatePopupMenu();
    AppendMenuW(edit, MF_STRING | MF_GRAYED, mnuEditUndo, L"&Undo\tCtrl+Z");
    AppendMenuW(edit, MF_STRING | MF_GRAYED, mnuEditRedo, L"&Redo\tCtrl+Y");
    AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
    // Greyed while main holds no journal of a change that could not be put right.
    AppendMenuW(edit, MF_STRING | MF_GRAYED, mnuEditForget, L"Forget this change");
    HMENU tools = CreatePopupMenu();
    AppendMenuW(tools, MF_STRING, mnuToolsLoadOrder, L"Load Order");
    AppendMenuW(tools, MF_STRING, mnuToolsMaps, L"Maps");
    AppendMenuW(tools, MF_STRING, mnuToolsModSets, L"Mod Sets...");
    AppendMenuW(tools, MF_STRING, mnuToolsInstall, L"Install Mods...");
    // Greyed while the list used last has no mod selected.
    AppendMenuW(tools, MF_STRING | MF_GRAYED, mnuToolsRemove, L"Remove Mod");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(tools, MF_STRING, mnuTools_ModInfoMaker, L"Mod Info Editor");
    AppendMenuW(tools, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(tools, MF_STRING, mnuToolsPlay, L"&Play\tF5");
    AppendMenuW(tools, MF_STRING, mnuToolsChooseProgram, L"Choose Game Program...");
    HMENU about = CreatePopupMenu();
    AppendMenuW(about, MF_STRING, mnuAboutAbout, L"About");
    AppendMenuW(about, MF_STRING, mnuAboutChanges, L"Changes");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Tools");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(about), L"About");
    return bar;
}

void frmMain::CreatePages() {
    dragCursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_GRAB));
    // Under the page frames, where it is never seen: it only holds the drag picture.
    c_.picIconMove = layout_.Add(hwnd_, {IdIconMove, L"STATIC", nullptr, 24, 48, 32, 32, SS_ICON});
    SendMessageW(c_.picIconMove, STM_SETIMAGE, IMAGE_CURSOR, reinterpret_cast<LPARAM>(dragCursor_));
    c_.TabStrip1 = layout_.Add(hwnd_, {IdTabStrip, WC_TABCONTROLW, nullptr, 0, 8, 630, 300,
                                       WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP});
    TCITEMW tab{TCIF_TEXT};
    tab.pszText = const_cast<wchar_t*>(L"Manager");
    SendMessageW(c_.TabStrip1, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&tab));
    tab.pszText = const_cast<wchar_t*>(L"Compatibility");
    SendMessageW(c_.TabStrip1, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&tab));
    for (int page = 1; page <= 2; ++page) {
        c_.frametab[page] = layout_.Add(hwnd_, {IdPage1 + page - 1, kPageClass, nullptr, 0, 35, 625, 265,
                                                static_cast<DWORD>((page == 1 ? WS_VISIBLE : 0) | WS_CLIPSIBLINGS),
                                                WS_EX_CONTROLPARENT});
        SetWindowPos(c_.frametab[page], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    CreateManagerPage();
    compatibility_.Create(c_.frametab[2], 0, 0, 625, 288);
}

void frmMain::CreateManagerPage() {
    HWND page = c_.frametab[1];
    c_.lblDisabled = layout_.Add(page, {IdLabel, L"STATIC", L"Disabled Mods", 8, 0, 121, 17, kLabelStyle});
    c_.lblEnabled = layout_.Add(page, {IdLabel, L"STATIC", L"Enabled Mods", 144, 0, 121, 17, kLabelStyle});
    c_.lblModInfo = layout_.Add(page, {IdLabel, L"STATIC", L"Mod Information", 280, 0, 337, 17, kLabelStyle});
    // Tab order runs left to right, column by column.
    c_.listDisabled = layout_.Add(page, {IdListDisabled, L"LISTBOX", nullptr, 8, 16, 129, 212, kListStyle});
    c_.cmdEnable = layout_.Add(page, {IdEnable, L"BUTTON", L"Enable", 8, 232, 129, 17, kButtonStyle});
    c_.listEnabled = layout_.Add(page, {IdListEnabled, L"LISTBOX", nullptr, 144, 16, 129, 212, kListStyle});
    c_.cmdDisable = layout_.Add(page, {IdDisable, L"BUTTON", L"Disable", 144, 232, 129, 17, kButtonStyle});
    c_.rtfModInfo = layout_.Add(page, {IdModInfo, MSFTEDIT_CLASS, nullptr, 288, 16, 329, 212,
                                       WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE |
                                           ES_READONLY | ES_AUTOVSCROLL});
    SetRichText(c_.rtfModInfo, kNotSelectedRtf);
    c_.cmdRefreshMods =
        layout_.Add(page, {IdRefresh, L"BUTTON", L"Refresh Program", 288, 232, 121, 17, kButtonStyle});
    for (HWND list : {c_.listDisabled, c_.listEnabled}) {
        SetWindowSubclass(list, &frmMain::ListProc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
}

void frmMain::OnCommand(int id, int code, HWND from) {
    switch (id) {
    case mnuFileExit: SendMessageW(hwnd_, WM_CLOSE, 0, 0); return;
    case mnuFileOptions: Open(options_); return;
    case mnuAboutAbout: Open(about_); return;
    case mnuAboutChanges: Open(changes_); return;
    case mnuToolsLoadOrder: mnuToolsLoadOrder_Click(); return;
    case mnuToolsModSets: mnuToolsModSets_Click(); return;
    case mnuToolsMaps: mnuToolsMaps_Click(); return;
    case mnuToolsPlay: mnuToolsPlay_Click(); return;
    case mnuToolsChooseProgram: mnuToolsChooseProgram_Click(); return;
    case mnuToolsInstall:
        if (!Playing()) mnuToolsInstall_Click();
        return;
    case mnuTools_ModInfoMaker: mnuTools_ModInfoMaker_Click(); return;
    case mnuToolsRemove: RemoveSelected(lastList_); return;
    case mnuEditUndo:
        if (!Playing()) mnuEditUndo_Click();
        return;
    case mnuEditRedo:
        if (!Playing()) mnuEditRedo_Click();
        return;
    case mnuEditForget: mnuEditForget_Click(); return;
    case IdRefresh: cmdRefreshMods_Click(); return;
    case IdEnable: cmdEnable_Click(); return;
    case IdDisable: cmdDisable_Click(); return;
    case IdListEnabled:
    case IdListDisabled:
        if (code == LBN_SETFOCUS) lastList_ = from;
        if (code == LBN_SELCHANGE) OnListSelect(from);
        return;
    default: return;
    }
}

void frmMain::TabStrip1_Click() {
    const int n = static_cast<int>(SendMessageW(c_.TabStrip1, TCM_GETCURSEL, 0, 0)) + 1;
    if (n == currentTab_ || n < 1 || n > 2) return;
    ShowWindow(c_.frametab[n], SW_SHOW);
    ShowWindow(c_.frametab[currentTab_], SW_HIDE);
    currentTab_ = n;
    // The panel's copy of the enabled mods is rebuilt each time its page is entered.
    if (n == 2) compatibility_.RefreshList(enabledMods_);
}

void frmMain::cmdRefreshMods_Click() {
    searchPath_ = Globals::GamePath;
    // The folder may be another one now, or the archive that held a recovery back may be free.
    if (!searchPath_.empty()) RecoverAbandonedChange();
    FindMods();
}

template <class Dialog>
void frmMain::Open(std::unique_ptr<Dialog>& dialog) {
    // Each dialog exists once: an open one only comes to the front.
    if (dialog && dialog->hwnd()) {
        BringToFront(dialog->hwnd());
        return;
    }
    dialog = std::make_unique<Dialog>();
    dialog->Load();
}

void frmMain::mnuToolsLoadOrder_Click() {
    if (loadOrder_ && loadOrder_->hwnd()) {
        BringToFront(loadOrder_->hwnd());
        return;
    }
    loadOrder_ = std::make_unique<frmLoadOrder>(
        [this](const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo) {
            return RunForLoadOrder(plan, historyName, cannotUndo);
        });
    loadOrder_->Load(searchPath_, hwnd_);
    loadOrder_->SetWritable(!Playing());
}

void frmMain::mnuToolsModSets_Click() {
    if (modSets_ && modSets_->hwnd()) {
        BringToFront(modSets_->hwnd());
        return;
    }
    modSets_ = std::make_unique<frmModSets>([this](const ChangePlan& plan, const std::wstring& historyName) {
        return RunForLoadOrder(plan, historyName, {});
    });
    modSets_->Load(searchPath_, hwnd_);
    modSets_->SetWritable(!Playing());
}

void frmMain::mnuToolsMaps_Click() {
    if (maps_ && maps_->hwnd()) {
        BringToFront(maps_->hwnd());
        return;
    }
    maps_ = std::make_unique<frmMaps>([this](const std::wstring& arguments) { Play(arguments); });
    maps_->Load(searchPath_, hwnd_);
    MapsFollow();
    maps_->SetWritable(!Playing());
}

void frmMain::MapsFollow() {
    if (!maps_ || !maps_->hwnd()) return;
    const std::wstring main = MainFolder(searchPath_);
    const bool enabled = !shownArchive_.empty() && shownArchive_.size() > main.size() &&
                         shownArchive_.ends_with(EnabledExtension) && FileSystem::FileExists(shownArchive_);
    maps_->Follow(enabled ? shownArchive_.substr(main.size()) : std::wstring());
}

void frmMain::Play(const std::wstring& arguments) {
    if (Playing() || searchPath_.empty()) return;
    std::wstring program = FindGameProgram(searchPath_);
    if (program.empty()) program = mnuToolsChooseProgram_Click();
    if (program.empty() || !PlayAnyway()) return;
    // The game finds its own files from its folder: that is its working folder.
    std::wstring command = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, searchPath_.c_str(),
                        &startup, &started)) {
        MsgBox(L"Tarrow could not start " + program + L": " + SystemMessage(GetLastError()), MB_OK | MB_ICONWARNING);
        return;
    }
    CloseHandle(started.hThread);
    game_ = ProcessHandle(started.hProcess);
    // Greying is for the eye; the layer itself refuses every change while the game runs.
    RefuseChanges(L"The game is running and holds its archives. Tarrow changes nothing in main until it ends.");
    WatchHandle(game_.get(), [this] { GameEnded(); });
    SetWritable(false);
}

std::wstring frmMain::mnuToolsChooseProgram_Click() {
    using namespace std::string_literals;
    const auto chosen = CurrentPrompts().OpenFileName(hwnd_, L"Choose the game program", searchPath_,
                                                      L"Programs (*.exe)\0*.exe\0"s);
    if (!chosen) return {};
    if (const long error = KeepGameProgram(*chosen)) {
        MsgBox(L"Tarrow could not keep the choice: " + SystemMessage(static_cast<DWORD>(error)), MB_OK | MB_ICONWARNING);
    }
    return *chosen;
}

bool frmMain::PlayAnyway() {
    LoadOrderReport report;
    try {
        report = BuildLoadOrder(searchPath_);
    } catch (const AppError&) {
        return true;  // nothing to name: the game will say what it finds
    }
    if (report.problems.empty()) return true;
    std::wstring text = L"Load Order finds these problems:\r\n";
    for (const LoadProblem& problem : report.problems) text += L"\r\n" + problem.archive + L": " + problem.problem;
    return MsgBox(text + L"\r\n\r\nPlay anyway?", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void frmMain::GameEnded() {
    UnwatchHandle(game_.get());
    game_.Reset();
    RefuseChanges({});
    SetWritable(true);
    FindMods();
}

void frmMain::SetWritable(bool writable) {
    EnableWindow(c_.cmdEnable, writable);
    EnableWindow(c_.cmdDisable, writable);
    if (loadOrder_ && loadOrder_->hwnd()) loadOrder_->SetWritable(writable);
    if (modSets_ && modSets_->hwnd()) modSets_->SetWritable(writable);
    if (editor_ && editor_->hwnd()) editor_->SetWritable(writable);
    if (maps_ && maps_->hwnd()) maps_->SetWritable(writable);
}

void frmMain::mnuToolsInstall_Click() {
    using namespace std::string_literals;
    Install(CurrentPrompts().OpenFileNames(hwnd_, L"Mods (*.pk3;*.zip)\0*.pk3;*.zip\0All files (*.*)\0*.*\0"s));
}

void frmMain::mnuTools_ModInfoMaker_Click() {
    const std::wstring name = lastList_ ? CurrentItemText(lastList_) : std::wstring();
    if (name.empty()) {
        MsgBox(L"Please select a mod first", MB_OK);
        return;
    }
    const std::wstring archive =
        MainFolder(searchPath_) + name + (lastList_ == c_.listEnabled ? EnabledExtension : DisabledExtension);
    if (!editor_) editor_ = std::make_unique<frmModInfoEditor>([this](const std::wstring& path) { InformationSaved(path); });
    editor_->Edit(archive, hwnd_);
    editor_->SetWritable(!Playing());
}

void frmMain::InformationSaved(const std::wstring& archivePath) {
    if (archivePath == shownArchive_) {
        const std::wstring file = archivePath.substr(MainFolder(searchPath_).size());
        const std::wstring extension = file.substr(file.size() - 4);
        GetModInfo(ModNameOf(file, extension), extension);
    }
    if (loadOrder_ && loadOrder_->hwnd()) loadOrder_->Rebuild(searchPath_);
    history_.RecordFixed(L"Save", L"the old archive is in the Recycle Bin");
    // Our own change: no re-read for it.
    stamps_ = StampArchives(searchPath_);
}

void frmMain::Form_DropFiles(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
        files.push_back(file);
    }
    DragFinish(drop);
    Install(files);
}

void frmMain::Install(const std::vector<std::wstring>& downloads) {
    if (downloads.empty()) return;
    if (Playing()) {
        MsgBox(L"The game is running and holds its archives. Tarrow installs nothing until it ends.",
               MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (searchPath_.empty()) {
        MsgBox(L"Tarrow does not know the game's folder yet. Choose it in File > Options, press Okay, then "
               L"\"Refresh Program\".",
               MB_OK | MB_ICONWARNING);
        return;
    }
    const std::vector<InstalledMod> installed = InstallMods(searchPath_, downloads);
    for (const InstalledMod& mod : installed) {
        if (mod.replaced) {
            history_.RecordFixed(L"Replace", L"the old archive is in the Recycle Bin");
        } else {
            history_.RecordInstall(mod);
        }
    }
    FindMods();
    if (installed.empty()) return;
    const std::wstring& file = installed.front().file;
    const bool disabled = file.size() > 4 && file.compare(file.size() - 4, 4, DisabledExtension) == 0;
    HWND list = disabled ? c_.listDisabled : c_.listEnabled;
    const std::wstring extension = disabled ? DisabledExtension : EnabledExtension;
    const std::wstring name = ModNameOf(file, extension);
    const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(name.c_str()));
    if (index == LB_ERR) return;
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    lastList_ = list;
    GetModInfo(name, extension);
}

void frmMain::RemoveSelected(HWND list) {
    if (Playing() || (list != c_.listEnabled && list != c_.listDisabled)) return;
    const std::wstring name = CurrentItemText(list);
    if (name.empty()) return;
    if (!RemoveMod(searchPath_, name + (list == c_.listEnabled ? EnabledExtension : DisabledExtension))) return;
    history_.RecordFixed(L"Remove", L"the archive is in the Recycle Bin");
    FindMods();
}

void frmMain::UpdateMenuItems(HMENU menu) {
    const bool selected = lastList_ && !CurrentItemText(lastList_).empty();
    EnableMenuItem(menu, mnuToolsRemove, MF_BYCOMMAND | (selected && !Playing() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, mnuToolsInstall, MF_BYCOMMAND | (Playing() ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, mnuToolsChooseProgram, MF_BYCOMMAND | (Playing() ? MF_GRAYED : MF_ENABLED));
    const bool left = !searchPath_.empty() && HasLeftJournal(MainFolder(searchPath_));
    EnableMenuItem(menu, mnuEditForget, MF_BYCOMMAND | (left && !Playing() ? MF_ENABLED : MF_GRAYED));
    ChangeHistory::MenuItem undo = history_.UndoItem(), redo = history_.RedoItem();
    if (Playing()) undo.enabled = redo.enabled = false;
    const std::pair<int, ChangeHistory::MenuItem> items[] = {
        {mnuEditUndo, undo}, {mnuEditRedo, redo},
        {mnuToolsPlay, Playing() ? ChangeHistory::MenuItem{L"Playing...", false} : ChangeHistory::MenuItem{L"&Play\tF5", true}}};
    for (const auto& [id, item] : items) {
        if (GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
        ModifyMenuW(menu, static_cast<UINT>(id), MF_BYCOMMAND | MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                    static_cast<UINT_PTR>(id), item.text.c_str());
    }
}

void frmMain::mnuEditUndo_Click() {
    if (history_.Undo(searchPath_)) FindMods();
}

void frmMain::mnuEditRedo_Click() {
    if (history_.Redo(searchPath_)) FindMods();
}

void frmMain::mnuEditForget_Click() {
    const std::wstring main = MainFolder(searchPath_);
    if (searchPath_.empty() || !HasLeftJournal(main)) return;
    if (MsgBox(L"Forget the change that Tarrow could not put right? Its journal is set aside, and main stays as it "
               L"is now: Tarrow renames nothing back.",
               MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    unsigned long error = 0;
    const std::wstring name = ForgetChange(main, error);
    if (name.empty()) {
        MsgBox(L"Tarrow could not set the journal aside: " + SystemMessage(error), MB_OK | MB_ICONWARNING);
        return;
    }
    MsgBox(L"The change is forgotten. Its journal is now main\\" + name + L".", MB_OK | MB_ICONINFORMATION);
    FindMods();
}

void frmMain::WatchMain() {
    const std::wstring main = MainFolder(searchPath_);
    if (watch_.valid() && main == watched_) return;
    if (watch_.valid()) UnwatchHandle(watch_.get());
    watched_ = main;
    watch_ = ChangeNotificationHandle(FindFirstChangeNotificationW(
        std::wstring(WithoutTrailingBackslashes(main, 3)).c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE));
    if (watch_.valid()) WatchHandle(watch_.get(), [this] { MainChanged(); });
}

void frmMain::MainChanged() {
    SetTimer(hwnd_, kOutsideTimer, kOutsideTick, nullptr);
    if (FindNextChangeNotification(watch_.get())) return;
    // The folder itself has gone: the watch would stay signalled. The next read of the lists watches again.
    UnwatchHandle(watch_.get());
    watch_.Reset();
}

void frmMain::OutsideTimer_Tick() {
    // A prompt, a drag, a press or a change of ours is under way: the next tick tries again.
    if (!IsWindowEnabled(hwnd_) || dragSource_ || pressList_ || ChangeRunning() || !VBUnzBas::Idle() ||
        ModalLoopRunning() || GetCapture()) {
        return;
    }
    std::vector<ArchiveStamp> stamps = StampArchives(searchPath_);
    if (stamps == stamps_) {
        KillTimer(hwnd_, kOutsideTimer);
        settling_.clear();
        return;
    }
    // Still being written, as a copy or a download is: one more tick.
    if (stamps != settling_) {
        settling_ = std::move(stamps);
        return;
    }
    KillTimer(hwnd_, kOutsideTimer);
    settling_.clear();
    ReadModsKeepingSelection();
}

bool frmMain::RunForLoadOrder(const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo) {
    const std::wstring main = MainFolder(searchPath_);
    const ChangeOutcome outcome = RunChange(main, plan);
    if (!outcome.message.empty()) {
        MsgBox(outcome.message, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (outcome.result != ChangeResult::Done) {
        MsgBox(L"Tarrow could not finish " + plan.what + L": " + SystemMessage(outcome.error) + L" Nothing was changed.",
               MB_OK | MB_ICONWARNING);
        return false;
    }
    if (outcome.kept) {
        MsgBox(L"The Recycle Bin did not take the archive. " + outcome.kept->reason + L" It is still at " +
                   outcome.kept->stillAt + L".",
               MB_OK | MB_ICONWARNING);
        return false;
    }
    if (cannotUndo.empty()) {
        history_.RecordRenames(historyName, plan.steps);
    } else {
        history_.RecordFixed(historyName, cannotUndo);
    }
    // The selections and the panel go with their archives' new names.
    std::wstring enabled = CurrentItemText(c_.listEnabled);
    for (const ChangeStep& step : plan.steps) {
        if (step.kind != StepKind::Rename) continue;
        if (shownArchive_ == main + step.from) shownArchive_ = main + step.to;
        if (!enabled.empty() && enabled + EnabledExtension == step.from) enabled = ModNameOf(step.to, EnabledExtension);
    }
    FindModsSelecting(enabled, CurrentItemText(c_.listDisabled));
    if (currentTab_ == 2) compatibility_.RefreshList(enabledMods_);
    return true;
}

void frmMain::FindModsSelecting(const std::wstring& enabled, const std::wstring& disabled) {
    FindMods();
    for (const auto& [list, name] : {std::pair{c_.listEnabled, enabled}, std::pair{c_.listDisabled, disabled}}) {
        if (name.empty()) continue;
        const LRESULT index =
            SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
        if (index != LB_ERR) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void frmMain::ReadModsKeepingSelection() {
    FindModsSelecting(CurrentItemText(c_.listEnabled), CurrentItemText(c_.listDisabled));
    if (!shownArchive_.empty() && !FileSystem::FileExists(shownArchive_)) {
        shownArchive_.clear();
        SetRichText(c_.rtfModInfo, kNotSelectedRtf);
    }
}

void frmMain::Form_Unload() {
    if (about_) about_->Unload();
    if (changes_) changes_->Unload();
    if (options_) options_->Unload();
    if (loadOrder_) loadOrder_->Unload();
    if (modSets_) modSets_->Unload();
    if (maps_) maps_->Unload();
    if (editor_ && editor_->Dirty() &&
        MsgBox(L"Save the changes to the information of " + editor_->archive().substr(MainFolder(searchPath_).size()) +
                   L" before Tarrow closes?",
               MB_YESNO | MB_ICONQUESTION) == IDYES) {
        editor_->Save();
    }
    if (editor_) editor_->Unload();
}

void frmMain::FindMods() {
    ReadMods();
    WatchMain();
    // An open Load Order window follows every re-read of the lists, and so does Maps.
    if (loadOrder_ && loadOrder_->hwnd()) loadOrder_->Rebuild(searchPath_);
    if (maps_ && maps_->hwnd()) {
        maps_->Rebuild(searchPath_);
        MapsFollow();
    }
}

void frmMain::ReadMods() {
    enabledMods_.clear();
    // Taken first: a change made while the lists are read is seen as one from outside.
    stamps_ = StampArchives(searchPath_);
    SendMessageW(c_.listEnabled, LB_RESETCONTENT, 0, 0);
    SendMessageW(c_.listDisabled, LB_RESETCONTENT, 0, 0);
    ModLists lists;
    std::wstring failure;
    {
        BusyCursor busy;
        try {
            lists = ScanMods(searchPath_);
        } catch (const AppError& error) {
            failure = error.Description();
        }
    }
    if (!failure.empty()) {
        // A folder on a drive or share that is not there must not end the program.
        MsgBox(L"Tarrow could not read the folder " + MainFolder(searchPath_) + L"\n\n" + failure,
               MB_OK | MB_ICONWARNING);
        return;
    }
    for (const auto& name : lists.enabled) {
        SendMessageW(c_.listEnabled, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        AddSorted(enabledMods_, name);
    }
    for (const auto& name : lists.disabled) {
        SendMessageW(c_.listDisabled, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

bool frmMain::ModExists(const std::wstring& fullPath) {
    if (!FileSystem::FileExists(fullPath)) return false;
    MsgBox(L"Error: " + fullPath + L" already exists", MB_OK);
    return true;
}

bool frmMain::ModRename(const std::wstring& modName, const std::wstring& fromExtension,
                        const std::wstring& toExtension) {
    const std::wstring source = MainFolder(searchPath_) + modName + fromExtension;
    const std::wstring destination = MainFolder(searchPath_) + modName + toExtension;
    if (ModExists(destination)) return false;
    const bool disabling = toExtension == std::wstring(DisabledExtension);
    const std::vector<ChangeStep> renames{{modName + fromExtension, modName + toExtension}};
    const ChangeOutcome outcome =
        RunChange(MainFolder(searchPath_), {(disabling ? L"disabling " : L"enabling ") + modName, renames});
    if (!outcome.message.empty()) {
        MsgBox(outcome.message, MB_OK | MB_ICONWARNING);
        return false;
    }
    if (outcome.result == ChangeResult::Failed) {
        MsgBox(L"Error: could not rename " + source + L" to " + modName + toExtension + L": " +
                   SystemMessage(outcome.error),
               MB_OK | MB_ICONWARNING);
        return false;
    }
    if (outcome.result == ChangeResult::Done) history_.RecordRenames((disabling ? L"Disable " : L"Enable ") + modName, renames);
    // A source that is not there (no selection, or a name listed in full) has nothing to move.
    return true;
}

void frmMain::cmdEnable_Click() {
    ModRename(CurrentItemText(c_.listDisabled), DisabledExtension, EnabledExtension);
    FindMods();
}

void frmMain::cmdDisable_Click() {
    ModRename(CurrentItemText(c_.listEnabled), EnabledExtension, DisabledExtension);
    FindMods();
}

void frmMain::OnListSelect(HWND list) {
    if (suppressSelect_ || pressList_) return;
    GetModInfo(CurrentItemText(list), list == c_.listEnabled ? EnabledExtension : DisabledExtension);
}

void frmMain::GetModInfo(const std::wstring& modName, const std::wstring& extension) {
    // A prompt of a run in progress is open: that run's view is the one to show.
    if (!VBUnzBas::Idle()) return;
    BusyCursor busy;
    // A scratch folder of our own: nothing in the game folder is touched.
    ScratchFolder scratch;
    try {
        extract(modName, extension, scratch.path());
    } catch (const AppError&) {
        // No library, or none of ours: the notice says there is nothing to show.
    }
    // Many authors save tarrow.ini as UTF-8, which the profile reader would take for ANSI.
    ReadUtf8AsUnicode(scratch.path() + L"\\tarrow.ini");
    const ModInformation info = ReadInformationFile(scratch.path() + L"\\tarrow.ini");
    shownArchive_ = MainFolder(searchPath_) + modName + extension;
    SetRichText(c_.rtfModInfo, (info.found ? InformationRtf(info) : NoticeRtf(modName, extension)).c_str());
    MapsFollow();
}

void frmMain::extract(const std::wstring& modName, const std::wstring& extension, const std::wstring& destination) {
    ExtractInformationFile(MainFolder(searchPath_) + modName + extension, destination);
}

void frmMain::ListDragDrop(HWND target, HWND source) {
    if (source == target) return;
    const std::wstring name = CurrentItemText(source);
    if (name.empty()) return;
    const bool moved = target == c_.listDisabled ? ModRename(name, EnabledExtension, DisabledExtension)
                                                 : ModRename(name, DisabledExtension, EnabledExtension);
    // After a refused move the lists and their selections stay as they were.
    if (moved) FindMods();
}

LRESULT CALLBACK frmMain::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR self) {
    try {
        return reinterpret_cast<frmMain*>(self)->OnListMessage(list, message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
}

LRESULT frmMain::OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    // The second press of a double click is a press too.
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if (dragSource_ || pressList_) return 0;
        return OnListPress(list, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_DELETE) {
            RemoveSelected(list);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (dragSource_ == list) {
            SetCursor(dragCursor_);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (dragSource_ == list) {
            SetCursor(dragCursor_);
            return TRUE;
        }
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (pressList_ == list && message == pressRelease_) {
            // Released while the press was still being handled (a prompt was
            // open): the list ends its tracking without a new selection.
            return DefWithoutSelect(list, message, wParam, lParam);
        }
        if (dragSource_ == list && message == dragRelease_) {
            dragSource_ = nullptr;
            POINT at{};
            GetCursorPos(&at);
            // The list ends its own tracking of the press; it selects nothing new.
            if (message == WM_LBUTTONUP) DefWithoutSelect(list, message, wParam, lParam);
            if (GetCapture() == list) ReleaseCapture();
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            HWND target = WindowFromPoint(at);
            if (target == c_.listEnabled || target == c_.listDisabled) ListDragDrop(target, list);
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        // Another window took the mouse: the drag ends without a drop.
        if (dragSource_ == list && reinterpret_cast<HWND>(lParam) != list) {
            dragSource_ = nullptr;
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, &frmMain::ListProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT frmMain::DefWithoutSelect(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool was = suppressSelect_;
    suppressSelect_ = true;
    const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
    suppressSelect_ = was;
    return result;
}

LRESULT frmMain::OnListPress(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
    const bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
    const UINT release = left ? WM_LBUTTONUP : right ? WM_RBUTTONUP : WM_MBUTTONUP;
    // The press selects first and shows that mod, once; then a list with a
    // current item begins a drag. The list's own notices of the press and of
    // its release are not a new selection.
    pressList_ = list;
    lastList_ = list;
    pressRelease_ = release;
    const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
    // The second press of a double click selects nothing new.
    if (message == WM_LBUTTONDOWN && HIWORD(hit) == 0) {
        GetModInfo(CurrentItemText(list), list == c_.listEnabled ? EnabledExtension : DisabledExtension);
    }
    pressList_ = nullptr;
    // A prompt opened by the press may have taken its release, which then never
    // reaches the list: a drag begins only while the button is still down.
    const int button = left ? VK_LBUTTON : right ? VK_RBUTTON : VK_MBUTTON;
    if ((GetKeyState(button) & 0x8000) && !CurrentItemText(list).empty() && !Playing()) BeginDrag(list, release);
    return result;
}

void frmMain::BeginDrag(HWND list, UINT releaseMessage) {
    dragSource_ = list;
    dragRelease_ = releaseMessage;
    SetCapture(list);
    SetCursor(dragCursor_);
}
