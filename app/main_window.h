#pragma once
// frmMain: the main window. Loading it runs the whole start-up; closing it
// unloads the dialogs and ends the program.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/info_dialogs.h"
#include "app/options_dialog.h"
#include "compat/compatibility.h"
#include "compat/load_order_window.h"
#include "core/handles.h"
#include "core/layout.h"
#include "core/window_base.h"
#include "maps/maps_window.h"
#include "modinfo/mod_info_editor.h"
#include "mods/history.h"
#include "mods/mod_sets_window.h"
#include "mods/mod_library.h"

class frmMain : public WindowBase<frmMain> {
public:
    // The menu commands.
    enum MenuCommand : int {
        mnuFileOptions = 100,
        mnuFileExit,
        mnuTools_ModInfoMaker,
        mnuAboutAbout,
        mnuAboutChanges,
        mnuToolsLoadOrder,
        mnuToolsInstall,
        mnuToolsRemove,
        mnuEditUndo,
        mnuEditRedo,
        mnuToolsModSets,
        mnuToolsPlay,
        mnuToolsChooseProgram,
        mnuEditForget,
        mnuToolsMaps,
    };
    // The control identifiers, by which the controls can be found from outside.
    enum ControlId : int {
        IdTabStrip = 200,
        IdPage1,
        IdPage2,
        IdIconMove,
        IdLabel,
        IdListDisabled,
        IdListEnabled,
        IdModInfo,
        IdEnable,
        IdDisable,
        IdRefresh,
    };

    struct Controls {
        HWND TabStrip1 = nullptr;
        HWND frametab[3] = {};  // pages 1 and 2, as the tabs count them
        HWND picIconMove = nullptr;
        HWND lblDisabled = nullptr, lblEnabled = nullptr, lblModInfo = nullptr;
        HWND listDisabled = nullptr, listEnabled = nullptr;
        HWND rtfModInfo = nullptr;
        HWND cmdEnable = nullptr, cmdDisable = nullptr, cmdRefreshMods = nullptr;
    };

    frmMain() = default;
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window, runs the start-up, and shows it.
    void Load(int show = SW_SHOWNORMAL);

    // The menu bar, as the window has it when it opens.
    static HMENU CreateMenuBar();

    const Controls& controls() const { return c_; }
    ctlCompatibility& compatibility() { return compatibility_; }
    const std::wstring& SearchPath() const { return searchPath_; }
    int CurrentTab() const { return currentTab_; }

    void FindMods();
    bool ModExists(const std::wstring& fullPath);
    bool Playing() const { return game_.valid(); }
    bool ModRename(const std::wstring& modName, const std::wstring& fromExtension, const std::wstring& toExtension);
    // Shows the information of the archive SearchPath\main\ + name + extension.
    void GetModInfo(const std::wstring& modName, const std::wstring& extension);

    // The dialogs, once each; null until first opened.
    frmOptions* Options() const { return options_.get(); }
    frmAbout* About() const { return about_.get(); }
    frmChanges* Changes() const { return changes_.get(); }
    frmLoadOrder* LoadOrder() const { return loadOrder_.get(); }
    frmModInfoEditor* Editor() const { return editor_.get(); }
    frmModSets* ModSets() const { return modSets_.get(); }
    frmMaps* Maps() const { return maps_.get(); }

private:
    friend class WindowBase<frmMain>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Form_Load();
    void Form_Unload();
    void CheckDLLs();
    void InstallTest();
    // Puts right a change to main that a stopped Tarrow left, and says so;
    // then offers the partial copies that one left to the Recycle Bin.
    void RecoverAbandonedChange();
    void CreatePages();
    void CreateManagerPage();
    void CreateMenus();
    void OnCommand(int id, int code, HWND from);
    void TabStrip1_Click();
    void mnuToolsLoadOrder_Click();
    void mnuToolsModSets_Click();
    void mnuToolsPlay_Click() { Play({}); }
    void mnuToolsMaps_Click();
    // Starts the game from its folder, with these words after its program on the command line.
    void Play(const std::wstring& arguments);
    // The Maps window shows the maps of the mod the Manager shows, when it is enabled.
    void MapsFollow();
    // Asks for the game program and keeps the choice; empty when the player cancels.
    std::wstring mnuToolsChooseProgram_Click();
    // The problems that Load Order finds, in one question; true to play.
    bool PlayAnyway();
    void GameEnded();
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
    // Watches main for changes from outside (Explorer, a download, the game's patcher).
    void WatchMain();
    void MainChanged();
    // A tick after a change from outside: the lists are read again once the
    // folder has settled and nothing of the player's is under way.
    void OutsideTimer_Tick();
    // Reads the lists again and keeps the selections whose mods are still there.
    void ReadModsKeepingSelection();
    // Reads the lists again and selects these mods where they are listed.
    void FindModsSelecting(const std::wstring& enabled, const std::wstring& disabled);
    // A change that the Load Order window asks for; the selections and the
    // panel follow the renamed archives.
    bool RunForLoadOrder(const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo);
    // Re-reads the folder's mods into both lists.
    void ReadMods();
    void cmdRefreshMods_Click();
    void cmdEnable_Click();
    void cmdDisable_Click();
    void OnListSelect(HWND list);
    void ListDragDrop(HWND target, HWND source);
    void extract(const std::wstring& modName, const std::wstring& extension, const std::wstring& destination);

    // Dragging a mod from one list to the other.
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    LRESULT OnListMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnListPress(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    // The list's own handling of a message, without its selection notice.
    LRESULT DefWithoutSelect(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void BeginDrag(HWND list, UINT releaseMessage);

    template <class Dialog>
    static void Open(std::unique_ptr<Dialog>& dialog);

    Controls c_;
    Layout layout_;
    ctlCompatibility compatibility_;
    std::unique_ptr<frmOptions> options_;
    std::unique_ptr<frmAbout> about_;
    std::unique_ptr<frmChanges> changes_;
    std::unique_ptr<frmLoadOrder> loadOrder_;
    std::unique_ptr<frmModInfoEditor> editor_;
    std::unique_ptr<frmModSets> modSets_;
    std::unique_ptr<frmMaps> maps_;
    // The archive whose information the panel shows.
    std::wstring shownArchive_;
    std::wstring searchPath_;
    // The enabled mods in the order of their list.
    std::vector<std::wstring> enabledMods_;
    ChangeHistory history_;
    // The game, while Play has it running: the archives are its then.
    ProcessHandle game_;
    ChangeNotificationHandle watch_;
    std::wstring watched_;
    // The archives as the lists were read last, and as a change from outside was seen last.
    std::vector<ArchiveStamp> stamps_, settling_;
    int currentTab_ = 1;
    HCURSOR dragCursor_ = nullptr;
    HWND dragSource_ = nullptr;
    UINT dragRelease_ = 0;
    bool suppressSelect_ = false;
    // The list whose press is being handled, until its handler returns.
    HWND pressList_ = nullptr;
    // The mod list used last, by a click or the keyboard focus.
    HWND lastList_ = nullptr;
    UINT pressRelease_ = 0;
};

// The text of a list box's current item; empty when none is selected.
std::wstring CurrentItemText(HWND list);
