#pragma once
// Failures that travel to the caller carry a number and a description, as the
// platform's run-time errors do.
#include <windows.h>

#include <exception>
#include <string>

class AppError : public std::exception {
public:
    AppError(long number, std::wstring description);
    long Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    long number_;
    std::wstring description_;
    std::string utf8_;
};

// The system's own wording for a Win32 error code, without the trailing line break.
std::wstring SystemMessage(DWORD code);
// An AppError for a failed Win32 call: "context: system message".
AppError Win32Error(DWORD code, const std::wstring& context);
