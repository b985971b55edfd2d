#pragma once
// One Tarrow per user: a second one started hands its command line to the
// first, which carries it out, and ends.
#include <windows.h>

#include <string>

#include "core/handles.h"

// What a second Tarrow sends the first: WM_COPYDATA with this tag and the
// command line after the program's name, as UTF-16 without its end.
inline constexpr ULONG_PTR HandOffTag = 0x54524F57;
// The longest command line a first Tarrow takes.
inline constexpr DWORD LongestHandOff = 64 * 1024;

class SingleInstance {
public:
    SingleInstance();
    // False when another Tarrow of this user runs.
    bool First() const { return first_; }
    // Hands the arguments to the first Tarrow's main window, waiting a little
    // for it to open; false when none answers.
    static bool HandOff(const std::wstring& arguments, const wchar_t* mainClass);

private:
    MutexHandle mutex_;
    bool first_ = true;
};

// The command line that WM_COPYDATA brought, when it is a hand-off; else false.
bool ReadHandOff(LPARAM copyData, std::wstring& arguments);
