#pragma once
// The maps that the game can load from what Load Order found: every
// maps/<name>.bsp, the archive whose copy wins and those it overrides, the
// long name from the winning .arena files, and the levelshot the game shows.
// No windows here.
#include <cstddef>
#include <string>
#include <vector>

#include "compat/load_order.h"

struct GameMap {
    std::wstring name;                   // as the game names it: the path below maps/ without .bsp, "/" separators
    std::wstring longName;               // from an .arena file; empty when none names it
    std::size_t archive = 0;             // the archive whose .bsp wins, an index into the report's archives
    std::vector<std::size_t> overrides;  // the archives whose .bsp it overrides, in load order
    std::wstring picture;                // the levelshot that the game shows ("levelshots/x.tga"), or empty
    std::size_t pictureArchive = 0;
    // Its picture cannot be read: encrypted, compressed in a way the game
    // does not read, cut short, or not a picture at all.
    bool pictureUnreadable = false;
    // The picture comes from another archive than the map: one of them
    // replaced the other's map or picture, and the pair no longer belongs together.
    bool Mismatched() const { return !picture.empty() && pictureArchive != archive; }
};

// The maps of a game folder's report, by name. Reads the .arena files of the
// archives that win them and the first bytes of each levelshot, unless only
// the names, archives and pictures' names are asked for (Later), which reads
// each archive's directory alone.
enum class MapDetails { Read, Later };
std::vector<GameMap> ListMaps(const Game& game, const LoadOrderReport& report, MapDetails details = MapDetails::Read);
// True when the map's .bsp is in the archive named file, winning or overridden.
bool MapIsIn(const GameMap& map, const LoadOrderReport& report, const std::wstring& file);
// The bytes of one entry of an archive, at most limit of them; empty when it
// cannot be read.
std::string ReadEntry(const std::wstring& archivePath, const std::wstring& entry, std::size_t limit);
// The cells of the Maps window's row, and its columns' captions.
std::vector<std::wstring> MapRow(const GameMap& map, const LoadOrderReport& report);
const std::vector<std::wstring>& MapColumns();
// The long names of an .arena file's text: pairs of map name and long name.
std::vector<std::pair<std::wstring, std::wstring>> ReadArenas(const std::string& text);
