#include "core/scratch_folder.h"

#include <windows.h>

#include "core/errors.h"
#include "core/directory.h"

namespace {

// Removes a folder tree of our own, read-only entries included.
void RemoveOwnTree(const std::wstring& folder) {
    DirectoryWalk walk(folder + L"\\*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring child = folder + L"\\" + entry.cFileName;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (IsFolder(entry)) {
            RemoveOwnTree(child);
        } else {
            DeleteFileW(child.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    static unsigned counter = 0;
    // Unique for every use: Wine caches INI files by path and time, so a
    // reused path could show one mod's information for another.
    for (;;) {
        path_ = std::wstring(temp) + L"Tarrow-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) return;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) throw Win32Error(error, L"Could not create " + path_);
    }
}

ScratchFolder::~ScratchFolder() { RemoveOwnTree(path_); }
