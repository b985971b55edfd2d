// A stand-in for somebody else's unzip32.dll: same entry points, another
// version record. Being called at all would leave a marker file.
#include <windows.h>

extern "C" __declspec(dllexport) int Wiz_SingleEntryUnzip(int, char**, int, char**, void*, void*) {
    CloseHandle(CreateFileW(L"foreign-called.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return 0;
}

extern "C" __declspec(dllexport) void UzpVersion2(void*) {}
