#include "app/folder_watcher.h"

#include "core/message_loop.h"
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
    if (watch_.valid()) UnwatchHandle(watch_.get());
    watch_.Reset();
}

void FolderWatcher::Watch(const std::wstring& folder) {
    if (watch_.valid() && folder == watched_) return;
    Stop();
    watched_ = folder;
    watch_ = ChangeNotificationHandle(FindFirstChangeNotificationW(
        std::wstring(WithoutTrailingBackslashes(folder, 3)).c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE));
    if (watch_.valid()) WatchHandle(watch_.get(), [this] { Changed(); });
}

void FolderWatcher::Changed() {
    SetTimer(owner_, timer_, kTick, nullptr);
    if (FindNextChangeNotification(watch_.get())) return;
    // The folder itself has gone: the watch would stay signalled. The next read of the lists watches again.
    Stop();
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
