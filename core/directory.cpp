#include "core/directory.h"

namespace {

bool IsDotEntry(const wchar_t* name) { return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)); }

}  // namespace

DirectoryWalk::DirectoryWalk(const std::wstring& folderPattern, bool withDots)
    : withDots_(withDots),
      find_(FindFirstFileExW(folderPattern.c_str(), FindExInfoBasic, &first_, FindExSearchNameMatch, nullptr,
                             FIND_FIRST_EX_LARGE_FETCH)) {
    pending_ = find_.valid();
    if (pending_) return;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_NO_MORE_FILES) error_ = error;
}

bool DirectoryWalk::Next(WIN32_FIND_DATAW& entry) {
    while (find_.valid()) {
        if (pending_) {
            pending_ = false;
            entry = first_;
        } else if (!FindNextFileW(find_.get(), &entry)) {
            find_.Reset();
            return false;
        }
        if (withDots_ || !IsDotEntry(entry.cFileName)) return true;
    }
    return false;
}
