#pragma once
// What each map will miss: the images of the shaders its surfaces, fogs and
// models name, its models and its sounds, looked up as the engine looks them
// up among the files the game loads; and, for each missing file, the archives
// on this machine that hold it but that the game does not load. No windows.
#include <memory>
#include <string>
#include <vector>

#include "maps/game_files.h"
#include "maps/map_list.h"

struct MissingFile {
    std::wstring path;                  // as the game looks for it first: "textures/x/y.tga", "models/m.md3"
    std::vector<std::wstring> shaders;  // the shaders that need the image; none for a model or a sound
    std::vector<std::wstring> holders;  // archives not loaded that hold it, as the lists name them
};

struct MapNeeds {
    bool readable = false;
    std::wstring why;  // why the map could not be read
    std::vector<MissingFile> missing;
};

class NeedsFinder {
public:
    // pngToo: the engine also reads .png images (ioquake3 and its heirs).
    // Reads the game's shader scripts.
    NeedsFinder(const GameFiles& files, bool pngToo);
    // Safe to call from several threads at once.
    MapNeeds Find(const GameMap& map) const;

private:
    struct Definition {
        std::vector<std::string> images;
    };
    void ReadScripts();
    void NeedShader(const std::string& name, MapNeeds& needs) const;
    void NeedImage(const std::string& image, const std::string& shader, MapNeeds& needs) const;
    void NeedModel(const std::string& model, MapNeeds& needs) const;
    void NeedSound(const std::string& sound, MapNeeds& needs) const;
    // Whether a loaded source holds one of the candidates.
    bool Found(const std::vector<std::string>& candidates) const;
    void Missing(const std::vector<std::string>& candidates, const std::string& shader, MapNeeds& needs) const;
    void AddHolder(std::uint32_t source, MissingFile& missing) const;

    const GameFiles& files_;
    bool pngToo_;
    std::unordered_map<std::string, Definition> definitions_;
    // The archives not loaded whose scripts define a shader, by its name.
    std::unordered_map<std::string, std::vector<std::uint32_t>> definedElsewhere_;
};

// Every map of a report, the game's files, and what each map needs: the
// work a window hands to a thread of its own. A folder gone meanwhile gives
// maps without needs; nothing is thrown.
struct MapsAndNeeds {
    std::vector<GameMap> maps;
    std::vector<MapNeeds> needs;  // one for each map, in its order
    std::shared_ptr<const GameFiles> files;
};
MapsAndNeeds WorkOutNeeds(const Game& game, const LoadOrderReport& report);

// The needs of every map, in the maps' order.
std::vector<MapNeeds> FindMapNeeds(const Game& game, const GameFiles& files, const std::vector<GameMap>& maps);

// The Maps window's "Missing" cell: empty when the map has all it needs, the
// count of files it lacks, "?" when Tarrow cannot read it, "..." while unknown.
std::wstring MissingCell(const MapNeeds* needs);
// What the window says above the list of missing files, and each line of it.
std::wstring MissingSummary(const MapNeeds* needs);
std::wstring MissingLine(const MissingFile& missing);
// The disabled archive (".dis") that supplies most of what the map lacks, as
// the lists name it; empty when none does.
std::wstring ArchiveToEnable(const MapNeeds& needs);

// Load Order's problems of the maps whose missing files a disabled archive
// holds: "<map> needs N files that no enabled archive holds; <archive> holds
// them.", with that archive to enable. Reads every map of the report.
std::vector<LoadProblem> MapNeedProblems(const Game& game, const LoadOrderReport& report);

// The images a name stands for, in the order the engine tries them.
std::vector<std::string> ImageCandidates(const std::string& name, bool pngToo);
