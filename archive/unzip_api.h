#pragma once
// The records and entry points of unzip32.dll, shared by the library and the
// module that drives it. Strings cross as zero-terminated 8-bit text: paths and
// names in UTF-8, the password as the bytes the caller typed.
#include <cstdint>

extern "C" {

// The option record: fifteen integers, then the two paths.
struct DCL {
    int ExtractOnlyNewer;
    int SpaceToUnderscore;
    int PromptToOverwrite;
    int fQuiet;
    int ncflag;
    int ntflag;
    int nvflag;  // list only: report each entry, write nothing
    int nfflag;
    int nzflag;
    int ndflag;  // recreate the stored folder paths
    int noflag;  // overwrite existing files without asking
    int naflag;
    int nZIflag;
    int C_flag;
    int fPrivilege;
    const char* lpszZipFN;
    const char* lpszExtractDir;
};

// Callbacks. All run on the caller's thread, inside Wiz_SingleEntryUnzip.
typedef int (*DLLPRNT)(const char* text, unsigned long size);
typedef void (*DLLSND)(void);
// Returns 100 (keep the file), 102 (overwrite it) or 104 (overwrite none).
typedef int (*DLLREPLACE)(const char* name);
// Writes a password into buffer (size bytes at most, its zero included) and
// returns 0, or returns 1 when there is none. An empty answer counts as wrong.
typedef int (*DLLPASSWORD)(char* buffer, int size, const char* prompt, const char* name);
// One entry of a listing. The name is where extraction would write the entry,
// relative to the destination, with "\" separators; a folder's ends in "\".
typedef void (*DLLMESSAGE)(unsigned long long size, unsigned long long compressedSize, unsigned factor, unsigned month,
                           unsigned day, unsigned year, unsigned hour, unsigned minute, char flag, const char* name,
                           const char* method, unsigned long crc, char encrypted);
// Called before each entry; a non-zero answer stops the run.
typedef int (*DLLSERVICE)(const char* name, unsigned long long size);

// One entry of a list-only run as the archive stores it (since version 2).
struct UzpEntry {
    std::uint32_t structlen;  // sizeof(UzpEntry)
    const char* name;         // where extraction would write it, as DLLMESSAGE gives it; "" when nowhere
    const char* storedName;   // the stored path, decoded to UTF-8, its separators as stored
    std::uint16_t method;     // the compression method number
    std::uint16_t flags;      // the general-purpose bit flags
    std::uint8_t folder;      // 1 for a folder entry
    std::uint8_t zip64;       // 1 when the entry or the archive's directory needs zip64 records
    std::uint64_t size;       // the declared uncompressed size (since version 4)
};
// Receives every entry of a list-only run, the unsafe ones included. Returns 0
// when it took the entry; anything else ends the run with UnzEntryRefused, so
// that a listing is never short without a word (since version 4).
typedef int (*DLLENTRY)(const UzpEntry* entry);

struct USERFUNCTIONS {
    DLLPRNT print;
    DLLSND sound;
    DLLREPLACE replace;
    DLLPASSWORD password;
    DLLMESSAGE SendApplicationMessage;
    DLLSERVICE ServCallBk;
    unsigned long long TotalSizeComp;
    unsigned long long TotalSize;
    unsigned CompFactor;
    unsigned long long NumMembers;
    unsigned short cchComment;
    DLLENTRY EntryInfo;  // since version 2; may be null
};

// The version record. The caller sets structlen to its size; the library fills
// the rest, and names itself in library so that a foreign DLL is recognised.
struct UzpVer2 {
    std::uint32_t structlen;
    char betalevel[10];
    char date[20];
    char zlib_ver[10];
    char library[16];
    std::uint32_t api;
};
static_assert(sizeof(UzpVer2) == 64);

// Writes a copy of an archive with one root entry put in anew (since version 3).
struct UzpWriteEntry {
    std::uint32_t structlen;  // sizeof(UzpWriteEntry)
    const char* zipFile;      // the archive to copy, UTF-8
    const char* outFile;      // the new archive, UTF-8; it must not exist yet
    const char* entryName;    // the entry at the root to replace or add
    const char* data;         // its new content
    std::uint64_t size;
};

typedef int (*WizSingleEntryUnzipFn)(int includeCount, char** includes, int excludeCount, char** excludes, DCL* options,
                                     USERFUNCTIONS* callbacks);
typedef void (*UzpVersion2Fn)(UzpVer2* version);
// Writes, flushes and reads back the new archive; on any failure it leaves no file.
typedef int (*TarrowWriteEntryFn)(const UzpWriteEntry* request);
}

inline constexpr char UnzipLibraryName[] = "TarrowUnzip";
inline constexpr std::uint32_t UnzipApiVersion = 4;

// Result codes of Wiz_SingleEntryUnzip.
enum UnzipResult : int {
    UnzOk = 0,
    UnzWarning = 1,  // some entries were skipped or failed their checks
    UnzDamaged = 2,  // the archive's structure is broken
    UnzBomb = 3,     // entries overlap: nothing was extracted
    UnzNotZip = 9,   // missing, or not a zip archive
    UnzBadArguments = 10,
    UnzNoMatch = 11,       // no entry matched the include list
    UnzNoSpace = 50,       // the selected entries would not fit on the volume
    UnzStopped = 80,       // the service callback stopped the run
    UnzEntryRefused = 81,  // listing: the entry callback could not take an entry
    UnzBadPassword = 82,   // an encrypted entry was skipped for want of its password
    UnzEncrypted = 83,     // writing: the archive holds encrypted entries
    UnzZip64 = 84,         // writing: a zip64 archive
    UnzLayout = 85,        // writing: data that a copy would not keep, such as bytes before the first entry
    UnzWriteFailed = 86,   // writing: the new file could not be written
    UnzVerifyFailed = 87,  // writing: the new file did not read back
};
