#pragma once
// frmOptions: sets the game folder, stored in the game's InstallPath value.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "ui/dialog_base.h"

class frmOptions : public WindowBase<frmOptions> {
public:
    enum ControlId : int { IdSelectInstall = 100, IdApply = 101, IdLabel = 102, IdLocation = 103 };
    struct Controls {
        HWND lblInstallPath = nullptr, txtLocation = nullptr, cmdSelectInstall = nullptr;
        HWND cmdOk = nullptr, cmdCancel = nullptr, cmdApply = nullptr;
    };

    // A game other than the demo: the dialog sets the folder that Tarrow keeps
    // for it under its own key, never in the game's registry.
    struct OtherGame {
        std::wstring name;
        std::wstring folder;
        // Keeps a folder that exists; false, after saying why, when it was not kept.
        std::function<bool(const std::wstring& folder)> keep;
    };

    explicit frmOptions(std::optional<OtherGame> other = std::nullopt) : other_(std::move(other)) {}
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

    std::optional<OtherGame> other_;
    Controls c_;
    Layout layout_;
};
