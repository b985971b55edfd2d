#include "app/single_instance.h"

namespace {

// The session's namespace: each user who is logged on has a Tarrow of their own.
constexpr wchar_t kMutexName[] = L"Local\\Tarrow-single-instance";

}  // namespace

SingleInstance::SingleInstance() : mutex_(CreateMutexW(nullptr, FALSE, kMutexName)) {
    first_ = !mutex_.valid() || GetLastError() != ERROR_ALREADY_EXISTS;
}

bool SingleInstance::HandOff(const std::wstring& arguments, const wchar_t* mainClass) {
    // The first may be starting: its window comes within a few seconds.
    HWND first = nullptr;
    for (int tries = 0; tries < 50 && !(first = FindWindowW(mainClass, nullptr)); ++tries) Sleep(100);
    if (!first) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(first, &process);
    // The first may then come to the front of what the player is doing.
    AllowSetForegroundWindow(process);
    COPYDATASTRUCT data{HandOffTag, static_cast<DWORD>(arguments.size() * sizeof(wchar_t)),
                        const_cast<wchar_t*>(arguments.data())};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 10000,
                               &answer) != 0 &&
           answer == TRUE;
}

bool ReadHandOff(LPARAM copyData, std::wstring& arguments) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(copyData);
    // Any program may send this message: only a well-formed hand-off is taken.
    if (!data || data->dwData != HandOffTag || data->cbData > LongestHandOff || data->cbData % sizeof(wchar_t) != 0 ||
        (data->cbData > 0 && !data->lpData)) {
        return false;
    }
    arguments.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    return true;
}
