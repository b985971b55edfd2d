#pragma once
// frmOptions: sets the game folder, stored in the game's InstallPath value.
#include <windows.h>

#include "core/dialog_base.h"

class frmOptions : public WindowBase<frmOptions> {
public:
    enum ControlId : int { IdSelectInstall = 100, IdApply = 101, IdLabel = 102, IdLocation = 103 };
    struct Controls {
        HWND lblInstallPath = nullptr, txtLocation = nullptr, cmdSelectInstall = nullptr;
        HWND cmdOk = nullptr, cmdCancel = nullptr, cmdApply = nullptr;
    };

    frmOptions() = default;
    ~frmOptions();
    frmOptions(const frmOptions&) = delete;
    frmOptions& operator=(const frmOptions&) = delete;

    // Creates the dialog, runs its load handler and shows it.
    void Load();
    // Closes the dialog, storing nothing.
    void Unload();
    const Controls& controls() const { return c_; }

    // Stores the folder of the text box; false when it was not stored.
    bool SetOptions();

private:
    friend class WindowBase<frmOptions>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Form_Load();
    void cmdSelectInstall_Click();

    Controls c_;
    Layout layout_;
};
