#include "archive/unzip.h"

#include <windows.h>

#include <cstring>

#include "archive/unzip_api.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/prompts.h"
#include "core/text.h"

namespace VBUnzBas {

UnzipOptions Options;
std::wstring ZipFileName;
std::wstring ExtractDir;
std::array<std::wstring, MaxNames> IncludeNames;
int IncludeCount = 0;
std::array<std::wstring, MaxNames> ExcludeNames;
int ExcludeCount = 0;
bool PasswordSkip = false;
Prompts* Questions = nullptr;
std::vector<ListedEntry> Listed;
std::function<void(const EntryView&)> ListSink;

namespace {

// True while the library runs; its callbacks may open prompts, and a prompt
// lets messages through that could start another run.
bool g_running = false;

class RunningGuard {
public:
    RunningGuard() { g_running = true; }
    ~RunningGuard() { g_running = false; }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;
};

struct Library {
    HMODULE module = nullptr;
    WizSingleEntryUnzipFn unzip = nullptr;
    UzpVersion2Fn version = nullptr;
    TarrowWriteEntryFn write = nullptr;
};

// Loaded from the program's own folder on first use, and kept for the run.
const Library& LoadLibraryOnce() {
    static Library library;
    if (library.unzip) return library;
    if (!library.module) {
        library.module = LoadLibraryW((FileSystem::ProgramFolder() + L"\\unzip32.dll").c_str());
        if (!library.module) throw AppError(48, L"Could not load unzip32.dll");
    }
    library.unzip = reinterpret_cast<WizSingleEntryUnzipFn>(
        reinterpret_cast<void*>(GetProcAddress(library.module, "Wiz_SingleEntryUnzip")));
    library.version =
        reinterpret_cast<UzpVersion2Fn>(reinterpret_cast<void*>(GetProcAddress(library.module, "UzpVersion2")));
    library.write = reinterpret_cast<TarrowWriteEntryFn>(
        reinterpret_cast<void*>(GetProcAddress(library.module, "Tarrow_WriteEntry")));
    if (!library.unzip || !library.version) {
        library.unzip = nullptr;
        throw AppError(453, L"unzip32.dll lacks an entry point");
    }
    return library;
}

// A foreign library of the same name is never handed records it does not know.
void CheckVersion(const Library& library) {
    UzpVer2 version{};
    version.structlen = sizeof version;
    std::memset(version.betalevel, ' ', sizeof version.betalevel - 1);
    std::memset(version.date, ' ', sizeof version.date - 1);
    std::memset(version.zlib_ver, ' ', sizeof version.zlib_ver - 1);
    library.version(&version);
    if (std::strncmp(version.library, UnzipLibraryName, sizeof version.library) != 0 ||
        version.api != UnzipApiVersion) {
        throw AppError(453, L"unzip32.dll is not Tarrow's extraction library");
    }
}

// Callbacks: the library calls them on this thread; nothing may escape them.
int UnzipPrint(const char*, unsigned long) { return 0; }

int UnzipReplace(const char* name) {
    try {
        if (!Questions) return 100;
        const std::wstring file = Utf8ToWide(std::string(name, strnlen(name, 256)));
        switch (Questions->Message(L"Overwrite " + file + L"?", L"VBUnZip32 - File Already Exists!",
                                   MB_YESNOCANCEL | MB_ICONWARNING)) {
        case IDNO: return 100;
        case IDCANCEL: return 104;
        default: return 102;
        }
    } catch (...) {
        return 100;
    }
}

int UnzipPassword(char* buffer, int size, const char*, const char*) {
    try {
        if (PasswordSkip || !Questions) return 1;
        const std::wstring answer = Questions->Input(L"Please Enter The Password!", AppTitle, L"");
        if (answer.empty()) {
            PasswordSkip = true;
            return 1;
        }
        std::memset(buffer, 0, static_cast<size_t>(size));
        const std::string bytes = WideToAnsi(answer);
        // A longer answer than the buffer takes is refused: it counts as wrong.
        if (bytes.size() + 1 <= static_cast<size_t>(size)) std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
        return 0;
    } catch (...) {
        return 1;
    }
}

void UnzipMessage(unsigned long long, unsigned long long, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned,
                  char, const char*, const char*, unsigned long, char) {}

// A listing that lacks an entry would look complete: a failure ends the run.
int UnzipEntry(const UzpEntry* entry) {
    try {
        if (!entry || entry->structlen < sizeof(UzpEntry) || !entry->name || !*entry->name) return 0;
        const char* stored = entry->storedName ? entry->storedName : "";
        if (ListSink) {
            ListSink(
                {entry->name, stored, entry->method, entry->flags, entry->folder != 0, entry->zip64 != 0, entry->size});
            return 0;
        }
        Listed.push_back({Utf8ToWide(entry->name), entry->folder != 0, stored, entry->method, entry->flags,
                          entry->zip64 != 0, entry->size});
        return 0;
    } catch (...) {
        return 1;
    }
}

int UnzipService(const char*, unsigned long long) { return 0; }

std::vector<std::string> Utf8Names(const std::array<std::wstring, MaxNames>& names, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count && i < MaxNames; ++i) out.push_back(WideToUtf8(names[static_cast<size_t>(i)]));
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& names) {
    std::vector<char*> out(MaxNames, nullptr);
    for (size_t i = 0; i < names.size(); ++i) out[i] = names[i].data();
    return out;
}

}  // namespace

bool Idle() { return !g_running; }

void RequireIdle() {
    if (g_running) throw AppError(BusyError, L"The extraction library is busy with another archive");
}

void UseCallersSettings(bool listOnly) {
    RequireIdle();
    Options = UnzipOptions{};
    Options.PromptToOverwrite = 0;
    Options.noflag = 1;
    Options.nzflag = 0;
    Options.nvflag = listOnly ? 1 : 0;
    Options.ndflag = 1;
    ExcludeNames[0].clear();
    ExcludeCount = 0;
}

int WriteEntry(const std::wstring& zipFile, const std::wstring& outFile, const std::string& name,
               const std::string& data) {
    RequireIdle();
    const Library& library = LoadLibraryOnce();
    CheckVersion(library);
    if (!library.write) throw AppError(453, L"unzip32.dll lacks an entry point");
    const std::string zip = WideToUtf8(zipFile), out = WideToUtf8(outFile);
    const UzpWriteEntry request{sizeof(UzpWriteEntry), zip.c_str(), out.c_str(),
                                name.c_str(),          data.data(), data.size()};
    RunningGuard running;
    return library.write(&request);
}

ListResult ListEntries(const std::wstring& zipFile, const std::wstring& only) {
    UseCallersSettings(true);
    IncludeNames[0] = only;
    IncludeCount = only.empty() ? 0 : 1;
    ZipFileName = zipFile;
    ExtractDir.clear();
    ListResult listed;
    listed.result = RunUnzip();
    listed.entries = std::move(Listed);
    Listed.clear();
    return listed;
}

int ExtractEntry(const std::wstring& zipFile, const std::wstring& storedName, const std::wstring& destination) {
    UseCallersSettings(false);
    IncludeNames[0] = storedName;
    IncludeCount = 1;
    ZipFileName = zipFile;
    ExtractDir = destination;
    return RunUnzip();
}

int RunUnzip() {
    RequireIdle();
    const Library& library = LoadLibraryOnce();
    CheckVersion(library);

    std::string zipFile = WideToUtf8(ZipFileName);
    std::string extractDir = WideToUtf8(ExtractDir);
    const UnzipOptions& o = Options;
    DCL options{o.ExtractOnlyNewer,
                o.SpaceToUnderscore,
                o.PromptToOverwrite,
                o.fQuiet,
                o.ncflag,
                o.ntflag,
                o.nvflag,
                o.nfflag,
                o.nzflag,
                o.ndflag,
                o.noflag,
                o.naflag,
                o.nZIflag,
                o.C_flag,
                o.fPrivilege,
                zipFile.c_str(),
                extractDir.c_str()};
    USERFUNCTIONS callbacks{};
    callbacks.print = UnzipPrint;
    callbacks.sound = nullptr;
    callbacks.replace = UnzipReplace;
    callbacks.password = UnzipPassword;
    callbacks.SendApplicationMessage = UnzipMessage;
    callbacks.ServCallBk = UnzipService;
    callbacks.EntryInfo = UnzipEntry;

    auto includes = Utf8Names(IncludeNames, IncludeCount);
    auto excludes = Utf8Names(ExcludeNames, ExcludeCount);
    auto includePointers = Pointers(includes);
    auto excludePointers = Pointers(excludes);
    Listed.clear();
    Listed.reserve(1024);
    RunningGuard running;
    return library.unzip(static_cast<int>(includes.size()), includePointers.data(), static_cast<int>(excludes.size()),
                         excludePointers.data(), &options, &callbacks);
}

}  // namespace VBUnzBas
