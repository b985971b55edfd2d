#pragma once
// frmMain: the main window. Loading it runs the whole start-up; closing it
// unloads the dialogs and ends the program.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/companion_windows.h"
#include "app/folder_watcher.h"
#include "app/game_chooser.h"
#include "app/hand_offs.h"
#include "app/game_runner.h"
#include "app/info_panel.h"
#include "app/list_drag.h"
#include "app/main_menu.h"
#include "app/main_pages.h"
#include "app/mod_lists_view.h"
#include "compat/compatibility.h"
#include "ui/layout.h"
#include "ui/window_base.h"
#include "games/game.h"
#include "games/launch.h"
#include "mods/change_coordinator.h"
#include "mods/mod_library.h"

class frmMain : public WindowBase<frmMain>, public MainControlIds, public MainMenuCommands {
public:
    using Controls = MainControls;

    frmMain();
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window, runs the start-up, and shows it.
    void Load(int show = SW_SHOWNORMAL);

    // The window class a second Tarrow finds the first by.
    static const wchar_t* ClassName();
    // Carries out what a command line asks: the game, the set, the files,
    // Play; with Play, Tarrow ends when the game ends when told to (its own
    // command line asked, not a second Tarrow's).
    void Launch(const LaunchRequest& request, bool endWithGame = true);

    // The menu bar, as the window has it when it opens.
    static HMENU CreateMenuBar() { return CreateMainMenuBar(); }

    const Controls& controls() const { return c_; }
    ctlCompatibility& compatibility() { return compatibility_; }
    // The game the window manages; its folder is the Manager's SearchPath.
    const Game& game() const { return game_; }
    const std::wstring& SearchPath() const { return game_.folder(); }
    int CurrentTab() const { return currentTab_; }

    void FindMods();
    bool ModExists(const std::wstring& fullPath);
    bool Playing() const { return runner_.Playing(); }
    bool ModRename(const std::wstring& modName, const std::wstring& fromExtension, const std::wstring& toExtension);
    // Shows the information of the archive in the game's archive folder.
    void GetModInfo(const std::wstring& modName, const std::wstring& extension);

    // The dialogs, once each; null until first opened.
    frmOptions* Options() const { return windows_.Options(); }
    frmAbout* About() const { return windows_.About(); }
    frmChanges* Changes() const { return windows_.Changes(); }
    frmLoadOrder* LoadOrder() const { return windows_.LoadOrder(); }
    frmModInfoEditor* Editor() const { return windows_.Editor(); }
    frmModSets* ModSets() const { return windows_.ModSets(); }
    frmMaps* Maps() const { return windows_.Maps(); }
    frmFiles* Files() const { return windows_.Files(); }

private:
    friend class WindowBase<frmMain>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Form_Load();
    // A second Tarrow's command line, carried out once the sender is answered.
    // A second Tarrow's command line, carried out as this Tarrow's own.
    void RunHandOff(const std::wstring& line);
    void Form_Unload();
    void CheckDLLs();
    void InstallTest();
    void UseDemo();
    // The title names the game, unless it is the demo.
    void ShowTitle();
    // Manages this game from now on: its journal's recovery, then its lists.
    void UseGame(const Game& game);
    // The player chose a game: everything switches to it, and the choice is kept.
    void ChooseGame(const Game& game);
    // Options sets the demo's folder in its registry value, another game's under Tarrow's key.
    void OpenOptions();
    void CreatePages();
    void OnCommand(int id, int code, HWND from);
    void TabStrip1_Click();
    void mnuToolsMaps_Click();
    // Files asked to show an archive in Load Order.
    void ShowInLoadOrder(const std::wstring& archive);
    // The Maps window shows the maps of the mod the Manager shows, when it is enabled.
    void MapsFollow();
    // Greys or brings back everything that writes to main, in every window of ours.
    void SetWritable(bool writable);
    void mnuToolsInstall_Click();
    void mnuTools_ModInfoMaker_Click();
    // After the editor saved an archive: the panel and Load Order follow.
    void InformationSaved(const std::wstring& archivePath);
    // Installs downloads, then selects the first installed mod and shows it.
    void Install(const std::vector<std::wstring>& downloads);
    void Form_DropFiles(HDROP drop);
    // Removes the selected mod of a list, after asking.
    void RemoveSelected(HWND list);
    void UpdateMenuItems(HMENU menu);
    void mnuEditUndo_Click();
    void mnuEditRedo_Click();
    // Sets aside the journal of a change that could not be put right, after a question.
    void mnuEditForget_Click();
    // Something of the player's is under way: no re-read from outside now.
    bool Busy() const;
    // The one re-read after a change, ours (with its renames) or from
    // outside: the lists, and every open window, follow; the selections and
    // the panel stay on their archives, renamed or gone.
    void Reread(const std::vector<ChangeStep>& renames, bool ours);
    // Re-reads the folder's mods into both lists.
    void ReadMods();
    void cmdRefreshMods_Click();
    void cmdEnable_Click();
    void cmdDisable_Click();
    void OnListSelect(HWND list);
    // The Compatibility page shows the enabled mods of the game.
    void RefreshCompatibility();
    void ListDragDrop(HWND target, HWND source);

    Controls c_;
    Layout layout_;
    ctlCompatibility compatibility_;
    CompanionWindows windows_;
    Game game_ = DemoGame({});
    ModListModel mods_;
    ModListsView lists_;
    InfoPanel panel_;
    ListDrag drag_;
    FolderWatcher watcher_;
    GameRunner runner_;
    ChangeCoordinator coordinator_;
    GameChooser chooser_;
    int currentTab_ = 1;
    HandOffs handOffs_;         // command lines of second Tarrows, not yet carried out
    bool endWithGame_ = false;  // started with --play: Tarrow ends when the game does
};
