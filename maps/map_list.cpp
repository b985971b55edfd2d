#include "maps/map_list.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>

#include "archive/file_source.h"
#include "archive/string_sink.h"
#include "archive/zip_reader.h"
#include "core/parallel.h"
#include "core/text.h"
#include "maps/shader_script.h"
#include "maps/tga_reader.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Where a path of the game was found: the archives that hold it, in load
// order, and the winner's spelling.
struct Holders {
    std::vector<std::size_t> archives;
    std::string spelt;
};

// Every .bsp, levelshot and .arena file of the loaded archives.
struct Found {
    std::map<std::string, Holders> maps, pictures, arenas;
};

// Each archive the game loads, open, with its directory, read once for all
// that the list needs of it.
struct OpenArchive {
    std::unique_ptr<FileSource> source;
    zip::Directory directory;
    bool read = false;
};

std::vector<OpenArchive> OpenArchives(const Game& game, const LoadOrderReport& report) {
    std::vector<OpenArchive> open(report.archives.size());
    ForEachInParallel(open.size(), [&](std::size_t a) {
        if (report.archives[a].file == Game::LooseFiles) return;
        // A place the game no longer has: the archive is not read.
        try {
            open[a].source = std::make_unique<FileSource>(game.PathOf(QualifiedName::Parse(report.archives[a].file)));
        } catch (...) {
            return;
        }
        open[a].read =
            open[a].source->valid() && zip::ReadDirectory(*open[a].source, open[a].directory) == zip::Status::Ok;
    });
    return open;
}

Found FindFiles(const std::vector<OpenArchive>& open) {
    Found found;
    for (std::size_t a = 0; a < open.size(); ++a) {
        for (const zip::Entry& entry : open[a].directory.entries) {
            if (entry.IsFolder()) continue;
            const std::string& stored = entry.storedName;
            const std::string path = FoldedPath(stored);
            std::map<std::string, Holders>* into = nullptr;
            if (StartsWith(path, "maps/") && EndsWith(path, ".bsp")) into = &found.maps;
            if (StartsWith(path, "levelshots/") && (EndsWith(path, ".tga") || EndsWith(path, ".jpg")))
                into = &found.pictures;
            if ((StartsWith(path, "scripts/") || StartsWith(path, "mp/")) && EndsWith(path, ".arena"))
                into = &found.arenas;
            if (!into) continue;
            Holders& holders = (*into)[path];
            if (holders.archives.empty() || holders.archives.back() != a) holders.archives.push_back(a);
            holders.spelt = stored;
        }
    }
    return found;
}

std::wstring Token(const std::string& text, std::size_t& at) {
    while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
    if (at >= text.size()) return {};
    if (text[at] == '"') {
        const std::size_t end = text.find('"', at + 1);
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        std::wstring token = Utf8ToWide(std::string_view(text).substr(at + 1, stop - at - 1));
        at = stop + 1;
        return token.empty() ? L"\"\"" : token;
    }
    const std::size_t start = at;
    while (at < text.size() && static_cast<unsigned char>(text[at]) > ' ' && text[at] != '"') ++at;
    return Utf8ToWide(std::string_view(text).substr(start, at - start));
}

// Reads the first bytes of an entry, and stops there.
class HeadSink : public zip::Sink {
public:
    bool Write(const void* data, std::size_t n) override {
        bytes.append(static_cast<const char*>(data), std::min(n, kHead - bytes.size()));
        return bytes.size() < kHead;
    }
    static constexpr std::size_t kHead = 18;
    std::string bytes;
};

// Whether a levelshot's entry looks readable from its directory record and
// its first bytes, without inflating it whole.
bool PictureLooksReadable(zip::Source& source, const zip::Entry& entry) {
    HeadSink sink;
    const zip::Status status = zip::ExtractEntry(source, entry, {}, sink);
    if (status != zip::Status::Ok && !(status == zip::Status::WriteError && sink.bytes.size() == HeadSink::kHead))
        return false;
    if (EndsWith(FoldedPath(entry.name), ".tga")) return tga::Plausible(sink.bytes, entry.size);
    return sink.bytes.size() >= 2 && static_cast<unsigned char>(sink.bytes[0]) == 0xFF &&
           static_cast<unsigned char>(sink.bytes[1]) == 0xD8;
}

// Reads what the maps need of each archive with one open and one reading of
// its directory: the .arena files it wins, and its levelshots' first bytes.
class ArchivePass {
public:
    void Arena(std::size_t archive, const std::string& path, const std::string& entry) {
        work_[archive].arenas.push_back({path, entry});
    }
    void Picture(std::size_t archive, GameMap* map) { work_[archive].pictures.push_back(map); }

    // The pairs of map and long name of each .arena file, by its path; marks
    // the maps whose picture is unreadable.
    std::map<std::string, std::vector<std::pair<std::wstring, std::wstring>>> Run(std::vector<OpenArchive>& open) {
        std::vector<std::pair<const std::size_t, Work>*> works;
        for (auto& work : work_) works.push_back(&work);
        std::vector<std::vector<std::pair<std::string, std::vector<std::pair<std::wstring, std::wstring>>>>> found(
            works.size());
        ForEachInParallel(works.size(), [&](std::size_t w) {
            OpenArchive& archive = open[works[w]->first];
            Work& work = works[w]->second;
            // The later of two entries of one name is the one the game finds.
            std::map<std::string_view, const zip::Entry*> entries;
            for (const zip::Entry& entry : archive.directory.entries) entries[entry.storedName] = &entry;
            for (const auto& [path, spelt] : work.arenas) {
                const auto entry = entries.find(spelt);
                if (!archive.read || entry == entries.end() || entry->second->size > kArenaLimit) continue;
                StringSink sink(kArenaLimit);
                if (zip::ExtractEntry(*archive.source, *entry->second, {}, sink) == zip::Status::Ok) {
                    found[w].emplace_back(path, ReadArenas(sink.bytes));
                }
            }
            for (GameMap* map : work.pictures) {
                const auto entry = entries.find(WideToUtf8(map->picture));
                map->pictureUnreadable =
                    !archive.read || entry == entries.end() || !PictureLooksReadable(*archive.source, *entry->second);
            }
        });
        std::map<std::string, std::vector<std::pair<std::wstring, std::wstring>>> arenas;
        for (auto& pairs : found) {
            for (auto& [path, names] : pairs) arenas[path] = std::move(names);
        }
        return arenas;
    }

private:
    static constexpr std::size_t kArenaLimit = 1u << 20;
    struct Work {
        std::vector<std::pair<std::string, std::string>> arenas;  // its path, and the entry as spelt
        std::vector<GameMap*> pictures;
    };
    std::map<std::size_t, Work> work_;
};

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> ReadArenas(const std::string& text) {
    std::vector<std::pair<std::wstring, std::wstring>> names;
    std::wstring map, longName;
    for (std::size_t at = 0;;) {
        const std::wstring token = Token(text, at);
        if (token.empty()) break;
        if (token == L"{") {
            map.clear();
            longName.clear();
        } else if (token == L"}") {
            if (!map.empty() && !longName.empty()) names.emplace_back(map, longName);
        } else {
            const std::wstring value = Token(text, at);
            if (EqualNoCase(token, L"map")) map = value;
            if (EqualNoCase(token, L"longname")) longName = value == L"\"\"" ? std::wstring() : value;
        }
    }
    return names;
}

std::string ReadEntry(const std::wstring& archivePath, const std::wstring& entry, std::size_t limit) {
    FileSource source(archivePath);
    zip::Directory directory;
    if (!source.valid() || zip::ReadDirectory(source, directory) != zip::Status::Ok) return {};
    const std::string wanted = WideToUtf8(entry);
    // The later of two entries of one name is the one the game finds.
    for (auto e = directory.entries.rbegin(); e != directory.entries.rend(); ++e) {
        if (e->name != wanted || e->size > limit) continue;
        StringSink sink(limit);
        if (zip::ExtractEntry(source, *e, {}, sink) != zip::Status::Ok) return {};
        return std::move(sink.bytes);
    }
    return {};
}

std::vector<GameMap> ListMaps(const Game& game, const LoadOrderReport& report, MapDetails details) {
    std::vector<OpenArchive> open = OpenArchives(game, report);
    const Found found = FindFiles(open);
    std::vector<GameMap> maps;
    std::vector<std::wstring> keys;
    maps.reserve(found.maps.size());
    for (const auto& [path, holders] : found.maps) {
        GameMap map;
        const std::string_view spelt(holders.spelt);
        map.name = Utf8ToWide(spelt.substr(5, spelt.size() - 9));
        std::replace(map.name.begin(), map.name.end(), L'\\', L'/');
        map.archive = holders.archives.back();
        map.overrides.assign(holders.archives.begin(), holders.archives.end() - 1);
        const std::string base = path.substr(path.find_last_of('/') + 1, path.size() - 4 - path.find_last_of('/') - 1);
        // As the game does: the .tga first, the .jpg only when no archive has one.
        for (const char* extension : {".tga", ".jpg"}) {
            const auto picture = found.pictures.find("levelshots/" + base + extension);
            if (picture == found.pictures.end()) continue;
            map.picture = Utf8ToWide(picture->second.spelt);
            map.pictureArchive = picture->second.archives.back();
            break;
        }
        maps.push_back(std::move(map));
        keys.push_back(Utf8ToWide(base));
    }
    if (details == MapDetails::Later) return maps;
    ArchivePass pass;
    for (const auto& [path, holders] : found.arenas) pass.Arena(holders.archives.back(), path, holders.spelt);
    for (GameMap& map : maps) {
        if (!map.picture.empty()) pass.Picture(map.pictureArchive, &map);
    }
    // A later .arena file's name for a map stands, as the files come in order of their paths.
    std::map<std::wstring, std::wstring> longNames;
    for (const auto& [path, names] : pass.Run(open)) {
        for (const auto& [map, longName] : names) {
            std::wstring key = map;
            CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
            longNames[key] = longName;
        }
    }
    for (std::size_t m = 0; m < maps.size(); ++m) {
        if (const auto named = longNames.find(keys[m]); named != longNames.end()) maps[m].longName = named->second;
    }
    return maps;
}

bool MapIsIn(const GameMap& map, const LoadOrderReport& report, const std::wstring& file) {
    if (report.archives[map.archive].file == file) return true;
    return std::any_of(map.overrides.begin(), map.overrides.end(),
                       [&](std::size_t a) { return report.archives[a].file == file; });
}

const std::vector<std::wstring>& MapColumns() {
    static const std::vector<std::wstring> columns{L"Map", L"Name", L"Archive", L"Overrides", L"Note"};
    return columns;
}

std::vector<std::wstring> MapRow(const GameMap& map, const LoadOrderReport& report) {
    std::wstring overrides;
    for (std::size_t a : map.overrides) overrides += (overrides.empty() ? L"" : L", ") + report.archives[a].file;
    std::wstring note;
    if (map.picture.empty()) note = L"no picture";
    if (map.pictureUnreadable) note = L"picture unreadable";
    if (map.Mismatched()) note = L"picture from " + report.archives[map.pictureArchive].file;
    return {map.name, map.longName, report.archives[map.archive].file, overrides, note};
}
