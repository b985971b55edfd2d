// libFuzzer target for the journal reader: whatever a game folder holds under
// the journal's name, the reader either refuses it or takes only steps that
// name the folder's own files, and what it takes writes back to the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const journal::Parsed parsed = journal::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed.ok) return 0;
    const journal::Record& record = parsed.record;
    if (record.done > record.steps.size()) __builtin_trap();
    for (const journal::Step& step : record.steps) {
        if (!journal::StepProblem(step).empty()) __builtin_trap();
    }
    if (record.what.empty()) return 0;
    std::string again = journal::EncodePlan(record.what, record.steps);
    for (std::size_t k = 0; k < record.done; ++k) again += journal::EncodeDone(k);
    const journal::Parsed reread = journal::Parse(again);
    if (!reread.ok || reread.record.steps.size() != record.steps.size() || reread.record.done != record.done ||
        reread.record.what != record.what) {
        __builtin_trap();
    }
    return 0;
}
