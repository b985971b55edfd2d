#include "maps/needs_job.h"

void NeedsJob::Start(HWND window, UINT message, const Game& game, const LoadOrderReport& report,
                     std::optional<std::vector<GameMap>> maps) {
    Wait();
    result_.reset();
    thread_ = std::thread([this, window, message, game, report, maps = std::move(maps)] {
        auto result = std::make_unique<Result>();
        // Nothing may escape a thread: a folder gone meanwhile gives no needs.
        try {
            result->maps = maps ? *maps : ListMaps(game, report);
            result->files = std::make_unique<GameFiles>(game, report);
            result->needs = FindMapNeeds(game, *result->files, result->maps);
        } catch (...) {
            result->needs.assign(result->maps.size(), MapNeeds{});
        }
        result_ = std::move(result);
        PostMessageW(window, message, 0, 0);
    });
}

std::unique_ptr<NeedsJob::Result> NeedsJob::Take() {
    Wait();
    return std::move(result_);
}
