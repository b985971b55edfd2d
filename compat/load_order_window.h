#pragma once
// frmLoadOrder: what the game loads from the Manager's folder, the winner of
// every shared file, and what is broken. Modeless, once, like About.
#include <windows.h>

#include <string>
#include <vector>

#include "compat/load_order.h"
#include "core/dialog_base.h"

class frmLoadOrder : public WindowBase<frmLoadOrder> {
public:
    enum ControlId : int { IdLabel = 100, IdArchives, IdShared, IdProblems, IdAll, IdCopy, IdSave };
    struct Controls {
        HWND lblFolder = nullptr, lvArchives = nullptr, lvShared = nullptr, lvProblems = nullptr;
        HWND cmdAll = nullptr, cmdCopy = nullptr, cmdSave = nullptr, cmdClose = nullptr;
    };

    frmLoadOrder() = default;
    ~frmLoadOrder();
    frmLoadOrder(const frmLoadOrder&) = delete;
    frmLoadOrder& operator=(const frmLoadOrder&) = delete;

    // Opens the window on a game folder, beside the window it accompanies.
    void Load(const std::wstring& gameFolder, HWND beside = nullptr);
    void Unload();
    // Reads the game folder again.
    void Rebuild(const std::wstring& gameFolder);

    const Controls& controls() const { return c_; }
    const LoadOrderReport& report() const { return report_; }
    // The shared files on screen, as indexes into the report, in their order.
    const std::vector<std::size_t>& SharedShown() const { return sharedShown_; }

private:
    friend class WindowBase<frmLoadOrder>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    LRESULT OnNotify(const NMHDR& header);
    void ShowShared(int archive);
    void SortShared();
    void Fill();
    void cmdCopy_Click();
    void cmdSave_Click();

    Controls c_;
    Layout layout_;
    LoadOrderReport report_;
    std::vector<std::size_t> sharedShown_;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    std::wstring cell_;  // the text that the list view borrows for one cell
};
