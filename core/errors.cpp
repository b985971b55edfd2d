#include "core/errors.h"

#include "core/text.h"

AppError::AppError(long number, std::wstring description)
    : number_(number), description_(std::move(description)), utf8_(WideToUtf8(description_)) {}

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : L"System error " + ToDecimal(code) + L".";
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

AppError Win32Error(DWORD code, const std::wstring& context) {
    return AppError(static_cast<long>(code), context + L": " + SystemMessage(code));
}
