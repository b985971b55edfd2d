#include "maps/map_list.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "archive/file_source.h"
#include "archive/zip_reader.h"
#include "compat/inventory.h"
#include "core/text.h"
#include "maps/tga_reader.h"
#include "mods/mod_library.h"

namespace {

// A path as the game matches it: small letters, "/" separators.
std::string Folded(std::string_view path) {
    std::string folded(path);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c == '\\') c = '/';
    }
    return folded;
}

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

class StringSink : public zip::Sink {
public:
    explicit StringSink(std::size_t limit) : limit_(limit) {}
    bool Write(const void* data, std::size_t n) override {
        if (n > limit_ - bytes.size()) return false;
        bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    std::string bytes;

private:
    std::size_t limit_;
};

// Every .bsp, levelshot and .arena file of the loaded archives.
struct Found {
    std::map<std::string, Holders> maps, pictures, arenas;
};

Found FindFiles(const Game& game, const LoadOrderReport& report) {
    Found found;
    for (std::size_t a = 0; a < report.archives.size(); ++a) {
        if (report.archives[a].file == Game::LooseFiles) continue;
        const auto listing = ListArchive(game.PathOf(QualifiedName::Parse(report.archives[a].file)));
        for (const auto& entry : listing->entries) {
            if (entry.folder) continue;
            const std::string_view stored = listing->Stored(entry);
            const std::string path = Folded(stored);
            std::map<std::string, Holders>* into = nullptr;
            if (StartsWith(path, "maps/") && EndsWith(path, ".bsp")) into = &found.maps;
            if (StartsWith(path, "levelshots/") && (EndsWith(path, ".tga") || EndsWith(path, ".jpg"))) into = &found.pictures;
            if ((StartsWith(path, "scripts/") || StartsWith(path, "mp/")) && EndsWith(path, ".arena")) into = &found.arenas;
            if (!into) continue;
            Holders& holders = (*into)[path];
            if (holders.archives.empty() || holders.archives.back() != a) holders.archives.push_back(a);
            holders.spelt = std::string(stored);
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
    if (status != zip::Status::Ok && !(status == zip::Status::WriteError && sink.bytes.size() == HeadSink::kHead)) return false;
    if (EndsWith(Folded(entry.name), ".tga")) return tga::Plausible(sink.bytes, entry.size);
    return sink.bytes.size() >= 2 && static_cast<unsigned char>(sink.bytes[0]) == 0xFF &&
           static_cast<unsigned char>(sink.bytes[1]) == 0xD8;
}

// Marks the maps whose picture is unreadable, reading each archive's directory once.
void CheckPictures(const Game& game, const LoadOrderReport& report, std::vector<GameMap>& maps) {
    std::map<std::size_t, std::vector<GameMap*>> byArchive;
    for (GameMap& map : maps) {
        if (!map.picture.empty()) byArchive[map.pictureArchive].push_back(&map);
    }
    for (auto& [archive, shown] : byArchive) {
        FileSource source(game.PathOf(QualifiedName::Parse(report.archives[archive].file)));
        zip::Directory directory;
        if (!source.valid() || zip::ReadDirectory(source, directory) != zip::Status::Ok) continue;
        // The later of two entries of one name is the one the game finds.
        std::map<std::string, const zip::Entry*> entries;
        for (const zip::Entry& entry : directory.entries) entries[entry.name] = &entry;
        for (GameMap* map : shown) {
            const auto entry = entries.find(WideToUtf8(map->picture));
            map->pictureUnreadable = entry == entries.end() || !PictureLooksReadable(source, *entry->second);
        }
    }
}

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

std::vector<GameMap> ListMaps(const Game& game, const LoadOrderReport& report) {
    const Found found = FindFiles(game, report);
    std::map<std::wstring, std::wstring> longNames;
    for (const auto& [path, holders] : found.arenas) {
        const std::string text =
            ReadEntry(game.PathOf(QualifiedName::Parse(report.archives[holders.archives.back()].file)), Utf8ToWide(holders.spelt), 1u << 20);
        for (auto& [map, longName] : ReadArenas(text)) {
            std::wstring key = map;
            CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
            longNames[key] = longName;
        }
    }
    std::vector<GameMap> maps;
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
        std::wstring key = Utf8ToWide(base);
        if (const auto named = longNames.find(key); named != longNames.end()) map.longName = named->second;
        maps.push_back(std::move(map));
    }
    CheckPictures(game, report, maps);
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
