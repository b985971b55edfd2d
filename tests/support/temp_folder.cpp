#include "tests/support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    wchar_t longBase[MAX_PATH] = {};
    GetLongPathNameW(base, longBase, MAX_PATH);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(longBase) + L"tarrow-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temp folder");
    }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void MakeFolder(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    MakeFolder(path.substr(0, path.find_last_of(L'\\')));
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write a test file");
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
}

namespace {
void Collect(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        out.push_back(prefix + name);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Collect(folder + L"\\" + name, prefix + name + L"\\", out);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}
}  // namespace

std::vector<std::wstring> TreeOf(const std::wstring& folder) {
    std::vector<std::wstring> out;
    Collect(folder, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\'));
}

std::wstring Fixture(const std::wstring& name) { return ProgramFolder() + L"\\fixtures\\" + name; }

DWORD RunInCopy(const TempFolder& folder, const std::wstring& variable, const std::wstring& value) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring name = self;
    name = name.substr(name.find_last_of(L'\\') + 1);
    const std::wstring copy = folder / name;
    if (!CopyFileW(self, copy.c_str(), FALSE)) return 997;
    SetEnvironmentVariableW(variable.c_str(), value.c_str());
    const std::wstring report = folder / L"in-copy.xml";
    std::wstring command = L"\"" + copy + L"\" --gtest_filter=InCopy.* --gtest_output=xml:\"" + report + L"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.path().c_str(), &si, &pi);
    SetEnvironmentVariableW(variable.c_str(), nullptr);
    if (!started) return 999;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code != 0) return code;
    // Exit code 0 also comes from a copy whose test skipped, or that ran none.
    const std::string xml = ReadFileBytes(report);
    if (xml.find("<testcase ") == std::string::npos) return 996;
    if (xml.find("result=\"skipped\"") != std::string::npos) return 995;
    return 0;
}
