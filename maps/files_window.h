#pragma once
// frmFiles: every file the game sees, in every place, archive and loose, and
// those of the archives it does not load, filtered as the player types; with
// the archive that wins each, those it overrides, and the files maps need
// that nothing supplies. Modeless, once, beside the main window.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "compat/load_order.h"
#include "maps/files_model.h"
#include "maps/map_needs.h"
#include "ui/background_job.h"
#include "ui/modeless_window.h"

class frmFiles : public ModelessWindow<frmFiles> {
public:
    enum ControlId : int { IdLabel = 100, IdFilter, IdCount, IdFiles, IdShowInLoadOrder, IdOpenFolder };
    struct Controls {
        HWND lblFilter = nullptr, txtFilter = nullptr, lblCount = nullptr, lvFiles = nullptr, cmdClose = nullptr;
    };
    // Shows an archive, as the lists name it, in Load Order.
    using ShowArchive = std::function<void(const std::wstring& archive)>;
    static constexpr UINT FilesMessage = WM_APP + 2;

    explicit frmFiles(ShowArchive show = {}) : show_(std::move(show)) {}
    ~frmFiles();
    frmFiles(const frmFiles&) = delete;
    frmFiles& operator=(const frmFiles&) = delete;

    void Load(const Game& game, HWND beside = nullptr);
    // Reads the game's folder again; the filter stays.
    void Rebuild(const Game& game);

    const Controls& controls() const { return c_; }
    // Null while the game's files are being read.
    const FilesModel* model() const { return model_.get(); }

private:
    friend class WindowBase<frmFiles>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnNotify(const NMHDR& header);
    void CreateControls();
    void FilesKnown();
    void Refilter();
    void ShowMenu(int row, POINT at);
    void OpenContainingFolder(int row) const;

    ShowArchive show_;
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    BackgroundJob<MapsAndNeeds> job_;
    std::optional<MapsAndNeeds> result_;
    std::unique_ptr<FilesModel> model_;
    std::wstring cell_;
};
