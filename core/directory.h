#pragma once
// A listing of one folder that owns its enumeration, as 7-Zip's CEnumerator
// does: each walk has its own find handle, and gives every entry once,
// without "." and "..". The one program-wide listing (FileSystem::Dir) is for
// the code that shares it.
#include <windows.h>

#include <string>

#include "core/handles.h"

class DirectoryWalk {
public:
    // folderPattern: a folder and a name pattern ("C:\game\main\*.pk3").
    // withDots: "." and ".." too, as the one program-wide listing gives them.
    explicit DirectoryWalk(const std::wstring& folderPattern, bool withDots = false);
    DirectoryWalk(const DirectoryWalk&) = delete;
    DirectoryWalk& operator=(const DirectoryWalk&) = delete;

    // The next entry; false once the listing is done.
    bool Next(WIN32_FIND_DATAW& entry);
    // Why the listing could not begin; 0 when it began, or when the folder or
    // pattern matched nothing.
    DWORD error() const { return error_; }

private:
    bool withDots_ = false;
    // Declared before the handle: the handle's opening fills it.
    WIN32_FIND_DATAW first_{};
    FindHandle find_;
    bool pending_ = false;
    DWORD error_ = 0;
};

// An entry that a walk gave is a folder.
inline bool IsFolder(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
