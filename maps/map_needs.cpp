#include "maps/map_needs.h"

#include <algorithm>
#include <map>

#include "core/parallel.h"
#include "core/text.h"
#include "maps/map_references.h"
#include "maps/shader_script.h"

namespace {

constexpr std::size_t kMapLimit = 256u << 20, kScriptLimit = 16u << 20, kModelLimit = 64u << 20;

std::string_view Stem(std::string_view path) {
    const std::size_t dot = path.rfind('.'), slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

bool HasExtension(std::string_view path) { return Stem(path).size() != path.size(); }

std::vector<std::string> WithExtensions(const std::string& name, std::initializer_list<const char*> extensions) {
    std::vector<std::string> candidates;
    if (HasExtension(name)) candidates.push_back(name);
    const std::string stem(Stem(name));
    for (const char* extension : extensions) {
        if (std::find(candidates.begin(), candidates.end(), stem + extension) == candidates.end())
            candidates.push_back(stem + extension);
    }
    return candidates;
}

}  // namespace

std::vector<std::string> ImageCandidates(const std::string& name, bool pngToo) {
    return pngToo ? WithExtensions(name, {".tga", ".jpg", ".png"}) : WithExtensions(name, {".tga", ".jpg"});
}

NeedsFinder::NeedsFinder(const GameFiles& files, bool pngToo) : files_(files), pngToo_(pngToo) { ReadScripts(); }

void NeedsFinder::ReadScripts() {
    std::vector<std::string> scripts;
    for (const auto& [path, file] : files_.files()) {
        if (!path.starts_with("scripts/") || !path.ends_with(".shader") || path.find('/', 8) != std::string::npos)
            continue;
        if (file.winner != GameFiles::kNone) scripts.push_back(path);
        // A disabled archive's script may be what a map lacks.
        for (std::uint32_t source : file.unloaded) {
            for (const ShaderDefinition& shader : ParseShaderScript(files_.ReadFrom(source, path, kScriptLimit))) {
                definedElsewhere_[shader.name].push_back(source);
            }
        }
    }
    // The engine joins the scripts in reverse order of their names and takes
    // the first definition of a name: the script that sorts last wins.
    std::sort(scripts.rbegin(), scripts.rend());
    for (const std::string& script : scripts) {
        for (ShaderDefinition& shader : ParseShaderScript(files_.Read(script, kScriptLimit))) {
            definitions_.try_emplace(shader.name, Definition{std::move(shader.images)});
        }
    }
}

bool NeedsFinder::Found(const std::vector<std::string>& candidates) const {
    return std::any_of(candidates.begin(), candidates.end(), [&](const std::string& path) {
        const GameFiles::File* file = files_.Find(path);
        return file && file->winner != GameFiles::kNone;
    });
}

void NeedsFinder::Missing(const std::vector<std::string>& candidates, const std::string& shader,
                          MapNeeds& needs) const {
    const std::wstring path = Utf8ToWide(candidates.front());
    const auto known =
        std::find_if(needs.missing.begin(), needs.missing.end(), [&](const MissingFile& m) { return m.path == path; });
    if (known != needs.missing.end()) {
        const std::wstring name = Utf8ToWide(shader);
        if (!shader.empty() && std::find(known->shaders.begin(), known->shaders.end(), name) == known->shaders.end()) {
            known->shaders.push_back(name);
        }
        return;
    }
    MissingFile missing{path, {}, {}};
    if (!shader.empty()) missing.shaders.push_back(Utf8ToWide(shader));
    for (const std::string& candidate : candidates) {
        const GameFiles::File* file = files_.Find(candidate);
        if (!file) continue;
        for (std::uint32_t source : file->unloaded) AddHolder(source, missing);
    }
    if (const auto defined = definedElsewhere_.find(shader);
        defined != definedElsewhere_.end() && Stem(candidates.front()) == shader) {
        for (std::uint32_t source : defined->second) AddHolder(source, missing);
    }
    needs.missing.push_back(std::move(missing));
}

void NeedsFinder::AddHolder(std::uint32_t source, MissingFile& missing) const {
    const std::wstring& name = files_.sources()[source].name;
    if (std::find(missing.holders.begin(), missing.holders.end(), name) == missing.holders.end())
        missing.holders.push_back(name);
}

void NeedsFinder::NeedImage(const std::string& image, const std::string& shader, MapNeeds& needs) const {
    const std::vector<std::string> candidates = ImageCandidates(image, pngToo_);
    if (!Found(candidates)) Missing(candidates, shader, needs);
}

void NeedsFinder::NeedShader(const std::string& spelt, MapNeeds& needs) const {
    if (IsBuiltInName(spelt)) return;
    // The engine strips a shader name's extension before it looks it up.
    const std::string name(Stem(FoldedPath(spelt)));
    const auto defined = definitions_.find(name);
    if (defined == definitions_.end()) return NeedImage(name, name, needs);
    for (const std::string& image : defined->second.images) NeedImage(image, name, needs);
}

void NeedsFinder::NeedModel(const std::string& spelt, MapNeeds& needs) const {
    const std::string model = FoldedPath(spelt);
    const std::vector<std::string> candidates{model};
    if (!Found(candidates)) return Missing(candidates, {}, needs);
    if (!model.ends_with(".md3")) return;
    for (const std::string& shader : ReadModelShaders(files_.Read(model, kModelLimit))) NeedShader(shader, needs);
}

void NeedsFinder::NeedSound(const std::string& spelt, MapNeeds& needs) const {
    // The sound system tries the other formats it reads when the one named is not there.
    const std::vector<std::string> candidates = WithExtensions(FoldedPath(spelt), {".wav", ".ogg"});
    if (!Found(candidates)) Missing(candidates, {}, needs);
}

MapNeeds NeedsFinder::Find(const GameMap& map) const {
    MapNeeds needs;
    const std::string bytes =
        files_.Read(FoldedPath("maps/" + WideToUtf8(map.name) + ".bsp"), kMapLimit, MapBytesNeeded);
    if (bytes.empty()) {
        needs.why = L"Tarrow cannot take this map out of its archive.";
        return needs;
    }
    const MapReferences refs = ReadMapReferences(bytes);
    needs.readable = refs.readable;
    needs.why = refs.why;
    for (const std::string& shader : refs.shaders) NeedShader(shader, needs);
    for (const std::string& model : refs.models) NeedModel(model, needs);
    for (const std::string& sound : refs.sounds) NeedSound(sound, needs);
    return needs;
}

std::vector<MapNeeds> FindMapNeeds(const Game& game, const GameFiles& files, const std::vector<GameMap>& maps) {
    // The open engines, which search loose files first, also read .png images.
    const NeedsFinder finder(files, game.LooseFilesFirst());
    std::vector<MapNeeds> needs(maps.size());
    // Each map is read and inflated on its own: the processor's cores share them.
    ForEachInParallel(maps.size(), [&](std::size_t i) { needs[i] = finder.Find(maps[i]); });
    return needs;
}

std::wstring MissingCell(const MapNeeds* needs) {
    if (!needs) return L"...";
    if (!needs->readable) return L"?";
    return needs->missing.empty() ? std::wstring() : std::to_wstring(needs->missing.size());
}

std::wstring MissingSummary(const MapNeeds* needs) {
    if (!needs) return L"Looking for what this map needs...";
    if (!needs->readable) return needs->why + L" What it needs is unknown.";
    if (needs->missing.empty()) return L"The game finds everything this map needs.";
    const std::size_t count = needs->missing.size();
    return L"The game will miss " + std::to_wstring(count) + (count == 1 ? L" file" : L" files") + L" of this map:";
}

std::wstring MissingLine(const MissingFile& missing) {
    if (missing.holders.empty()) return missing.path + L", which no archive on this computer holds";
    std::wstring holders;
    for (const std::wstring& holder : missing.holders) holders += (holders.empty() ? L"" : L", ") + holder;
    return missing.path + L", in " + holders;
}

std::wstring ArchiveToEnable(const MapNeeds& needs) {
    std::map<std::wstring, std::size_t> supplies;
    for (const MissingFile& missing : needs.missing) {
        for (const std::wstring& holder : missing.holders) {
            if (EndsWithNoCase(holder, L".dis")) ++supplies[holder];
        }
    }
    std::wstring best;
    std::size_t most = 0;
    for (const auto& [holder, count] : supplies) {
        if (count > most) best = holder, most = count;
    }
    return best;
}

MapsAndNeeds WorkOutNeeds(const Game& game, const LoadOrderReport& report) {
    MapsAndNeeds result;
    try {
        result.maps = ListMaps(game, report);
        result.files = std::make_shared<const GameFiles>(game, report);
        result.needs = FindMapNeeds(game, *result.files, result.maps);
    } catch (...) {
        result.needs.assign(result.maps.size(), MapNeeds{});
    }
    return result;
}

std::vector<LoadProblem> MapNeedProblems(const Game& game, const LoadOrderReport& report) {
    const auto [maps, needs, files] = WorkOutNeeds(game, report);
    std::vector<LoadProblem> problems;
    for (std::size_t m = 0; m < maps.size(); ++m) {
        const std::wstring archive = ArchiveToEnable(needs[m]);
        if (archive.empty()) continue;
        const std::size_t count = needs[m].missing.size();
        const auto held = static_cast<std::size_t>(
            std::count_if(needs[m].missing.begin(), needs[m].missing.end(), [&](const MissingFile& f) {
                return std::find(f.holders.begin(), f.holders.end(), archive) != f.holders.end();
            }));
        std::wstring sentence = maps[m].name + L" needs ";
        sentence += count == 1 ? L"1 file that" : std::to_wstring(count) + L" files that";
        sentence += L" no enabled archive holds; ";
        sentence += archive;
        if (held == count) {
            sentence += count == 1 ? L" holds it." : L" holds them.";
        } else {
            sentence += L" holds " + std::to_wstring(held) + L" of them.";
        }
        problems.push_back(
            {report.archives[maps[m].archive].file, std::move(sentence), ProblemKind::MissingFiles, archive});
    }
    return problems;
}
