#include "app/folder_watcher.h"

#include <algorithm>

#include "ui/message_loop.h"
#include "core/text.h"

namespace {
// The re-read after a change from outside waits for the folder to settle over one tick.
constexpr UINT kTick = 300;
}  // namespace

FolderWatcher::~FolderWatcher() { Stop(); }

void FolderWatcher::Attach(HWND owner, UINT_PTR timer, Handlers handlers) {
    owner_ = owner;
    timer_ = timer;
    handlers_ = std::move(handlers);
}

void FolderWatcher::Stop() {
    for (ChangeNotificationHandle& watch : watches_) {
        if (watch.valid()) UnwatchHandle(watch.get());
    }
    watches_.clear();
    watched_.clear();
}

void FolderWatcher::Watch(const std::vector<std::wstring>& folders) {
    const bool watching = std::all_of(watches_.begin(), watches_.end(), [](const auto& w) { return w.valid(); });
    if (!watches_.empty() && watching && folders == watched_) return;
    Stop();
    watched_ = folders;
    for (size_t i = 0; i < folders.size(); ++i) {
        watches_.emplace_back(FindFirstChangeNotificationW(
            std::wstring(WithoutTrailingBackslashes(folders[i], 3)).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE));
        if (watches_.back().valid()) WatchHandle(watches_.back().get(), [this, i] { Changed(i); });
    }
}

void FolderWatcher::Changed(size_t folder) {
    SetTimer(owner_, timer_, kTick, nullptr);
    if (FindNextChangeNotification(watches_[folder].get())) return;
    // The folder itself has gone: its watch would stay signalled. The next read of the lists watches again.
    UnwatchHandle(watches_[folder].get());
    watches_[folder].Reset();
}

void FolderWatcher::Tick() {
    // The next tick tries again.
    if (handlers_.busy()) return;
    std::vector<ArchiveStamp> stamps = handlers_.stamp();
    if (stamps == seen_) {
        KillTimer(owner_, timer_);
        settling_.clear();
        return;
    }
    // Still being written, as a copy or a download is: one more tick.
    if (stamps != settling_) {
        settling_ = std::move(stamps);
        return;
    }
    KillTimer(owner_, timer_);
    settling_.clear();
    handlers_.changed();
}
