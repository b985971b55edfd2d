#pragma once
// The program's file-system layer: the one program-wide directory listing,
// the test for a file, and folder removal.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace FileSystem {

// Attribute bits, as the listing masks use them.
enum Attr : unsigned {
    AttrReadOnly = 1,
    AttrHidden = 2,
    AttrSystem = 4,
    AttrDirectory = 16,
    AttrArchive = 32,
};

// Starts a new listing (ending the one in progress) and returns its first name,
// or the empty text when nothing matches. Entries that are hidden, system or
// folders are returned only when the mask has that bit; read-only and archive
// entries always are. A missing folder lists nothing; any other failure throws
// AppError with the system's reason.
std::wstring Dir(const std::wstring& pattern, unsigned mask);
// The next name of the listing in progress; the empty text once it is exhausted.
std::wstring Dir();
// Every name that Dir would give for the pattern, in one call that leaves the
// listing in progress alone.
std::vector<std::wstring> List(const std::wstring& pattern, unsigned mask);

// True exactly when path names an existing file (not a folder).
bool FileExists(const std::wstring& path);
// The name under which the file system stores the entry at path (its long
// name, in its stored letter case); empty when there is none. A wildcard names
// no entry.
std::wstring StoredName(const std::wstring& path);
// True exactly when path names an existing folder.
bool FolderExists(const std::wstring& path);
// A file's bytes, whole up to limit; one byte more tells the caller that the
// file is larger. Empty, with error set, when the file cannot be opened.
std::string ReadWholeFile(const std::wstring& path, std::size_t limit, unsigned long* error = nullptr);
// What is left to read of an open file, up to limit and one byte more.
std::string ReadToEnd(HANDLE file, std::size_t limit);
// True when there is a file or a folder at path.
bool Exists(const std::wstring& path);
// The size that a find, or a look at a file's attributes, reported.
unsigned long long SizeOf(const WIN32_FIND_DATAW& data);
unsigned long long SizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data);
// Deletes a folder with its contents. Read-only entries are kept and make the
// call fail, as does a missing folder; failures throw AppError.
void DeleteFolder(const std::wstring& path);

// Writes bytes to a file the player chose (outside main), flushed; throws
// AppError "Tarrow could not save <path>" with the system's reason.
void WriteWholeFile(const std::wstring& path, const std::string& bytes);

// The running program's file, and its folder without a trailing backslash.
std::wstring ProgramPath();
std::wstring ProgramFolder();

// Case-insensitive match of a name against a pattern with * and ?.
bool MatchesPattern(const std::wstring& name, const std::wstring& pattern);

}  // namespace FileSystem
