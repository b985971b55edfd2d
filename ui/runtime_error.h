#pragma once
// An error that reaches a window procedure ends the program with a run-time
// error report, as the platform does with an unhandled error.
#include <exception>

[[noreturn]] void ReportRuntimeError(const std::exception& error) noexcept;
// Reports the exception being handled, whatever its type: called from a
// catch (...) at each boundary where Windows' own code would be unwound.
[[noreturn]] void ReportCurrentException() noexcept;
