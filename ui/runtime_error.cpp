#include "ui/runtime_error.h"

#include "core/errors.h"
#include "ui/prompts.h"
#include "core/text.h"

void ReportRuntimeError(const std::exception& error) noexcept {
    try {
        std::wstring text;
        if (const auto* app = dynamic_cast<const AppError*>(&error)) {
            text = L"Run-time error '" + ToDecimal(app->Number()) + L"':\n\n" + app->Description();
        } else {
            text = L"Run-time error:\n\n" + Utf8ToWide(error.what());
        }
        MsgBox(text, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(nullptr, L"Run-time error", AppTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
    ExitProcess(1);
}

void ReportCurrentException() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        ReportRuntimeError(error);
    } catch (...) {
        try {
            MsgBox(L"Run-time error:\n\nAn unexpected error occurred.", MB_OK | MB_ICONERROR);
        } catch (...) {
            MessageBoxW(nullptr, L"Run-time error", AppTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
        }
        ExitProcess(1);
    }
}
