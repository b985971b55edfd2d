#pragma once
// frmModInfoEditor: mod authors write the tarrow.ini of an archive, with a
// preview of exactly what the information panel will show. Modeless, once.
#include <windows.h>

#include <functional>
#include <string>

#include "ui/modeless_window.h"
#include "modinfo/mod_info.h"

class frmModInfoEditor : public ModelessWindow<frmModInfoEditor> {
public:
    enum ControlId : int { IdLabel = 100, IdName, IdVersion, IdAuthor, IdDescription, IdPreview, IdSave };
    struct Controls {
        HWND lblMod = nullptr, txtName = nullptr, txtVersion = nullptr, txtAuthor = nullptr;
        HWND txtDescription = nullptr, rtfPreview = nullptr, cmdSave = nullptr, cmdClose = nullptr;
    };
    // Told the archive's path after each save.
    using SavedHandler = std::function<void(const std::wstring& archivePath)>;

    frmModInfoEditor(SavedHandler onSaved, PlacedChangeRunner run)
        : onSaved_(std::move(onSaved)), run_(std::move(run)) {}
    ~frmModInfoEditor();
    frmModInfoEditor(const frmModInfoEditor&) = delete;
    frmModInfoEditor& operator=(const frmModInfoEditor&) = delete;

    // Opens the window on an archive, or brings it to the front and loads the
    // archive there, asking first about unsaved changes. The keyboard goes to
    // Name. False when the user kept the changes.
    bool Edit(const Game& game, const std::wstring& archivePath, HWND beside = nullptr);
    // Saves; true when the archive holds the new information.
    bool Save();
    // The fields differ from what the archive holds.
    bool Dirty() const;

    const Controls& controls() const { return c_; }
    const std::wstring& archive() const { return archive_; }
    // While the game runs it holds its archives: no save then.
    void SetWritable(bool writable);

private:
    friend class WindowBase<frmModInfoEditor>;
    bool writable_ = true;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void LoadArchive(const std::wstring& archivePath);
    InformationFields Fields() const;
    void ShowFields(const InformationFields& fields);
    void UpdatePreview();
    // Asks before unsaved changes are dropped; true when they may go.
    bool MayDropChanges();

    SavedHandler onSaved_;
    PlacedChangeRunner run_;
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    std::wstring archive_;
    std::wstring existingText_;  // the archive's tarrow.ini as it is
    InformationFields saved_;    // its fields
    bool showing_ = false;       // the fields are being filled: no preview yet
};
