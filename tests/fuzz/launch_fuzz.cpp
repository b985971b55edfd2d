// libFuzzer target for the hand-off of a second Tarrow: whatever a program
// sends as a command line (UTF-16 text of up to 64 KB), it splits into words
// without fault, and a request that it takes, written out again, reads back
// as the same request.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "games/command_words.h"

namespace {

// A file is there when its name is a full path, as the hand-off's files are.
std::optional<std::wstring> Find(const std::wstring& argument) {
    return argument.starts_with(L"C:\\") ? argument : L"C:\\" + argument;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 64 * 1024) return 0;
    std::wstring line;
    for (std::size_t i = 0; i + 1 < size; i += 2) line += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    const ParsedLaunch parsed = ClassifyLaunch(SplitCommandWords(line), Find);
    if (!parsed.error.empty()) return 0;
    const std::wstring again = LaunchArguments(parsed.request);
    const ParsedLaunch reread = ClassifyLaunch(SplitCommandWords(again), Find);
    if (!reread.error.empty() || !(reread.request == parsed.request)) __builtin_trap();
    return 0;
}
