#pragma once
// frmMaps: every map the game can load, with the archive it comes from, the
// archives it overrides, its levelshot, and what it will miss with the
// disabled archive that would supply it. Modeless, once, beside the main
// window; it follows the Manager's selection.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "compat/load_order.h"
#include "ui/modeless_window.h"
#include "core/handles.h"
#include "core/transaction.h"
#include "maps/map_list.h"
#include "maps/map_needs.h"
#include "ui/background_job.h"
#include "maps/picture.h"

class frmMaps : public ModelessWindow<frmMaps> {
public:
    enum ControlId : int {
        IdLabel = 100,
        IdShown,
        IdMaps,
        IdPicture,
        IdPictureText,
        IdPlay,
        IdMissingText,
        IdMissing,
        IdEnable
    };
    struct Controls {
        HWND lblShown = nullptr, lvMaps = nullptr, picLevelshot = nullptr, lblPicture = nullptr, cmdPlay = nullptr,
             lblMissing = nullptr, lstMissing = nullptr, cmdEnable = nullptr, cmdClose = nullptr;
    };
    // Starts the game as Play does, with these words on its command line.
    using Player = std::function<void(const std::wstring& arguments)>;
    // Posted when the needs of the maps are known.
    static constexpr UINT NeedsMessage = WM_APP + 1;

    explicit frmMaps(Player play = {}, ChangeRunner run = {}) : play_(std::move(play)), run_(std::move(run)) {}
    ~frmMaps();
    frmMaps(const frmMaps&) = delete;
    frmMaps& operator=(const frmMaps&) = delete;

    void Load(const Game& game, HWND beside = nullptr);
    // Reads the game's folder again.
    void Rebuild(const Game& game);
    // Shows the maps of the archive named file, or all of them for the empty text.
    void Follow(const std::wstring& file);
    void SetWritable(bool playable);

    const Controls& controls() const { return c_; }
    const std::vector<GameMap>& maps() const { return maps_; }
    // What each map needs, once worked out; empty before.
    const std::vector<MapNeeds>& needs() const { return needs_; }
    // The disabled archive that Enable would enable; empty when none.
    const std::wstring& offered() const { return offered_; }
    // The maps on screen, as indexes into maps(), in their order.
    const std::vector<std::size_t>& shown() const { return shown_; }
    // The picture as it is shown, scaled to the window.
    const Picture& shownPicture() const { return scaled_; }

private:
    friend class WindowBase<frmMaps>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Fill();
    int Selected() const;
    // Shows a levelshot, freeing whatever the control held before.
    void SetLevelshot(BitmapHandle bitmap);
    void ShowPicture(int row);
    void ShowMissing(int row);
    void NeedsKnown();
    void cmdPlay_Click();
    void cmdEnable_Click();

    Player play_;
    ChangeRunner run_;
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    std::wstring followed_;
    LoadOrderReport report_;
    std::vector<GameMap> maps_;
    std::vector<std::size_t> shown_;
    std::vector<MapNeeds> needs_;
    BackgroundJob<MapsAndNeeds> job_;
    std::wstring offered_;
    Picture scaled_;
    BitmapHandle bitmap_;
    bool playable_ = true;
    std::wstring cell_;
};
