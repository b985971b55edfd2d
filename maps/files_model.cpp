#include "maps/files_model.h"

#include <algorithm>
#include <functional>
#include <map>

#include "core/text.h"
#include "maps/shader_script.h"

FilesModel::FilesModel(const GameFiles& files, const std::vector<GameMap>& maps, const std::vector<MapNeeds>& needs)
    : files_(files) {
    std::map<std::string, std::wstring> missing;
    for (std::size_t m = 0; m < needs.size() && m < maps.size(); ++m) {
        for (const MissingFile& file : needs[m].missing) {
            std::wstring& names = missing[WideToUtf8(file.path)];
            names += (names.empty() ? L"" : L", ") + maps[m].name;
        }
    }
    for (auto& [path, names] : missing) missing_.push_back({path, std::move(names)});
    rows_.reserve(files.files().size() + missing_.size());
    for (const auto& [path, file] : files.files()) rows_.push_back({&path, &file, 0});
    for (std::uint32_t i = 0; i < missing_.size(); ++i) rows_.push_back({&missing_[i].path, nullptr, i});
    std::sort(rows_.begin(), rows_.end(), [](const Entry& a, const Entry& b) { return *a.path < *b.path; });
    starts_.reserve(rows_.size());
    for (const Entry& row : rows_) {
        starts_.push_back(static_cast<std::uint32_t>(text_.size()));
        text_ += *row.path;
        text_ += '\n';
    }
    Filter({});
}

std::string_view FilesModel::PathText(std::uint32_t row) const {
    const std::uint32_t end =
        row + 1 < starts_.size() ? starts_[row + 1] - 1 : static_cast<std::uint32_t>(text_.size() - 1);
    return std::string_view(text_).substr(starts_[row], end - starts_[row]);
}

bool FilesModel::Matches(std::uint32_t row) const {
    if (pattern_.empty()) return true;
    const std::string_view path = PathText(row);
    if (!wildcard_) return path.find(pattern_) != std::string::npos;
    return MatchesWildcard(path, std::string_view(pattern_), [](char a, char b) { return a == b; });
}

void FilesModel::Filter(std::wstring_view text) {
    const std::string previous = std::move(pattern_);
    const bool wasWildcard = wildcard_;
    pattern_ = FoldedPath(WideToUtf8(std::wstring(text)));
    wildcard_ = pattern_.find_first_of("*?") != std::string::npos;
    // A keystroke that lengthens the text only narrows the rows shown.
    if (!wildcard_ && !wasWildcard && filtered_ && pattern_.find(previous) != std::string::npos) {
        std::erase_if(shown_, [&](std::uint32_t i) { return !Matches(i); });
        return;
    }
    filtered_ = true;
    shown_.clear();
    if (!wildcard_) return FindEverywhere();
    for (std::uint32_t i = 0; i < rows_.size(); ++i) {
        if (Matches(i)) shown_.push_back(i);
    }
}

void FilesModel::FindEverywhere() {
    if (pattern_.empty()) {
        shown_.resize(rows_.size());
        for (std::uint32_t i = 0; i < rows_.size(); ++i) shown_[i] = i;
        return;
    }
    const std::boyer_moore_horspool_searcher searcher(pattern_.begin(), pattern_.end());
    std::uint32_t row = 0;
    for (auto at = text_.begin();;) {
        const auto hit = std::search(at, text_.end(), searcher);
        if (hit == text_.end()) return;
        const auto offset = static_cast<std::uint32_t>(hit - text_.begin());
        while (row + 1 < starts_.size() && starts_[row + 1] <= offset) ++row;
        shown_.push_back(row);
        // On to the next path: one row is shown once.
        at = row + 1 < starts_.size() ? text_.begin() + starts_[row + 1] : text_.end();
    }
}

const std::vector<std::wstring>& FilesModel::Columns() {
    static const std::vector<std::wstring> columns{L"Path", L"From", L"Overrides", L"Not loaded"};
    return columns;
}

std::uint32_t FilesModel::SourceOf(std::size_t row) const {
    const Entry& entry = rows_[shown_[row]];
    if (!entry.file) return GameFiles::kNone;
    if (entry.file->winner != GameFiles::kNone) return entry.file->winner;
    return entry.file->unloaded.empty() ? GameFiles::kNone : entry.file->unloaded.front();
}

std::wstring FilesModel::PathOf(std::size_t row) const {
    const Entry& entry = rows_[shown_[row]];
    return Utf8ToWide(entry.file ? entry.file->spelt : *entry.path);
}

std::vector<std::wstring> FilesModel::Row(std::size_t row) const {
    const Entry& entry = rows_[shown_[row]];
    if (!entry.file) return {PathOf(row), L"missing", L"", L"needed by " + missing_[entry.missing].maps};
    const auto& sources = files_.sources();
    auto names = [&](const std::vector<std::uint32_t>& list, std::uint32_t except) {
        std::wstring text;
        // The weakest last: the one just overridden comes first.
        for (auto at = list.rbegin(); at != list.rend(); ++at) {
            if (*at != except) text += (text.empty() ? L"" : L", ") + sources[*at].name;
        }
        return text;
    };
    const GameFiles::File& file = *entry.file;
    const std::wstring from = file.winner == GameFiles::kNone ? L"not loaded" : sources[file.winner].name;
    return {PathOf(row), from, names(file.loaded, file.winner), names(file.unloaded, GameFiles::kNone)};
}
