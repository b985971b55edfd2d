#pragma once
// Work a window hands to a thread of its own so that it stays responsive:
// when the work is done, the window is posted a message and takes the
// result. A new start waits for the one before; so does the end.
#include <windows.h>

#include <functional>
#include <optional>
#include <thread>

template <class Result>
class BackgroundJob {
public:
    BackgroundJob() = default;
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;
    ~BackgroundJob() { Wait(); }

    // work runs on the thread and must not throw; then message goes to window.
    void Start(HWND window, UINT message, std::function<Result()> work) {
        Wait();
        result_.reset();
        thread_ = std::thread([this, window, message, work = std::move(work)] {
            result_ = work();
            PostMessageW(window, message, 0, 0);
        });
    }
    // The result, once the message came; nothing before, or after it was taken.
    std::optional<Result> Take() {
        Wait();
        std::optional<Result> result = std::move(result_);
        result_.reset();
        return result;
    }
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
    std::optional<Result> result_;
};
