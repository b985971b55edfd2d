#include "compat/inventory.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

#include "archive/unzip.h"
#include "archive/unzip_api.h"
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
    return stored.size() == name.size() &&
           std::equal(stored.begin(), stored.end(), name.begin(), [](char s, char n) { return (s == '/' ? '\\' : s) == n; });
}

// Sets the module's sink for one run.
class SinkForRun {
public:
    explicit SinkForRun(std::function<void(const VBUnzBas::EntryView&)> sink) { VBUnzBas::ListSink = std::move(sink); }
    ~SinkForRun() { VBUnzBas::ListSink = nullptr; }
    SinkForRun(const SinkForRun&) = delete;
    SinkForRun& operator=(const SinkForRun&) = delete;
};

struct Kept {
    ULONGLONG size = 0;
    ULONGLONG written = 0;
    std::shared_ptr<const ArchiveListing> listing;
};

std::unordered_map<std::wstring, Kept>& Kept_() {
    static std::unordered_map<std::wstring, Kept> kept;
    return kept;
}

std::wstring Key(const std::wstring& path) {
    std::wstring key = path;
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

std::shared_ptr<const ArchiveListing> ReadListing(const std::wstring& path) {
    using namespace VBUnzBas;
    auto listing = std::make_shared<ArchiveListing>();
    SinkForRun sink([&](const EntryView& entry) {
        listing->Add(entry.storedName, entry.name, entry.method, entry.flags, entry.folder);
        listing->zip64 = listing->zip64 || entry.zip64;
    });
    listing->result = RunListing(path);
    return listing;
}

}  // namespace

std::string_view ArchiveListing::Stored(const Entry& entry) const {
    return std::string_view(text_.data() + entry.stored);
}

std::wstring ArchiveListing::Name(const Entry& entry) const {
    return entry.name == kSameName ? PlainName(Stored(entry)) : names_[entry.name];
}

void ArchiveListing::Add(std::string_view stored, std::string_view name, std::uint16_t method, std::uint16_t flags,
                         bool folder) {
    Entry entry{static_cast<std::uint32_t>(text_.size()), kSameName, method, flags, folder};
    text_.append(stored);
    text_.push_back('\0');
    if (!IsPlainName(stored, name)) {
        entry.name = static_cast<std::uint32_t>(names_.size());
        names_.push_back(Utf8ToWide(name));
    }
    entries.push_back(entry);
}

std::shared_ptr<const ArchiveListing> ListArchive(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ReadListing(path);
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const ULONGLONG written =
        (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    Kept& kept = Kept_()[Key(path)];
    if (kept.listing && kept.size == size && kept.written == written) return kept.listing;
    auto listing = ReadListing(path);
    // A listing that could not be taken whole is not kept: the next read tries again.
    if (listing->result == UnzEntryRefused) {
        Kept_().erase(Key(path));
        return listing;
    }
    kept = Kept{size, written, std::move(listing)};
    return kept.listing;
}

void ForgetListings() { Kept_().clear(); }
