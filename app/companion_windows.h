#pragma once
// The windows that accompany the main window: each exists once, opens beside
// it, follows its game, and is greyed with it while the game runs.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/info_dialogs.h"
#include "app/options_dialog.h"
#include "compat/load_order_window.h"
#include "core/transaction.h"
#include "games/game.h"
#include "maps/files_window.h"
#include "maps/maps_window.h"
#include "modinfo/mod_info_editor.h"
#include "mods/mod_sets_window.h"

class CompanionWindows {
public:
    struct Context {
        HWND beside = nullptr;
        ChangeRunner run;
        // The editor's save, worded by the editor itself.
        PlacedChangeRunner apply;
        std::function<void(const std::wstring& arguments)> play;
        // The editor saved an archive.
        std::function<void(const std::wstring& archivePath)> saved;
        // Files shows an archive in Load Order.
        std::function<void(const std::wstring& archive)> showInLoadOrder;
    };
    void Attach(Context context) { context_ = std::move(context); }

    // Options for the demo, or for another game.
    void OpenOptions(std::optional<frmOptions::OtherGame> other);
    void OpenAbout() { OpenOnce(about_); }
    void OpenChanges() { OpenOnce(changes_); }
    void OpenLoadOrder(const Game& game, bool writable);
    void OpenModSets(const Game& game, bool writable);
    // True when Maps was opened now.
    bool OpenMaps(const Game& game, bool writable);
    void Edit(const Game& game, const std::wstring& archive, bool writable);
    void OpenFiles(const Game& game);

    // The game's folder was read again: the open windows that show it follow.
    void Follow(const Game& game);
    // Greys or brings back everything that writes to the game's folder.
    void SetWritable(bool writable);
    // Closes every window; asks first about the editor's unsaved changes.
    void Unload(const Game& game);

    frmOptions* Options() const { return options_.get(); }
    frmAbout* About() const { return about_.get(); }
    frmChanges* Changes() const { return changes_.get(); }
    frmLoadOrder* LoadOrder() const { return loadOrder_.get(); }
    frmModInfoEditor* Editor() const { return editor_.get(); }
    frmModSets* ModSets() const { return modSets_.get(); }
    frmModSets* OpenModSetsWindow() const { return Shown(modSets_); }
    // Open now; null otherwise.
    frmLoadOrder* OpenLoadOrderWindow() const { return Shown(loadOrder_); }
    frmMaps* Maps() const { return maps_.get(); }
    frmMaps* OpenMapsWindow() const { return Shown(maps_); }
    frmFiles* Files() const { return files_.get(); }

private:
    template <class Window>
    static Window* Shown(const std::unique_ptr<Window>& window) {
        return window && window->hwnd() ? window.get() : nullptr;
    }
    // An open window only comes to the front; true when a new one was made.
    template <class Window, class Make>
    static bool Reopen(std::unique_ptr<Window>& window, Make make) {
        if (Shown(window)) {
            BringToFront(window->hwnd());
            return false;
        }
        window = make();
        return true;
    }
    template <class Dialog>
    static void OpenOnce(std::unique_ptr<Dialog>& dialog) {
        if (Reopen(dialog, [] { return std::make_unique<Dialog>(); })) dialog->Load();
    }

    Context context_;
    std::unique_ptr<frmOptions> options_;
    std::unique_ptr<frmAbout> about_;
    std::unique_ptr<frmChanges> changes_;
    std::unique_ptr<frmLoadOrder> loadOrder_;
    std::unique_ptr<frmModInfoEditor> editor_;
    std::unique_ptr<frmModSets> modSets_;
    std::unique_ptr<frmMaps> maps_;
    std::unique_ptr<frmFiles> files_;
};
