#include "games/command_words.h"

namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool TakesValue(std::wstring_view argument) { return argument == L"--game" || argument == L"--set"; }

// One word from at, which is no blank; at ends after it.
std::wstring Word(std::wstring_view line, std::size_t& at) {
    std::wstring word;
    int quotes = 0;  // 1 inside quotes
    std::size_t backslashes = 0;
    while (at < line.size() && !(Blank(line[at]) && quotes == 0)) {
        const wchar_t c = line[at++];
        if (c != L'"') {
            word += c;
            backslashes = c == L'\\' ? backslashes + 1 : 0;
            continue;
        }
        if (backslashes % 2 == 0) {
            word.resize(word.size() - backslashes / 2);
            ++quotes;
        } else {
            word.resize(word.size() - backslashes / 2 - 1);
            word += L'"';
        }
        backslashes = 0;
        // A run of quotes: every third is a quote of the word.
        for (; at < line.size() && line[at] == L'"'; ++at) {
            if (++quotes == 3) {
                word += L'"';
                quotes = 0;
            }
        }
        if (quotes == 2) quotes = 0;
    }
    return word;
}

}  // namespace

std::vector<std::wstring> SplitCommandWords(std::wstring_view line) {
    std::vector<std::wstring> words;
    for (std::size_t at = 0;;) {
        while (at < line.size() && Blank(line[at])) ++at;
        if (at >= line.size()) return words;
        words.push_back(Word(line, at));
    }
}

std::wstring QuoteCommandWord(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\"") == std::wstring::npos) return word;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

ParsedLaunch ClassifyLaunch(const std::vector<std::wstring>& arguments, const FileFinder& find) {
    ParsedLaunch parsed;
    LaunchRequest& request = parsed.request;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        // "--set=<name>" carries a value that starts with "--" itself.
        if (const std::size_t equals = argument.find(L'=');
            equals != std::wstring::npos && TakesValue(std::wstring_view(argument).substr(0, equals))) {
            if (equals + 1 == argument.size()) {
                parsed.error = L"The argument " + argument.substr(0, equals) + L" needs a value after it.";
                return parsed;
            }
            (argument.starts_with(L"--game") ? request.game : request.set) = argument.substr(equals + 1);
        } else if (TakesValue(argument)) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty() || arguments[i + 1].starts_with(L"--")) {
                parsed.error = L"The argument " + argument + L" needs a value after it.";
                return parsed;
            }
            (argument == L"--game" ? request.game : request.set) = arguments[++i];
        } else if (argument == L"--play") {
            request.play = true;
        } else if (argument.starts_with(L"--") || argument.empty()) {
            parsed.error = L"Tarrow does not know the argument \"" + argument + L"\".";
            return parsed;
        } else {
            const std::optional<std::wstring> file = find(argument);
            if (!file) {
                parsed.error = L"Tarrow found no file \"" + argument + L"\" to install.";
                return parsed;
            }
            request.files.push_back(*file);
        }
    }
    return parsed;
}

std::wstring LaunchArguments(const LaunchRequest& request) {
    std::vector<std::wstring> words;
    // A value that looks like an argument goes with its name, so that it is read as a value.
    auto add = [&](const wchar_t* name, const std::wstring& value) {
        if (value.empty()) return;
        if (value.starts_with(L"--")) return words.push_back(QuoteCommandWord(name + (L"=" + value)));
        words.insert(words.end(), {name, QuoteCommandWord(value)});
    };
    add(L"--game", request.game);
    add(L"--set", request.set);
    if (request.play) words.emplace_back(L"--play");
    for (const std::wstring& file : request.files) words.push_back(QuoteCommandWord(file));
    std::wstring line;
    for (const std::wstring& word : words) line += (line.empty() ? L"" : L" ") + word;
    return line;
}
