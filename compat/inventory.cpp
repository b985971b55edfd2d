#include "compat/inventory.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "archive/file_source.h"
#include "archive/unzip_api.h"
#include "archive/zip_reader.h"
#include "core/handles.h"
#include "core/text.h"

namespace {

// The written name that a stored name gives in the usual case: "\" for "/",
// no trailing separator.
std::wstring PlainName(std::string_view stored) {
    std::wstring name = Utf8ToWide(stored);
    for (wchar_t& c : name) {
        if (c == L'/') c = L'\\';
    }
    name.resize(WithoutTrailingBackslashes(name).size());
    return name;
}

// Whether the written name is the stored name's usual form: "\\" for "/",
// no trailing separator. Both are UTF-8, so no copy is made.
bool IsPlainName(std::string_view stored, std::string_view name) {
    while (!stored.empty() && (stored.back() == '/' || stored.back() == '\\')) stored.remove_suffix(1);
    return stored.size() == name.size() && std::equal(stored.begin(), stored.end(), name.begin(),
                                                      [](char s, char n) { return (s == '/' ? '\\' : s) == n; });
}

struct Kept {
    FileStamp stamp;
    std::shared_ptr<const ArchiveListing> listing;
    bool touched = true;  // read since the last sweep
};

// By the file's volume and its index there: the places of a game may lie on
// several volumes, whose indexes say nothing of each other.
std::unordered_map<std::wstring, Kept>& Kept_() {
    static std::unordered_map<std::wstring, Kept> kept;
    return kept;
}

// The Maps window works out what maps need on a thread of its own.
std::mutex& KeptMutex() {
    static std::mutex mutex;
    return mutex;
}

// The volume a path lies on, from its text alone: "C:\", "\\server\share\".
std::wstring VolumeOf(const std::wstring& path) {
    if (path.starts_with(L"\\\\")) {
        const size_t server = path.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path : path.substr(0, share + 1);
    }
    std::wstring drive = path.substr(0, std::min<std::size_t>(path.size(), 3));
    CharUpperBuffW(drive.data(), static_cast<DWORD>(drive.size()));
    return drive;
}

std::wstring KeyOf(const std::wstring& path, ULONGLONG id) { return VolumeOf(path) + L"|" + std::to_wstring(id); }

// The listing kept for the file with this stamp, marked as read; null when none is.
std::shared_ptr<const ArchiveListing> KeptListing(const std::wstring& key, const FileStamp& stamp) {
    const std::lock_guard lock(KeptMutex());
    const auto found = Kept_().find(key);
    if (found == Kept_().end() || !(found->second.stamp == stamp)) return nullptr;
    found->second.touched = true;
    return found->second.listing;
}

ULONGLONG Joined(DWORD high, DWORD low) { return (static_cast<ULONGLONG>(high) << 32) | low; }

std::shared_ptr<ArchiveListing> Failed(int result) {
    auto listing = std::make_shared<ArchiveListing>();
    listing->result = result;
    return listing;
}

// The directory as the extraction library's list-only run reports it, read
// here without a run: entries with no safe name are left out, as the run leaves them.
std::shared_ptr<const ArchiveListing> ReadListing(FileSource& source) {
    zip::Directory directory;
    switch (zip::ReadDirectory(source, directory)) {
    case zip::Status::Ok: break;
    case zip::Status::NotZip: return Failed(UnzNotZip);
    default: return Failed(UnzDamaged);
    }
    try {
        auto listing = std::make_shared<ArchiveListing>();
        listing->zip64 = directory.zip64;
        std::size_t text = 0;
        for (const zip::Entry& entry : directory.entries) text += entry.name.size() + 1;
        listing->Reserve(directory.entries.size(), text);
        for (const zip::Entry& entry : directory.entries) {
            // A plain name is written as it is stored: nothing to work out.
            const ArchiveListing::Facts facts{entry.method, entry.flags, entry.IsFolder(), entry.crc, entry.size};
            if (zip::IsPlainPath(entry.name)) {
                listing->AddPlain(entry.name, facts);
                continue;
            }
            const std::string name = zip::SafeRelativePath(entry.name);
            if (name.empty()) continue;
            listing->Add(entry.name, name, facts);
        }
        return listing;
    } catch (const std::bad_alloc&) {
        return Failed(UnzEntryRefused);
    }
}

// The stamp of an open file. Its index comes from the file system's own
// record: asking for the volume's serial as well costs a look at the device.
bool StampOf(HANDLE file, FileStamp& stamp) {
    struct InternalInformation {
        LARGE_INTEGER index;
    } internal{};
    constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER size{};
    FILETIME written{};
    if (NtQueryInformationFile(file, &status, &internal, sizeof internal, kFileInternalInformation) != 0 ||
        !GetFileSizeEx(file, &size) || !GetFileTime(file, nullptr, nullptr, &written)) {
        return false;
    }
    stamp = {static_cast<ULONGLONG>(internal.index.QuadPart), static_cast<ULONGLONG>(size.QuadPart),
             Joined(written.dwHighDateTime, written.dwLowDateTime)};
    return true;
}

}  // namespace

std::string_view ArchiveListing::Stored(const Entry& entry) const {
    return std::string_view(text_.data() + entry.stored);
}

std::wstring ArchiveListing::Name(const Entry& entry) const {
    return entry.name == kSameName ? PlainName(Stored(entry)) : names_[entry.name];
}

void ArchiveListing::Reserve(std::size_t count, std::size_t text) {
    entries.reserve(count);
    text_.reserve(text);
}

void ArchiveListing::AddPlain(std::string_view stored, const Facts& facts) {
    entries.push_back({static_cast<std::uint32_t>(text_.size()), kSameName, facts.method, facts.flags, facts.folder,
                       facts.crc, facts.size});
    text_.append(stored);
    text_.push_back('\0');
}

void ArchiveListing::Add(std::string_view stored, std::string_view name, const Facts& facts) {
    Entry entry{static_cast<std::uint32_t>(text_.size()),
                kSameName,
                facts.method,
                facts.flags,
                facts.folder,
                facts.crc,
                facts.size};
    text_.append(stored);
    text_.push_back('\0');
    if (!IsPlainName(stored, name)) {
        entry.name = static_cast<std::uint32_t>(names_.size());
        names_.push_back(Utf8ToWide(name));
    }
    entries.push_back(entry);
}

std::unordered_map<std::wstring, FileStamp> StampFolder(const std::wstring& folder) {
    std::unordered_map<std::wstring, FileStamp> stamps;
    const FileHandle directory(CreateFileW(std::wstring(WithoutTrailingBackslashes(folder, 3)).c_str(),
                                           FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!directory.valid()) return stamps;
    std::vector<ULONGLONG> buffer(8192);
    for (auto kind = FileIdBothDirectoryRestartInfo;
         GetFileInformationByHandleEx(directory.get(), kind, buffer.data(), static_cast<DWORD>(buffer.size() * 8));
         kind = FileIdBothDirectoryInfo) {
        const auto* at = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            if (!(entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                stamps[std::wstring(entry->FileName, entry->FileNameLength / sizeof(wchar_t))] = {
                    static_cast<ULONGLONG>(entry->FileId.QuadPart), static_cast<ULONGLONG>(entry->EndOfFile.QuadPart),
                    static_cast<ULONGLONG>(entry->LastWriteTime.QuadPart)};
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
    return stamps;
}

std::shared_ptr<const ArchiveListing> ListArchive(const std::wstring& path, const FileStamp* known) {
    // Unchanged since it was read: not even opened.
    if (known) {
        if (auto listing = KeptListing(KeyOf(path, known->id), *known)) return listing;
    }
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Failed(UnzNotZip);
    FileStamp stamp;
    const bool stamped = StampOf(file.get(), stamp);
    if (stamped) {
        if (auto listing = KeptListing(KeyOf(path, stamp.id), stamp)) return listing;
    }
    FileSource source(std::move(file));
    auto listing = ReadListing(source);
    // A listing that could not be taken whole is not kept: the next read tries again.
    if (!stamped || listing->result == UnzEntryRefused) return listing;
    const std::lock_guard lock(KeptMutex());
    Kept_()[KeyOf(path, stamp.id)] = Kept{stamp, listing};
    return listing;
}

void ForgetListings() {
    const std::lock_guard lock(KeptMutex());
    Kept_().clear();
}

void SweepListings() {
    const std::lock_guard lock(KeptMutex());
    auto& kept = Kept_();
    for (auto it = kept.begin(); it != kept.end();) {
        if (!it->second.touched) {
            it = kept.erase(it);
            continue;
        }
        it->second.touched = false;
        ++it;
    }
}

std::size_t KeptListings() {
    const std::lock_guard lock(KeptMutex());
    return Kept_().size();
}
