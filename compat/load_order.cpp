#include "compat/load_order.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>

#include "archive/unzip_api.h"
#include "archive/zip_format.h"
#include "compat/inventory.h"
#include "core/directory.h"
#include "core/file_system.h"
#include "core/text.h"
#include "games/game_program.h"
#include "mods/mod_library.h"

namespace {

char FoldPathByte(char byte) {
    if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte - 'A' + 'a');
    return byte == '\\' ? '/' : byte;
}

std::uint64_t PathHash(std::string_view path) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : path) hash = (hash ^ static_cast<unsigned char>(FoldPathByte(c))) * 1099511628211ull;
    return hash;
}

// Tarrow's own file at the archive's root; the game never reads it.
bool IsInformationFile(std::string_view stored) { return SamePath(stored, "tarrow.ini"); }

// The game reads stored and deflated entries, and no encrypted ones.
constexpr std::uint16_t kAnyEncryption = zip::format::kFlagEncrypted | zip::format::kFlagStrongEncryption;
bool PlainMethod(std::uint16_t method) { return method == zip::format::kStored || method == zip::format::kDeflated; }
bool GameCanRead(std::uint16_t method, std::uint16_t flags) { return PlainMethod(method) && !(flags & kAnyEncryption); }

std::wstring MethodName(std::uint16_t method, std::uint16_t flags) {
    if (method == zip::format::kAes) return L"AES";
    if (PlainMethod(method) && (flags & kAnyEncryption)) return L"encrypted";
    switch (method) {
    case 1: return L"Shrink";
    case 2:
    case 3:
    case 4:
    case 5: return L"Reduce";
    case 6: return L"Implode";
    case 9: return L"Deflate64";
    case 12: return L"BZip2";
    case 14: return L"LZMA";
    case 93: return L"Zstandard";
    case 95: return L"XZ";
    case 98: return L"PPMd";
    default: return L"method " + ToDecimal(method);
    }
}

std::wstring Joined(const std::vector<std::wstring>& parts, const wchar_t* between) {
    std::wstring out;
    for (const auto& part : parts) {
        if (!out.empty()) out += between;
        out += part;
    }
    return out;
}

std::vector<std::wstring> ListNames(const std::wstring& pattern) {
    constexpr unsigned kFiles =
        FileSystem::AttrReadOnly | FileSystem::AttrHidden | FileSystem::AttrSystem | FileSystem::AttrArchive;
    return FileSystem::List(pattern, kFiles);
}

std::wstring OpenFailure(const ArchiveListing& listing) {
    if (listing.result == UnzNotZip) return L"The game cannot open it: it is not a zip archive.";
    if (listing.result == UnzDamaged) return L"The game cannot open it: its directory is damaged.";
    if (listing.result == UnzEntryRefused) return L"Tarrow could not take in its directory: it ran out of memory.";
    if (listing.result != UnzOk) return L"The game cannot open it (error " + ToDecimal(listing.result) + L").";
    if (listing.zip64) return L"The game cannot open it: it is a zip64 archive, which the game's reader predates.";
    return {};
}

// One file entry of a loaded archive, for the pairing by path.
struct Occurrence {
    std::uint64_t hash;
    std::uint32_t archive;
    std::uint32_t entry;
};

// What the load order takes from one archive's listing: its files' path
// hashes, sorted, and what the game cannot read. Worked out once per listing,
// so that a re-read of main after a switch reads only what changed.
struct Digest {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> files;  // (path hash, entry), by hash, then entry
    std::wstring unreadable;                                     // the problem, or empty
    std::uint64_t fingerprint = 0;  // of every file's path and copy: equal in two archives that are copies
};

Digest MakeDigest(const ArchiveListing& listing) {
    Digest digest;
    int unreadable = 0;
    std::vector<std::wstring> methods;
    for (std::uint32_t e = 0; e < listing.entries.size(); ++e) {
        const auto& entry = listing.entries[e];
        const std::string_view stored = listing.Stored(entry);
        if (entry.folder || IsInformationFile(stored)) continue;
        digest.files.emplace_back(PathHash(stored), e);
        if (GameCanRead(entry.method, entry.flags)) continue;
        ++unreadable;
        const std::wstring method = MethodName(entry.method, entry.flags);
        if (std::find(methods.begin(), methods.end(), method) == methods.end()) methods.push_back(method);
    }
    std::sort(digest.files.begin(), digest.files.end());
    std::uint64_t fingerprint = 14695981039346656037ull;
    for (const auto& [hash, e] : digest.files) {
        for (const std::uint64_t part : {hash, std::uint64_t{listing.entries[e].crc}, listing.entries[e].size}) {
            fingerprint = (fingerprint ^ part) * 1099511628211ull;
        }
    }
    digest.fingerprint = fingerprint;
    if (unreadable > 0) {
        digest.unreadable = ToDecimal(unreadable) + (unreadable == 1 ? L" entry" : L" entries") +
                            L" the game cannot read: " + Joined(methods, L", ") + L".";
    }
    return digest;
}

// The digests of the listings that the inventory still keeps, by listing.
std::shared_ptr<const Digest> DigestOf(const std::shared_ptr<const ArchiveListing>& listing) {
    struct Entry {
        std::weak_ptr<const ArchiveListing> listing;
        std::shared_ptr<const Digest> digest;
    };
    static std::map<const ArchiveListing*, Entry> kept;
    if (const auto found = kept.find(listing.get()); found != kept.end() && found->second.listing.lock() == listing) {
        return found->second.digest;
    }
    std::erase_if(kept, [](const auto& item) { return item.second.listing.expired(); });
    auto digest = std::make_shared<const Digest>(MakeDigest(*listing));
    kept[listing.get()] = {listing, digest};
    return digest;
}

// Sorts by hash alone, keeping the order of equal hashes: a counting pass on
// the top 16 bits, then the few in each bucket. The occurrences come in by
// archive, each archive's by hash and entry, so they leave by hash, archive
// and entry.
void SortByHash(std::vector<Occurrence>& occurrences) {
    constexpr int kShift = 48;
    std::vector<std::uint32_t> start((1u << 16) + 1, 0);
    for (const Occurrence& o : occurrences) ++start[(o.hash >> kShift) + 1];
    for (std::size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<Occurrence> sorted(occurrences.size());
    std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
    for (const Occurrence& o : occurrences) sorted[next[o.hash >> kShift]++] = o;
    // A bucket holds a few; one of a crafted folder may hold many.
    const auto byHash = [](const Occurrence& x, const Occurrence& y) { return x.hash < y.hash; };
    for (std::size_t b = 0; b + 1 < start.size(); ++b) {
        if (start[b + 1] - start[b] > 32) {
            std::stable_sort(sorted.begin() + start[b], sorted.begin() + start[b + 1], byHash);
            continue;
        }
        for (std::size_t i = start[b] + 1; i < start[b + 1]; ++i) {
            const Occurrence o = sorted[i];
            std::size_t j = i;
            for (; j > start[b] && sorted[j - 1].hash > o.hash; --j) sorted[j] = sorted[j - 1];
            sorted[j] = o;
        }
    }
    occurrences = std::move(sorted);
}

// Every .pk3 of every place, each named with its place, in the game's order;
// managed, when given, hears how many lie in the managed folder.
std::vector<std::wstring> ArchivesInOrder(const Game& game, std::size_t* managed) {
    std::vector<std::wstring> archives;
    for (const Game::Place& place : game.Places()) {
        std::vector<std::wstring> names = ListNames(place.folder + L"*.pk3");
        // The game sees VirtualStore's copy of a name, not the folder's own.
        const Game::HiddenNames hidden = game.HiddenByStoredCopy(place);
        std::erase_if(names, [&](const std::wstring& name) { return hidden.Hide(name); });
        if (place.managed && managed) *managed = names.size();
        for (auto& name : names) archives.push_back(place.Name(name).Shown());
    }
    std::stable_sort(archives.begin(), archives.end(),
                     [&](const std::wstring& a, const std::wstring& b) { return game.LoadsBefore(a, b); });
    return archives;
}

class Builder {
public:
    explicit Builder(const Game& game) : game_(game), main_(game.ArchiveFolder()) {}
    LoadOrderReport Build();

private:
    void Load(const std::wstring& file);
    // The loose files of the managed folder that an archive also holds, as a
    // row of their own where the game searches them.
    void AddLooseFiles();
    void WalkLooseFiles(const std::wstring& folder, const std::string& relative, ArchiveListing& loose) const;
    bool HeldByAnArchive(std::uint64_t hash) const;
    // Takes a listing into the report at a place of the load order.
    void Insert(std::size_t at, const std::wstring& file, std::shared_ptr<const ArchiveListing> listing);
    void Pair();
    void PairGroup(std::vector<const Occurrence*>& group);
    FileCopy CopyOf(const Occurrence& o) const {
        const auto& entry = listings_[o.archive]->entries[o.entry];
        return {entry.crc, entry.size};
    }
    bool SameFiles(std::size_t a, std::size_t b) const;
    void FindCopies();
    void LimitProblems(std::size_t archives);
    void AddProblems(const std::wstring& file, const std::vector<std::wstring>& disabled);
    std::wstring SkippedWhy(const std::wstring& file) const;
    // The own archive of the game's main tier that loads last: a mod must sort after it.
    std::wstring LastOwnArchive() const;
    // That archive as the advice names it, with the name the game sorts it by.
    std::wstring MustSortAfter() const;
    void Problem(const std::wstring& archive, std::wstring text, ProblemKind kind = ProblemKind::Other) {
        report_.problems.push_back({archive, std::move(text), kind});
    }

    const Game game_;
    std::wstring main_;
    LoadOrderReport report_;
    std::vector<std::shared_ptr<const ArchiveListing>> listings_;  // one per loaded archive
    std::vector<std::shared_ptr<const Digest>> digests_;           // likewise
    std::vector<Occurrence> occurrences_;
    std::unordered_map<std::wstring, FileStamp> stamps_;
    std::vector<int> distinct_, replacedByGame_;
    // By archive: why the game cannot open it, which of its entries it cannot
    // read, and the earlier archive that is a copy of it.
    std::map<std::wstring, std::wstring> failures_, unreadable_, copies_;
    std::map<std::wstring, std::wstring> limits_;  // an archive near or over the game's limit of entries
};

LoadOrderReport Builder::Build() {
    std::size_t managed = 0;
    std::vector<std::wstring> archives = ArchivesInOrder(game_, &managed);
    for (const Game::Place& place : game_.Places()) {
        for (auto& [name, stamp] : StampFolder(place.folder)) stamps_.emplace(place.Name(name).Shown(), stamp);
    }
    std::vector<std::wstring> disabled;
    for (const Game::Place& place : game_.Places()) {
        if (!place.changeable) continue;
        for (const auto& file : ListNames(place.folder + L"*" + DisabledExtension)) {
            disabled.push_back(place.Name(ModNameOf(file, DisabledExtension)).Shown());
        }
    }
    for (const auto& file : archives) {
        if (game_.LoadsArchive(file)) Load(file);
    }
    AddLooseFiles();
    distinct_.assign(report_.archives.size(), 0);
    replacedByGame_.assign(report_.archives.size(), 0);
    Pair();
    for (size_t i = 0; i < report_.archives.size(); ++i) report_.archives[i].distinct = distinct_[i];
    CountWinners(report_);
    FindCopies();
    LimitProblems(managed);
    // Problems are listed by archive in name order, whatever the tier.
    std::stable_sort(archives.begin(), archives.end(), EngineNameBefore);
    for (const auto& file : archives) AddProblems(file, disabled);
    return std::move(report_);
}

void Builder::AddLooseFiles() {
    const bool first = game_.LooseFilesFirst();
    // The old programs search loose files before only the localized archives.
    if (!first && std::none_of(report_.archives.begin(), report_.archives.end(),
                               [&](const LoadOrderArchive& a) { return game_.Tier(a.file) < 0; })) {
        return;
    }
    auto loose = std::make_shared<ArchiveListing>();
    WalkLooseFiles(main_, "", *loose);
    if (loose->entries.empty()) return;
    // Where the game searches them among the archives loaded.
    std::size_t at = 0;
    while (at < report_.archives.size() && game_.LoadsBefore(report_.archives[at].file, Game::LooseFiles)) ++at;
    if (at == 0) return;  // the weakest of all: they replace nothing
    Insert(at, Game::LooseFiles, std::move(loose));
}

bool Builder::HeldByAnArchive(std::uint64_t hash) const {
    // Each digest's files are sorted by hash.
    return std::any_of(digests_.begin(), digests_.end(), [&](const auto& digest) {
        const auto found =
            std::lower_bound(digest->files.begin(), digest->files.end(), std::make_pair(hash, std::uint32_t{0}));
        return found != digest->files.end() && found->first == hash;
    });
}

void Builder::WalkLooseFiles(const std::wstring& folder, const std::string& relative, ArchiveListing& loose) const {
    DirectoryWalk walk(folder + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry) && loose.entries.size() < kMaxEntriesPerArchive;) {
        const std::string name = WideToUtf8(entry.cFileName);
        if (IsFolder(entry)) {
            WalkLooseFiles(folder + entry.cFileName + L"\\", relative + name + "/", loose);
            continue;
        }
        // The folder's own archives, and Tarrow's files, are no game files.
        const std::wstring file = entry.cFileName;
        if (relative.empty() && (EndsWithNoCase(file, L".pk3") || EndsWithNoCase(file, DisabledExtension) ||
                                 file.starts_with(L"~tarrow-"))) {
            continue;
        }
        const std::string path = relative + name;
        if (!HeldByAnArchive(PathHash(path))) continue;
        // No CRC is read: a loose file counts as a copy of its own.
        loose.AddPlain(path, {0, 0, false, 0xFFFFFFFFu, FileSystem::SizeOf(entry)});
    }
}

void Builder::Insert(std::size_t at, const std::wstring& file, std::shared_ptr<const ArchiveListing> listing) {
    LoadOrderArchive archive{file};
    archive.game = true;
    const std::shared_ptr<const Digest> digest = DigestOf(listing);
    archive.files = static_cast<int>(digest->files.size());
    const auto place = static_cast<std::ptrdiff_t>(at);
    report_.archives.insert(report_.archives.begin() + place, std::move(archive));
    listings_.insert(listings_.begin() + place, std::move(listing));
    digests_.insert(digests_.begin() + place, digest);
    // The pairing takes the occurrences archive by archive.
    occurrences_.clear();
    for (std::uint32_t i = 0; i < digests_.size(); ++i) {
        for (const auto& [hash, entry] : digests_[i]->files) occurrences_.push_back({hash, i, entry});
    }
}

void Builder::Load(const std::wstring& file) {
    const auto stamp = stamps_.find(file);
    auto listing =
        ListArchive(game_.PathOf(QualifiedName::Parse(file)), stamp == stamps_.end() ? nullptr : &stamp->second);
    if (std::wstring failure = OpenFailure(*listing); !failure.empty()) {
        failures_[file] = std::move(failure);
        return;
    }
    const auto index = static_cast<std::uint32_t>(report_.archives.size());
    LoadOrderArchive archive{file};
    archive.game = game_.IsOwnArchiveFile(file);
    const std::shared_ptr<const Digest> digest = DigestOf(listing);
    archive.files = static_cast<int>(digest->files.size());
    for (const auto& [hash, entry] : digest->files) occurrences_.push_back({hash, index, entry});
    if (!digest->unreadable.empty()) unreadable_[file] = digest->unreadable;
    if (listing->entries.size() * 100 >= static_cast<std::size_t>(kMaxEntriesPerArchive) * kNearLimitPercent) {
        const bool over = listing->entries.size() > static_cast<std::size_t>(kMaxEntriesPerArchive);
        limits_[file] = L"It has " + ToDecimal(static_cast<long long>(listing->entries.size())) +
                        L" entries; the game's zip reader reads at most " + ToDecimal(kMaxEntriesPerArchive) +
                        (over ? L", so it cannot open it." : L", and it is near that.");
    }
    report_.archives.push_back(std::move(archive));
    listings_.push_back(std::move(listing));
    digests_.push_back(digest);
}

// Keeps the occurrences whose hash may come more than once, and counts the
// others as their archives' distinct files: most paths are in one archive
// once, and need neither sorting nor pairing. Two bit sets, small enough to
// stay in the cache, mark the hashes seen once and twice; two hashes that
// share a bit are only kept, and the pairing tells them apart.
void KeepRepeated(std::vector<Occurrence>& occurrences, std::vector<int>& distinct) {
    constexpr int kBits = 24;
    std::vector<std::uint64_t> once(std::size_t{1} << (kBits - 6)), twice(std::size_t{1} << (kBits - 6));
    const auto bit = [](std::uint64_t hash) { return static_cast<std::size_t>(hash >> (64 - kBits)); };
    for (const Occurrence& o : occurrences) {
        const std::size_t b = bit(o.hash);
        const std::uint64_t mask = std::uint64_t{1} << (b & 63);
        if (once[b >> 6] & mask) twice[b >> 6] |= mask;
        once[b >> 6] |= mask;
    }
    std::size_t kept = 0;
    for (const Occurrence& o : occurrences) {
        const std::size_t b = bit(o.hash);
        if (twice[b >> 6] & (std::uint64_t{1} << (b & 63))) {
            occurrences[kept++] = o;
        } else {
            ++distinct[o.archive];
        }
    }
    occurrences.resize(kept);
}

void Builder::Pair() {
    KeepRepeated(occurrences_, distinct_);
    SortByHash(occurrences_);
    std::vector<const Occurrence*> run, group;
    for (size_t i = 0; i < occurrences_.size();) {
        size_t end = i;
        while (end < occurrences_.size() && occurrences_[end].hash == occurrences_[i].hash) ++end;
        // Most paths are in one archive once: nothing to pair.
        if (end == i + 1) {
            ++distinct_[occurrences_[i].archive];
            i = end;
            continue;
        }
        run.clear();
        for (size_t j = i; j < end; ++j) run.push_back(&occurrences_[j]);
        // Equal hashes are nearly always one path; split them by the real comparison.
        while (!run.empty()) {
            const Occurrence* first = run.front();
            const auto stored = [&](const Occurrence* o) {
                return listings_[o->archive]->Stored(listings_[o->archive]->entries[o->entry]);
            };
            group.clear();
            std::erase_if(run, [&](const Occurrence* o) {
                if (!SamePath(stored(o), stored(first))) return false;
                group.push_back(o);
                return true;
            });
            PairGroup(group);
        }
        i = end;
    }
    occurrences_.clear();
    occurrences_.shrink_to_fit();
    std::stable_sort(report_.shared.begin(), report_.shared.end(), [](const SharedFile& a, const SharedFile& b) {
        return CompareStringOrdinal(a.path.c_str(), static_cast<int>(a.path.size()), b.path.c_str(),
                                    static_cast<int>(b.path.size()), TRUE) == CSTR_LESS_THAN;
    });
}

void Builder::PairGroup(std::vector<const Occurrence*>& group) {
    std::vector<std::size_t> holders;
    std::vector<FileCopy> copies;
    // An archive that holds the path twice is read at its later entry.
    for (const Occurrence* o : group) {
        if (!holders.empty() && holders.back() == o->archive) {
            copies.back() = CopyOf(*o);
            continue;
        }
        holders.push_back(o->archive);
        copies.push_back(CopyOf(*o));
    }
    for (std::size_t h : holders) ++distinct_[h];
    if (holders.size() < 2) return;
    const LoadOrderArchive& won = report_.archives[holders.back()];
    for (std::size_t k = 0; k + 1 < holders.size(); ++k) {
        // A mod that sorts after pak0.pk3 takes effect; the game's localized archive, the weakest, beats no such mod.
        if (won.game && !IsLocalizedArchive(won.file) && !report_.archives[holders[k]].game &&
            copies[k] != copies.back()) {
            ++replacedByGame_[holders[k]];
        }
    }
    // The path as the winning archive spells it: its last entry of the path.
    const Occurrence* spelt = group.back();
    std::wstring path = Utf8ToWide(listings_[spelt->archive]->Stored(listings_[spelt->archive]->entries[spelt->entry]));
    std::replace(path.begin(), path.end(), L'/', L'\\');
    report_.shared.push_back({std::move(path), std::move(holders), std::move(copies)});
}

// The same files, each path with the same copy: the archives are copies of each other.
bool Builder::SameFiles(std::size_t a, std::size_t b) const {
    const Digest &x = *digests_[a], &y = *digests_[b];
    if (x.fingerprint != y.fingerprint || x.files.size() != y.files.size()) return false;
    const ArchiveListing &lx = *listings_[a], &ly = *listings_[b];
    for (std::size_t i = 0; i < x.files.size(); ++i) {
        const auto& ex = lx.entries[x.files[i].second];
        const auto& ey = ly.entries[y.files[i].second];
        if (x.files[i].first != y.files[i].first || ex.crc != ey.crc || ex.size != ey.size ||
            !SamePath(lx.Stored(ex), ly.Stored(ey))) {
            return false;
        }
    }
    return true;
}

void Builder::FindCopies() {
    std::map<std::uint64_t, std::vector<std::size_t>> byPrint;
    for (std::size_t i = 0; i < report_.archives.size(); ++i) {
        if (!report_.archives[i].game && report_.archives[i].files > 0) byPrint[digests_[i]->fingerprint].push_back(i);
    }
    for (const auto& [print, archives] : byPrint) {
        // Named on the one that loads later, the copy that counts; the earlier one loads for nothing.
        for (std::size_t k = 1; k < archives.size(); ++k) {
            for (std::size_t j = 0; j < k; ++j) {
                if (!SameFiles(archives[j], archives[k])) continue;
                copies_[report_.archives[archives[k]].file] = report_.archives[archives[j]].file;
                break;
            }
        }
    }
}

void Builder::LimitProblems(std::size_t archives) {
    const auto count = static_cast<long long>(archives);
    if (count * 100 < static_cast<long long>(kMaxArchivesPerFolder) * kNearLimitPercent) return;
    const std::wstring limit = ToDecimal(kMaxArchivesPerFolder);
    if (count > kMaxArchivesPerFolder) {
        Problem(game_.ArchiveFolderName(), L"It holds " + ToDecimal(count) + L" archives; the game loads at most " +
                                               limit + L" from one folder, so " +
                                               ToDecimal(count - kMaxArchivesPerFolder) + L" of them do not load.");
    } else {
        Problem(game_.ArchiveFolderName(), L"It holds " + ToDecimal(count) + L" archives, near the " + limit +
                                               L" that the game loads from one folder.");
    }
}

std::wstring Builder::SkippedWhy(const std::wstring& file) const {
    if (game_.profile().rule == OrderRule::Localized) {
        return L"The game loads localized archives of its own language (" + std::wstring(game_.Language()) + L") only.";
    }
    if (game_.profile().rule == OrderRule::RtcwSingle || game_.profile().rule == OrderRule::RtcwMulti) {
        const bool single = game_.profile().rule == OrderRule::RtcwSingle;
        if (file.starts_with(single ? L"mp_" : L"sp_")) {
            return single ? L"Its name starts with mp_: only the multiplayer program loads it."
                          : L"Its name starts with sp_: only the single-player program loads it.";
        }
        return L"Its name starts with zz in small letters: the game renames such archives as it sorts them and then "
               L"cannot find them, so it does not load it. ZZ in capitals loads.";
    }
    return L"The game does not load it.";
}

std::wstring Builder::LastOwnArchive() const {
    std::wstring last;
    for (const LoadOrderArchive& archive : report_.archives) {
        if (archive.game && archive.file != Game::LooseFiles && game_.Tier(archive.file) == 0) last = archive.file;
    }
    return last;
}

std::wstring Builder::MustSortAfter() const {
    std::wstring last = LastOwnArchive();
    const std::wstring file = QualifiedName::Parse(last).file, sorted = game_.SortName(file);
    if (sorted == file) return last;
    // RTCW sorts its own program's archives under another name.
    return last + L", which the game sorts as " + sorted +
           L" (a name that starts with zz_ in small letters does not load),";
}

void Builder::AddProblems(const std::wstring& file, const std::vector<std::wstring>& disabled) {
    const auto loaded = std::find_if(report_.archives.begin(), report_.archives.end(),
                                     [&](const LoadOrderArchive& a) { return a.file == file; });
    const size_t index = static_cast<size_t>(loaded - report_.archives.begin());
    if (!game_.LoadsArchive(file)) {
        // The other program's archives, or another language's, are the game's: no problem of the player's.
        if (std::wstring note = game_.SkippedOwnNote(file); !note.empty()) {
            report_.skipped.push_back({file, std::move(note)});
        } else {
            Problem(file, SkippedWhy(file));
        }
        return;
    }
    if (const auto found = failures_.find(file); found != failures_.end()) Problem(file, found->second);
    if (const auto found = unreadable_.find(file); found != unreadable_.end()) Problem(file, found->second);
    if (const auto found = limits_.find(file); found != limits_.end()) Problem(file, found->second);
    // The base folders' archives are the game's to Tarrow: nothing there has a fix.
    const bool game = game_.IsOwnArchiveFile(file);
    if (game && !QualifiedName::Parse(file).place.empty()) return;
    if (!game && game_.Tier(file) < 0) {
        Problem(file, L"Its name starts with localized_, so the game loads it after every other archive.");
    }
    if (!game) {
        const std::wstring mod = ModNameOf(file, EnabledExtension);
        for (const auto& other : disabled) {
            if (!EqualNoCase(other, mod.c_str())) continue;
            const std::optional<Game> where = game_.Where(QualifiedName::Parse(file));
            Problem(file,
                    L"It is also in " + where->ArchiveFolderName() + L" as " + QualifiedName::Parse(other).file +
                        DisabledExtension + L". Tarrow cannot switch this mod until one of them is gone.",
                    ProblemKind::Duplicate);
            break;
        }
    }
    if (loaded != report_.archives.end() && replacedByGame_[index] > 0) {
        const int n = replacedByGame_[index];
        Problem(file,
                ToDecimal(n) + (n == 1 ? L" of its files is" : L" of its files are") +
                    L" replaced by the game's own archives, because its name sorts before theirs. Its name "
                    L"must sort after " +
                    MustSortAfter() + L" for them to take effect.",
                ProblemKind::BeforeGame);
    }
    if (const auto copy = copies_.find(file); copy != copies_.end()) {
        report_.problems.push_back({file,
                                    L"It holds the same files as " + copy->second + L", with the same contents: " +
                                        copy->second + L" is a copy that the game loads for nothing.",
                                    ProblemKind::Copy, copy->second});
    }
    if (loaded != report_.archives.end() && loaded->noEffect) {
        Problem(file, L"Every one of its files is replaced by a later archive, so it has no effect.",
                ProblemKind::NoEffect);
    }
    // The game's own archive keeps the name its installer gave it.
    if (!game && !ExtensionOf(file).empty() && ExtensionOf(file) != EnabledExtension) {
        Problem(file,
                L"Its extension is not .pk3 in lower case: the game loads it, but the Manager lists it as " + file +
                    L" and cannot switch it.",
                ProblemKind::Extension);
    }
    if (std::any_of(file.begin(), file.end(), [](wchar_t c) { return c > 127; })) {
        Problem(file,
                L"Its name has characters outside ASCII, so its place in the load order depends on the "
                L"game's code page.");
    }
}

void AppendRow(std::wstring& text, const std::vector<std::wstring>& cells) {
    text += Joined(cells, L"\t");
    text += L"\r\n";
}

}  // namespace

bool SamePath(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldPathByte(x) == FoldPathByte(y); });
}

LoadOrderReport LoadedArchives(const Game& game) {
    const Game run = game.RunBy(FindGameProgram(game));
    LoadOrderReport report;
    for (const std::wstring& file : ArchivesInOrder(run, nullptr)) {
        if (run.LoadsArchive(file)) {
            report.archives.push_back({file});
        } else if (std::wstring note = run.SkippedOwnNote(file); !note.empty()) {
            report.skipped.push_back({file, std::move(note)});
        }
    }
    report.looseFilesFirst = run.LooseFilesFirst();
    report.looseRuleKnown = run.LooseRuleKnown();
    return report;
}

LoadOrderReport BuildLoadOrder(const Game& game) {
    const Game run = game.RunBy(FindGameProgram(game));
    LoadOrderReport report = Builder(run).Build();
    // Every place was read just now: what was not is no archive the game loads.
    SweepListings();
    report.looseFilesFirst = run.LooseFilesFirst();
    report.looseRuleKnown = run.LooseRuleKnown();
    return report;
}

bool SharedFile::Identical() const {
    return std::all_of(copies.begin(), copies.end(), [&](const FileCopy& copy) { return copy == copies.front(); });
}

void CountWinners(LoadOrderReport& report) {
    const std::size_t n = report.archives.size();
    // Per archive: how many of its files the next later archive with the same
    // copy holds, and that archive when it is one and the same for all of them.
    constexpr std::size_t kNone = SIZE_MAX, kMany = SIZE_MAX - 1;
    std::vector<int> seen(n, 0);
    std::vector<std::size_t> next(n, kNone);
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::size_t> laterHolder;
    for (LoadOrderArchive& a : report.archives) a.wins = a.overridden = 0;
    for (const SharedFile& file : report.shared) {
        ++report.archives[file.holders.back()].wins;
        laterHolder.clear();
        for (std::size_t k = file.holders.size(); k-- > 0;) {
            const std::size_t h = file.holders[k];
            const FileCopy& copy = file.copies[k];
            if (k + 1 < file.holders.size() && copy != file.copies.back()) ++report.archives[h].overridden;
            const auto key = std::make_pair(copy.crc, copy.size);
            if (const auto later = laterHolder.find(key); later != laterHolder.end()) {
                ++seen[h];
                next[h] = next[h] == kNone || next[h] == later->second ? later->second : kMany;
            }
            laterHolder[key] = h;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        LoadOrderArchive& a = report.archives[i];
        a.noEffect = !a.game && a.distinct > 0 && a.overridden == a.distinct;
        const bool copy = !a.game && a.distinct > 0 && seen[i] == a.distinct && next[i] < kMany;
        a.sameAs = copy ? report.archives[next[i]].file : std::wstring();
    }
}

const std::vector<std::wstring>& ArchiveColumns() {
    static const std::vector<std::wstring> columns{L"Order", L"Archive", L"Files", L"Wins", L"Overridden", L"Note"};
    return columns;
}

const std::vector<std::wstring>& SharedColumns() {
    static const std::vector<std::wstring> columns{L"File", L"Used from", L"Overridden in", L"Same"};
    return columns;
}

const std::vector<std::wstring>& ProblemColumns() {
    static const std::vector<std::wstring> columns{L"Archive", L"Problem"};
    return columns;
}

std::size_t ArchiveRows(const LoadOrderReport& report) { return report.archives.size() + report.skipped.size(); }

std::vector<std::wstring> ArchiveRow(const LoadOrderReport& report, std::size_t index) {
    if (index >= report.archives.size()) {
        const SkippedArchive& skipped = report.skipped[index - report.archives.size()];
        return {L"", skipped.file, L"", L"", L"", skipped.note};
    }
    const LoadOrderArchive& a = report.archives[index];
    const std::wstring note = a.game             ? L"game"
                              : a.noEffect       ? L"no effect"
                              : a.sameAs.empty() ? L""
                                                 : L"same as " + a.sameAs;
    return {ToDecimal(static_cast<long long>(index) + 1),
            a.file,
            ToDecimal(a.files),
            ToDecimal(a.wins),
            ToDecimal(a.overridden),
            note};
}

std::vector<std::wstring> SharedRow(const LoadOrderReport& report, std::size_t index) {
    const SharedFile& shared = report.shared[index];
    std::vector<std::wstring> others;
    for (size_t k = 0; k + 1 < shared.holders.size(); ++k) others.push_back(report.archives[shared.holders[k]].file);
    return {shared.path, report.archives[shared.holders.back()].file, Joined(others, L", "),
            shared.Identical() ? L"identical" : L""};
}

std::vector<std::wstring> ProblemRow(const LoadOrderReport& report, std::size_t index) {
    return {report.problems[index].archive, report.problems[index].problem};
}

std::wstring LoadOrderText(const LoadOrderReport& report) {
    std::wstring text;
    AppendRow(text, ArchiveColumns());
    for (size_t i = 0; i < ArchiveRows(report); ++i) AppendRow(text, ArchiveRow(report, i));
    text += L"\r\n";
    AppendRow(text, SharedColumns());
    for (size_t i = 0; i < report.shared.size(); ++i) AppendRow(text, SharedRow(report, i));
    text += L"\r\n";
    AppendRow(text, ProblemColumns());
    for (size_t i = 0; i < report.problems.size(); ++i) AppendRow(text, ProblemRow(report, i));
    return text;
}
