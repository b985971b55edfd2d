#pragma once
// Every file the game sees, and those of the archives it does not load, as
// rows the Files window shows: the path, the archive that supplies it, those
// it overrides, and those that hold it but are not loaded; and a row for each
// file a map needs that nothing supplies. A filter keeps the rows whose path
// holds a text, or matches a wildcard, in any letter case as the game
// compares names. The rows are indexes: no path is copied per row.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "maps/game_files.h"
#include "maps/map_needs.h"

class FilesModel {
public:
    // files must outlive the model.
    FilesModel(const GameFiles& files, const std::vector<GameMap>& maps, const std::vector<MapNeeds>& needs);

    // Keeps the rows whose path holds text (or matches it, when it holds * or ?).
    void Filter(std::wstring_view text);
    std::size_t Rows() const { return shown_.size(); }
    std::size_t AllRows() const { return rows_.size(); }
    // The cells of a shown row, as the columns give them.
    std::vector<std::wstring> Row(std::size_t row) const;
    static const std::vector<std::wstring>& Columns();
    // The source that supplies a shown row's file, or that holds it when none
    // loaded does; kNone for a missing file.
    std::uint32_t SourceOf(std::size_t row) const;
    // The path of a shown row, as spelt.
    std::wstring PathOf(std::size_t row) const;

private:
    struct Entry {
        const std::string* path;                // folded, the index's own key
        const GameFiles::File* file = nullptr;  // null for a missing file
        std::uint32_t missing = 0;              // its index into missing_
    };
    // Every folded path in row order, each ended by a line feed, and where each
    // begins: one scan of one block of memory finds a text in all of them.
    std::string text_;
    std::vector<std::uint32_t> starts_;
    void FindEverywhere();
    struct Missing {
        std::string path;
        std::wstring maps;  // the maps that need it
    };
    bool Matches(std::uint32_t row) const;
    std::string_view PathText(std::uint32_t row) const;

    const GameFiles& files_;
    std::vector<Missing> missing_;
    std::vector<Entry> rows_;
    std::vector<std::uint32_t> shown_;
    std::string pattern_;
    bool wildcard_ = false;
    bool filtered_ = false;
};
