#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "archive/unzip.h"
#include "compat/conflicts.h"
#include "app/launcher.h"
#include "app/single_instance.h"
#include "ui/busy_cursor.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "ui/message_loop.h"
#include "ui/prompts.h"
#include "core/registry.h"
#include "core/text.h"
#include "core/transaction.h"
#include "games/catalog.h"
#include "mods/installer.h"
#include "resources/resource.h"

namespace {

constexpr wchar_t kMainClass[] = L"TarrowMain";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The timer that paces the re-reads after a change from outside.
constexpr UINT_PTR kOutsideTimer = 1;

}  // namespace

frmMain::frmMain()
    : runner_([this](bool running) {
          SetWritable(!running);
          if (!running) FindMods();
          if (!running && endWithGame_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      }),
      coordinator_(InstalledPrompts(), [this](const std::vector<ChangeStep>& renames) { Reread(renames, true); }) {
    // The extraction library asks its questions (a password) through our prompts.
    VBUnzBas::Questions = &InstalledPrompts();
}

frmMain::~frmMain() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void frmMain::Load(int show) {
    static const INITCOMMONCONTROLSEX controls{sizeof controls,
                                               ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    LoadRichEdit();
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
    case WM_CREATE: Form_Load(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->idFrom == IdTabStrip &&
            reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE) {
            TabStrip1_Click();
        }
        return 0;
    case WM_SETCURSOR:
        if (BusyCursor::Apply()) return TRUE;
        break;
    case WM_DPICHANGED: ApplyDpiChange(hwnd_, layout_, wParam, lParam); return 0;
    case WM_DROPFILES: Form_DropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_COPYDATA: return handOffs_.Take(lParam);
    case HandOffs::RunMessage: handOffs_.Run(); return 0;
    case GameChooser::FoundMessage: chooser_.Found(lParam); return 0;
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wParam) == GameSubmenu(GetMenu(hwnd_))) {
            chooser_.Fill(reinterpret_cast<HMENU>(wParam), game_);
        }
        UpdateMenuItems(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_ENTERMENULOOP: EnterModalLoop(); return 0;
    case WM_EXITMENULOOP: ExitModalLoop(); return 0;
    case WM_TIMER:
        if (wParam == kOutsideTimer) watcher_.Tick();
        if (wParam == HandOffs::RetryTimer) handOffs_.Run();
        return 0;
    case WM_CLOSE:
        handOffs_.Close();
        Form_Unload();
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        watcher_.Stop();
        RemoveKeyboardWindow(hwnd_);
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

const wchar_t* frmMain::ClassName() { return kMainClass; }

void frmMain::RunHandOff(const std::wstring& line) {
    const ParsedLaunch parsed = ParseLaunch(SplitArguments(line));
    if (!parsed.error.empty()) return static_cast<void>(MsgBox(parsed.error, MB_OK | MB_ICONWARNING));
    // The player had this Tarrow open: it stays when the game ends.
    Launch(parsed.request, false);
}

void frmMain::Launch(const LaunchRequest& request, bool endWithGame) {
    const LaunchHost host{
        [this]() -> const Game& { return game_; }, [this](const Game& game) { ChooseGame(game); },
        [this](const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo) {
            return coordinator_.Run(game_, plan, historyName, cannotUndo);
        },
        [this](const std::vector<std::wstring>& files) { Install(files); },
        [this] {
            runner_.Play(hwnd_, game_, {});
            return Playing();
        }};
    if (CarryOutLaunch(request, Globals::GamePath, host)) endWithGame_ = endWithGame;
}

void frmMain::Form_Load() {
    CheckDLLs();
    Globals::InitGlobals();
    currentTab_ = 1;
    SetMenu(hwnd_, CreateMenuBar());
    CreatePages();
    ShowTitle();
    AddKeyboardWindow(hwnd_);
    AddCommandKey('Z', hwnd_, mnuEditUndo);
    AddCommandKey('Y', hwnd_, mnuEditRedo);
    AddCommandKey(VK_F5, hwnd_, mnuToolsPlay, false);
    chooser_.Attach(hwnd_, [this](const Game& game) { ChooseGame(game); });
    handOffs_.Attach({hwnd_, [this] { return Busy(); }, [this](const std::wstring& line) { RunHandOff(line); }});
    chooser_.Discover(Globals::GamePath);
    windows_.Attach({hwnd_,
                     [this](const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo) {
                         return coordinator_.Run(game_, plan, historyName, cannotUndo);
                     },
                     [this](const Game& game, const ChangePlan& plan) { return coordinator_.Apply(game, plan); },
                     [this](const std::wstring& arguments) { runner_.Play(hwnd_, game_, arguments); },
                     [this](const std::wstring& path) { InformationSaved(path); },
                     [this](const std::wstring& archive) { ShowInLoadOrder(archive); }});
    watcher_.Attach(
        hwnd_, kOutsideTimer,
        {[this] { return Busy(); }, [this] { return StampEveryPlace(game_); }, [this] { Reread({}, false); }});
    InstallTest();
}

void frmMain::CheckDLLs() {
    if (!FileSystem::FileExists(FileSystem::ProgramFolder() + L"\\unzip32.dll")) {
        MsgBox(L"Could not load unzip32.dll", MB_OK | MB_ICONERROR, L"Error");
    }
}

void frmMain::InstallTest() {
    // The test is made on the raw registry text, not on GamePath.
    const StartGame start = ChooseStartGame(!ReadInstallPath().empty(), Globals::GamePath);
    if (start.game) return UseGame(*start.game);
    if (start.demo) return UseDemo();
    MsgBox(L"Tarrow did not detect CoD, please make sure it's installed correctly.", MB_OK | MB_ICONWARNING);
}

void frmMain::UseDemo() {
    game_ = DemoGame(Globals::GamePath);
    coordinator_.Recover(game_);
    FindMods();
}

void frmMain::CreatePages() {
    const HCURSOR grab = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_GRAB));
    CreateMainPages(hwnd_, layout_, c_, grab);
    compatibility_.Create(c_.frametab[2], 0, 0, 625, 288);
    panel_.Attach(c_.rtfModInfo);
    lists_.Attach(c_.listEnabled, c_.listDisabled);
    drag_.Attach(c_.listDisabled, c_.listEnabled, grab,
                 {[this](HWND list) { GetModInfo(CurrentItemText(list), lists_.ExtensionOf(list)); },
                  [this](HWND target, HWND source) { ListDragDrop(target, source); },
                  [this](HWND list) { RemoveSelected(list); }, [this] { return !Playing(); }});
}

void frmMain::OnCommand(int id, int code, HWND from) {
    switch (id) {
    case mnuFileExit: SendMessageW(hwnd_, WM_CLOSE, 0, 0); return;
    case mnuFileOptions: OpenOptions(); return;
    case mnuFileAddGame: chooser_.AddFolder(); return;
    case mnuAboutAbout: windows_.OpenAbout(); return;
    case mnuAboutChanges: windows_.OpenChanges(); return;
    case mnuToolsLoadOrder: windows_.OpenLoadOrder(game_, !Playing()); return;
    case mnuToolsModSets: windows_.OpenModSets(game_, !Playing()); return;
    case mnuToolsMaps: mnuToolsMaps_Click(); return;
    case mnuToolsFiles: windows_.OpenFiles(game_); return;
    case mnuToolsPlay: runner_.Play(hwnd_, game_, {}); return;
    case mnuToolsChooseProgram:
        // The program decides where the game's loose files stand: Load Order follows.
        if (!runner_.ChooseProgram(hwnd_, game_).empty()) windows_.Follow(game_);
        return;
    case mnuToolsInstall:
        if (!Playing()) mnuToolsInstall_Click();
        return;
    case mnuTools_ModInfoMaker: mnuTools_ModInfoMaker_Click(); return;
    case mnuToolsRemove: RemoveSelected(drag_.lastList()); return;
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
        if (code == LBN_SETFOCUS) drag_.SetLastList(from);
        if (code == LBN_SELCHANGE) OnListSelect(from);
        return;
    default: chooser_.Chosen(id, mnuFileGameFirst); return;
    }
}

void frmMain::TabStrip1_Click() {
    const int n = static_cast<int>(SendMessageW(c_.TabStrip1, TCM_GETCURSEL, 0, 0)) + 1;
    if (n == currentTab_ || n < 1 || n > 2) return;
    ShowWindow(c_.frametab[n], SW_SHOW);
    ShowWindow(c_.frametab[currentTab_], SW_HIDE);
    currentTab_ = n;
    // The panel's copy of the enabled mods is rebuilt each time its page is entered.
    if (n == 2) RefreshCompatibility();
}

void frmMain::RefreshCompatibility() {
    std::vector<std::wstring> enabled;
    // The page compares the mods of the managed folder.
    for (const auto& name : mods_.lists.enabled) {
        if (QualifiedName::Parse(name).place.empty()) AddSorted(enabled, name);
    }
    compatibility_.RefreshList(game_, enabled);
}

void frmMain::ShowTitle() {
    // The demo's title stays as it always was.
    const bool demo = game_.IsDemo();
    SetWindowTextW(hwnd_, (Globals::VersionText + (demo ? L"" : L" - " + game_.Name())).c_str());
}

void frmMain::UseGame(const Game& game) {
    game_ = game;
    ShowTitle();
    if (!game_.folder().empty()) coordinator_.Recover(game_);
    FindMods();
}

void frmMain::ChooseGame(const Game& game) {
    if (Playing() || game == game_) return;
    if (const long error = KeepChosenGame(game)) {
        MsgBox(L"Tarrow could not keep the choice: " + SystemMessage(static_cast<DWORD>(error)),
               MB_OK | MB_ICONWARNING);
    }
    panel_.Clear();
    UseGame(game);
    if (frmModSets* sets = windows_.OpenModSetsWindow()) sets->Follow(game_);
}

void frmMain::OpenOptions() {
    if (game_.IsDemo()) return windows_.OpenOptions(std::nullopt);
    windows_.OpenOptions(chooser_.OptionsOf(game_));
}

void frmMain::cmdRefreshMods_Click() {
    chooser_.Discover(Globals::GamePath);
    // Another game than the demo keeps its folder; the demo's is read again from its registry value.
    if (!game_.IsDemo()) return UseGame(game_);
    game_ = DemoGame(Globals::GamePath);
    // The folder may be another one now, or the archive that held a recovery back may be free.
    if (!game_.folder().empty()) coordinator_.Recover(game_);
    FindMods();
}

void frmMain::mnuToolsMaps_Click() {
    if (windows_.OpenMaps(game_, !Playing())) MapsFollow();
}

void frmMain::ShowInLoadOrder(const std::wstring& archive) {
    windows_.OpenLoadOrder(game_, !Playing());
    if (frmLoadOrder* window = windows_.OpenLoadOrderWindow()) window->SelectArchive(archive);
}

void frmMain::MapsFollow() {
    frmMaps* maps = windows_.OpenMapsWindow();
    if (!maps) return;
    const std::wstring& shown = panel_.shown();
    const bool enabled = shown.ends_with(EnabledExtension) && FileSystem::FileExists(shown);
    maps->Follow(enabled ? game_.NameOf(shown) : std::wstring());
}

void frmMain::SetWritable(bool writable) {
    EnableWindow(c_.cmdEnable, writable);
    EnableWindow(c_.cmdDisable, writable);
    windows_.SetWritable(writable);
}

bool frmMain::Busy() const {
    return !IsWindowEnabled(hwnd_) || drag_.Busy() || ChangeRunning() || !VBUnzBas::Idle() || ModalLoopRunning() ||
           GetCapture();
}

void frmMain::Reread(const std::vector<ChangeStep>& renames, bool ours) {
    panel_.Renamed(game_, renames);
    std::wstring enabled = CurrentItemText(c_.listEnabled);
    const std::wstring disabled = CurrentItemText(c_.listDisabled);
    for (const ChangeStep& step : renames) {
        if (step.kind == StepKind::Rename && !enabled.empty() && enabled + EnabledExtension == step.from) {
            enabled = ModNameOf(step.to, EnabledExtension);
        }
    }
    FindMods();
    ModListsView::Select(c_.listEnabled, enabled);
    ModListsView::Select(c_.listDisabled, disabled);
    panel_.ForgetIfGone();
    if (ours && currentTab_ == 2) RefreshCompatibility();
}

void frmMain::Form_Unload() { windows_.Unload(game_); }

void frmMain::FindMods() {
    ReadMods();
    watcher_.Watch(ChangeableFolders(game_));
    // An open Load Order window follows every re-read of the lists, and so does Maps.
    windows_.Follow(game_);
    MapsFollow();
}

void frmMain::ReadMods() {
    lists_.Clear();
    {
        BusyCursor busy;
        mods_ = ReadModListModel(game_);
    }
    watcher_.Seen(mods_.stamps);
    lists_.Show(mods_);
    // A folder on a drive or share that is not there must not end the program.
    if (!mods_.failure.empty()) {
        MsgBox(L"Tarrow could not read the folder " + game_.ArchiveFolder() + L"\n\n" + mods_.failure,
               MB_OK | MB_ICONWARNING);
    }
}

void frmMain::OnListSelect(HWND list) {
    if (!drag_.SelectionIsChoice()) return;
    GetModInfo(CurrentItemText(list), lists_.ExtensionOf(list));
}

void frmMain::GetModInfo(const std::wstring& modName, const std::wstring& extension) {
    // A prompt of a run in progress is open: that run's view is the one to show.
    if (!VBUnzBas::Idle()) return;
    // A mod of another place is named with it.
    const std::optional<Game> where = game_.Where(QualifiedName::Parse(modName));
    panel_.Show(where ? where->ArchiveFolder() : game_.ArchiveFolder(), QualifiedName::Parse(modName).file, extension);
    MapsFollow();
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
