#pragma once
// VBUnzBas: drives unzip32.dll for the program. A caller sets the options, the
// lists and the two paths, then calls RunUnzip; the settings keep their values
// from one run to the next.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/prompts.h"

namespace VBUnzBas {

// One field per integer of the library's option record, in its order.
struct UnzipOptions {
    std::int16_t ExtractOnlyNewer = 0;
    std::int16_t SpaceToUnderscore = 0;
    std::int16_t PromptToOverwrite = 0;
    std::int16_t fQuiet = 0;
    std::int16_t ncflag = 0;
    std::int16_t ntflag = 0;
    std::int16_t nvflag = 0;
    std::int16_t nfflag = 0;
    std::int16_t nzflag = 0;
    std::int16_t ndflag = 0;
    std::int16_t noflag = 0;
    std::int16_t naflag = 0;
    std::int16_t nZIflag = 0;
    std::int16_t C_flag = 0;
    std::int16_t fPrivilege = 0;
};

inline constexpr int MaxNames = 100;

extern UnzipOptions Options;
extern std::wstring ZipFileName;
extern std::wstring ExtractDir;
extern std::array<std::wstring, MaxNames> IncludeNames;
extern int IncludeCount;
extern std::array<std::wstring, MaxNames> ExcludeNames;
extern int ExcludeCount;
// Once on, password requests are answered "none" without asking.
extern bool PasswordSkip;
// Who answers the library's questions during a run (overwrite this file? the
// password?). With none, no file is overwritten and no password is given.
extern Prompts* Questions;

// One entry reported by a list-only run: where extraction would write it, and
// what the archive stores for it.
struct ListedEntry {
    std::wstring name;  // relative, "\" separators, no trailing "\"
    bool folder = false;
    std::string storedName;  // UTF-8, as stored, its separators included
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    bool zip64 = false;      // the entry or the archive's directory needs zip64 records
    std::uint64_t size = 0;  // declared, uncompressed
};
// What the last list-only run reported, in the archive's order; entries that
// would be written nowhere (a name of only "..", say) are left out.
extern std::vector<ListedEntry> Listed;

// One listed entry as the library reports it, as UTF-8 views valid during the call.
struct EntryView {
    std::string_view name;  // where extraction would write it: "\" separators, no trailing "\"
    std::string_view storedName;
    std::uint16_t method;
    std::uint16_t flags;
    bool folder;
    bool zip64;
    std::uint64_t size;
};
// When set, a list-only run hands each entry here instead of adding it to
// Listed: a caller that keeps its own copy makes no second one.
extern std::function<void(const EntryView&)> ListSink;

// The settings both callers use: overwrite without asking, keep the stored
// folders, no comment, every other option off; extracting, or only listing.
void UseCallersSettings(bool listOnly);

// The error number of a run refused because another is in progress.
inline constexpr long BusyError = 10;

// True unless a run is in progress. The settings and lists belong to the run
// in progress, so a caller checks this before it writes them.
bool Idle();
// Throws AppError (BusyError) unless the module is idle.
void RequireIdle();

// What a list-only run found, returned to its caller alone.
struct ListResult {
    int result = 0;  // the library's result code
    std::vector<ListedEntry> entries;
};
// Lists the entries of an archive, or only the one of this stored name, with
// the callers' settings. Throws as RunUnzip does.
ListResult ListEntries(const std::wstring& zipFile, const std::wstring& only = {});
// Extracts the one entry of this stored name into a folder, with the callers'
// settings; returns the library's result code. Throws as RunUnzip does.
int ExtractEntry(const std::wstring& zipFile, const std::wstring& storedName, const std::wstring& destination);

// Runs the library once with the current settings and returns its result code.
// Throws AppError when a run is already in progress (a prompt of that run is
// open: nothing is touched then), when unzip32.dll cannot be loaded, lacks an
// entry point, or is not our library.
int RunUnzip();

// Writes outFile, which must not exist: a copy of zipFile whose root entry
// name holds data, every other entry kept byte for byte. The library flushes
// the file and reads it back; on failure it leaves no file. Returns the
// library's result code; throws AppError as RunUnzip does.
int WriteEntry(const std::wstring& zipFile, const std::wstring& outFile, const std::string& name,
               const std::string& data);

}  // namespace VBUnzBas
