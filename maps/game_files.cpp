#include "maps/game_files.h"

#include <windows.h>

#include <algorithm>

#include "archive/file_source.h"
#include "archive/string_sink.h"
#include "archive/zip_reader.h"
#include "compat/inventory.h"
#include "core/directory.h"
#include "core/file_system.h"
#include "core/text.h"
#include "maps/shader_script.h"
#include "mods/mod_library.h"

struct GameFiles::OpenArchive {
    explicit OpenArchive(const std::wstring& path) : source(path) {
        if (!source.valid() || zip::ReadDirectory(source, directory) != zip::Status::Ok) return;
        // The later of two entries of one name is the one the game finds.
        for (const zip::Entry& entry : directory.entries) entries[FoldedPath(entry.storedName)] = &entry;
    }
    FileSource source;
    zip::Directory directory;
    std::unordered_map<std::string, const zip::Entry*> entries;
};

GameFiles::GameFiles(const Game& game, const LoadOrderReport& report) {
    // What the game loads, weakest first: a later holder wins.
    for (const LoadOrderArchive& archive : report.archives) {
        if (archive.file == Game::LooseFiles) continue;
        AddArchive(archive.file, game.PathOf(QualifiedName::Parse(archive.file)), true);
    }
    // The loose files of the managed folder: ahead of every archive for the
    // open engines, behind them for the old programs.
    if (!game.folder().empty()) {
        sources_.push_back({Game::LooseFiles, game.ArchiveFolder(), true, true});
        AddLoose(game.ArchiveFolder(), "", report.looseFilesFirst);
    }
    for (const SkippedArchive& skipped : report.skipped) {
        AddArchive(skipped.file, game.PathOf(QualifiedName::Parse(skipped.file)), false);
    }
    for (const Game::Place& place : game.Places()) {
        if (!place.changeable) continue;
        DirectoryWalk walk(place.folder + L"*" + DisabledExtension);
        for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
            if (!IsFolder(entry))
                AddArchive(place.Name(entry.cFileName).Shown(), place.folder + entry.cFileName, false);
        }
    }
}

void GameFiles::AddArchive(const std::wstring& name, const std::wstring& path, bool loaded) {
    const auto source = static_cast<std::uint32_t>(sources_.size());
    sources_.push_back({name, path, loaded, false});
    const auto listing = ListArchive(path);
    for (const auto& entry : listing->entries) {
        if (!entry.folder) Hold(listing->Stored(entry), source, false);
    }
}

void GameFiles::AddLoose(const std::wstring& folder, const std::string& relative, bool first) {
    const auto source = static_cast<std::uint32_t>(sources_.size() - 1);
    DirectoryWalk walk(folder + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring file = entry.cFileName;
        const std::string name = WideToUtf8(file);
        if (IsFolder(entry)) {
            AddLoose(folder + file + L"\\", relative + name + "/", first);
            continue;
        }
        // The folder's own archives, and Tarrow's files, are no game files.
        if (relative.empty() && (EndsWithNoCase(file, L".pk3") || EndsWithNoCase(file, DisabledExtension) ||
                                 file.starts_with(L"~tarrow-"))) {
            continue;
        }
        Hold(relative + name, source, first);
    }
}

void GameFiles::Hold(std::string_view stored, std::uint32_t source, bool first) {
    File& file = files_[FoldedPath(stored)];
    if (!sources_[source].loaded) {
        if (file.unloaded.empty() || file.unloaded.back() != source) file.unloaded.push_back(source);
        if (file.winner == kNone && file.spelt.empty()) file.spelt = std::string(stored);
        return;
    }
    if (file.loaded.empty() || file.loaded.back() != source) file.loaded.push_back(source);
    // The loose files come after every archive here: they win when the game
    // searches them first, and only where no archive holds the path when it
    // searches them last.
    if (file.winner != kNone && sources_[source].loose && !first) return;
    file.winner = source;
    file.spelt = std::string(stored);
}

const GameFiles::File* GameFiles::Find(std::string_view folded) const {
    const auto found = files_.find(std::string(folded));
    return found == files_.end() ? nullptr : &found->second;
}

std::string GameFiles::Read(std::string_view folded, std::size_t limit, const Needed& needed) const {
    const File* file = Find(folded);
    if (!file || file->winner == kNone) return {};
    return ReadFrom(file->winner, folded, limit, needed);
}

std::shared_ptr<GameFiles::OpenArchive> GameFiles::Open(std::uint32_t source) const {
    const std::lock_guard lock(openMutex_);
    std::shared_ptr<OpenArchive>& open = open_[source];
    if (!open) open = std::make_shared<OpenArchive>(sources_[source].path);
    return open;
}

std::string GameFiles::ReadFrom(std::uint32_t from, std::string_view folded, std::size_t limit,
                                const Needed& needed) const {
    const Source& source = sources_[from];
    if (source.loose) {
        const File* file = Find(folded);
        if (!file) return {};
        std::string path = file->spelt;
        std::replace(path.begin(), path.end(), '/', '\\');
        return FileSystem::ReadWholeFile(source.path + Utf8ToWide(path), limit);
    }
    const std::shared_ptr<OpenArchive> archive = Open(from);
    const auto entry = archive->entries.find(std::string(folded));
    if (entry == archive->entries.end() || entry->second->size > limit) return {};
    StringSink sink(limit, needed);
    sink.bytes.reserve(static_cast<std::size_t>(entry->second->size));
    const zip::Status status = zip::ExtractEntry(archive->source, *entry->second, {}, sink);
    if (status != zip::Status::Ok && !(status == zip::Status::WriteError && sink.enough)) return {};
    return std::move(sink.bytes);
}
