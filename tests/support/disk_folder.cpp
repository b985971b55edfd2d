#include "tests/support/disk_folder.h"

#include "core/handles.h"

void AddFromDisk(ModFolder& folder, const std::wstring& root, const std::wstring& below) {
    WIN32_FIND_DATAW data{};
    const FindHandle find(FindFirstFileW((root + L"\\" + below + L"*").c_str(), &data));
    if (!find.valid()) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        folder.Add(below + name, isFolder);
        if (isFolder) AddFromDisk(folder, root, below + name + L"\\");
    } while (FindNextFileW(find.get(), &data));
}
