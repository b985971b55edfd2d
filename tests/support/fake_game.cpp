// Stands in for the game when Play is tested: it notes its working folder
// and its command line beside itself and runs until the test sets its event.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t self[MAX_PATH] = {}, folder[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring note = self;
    note.replace(note.find_last_of(L'\\'), std::wstring::npos, L"\\working-folder.txt");
    const HANDLE file = CreateFileW(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, folder, static_cast<DWORD>(wcslen(folder) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    // And its command line, for the words that Play gave it.
    std::wstring line = self;
    line.replace(line.find_last_of(L'\\'), std::wstring::npos, L"\\command-line.txt");
    const HANDLE words = CreateFileW(line.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const wchar_t* command = GetCommandLineW();
    WriteFile(words, command, static_cast<DWORD>(wcslen(command) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(words);
    const HANDLE end = CreateEventW(nullptr, TRUE, FALSE, L"Local\\TarrowTestGameEnd");
    WaitForSingleObject(end, 60000);
    CloseHandle(end);
    return 0;
}
