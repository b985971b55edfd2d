// unzip32.dll: extracts or lists the entries of one zip archive per call.
// Problems show only in the result code; no exception leaves the library.
#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/file_source.h"
#include "archive/unzip_api.h"
#include "archive/zip_reader.h"
#include "archive/zip_writer.h"
#include "core/handles.h"
#include "core/text.h"
#include "core/version.h"

namespace {

class FileSink : public zip::Sink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Write(const void* data, std::size_t n) override {
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }

private:
    HANDLE file_;
};

bool IsFolder(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates a folder and the folders above it.
bool MakeFolders(const std::wstring& path) {
    if (path.empty() || IsFolder(path)) return true;
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
    return CreateDirectoryW(path.c_str(), nullptr) || IsFolder(path);
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return {};
    std::wstring out(n, L'\0');
    out.resize(GetFullPathNameW(path.c_str(), n, out.data(), nullptr));
    return std::wstring(WithoutTrailingBackslashes(out, 3));
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring prefix = folder.back() == L'\\' ? folder : folder + L"\\";
    return path.size() > prefix.size() &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

std::uint64_t FreeSpace(std::wstring folder) {
    while (!folder.empty() && !IsFolder(folder)) {
        const size_t slash = folder.find_last_of(L'\\');
        folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
    }
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.empty() ? nullptr : (folder + L"\\").c_str(), &available, nullptr, nullptr)) {
        return UINT64_MAX;
    }
    return available.QuadPart;
}

void SetDosTime(HANDLE file, const zip::Entry& entry) {
    FILETIME local{}, utc{};
    if (DosDateTimeToFileTime(entry.modDate, entry.modTime, &local) && LocalFileTimeToFileTime(&local, &utc)) {
        SetFileTime(file, nullptr, nullptr, &utc);
    }
}

class Run {
public:
    Run(DCL& options, USERFUNCTIONS& callbacks) : o_(options), cb_(callbacks) {}

    int Execute(int includeCount, char** includes, int excludeCount, char** excludes);

private:
    std::vector<const zip::Entry*> Select(int includeCount, char** includes, int excludeCount, char** excludes) const;
    int List(const std::vector<const zip::Entry*>& selected);
    int Extract(const std::vector<const zip::Entry*>& selected);
    void ExtractOne(const zip::Entry& entry);
    bool MayWrite(const std::wstring& target, const std::string& name);
    zip::Status WriteEntry(const zip::Entry& entry, const std::wstring& target, std::string_view password);
    zip::Status WriteEncrypted(const zip::Entry& entry, const std::wstring& target);
    void Print(const std::string& text) {
        if (cb_.print) cb_.print(text.c_str(), static_cast<unsigned long>(text.size()));
    }
    void Worse(int code) {
        if (result_ == UnzOk || (code != UnzWarning && result_ == UnzWarning)) result_ = code;
    }

    DCL& o_;
    USERFUNCTIONS& cb_;
    std::unique_ptr<FileSource> source_;
    zip::Directory directory_;
    std::wstring root_;
    std::string password_;  // the right password, reused for later entries
    bool overwriteNone_ = false;
    int result_ = UnzOk;
    unsigned parts_ = 0;
};

int Run::Execute(int includeCount, char** includes, int excludeCount, char** excludes) {
    if (!o_.lpszZipFN || includeCount < 0 || excludeCount < 0 || (includeCount > 0 && !includes) ||
        (excludeCount > 0 && !excludes)) {
        return UnzBadArguments;
    }
    source_ = std::make_unique<FileSource>(Utf8ToWide(o_.lpszZipFN));
    if (!source_->valid()) return UnzNotZip;
    switch (zip::ReadDirectory(*source_, directory_)) {
    case zip::Status::Ok: break;
    case zip::Status::NotZip: return UnzNotZip;
    default: return UnzDamaged;
    }
    const auto selected = Select(includeCount, includes, excludeCount, excludes);
    cb_.NumMembers = directory_.entries.size();
    cb_.TotalSize = cb_.TotalSizeComp = 0;
    for (const zip::Entry* e : selected) {
        cb_.TotalSize += e->size;
        cb_.TotalSizeComp += e->compressedSize;
    }
    cb_.CompFactor =
        cb_.TotalSize
            ? static_cast<unsigned>(100 - 100 * cb_.TotalSizeComp / std::max(cb_.TotalSize, cb_.TotalSizeComp))
            : 0;
    if (includeCount > 0 && selected.empty()) return UnzNoMatch;
    return o_.nvflag ? List(selected) : Extract(selected);
}

std::vector<const zip::Entry*> Run::Select(int includeCount, char** includes, int excludeCount, char** excludes) const {
    auto named = [](const std::string& name, int count, char** list) {
        for (int i = 0; i < count; ++i) {
            if (list[i] && name == list[i]) return true;
        }
        return false;
    };
    std::vector<const zip::Entry*> selected;
    for (const zip::Entry& e : directory_.entries) {
        if (includeCount > 0 && !named(e.name, includeCount, includes)) continue;
        if (named(e.name, excludeCount, excludes)) continue;
        selected.push_back(&e);
    }
    return selected;
}

int Run::List(const std::vector<const zip::Entry*>& selected) {
    std::string name;
    for (const zip::Entry* e : selected) {
        name = zip::SafeRelativePath(e->name);
        if (cb_.EntryInfo) {
            const UzpEntry info{sizeof(UzpEntry),
                                name.c_str(),
                                e->name.c_str(),
                                e->method,
                                e->flags,
                                static_cast<std::uint8_t>(e->IsFolder()),
                                static_cast<std::uint8_t>(directory_.zip64),
                                e->size};
            if (cb_.EntryInfo(&info) != 0) return UnzEntryRefused;
        }
        if (name.empty()) continue;
        if (e->IsFolder()) name += '\\';
        if (cb_.ServCallBk && cb_.ServCallBk(name.c_str(), e->size)) return UnzStopped;
        if (!cb_.SendApplicationMessage) continue;
        const unsigned factor =
            e->size ? static_cast<unsigned>(100 - 100 * std::min(e->compressedSize, e->size) / e->size) : 0;
        cb_.SendApplicationMessage(
            e->size, e->compressedSize, factor, (e->modDate >> 5) & 15, e->modDate & 31, 1980 + (e->modDate >> 9),
            e->modTime >> 11, (e->modTime >> 5) & 63, e->IsFolder() ? 'd' : ' ', name.c_str(),
            e->method == zip::format::kDeflated ? "Defl:N" : "Stored", e->crc, e->Encrypted() ? 'E' : ' ');
    }
    return UnzOk;
}

int Run::Extract(const std::vector<const zip::Entry*>& selected) {
    switch (zip::CheckOverlaps(*source_, directory_)) {
    case zip::Status::Ok: break;
    case zip::Status::Overlap: return UnzBomb;
    default: return UnzDamaged;
    }
    root_ = FullPath(o_.lpszExtractDir && *o_.lpszExtractDir ? Utf8ToWide(o_.lpszExtractDir) : L".");
    if (root_.empty()) return UnzBadArguments;
    std::uint64_t needed = 0;
    for (const zip::Entry* e : selected) needed += e->size;
    if (needed > FreeSpace(root_)) return UnzNoSpace;
    if (!MakeFolders(root_)) return UnzBadArguments;
    for (const zip::Entry* e : selected) {
        if (cb_.ServCallBk && cb_.ServCallBk(e->name.c_str(), e->size)) return UnzStopped;
        ExtractOne(*e);
    }
    return result_;
}

void Run::ExtractOne(const zip::Entry& entry) {
    std::string relative = zip::SafeRelativePath(entry.name);
    if (!o_.ndflag && !entry.IsFolder()) relative = relative.substr(relative.find_last_of('\\') + 1);
    if (relative.empty()) return;
    const std::wstring target = FullPath(root_ + L"\\" + Utf8ToWide(relative));
    if (!StartsWithFolder(target, root_)) {
        Worse(UnzWarning);
        return;
    }
    if (entry.IsFolder()) {
        if (o_.ndflag && !MakeFolders(target)) Worse(UnzWarning);
        return;
    }
    if (!MakeFolders(target.substr(0, target.find_last_of(L'\\'))) || IsFolder(target)) {
        Worse(UnzWarning);
        return;
    }
    if (Exists(target) && !MayWrite(target, relative)) return;
    const zip::Status s = entry.Encrypted() ? WriteEncrypted(entry, target) : WriteEntry(entry, target, {});
    if (s == zip::Status::Ok) {
        Print("  inflating: " + relative + "\n");
    } else {
        Print("  error:     " + relative + "\n");
        Worse(s == zip::Status::NeedPassword || s == zip::Status::BadPassword ? UnzBadPassword : UnzWarning);
    }
}

bool Run::MayWrite(const std::wstring&, const std::string& name) {
    if (o_.noflag) return true;
    if (overwriteNone_ || !o_.PromptToOverwrite || !cb_.replace) return false;
    switch (cb_.replace(name.c_str())) {
    case 100: return false;
    case 104: overwriteNone_ = true; return false;
    default: return true;
    }
}

// Writes into a part file beside the target and puts it in place only when it
// passed every check, so that a broken entry never looks like a good file and
// never replaces one.
zip::Status Run::WriteEntry(const zip::Entry& entry, const std::wstring& target, std::string_view password) {
    const std::wstring part =
        target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++parts_) + L".part";
    FileHandle file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return zip::Status::WriteError;
    FileSink sink(file.get());
    zip::Status s = zip::ExtractEntry(*source_, entry, password, sink);
    if (s == zip::Status::Ok) SetDosTime(file.get(), entry);
    file.Reset();
    if (s == zip::Status::Ok && !MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        s = zip::Status::WriteError;
    }
    if (s != zip::Status::Ok) DeleteFileW(part.c_str());
    return s;
}

zip::Status Run::WriteEncrypted(const zip::Entry& entry, const std::wstring& target) {
    // One wrong key in 256 passes the header's check byte and decrypts to
    // noise, so a failure of the data itself counts as a wrong password too.
    auto wrongPassword = [](zip::Status s) {
        return s == zip::Status::NeedPassword || s == zip::Status::BadPassword || s == zip::Status::CrcError ||
               s == zip::Status::Damaged || s == zip::Status::SizeError;
    };
    zip::Status s = WriteEntry(entry, target, password_);
    // Asked again until the answer is right or there is none; the bound only
    // guards against a caller that answers empty for ever.
    for (int asked = 0; wrongPassword(s) && asked < 1000; ++asked) {
        if (!cb_.password) return s;
        char buffer[256] = {};
        const std::string prompt = "Enter password for " + entry.name;
        if (cb_.password(buffer, sizeof buffer, prompt.c_str(), entry.name.c_str()) != 0) return s;
        const std::string answer(buffer, strnlen(buffer, sizeof buffer - 1));
        if (answer.empty()) continue;
        // Windows archivers encrypt with the ANSI code page's bytes; others with UTF-8.
        s = WriteEntry(entry, target, answer);
        const std::string utf8 = WideToUtf8(AnsiToWide(answer));
        if (wrongPassword(s) && utf8 != answer) {
            s = WriteEntry(entry, target, utf8);
            if (s == zip::Status::Ok) password_ = utf8;
        } else if (s == zip::Status::Ok) {
            password_ = answer;
        }
    }
    return s;
}

}  // namespace

namespace {

int WriteStatusCode(zip::WriteStatus status) {
    switch (status) {
    case zip::WriteStatus::Ok: return UnzOk;
    case zip::WriteStatus::NotZip: return UnzNotZip;
    case zip::WriteStatus::Damaged: return UnzDamaged;
    case zip::WriteStatus::Encrypted: return UnzEncrypted;
    case zip::WriteStatus::Zip64: return UnzZip64;
    case zip::WriteStatus::Layout: return UnzLayout;
    default: return UnzWriteFailed;
    }
}

// The local date and time, as a zip entry stores them.
void DosNow(std::uint16_t& time, std::uint16_t& date) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    time = static_cast<std::uint16_t>(now.wHour << 11 | now.wMinute << 5 | now.wSecond / 2);
    date = static_cast<std::uint16_t>((now.wYear - 1980) << 9 | now.wMonth << 5 | now.wDay);
}

int WriteEntryFile(const UzpWriteEntry& request) {
    FileSource source(Utf8ToWide(request.zipFile));
    if (!source.valid()) return UnzNotZip;
    const std::wstring out = Utf8ToWide(request.outFile);
    int result = UnzOk;
    {
        FileHandle file(
            CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return UnzWriteFailed;
        FileSink sink(file.get());
        std::uint16_t time = 0, date = 0;
        DosNow(time, date);
        result = WriteStatusCode(zip::ReplaceEntry(source, request.entryName,
                                                   std::string_view(request.data, static_cast<size_t>(request.size)),
                                                   time, date, sink));
        if (result == UnzOk && !FlushFileBuffers(file.get())) result = UnzWriteFailed;
    }
    if (result == UnzOk) {
        FileSource written(out);
        if (!written.valid() || zip::VerifyArchive(written) != zip::Status::Ok) result = UnzVerifyFailed;
    }
    if (result != UnzOk) DeleteFileW(out.c_str());
    return result;
}

}  // namespace

extern "C" __declspec(dllexport) int Tarrow_WriteEntry(const UzpWriteEntry* request) {
    if (!request || request->structlen != sizeof(UzpWriteEntry) || !request->zipFile || !request->outFile ||
        !request->entryName || (!request->data && request->size)) {
        return UnzBadArguments;
    }
    try {
        return WriteEntryFile(*request);
    } catch (...) {
        return UnzWriteFailed;
    }
}

extern "C" __declspec(dllexport) int Wiz_SingleEntryUnzip(int includeCount, char** includes, int excludeCount,
                                                          char** excludes, DCL* options, USERFUNCTIONS* callbacks) {
    if (!options || !callbacks) return UnzBadArguments;
    try {
        Run run(*options, *callbacks);
        return run.Execute(includeCount, includes, excludeCount, excludes);
    } catch (...) {
        return UnzDamaged;
    }
}

extern "C" __declspec(dllexport) void UzpVersion2(UzpVer2* version) {
    if (!version || version->structlen != sizeof(UzpVer2)) return;
    auto put = [](char* field, size_t size, const char* text) {
        std::memset(field, 0, size);
        std::strncpy(field, text, size - 1);
    };
    put(version->betalevel, sizeof version->betalevel, TARROW_VERSION);
    put(version->date, sizeof version->date, "2026-12-07");
    put(version->zlib_ver, sizeof version->zlib_ver, ZLIB_VERSION);
    put(version->library, sizeof version->library, UnzipLibraryName);
    version->api = UnzipApiVersion;
}
