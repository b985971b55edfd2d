#pragma once
// frmAbout shows the version; frmChanges shows the change log.
#include <windows.h>

#include "ui/dialog_base.h"
#include "core/handles.h"

class frmAbout : public WindowBase<frmAbout> {
public:
    struct Controls {
        HWND lblVersion = nullptr, lblWhatFor = nullptr, lblAbout = nullptr, lblWarning = nullptr;
        HWND picSig = nullptr, Command1 = nullptr;
    };

    frmAbout() = default;
    ~frmAbout();
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    void Load();
    void Unload();
    const Controls& controls() const { return c_; }

private:
    friend class WindowBase<frmAbout>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    Controls c_;
    Layout layout_;
    BitmapHandle signature_;
};

class frmChanges : public WindowBase<frmChanges> {
public:
    struct Controls {
        HWND rtfChanges = nullptr, cmdClose = nullptr;
    };

    frmChanges() = default;
    ~frmChanges();
    frmChanges(const frmChanges&) = delete;
    frmChanges& operator=(const frmChanges&) = delete;

    void Load();
    void Unload();
    const Controls& controls() const { return c_; }

private:
    friend class WindowBase<frmChanges>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    Controls c_;
    Layout layout_;
};
