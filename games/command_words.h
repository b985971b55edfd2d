#pragma once
// The words of Tarrow's command line, as a shortcut writes them and a second
// Tarrow hands them over: split, quoted and sorted into a request. Portable,
// so that it is fuzzed on the host: any program may send a hand-off.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct LaunchRequest {
    std::wstring game;                // a profile's id or a folder, as given; empty for the game in use
    std::wstring set;                 // a mod set to switch to
    bool play = false;                // start the game, and end when it ends
    std::vector<std::wstring> files;  // to install, as a drop would; full paths

    bool empty() const { return game.empty() && set.empty() && !play && files.empty(); }
    bool operator==(const LaunchRequest&) const = default;
};

struct ParsedLaunch {
    LaunchRequest request;
    std::wstring error;  // one sentence naming the argument that is wrong; empty when none is
};

// The arguments of a command line after the program's name, by Windows'
// rules (CommandLineToArgvW's): blanks part words outside quotes, 2n
// backslashes and a quote give n backslashes and open or close a quote, 2n+1
// give n and a quote, and every third quote of a run is a quote itself.
std::vector<std::wstring> SplitCommandWords(std::wstring_view line);
// A word quoted so that SplitCommandWords gives it back unchanged.
std::wstring QuoteCommandWord(const std::wstring& word);

// A file argument made a full path that is there; none when it is not.
using FileFinder = std::function<std::optional<std::wstring>(const std::wstring& argument)>;
// Sorts the arguments into a request; the first wrong one is named.
ParsedLaunch ClassifyLaunch(const std::vector<std::wstring>& arguments, const FileFinder& find);
// The request as arguments that SplitCommandWords gives back and ClassifyLaunch reads as the same request.
std::wstring LaunchArguments(const LaunchRequest& request);
