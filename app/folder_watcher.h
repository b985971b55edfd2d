#pragma once
// Watches the game's archive folders (the managed one, its per-user folder and
// VirtualStore's copy) for changes from outside (Explorer, a
// download, the game's patcher) and asks for a re-read once the folder has
// settled and nothing of the player's is under way.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/handles.h"
#include "mods/mod_library.h"

class FolderWatcher {
public:
    struct Handlers {
        // Something of the player's is under way (a prompt, a drag, a change): not now.
        std::function<bool()> busy;
        // The archives as they are now.
        std::function<std::vector<ArchiveStamp>()> stamp;
        // The folder changed and has settled: read it again.
        std::function<void()> changed;
    };

    FolderWatcher() = default;
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // The window whose timer paces the re-reads, and what the watcher asks.
    void Attach(HWND owner, UINT_PTR timer, Handlers handlers);
    // Watches these folders, unless it already does.
    void Watch(const std::vector<std::wstring>& folders);
    // The archives as the lists were read last, or as a change of ours left them.
    void Seen(std::vector<ArchiveStamp> stamps) { seen_ = std::move(stamps); }
    // The owner's timer fired.
    void Tick();
    void Stop();

private:
    void Changed(size_t folder);

    HWND owner_ = nullptr;
    UINT_PTR timer_ = 0;
    Handlers handlers_;
    std::vector<ChangeNotificationHandle> watches_;
    std::vector<std::wstring> watched_;
    // As the lists were read last, and as a change from outside was seen last.
    std::vector<ArchiveStamp> seen_, settling_;
};
