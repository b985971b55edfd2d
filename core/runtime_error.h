#pragma once
// An error that reaches a window procedure ends the program with a run-time
// error report, as the platform does with an unhandled error.
#include <exception>

[[noreturn]] void ReportRuntimeError(const std::exception& error) noexcept;
