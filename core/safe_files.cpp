#include "core/safe_files.h"

#include <windows.h>
#include <shellapi.h>

#include "core/errors.h"
#include "core/file_system.h"
#include "core/handles.h"

namespace {

using FileSystem::Exists;

// The number of names the file has, or 0 when it cannot be read.
DWORD LinkCount(const std::wstring& path) {
    const FileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    if (!file.valid()) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file.get(), &info) ? info.nNumberOfLinks : 0;
}

// The shell's delete with undo: to the Recycle Bin, without questions or its own error boxes.
int ShellRecycle(const std::wstring& path) {
    std::wstring from = path;
    from.push_back(L'\0');  // the list ends with a second NUL
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    const int result = SHFileOperationW(&operation);
    return result == 0 && operation.fAnyOperationsAborted ? ERROR_CANCELLED : result;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring TemporaryNameIn(const std::wstring& folder) {
    static unsigned counter = 0;
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    for (;;) {
        std::wstring path =
            base + L"~tarrow-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
        if (!Exists(path)) return path;
    }
}

RecycleOutcome SendToRecycleBin(const std::wstring& path) {
    const std::wstring keep = TemporaryNameIn(FolderOf(path));
    if (!CreateHardLinkW(keep.c_str(), path.c_str(), nullptr)) {
        return {false,
                L"Tarrow could not keep a second name of the file while the Recycle Bin takes it: " +
                    SystemMessage(GetLastError()),
                path};
    }
    const DWORD before = LinkCount(keep);
    const int shell = ShellRecycle(path);
    if (Exists(path)) {
        DeleteFileW(keep.c_str());
        return {false, L"The Recycle Bin did not take it (error " + std::to_wstring(shell) + L").", path};
    }
    // In the bin the file keeps its other name; deleted for good, only ours is left.
    if (before >= 2 && LinkCount(keep) >= before) {
        DeleteFileW(keep.c_str());
        return {true};
    }
    if (MoveFileExW(keep.c_str(), path.c_str(), 0)) {
        return {false, L"The Recycle Bin did not take it.", path};
    }
    return {false, L"The Recycle Bin did not take it.", keep};
}
