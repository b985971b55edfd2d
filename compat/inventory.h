#pragma once
// The inventory of mod archives that the compatibility check and the load
// order share: each archive's directory as the extraction library's list-only
// mode reports it, read here with the same reader core without a run of the
// library. No entry data is read and nothing is written to disk.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One archive's directory, kept compact: a large game folder holds hundreds
// of thousands of entries.
class ArchiveListing {
public:
    struct Entry {
        std::uint32_t stored;  // offset of the stored name in the name text
        std::uint32_t name;    // offset of the written name, or kSameName
        std::uint16_t method;
        std::uint16_t flags;
        bool folder;
        std::uint32_t crc;   // of the data, as the directory gives it
        std::uint64_t size;  // uncompressed
    };

    int result = 0;      // the library's result code for the run
    bool zip64 = false;  // the directory needs zip64 records
    std::vector<Entry> entries;

    // The path as the archive stores it (UTF-8, its own separators).
    std::string_view Stored(const Entry& entry) const;
    // Where extraction would write it: relative, "\" separators.
    std::wstring Name(const Entry& entry) const;
    // name is where extraction would write the entry, in UTF-8.
    struct Facts {
        std::uint16_t method = 0, flags = 0;
        bool folder = false;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };
    void Add(std::string_view stored, std::string_view name, const Facts& facts);
    // An entry whose written name is its stored name's usual form.
    void AddPlain(std::string_view stored, const Facts& facts);
    void Reserve(std::size_t entries, std::size_t text);

private:
    static constexpr std::uint32_t kSameName = UINT32_MAX;
    std::string text_;                 // stored names, each ended by a NUL
    std::vector<std::wstring> names_;  // written names that differ from the stored ones
};

// What tells one archive from another without reading it: the file itself
// (its index on the volume, which a rename keeps), its size and its last write.
struct FileStamp {
    unsigned long long id = 0, size = 0, written = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamps of a folder's files, by name, read in one pass.
std::unordered_map<std::wstring, FileStamp> StampFolder(const std::wstring& folder);

// The directory of the archive at path. Served from memory while the file is
// the one read last with the same size and modification time; known, when
// given, is the stamp that the folder reported a moment ago, which spares
// opening a file that has not changed. A missing or unreadable archive gives
// a listing with the library's failure code.
std::shared_ptr<const ArchiveListing> ListArchive(const std::wstring& path, const FileStamp* known = nullptr);
// Forgets every listing kept in memory.
void ForgetListings();
// Forgets the listings that no one read since the last sweep: archives gone,
// changed or of a game no longer shown.
void SweepListings();
// How many listings are kept.
std::size_t KeptListings();
