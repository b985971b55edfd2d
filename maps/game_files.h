#pragma once
// Every file the game sees, each path once with the archive (or the loose
// files) that supplies it, and the files of the archives it does not load:
// the disabled ones of every place Tarrow changes, and the game's own that
// the running program skips. What a map needs is looked up here, and so is
// the answer to "which archive has this file?". No windows here.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/string_sink.h"
#include "compat/load_order.h"

class GameFiles {
public:
    // An archive, or the loose files of the managed folder.
    struct Source {
        std::wstring name;  // as the lists name it: "x.pk3", "VirtualStore\\main\\y.dis", "loose files"
        std::wstring path;  // the archive's file, or the folder of the loose files
        bool loaded = false;
        bool loose = false;
    };
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct File {
        std::string spelt;                    // as the supplying source spells it
        std::uint32_t winner = kNone;         // the loaded source the game takes it from
        std::vector<std::uint32_t> loaded;    // every loaded source that holds it, in load order
        std::vector<std::uint32_t> unloaded;  // the sources not loaded that hold it
    };

    GameFiles(const Game& game, const LoadOrderReport& report);

    const std::vector<Source>& sources() const { return sources_; }
    // A path as the game matches it (small letters, "/" separators); null when no source holds it.
    const File* Find(std::string_view folded) const;
    // Every path, in no order, with its file.
    const std::unordered_map<std::string, File>& files() const { return files_; }
    // How many of a file's first bytes a reader needs, from those read so
    // far; 0 while it cannot yet say.
    using Needed = StringSink::Needed;
    // The bytes of the copy the game takes, at most limit of them (and no more
    // than needed says); empty when none is loaded or it cannot be read.
    // Safe to call from several threads.
    std::string Read(std::string_view folded, std::size_t limit, const Needed& needed = {}) const;
    // The same from one source that holds it, loaded or not.
    std::string ReadFrom(std::uint32_t source, std::string_view folded, std::size_t limit,
                         const Needed& needed = {}) const;

private:
    void AddArchive(const std::wstring& name, const std::wstring& path, bool loaded);
    void AddLoose(const std::wstring& folder, const std::string& relative, bool first);
    void Hold(std::string_view stored, std::uint32_t source, bool first);

    struct OpenArchive;
    // An archive's handle and directory, read once for every file read from it.
    std::shared_ptr<OpenArchive> Open(std::uint32_t source) const;

    std::vector<Source> sources_;
    std::unordered_map<std::string, File> files_;
    mutable std::mutex openMutex_;
    mutable std::map<std::uint32_t, std::shared_ptr<OpenArchive>> open_;
};
