#pragma once
// Fresh folders and real files for tests.
#include <windows.h>

#include <string>
#include <vector>

// A new, empty folder under the temporary folder, removed with its contents
// when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's full long path, without a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Writes bytes to a file, creating its folders.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
void MakeFolder(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Removes a folder tree, read-only entries included.
void RemoveTree(const std::wstring& path);
// Every entry below a folder, as relative paths, sorted.
std::vector<std::wstring> TreeOf(const std::wstring& folder);

// The folder of the running test program, and a generated fixture in it.
std::wstring ProgramFolder();
std::wstring Fixture(const std::wstring& name);

// Runs this test program again from a copy in folder (which lacks whatever the
// program's own folder holds beside it), with its InCopy tests only and one
// environment variable set. Returns the copy's exit code, or a code of its own
// (995, 996) when the copy's tests skipped or none ran.
DWORD RunInCopy(const TempFolder& folder, const std::wstring& variable, const std::wstring& value);
