#pragma once
// The command lines that second Tarrows hand to this one: taken at once, so
// that the sender's wait ends, and carried out one after another, never
// inside a question, menu, drag or change of this Tarrow's.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class HandOffs {
public:
    struct Host {
        HWND window;
        std::function<bool()> busy;                         // a question, menu, drag or change runs
        std::function<void(const std::wstring&)> carryOut;  // one line, as its arguments
    };
    static constexpr UINT RunMessage = WM_APP + 1;
    static constexpr UINT_PTR RetryTimer = 2;

    void Attach(Host host) { host_ = std::move(host); }
    // WM_COPYDATA: TRUE when the line was queued. A Tarrow that is closing
    // takes nothing, so the second opens a window of its own.
    LRESULT Take(LPARAM copyData);
    // RunMessage, or the retry timer: the next line, when nothing is busy.
    void Run();
    void Close() { closing_ = true; }

private:
    Host host_{};
    std::vector<std::wstring> lines_;
    bool running_ = false;
    bool closing_ = false;
};
