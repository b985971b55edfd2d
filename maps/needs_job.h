#pragma once
// What the maps of a game need, worked out on a thread of its own so that a
// window opens at once: when it is done, the window is posted a message and
// takes the result. A new start waits for the one before; so does the end.
#include <windows.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "maps/map_needs.h"

class NeedsJob {
public:
    struct Result {
        std::vector<GameMap> maps;
        std::vector<MapNeeds> needs;  // one for each map, in its order
        std::unique_ptr<GameFiles> files;
    };

    NeedsJob() = default;
    NeedsJob(const NeedsJob&) = delete;
    NeedsJob& operator=(const NeedsJob&) = delete;
    ~NeedsJob() { Wait(); }

    // Works out the needs of these maps, or of every map of the report when
    // maps is empty, then posts message to window.
    void Start(HWND window, UINT message, const Game& game, const LoadOrderReport& report,
               std::optional<std::vector<GameMap>> maps = std::nullopt);
    // The result, once the message came; empty before, and after it was taken.
    std::unique_ptr<Result> Take();
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
    std::unique_ptr<Result> result_;
};
