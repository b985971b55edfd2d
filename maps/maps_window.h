#pragma once
// frmMaps: every map the game can load, with the archive it comes from, the
// archives it overrides and its levelshot. Modeless, once, beside the main
// window; it follows the Manager's selection.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "compat/load_order.h"
#include "ui/modeless_window.h"
#include "core/handles.h"
#include "maps/map_list.h"
#include "maps/picture.h"

class frmMaps : public ModelessWindow<frmMaps> {
public:
    enum ControlId : int { IdLabel = 100, IdShown, IdMaps, IdPicture, IdPictureText, IdPlay };
    struct Controls {
        HWND lblShown = nullptr, lvMaps = nullptr, picLevelshot = nullptr, lblPicture = nullptr, cmdPlay = nullptr,
             cmdClose = nullptr;
    };
    // Starts the game as Play does, with these words on its command line.
    using Player = std::function<void(const std::wstring& arguments)>;

    explicit frmMaps(Player play = {}) : play_(std::move(play)) {}
    ~frmMaps();
    frmMaps(const frmMaps&) = delete;
    frmMaps& operator=(const frmMaps&) = delete;

    void Load(const Game& game, HWND beside = nullptr);
    // Reads the game's folder again.
    void Rebuild(const Game& game);
    // Shows the maps of the archive named file, or all of them for the empty text.
    void Follow(const std::wstring& file);
    void SetWritable(bool playable) { EnableWindow(c_.cmdPlay, playable && Selected() >= 0); playable_ = playable; }

    const Controls& controls() const { return c_; }
    const std::vector<GameMap>& maps() const { return maps_; }
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
    void cmdPlay_Click();

    Player play_;
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    std::wstring followed_;
    LoadOrderReport report_;
    std::vector<GameMap> maps_;
    std::vector<std::size_t> shown_;
    Picture scaled_;
    BitmapHandle bitmap_;
    bool playable_ = true;
    std::wstring cell_;
};
