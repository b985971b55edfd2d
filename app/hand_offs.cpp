#include "app/hand_offs.h"

#include "app/single_instance.h"

LRESULT HandOffs::Take(LPARAM copyData) {
    std::wstring arguments;
    if (closing_ || !ReadHandOff(copyData, arguments)) return FALSE;
    // The sender waits for the answer: it comes once the line is queued, and
    // what the line asks is done after it.
    lines_.push_back(std::move(arguments));
    PostMessageW(host_.window, RunMessage, 0, 0);
    return TRUE;
}

void HandOffs::Run() {
    if (lines_.empty()) return;
    if (running_ || (host_.busy && host_.busy())) {
        SetTimer(host_.window, RetryTimer, 200, nullptr);
        return;
    }
    KillTimer(host_.window, RetryTimer);
    if (IsIconic(host_.window)) ShowWindow(host_.window, SW_RESTORE);
    SetForegroundWindow(host_.window);
    const std::wstring line = std::move(lines_.front());
    lines_.erase(lines_.begin());
    running_ = true;
    host_.carryOut(line);
    running_ = false;
    if (!lines_.empty()) PostMessageW(host_.window, RunMessage, 0, 0);
}
