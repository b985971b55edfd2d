#include "tests/support/disk_folder.h"

#include <windows.h>

void AddFromDisk(ModFolder& folder, const std::wstring& root, const std::wstring& below) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((root + L"\\" + below + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        folder.Add(below + name, isFolder);
        if (isFolder) AddFromDisk(folder, root, below + name + L"\\");
    } while (FindNextFileW(find, &data));
    FindClose(find);
}
