#pragma once
// What a map and a model name for the game to find, read from their bytes:
// the shaders of a map's drawn surfaces and fogs, and the models and sounds
// its entities name; the shaders of a model's surfaces. Portable: the bytes
// are a stranger's, and every count and offset is checked against them.
#include <string>
#include <string_view>
#include <vector>

struct MapReferences {
    bool readable = false;
    std::wstring why;  // why not, when it is not, as a sentence
    // Each name once, as spelt in the map, in the order first met.
    std::vector<std::string> shaders, models, sounds;
};

// A map of IBSP version 46 (Quake III, OpenArena) or 47 (RTCW, ET), or RBSP
// version 1 (the Jedi Knight games, Elite Force).
MapReferences ReadMapReferences(std::string_view bytes);

// How many of a map's first bytes the references lie in, once its header is
// among head; 0 while it is not yet.
std::size_t MapBytesNeeded(std::string_view head);

// The shaders of an MD3 model's surfaces; none when the bytes are no MD3.
std::vector<std::string> ReadModelShaders(std::string_view bytes);
