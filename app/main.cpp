// Tarrow's entry point: the real prompts, the main window, the message loop.
#include <windows.h>

#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/runtime_error.h"
#include "app/windows_prompts.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    WindowsPrompts prompts;
    SetPrompts(&prompts);
    try {
        frmMain main;
        main.Load(show);
        return RunMessageLoop();
    } catch (const std::exception& error) {
        ReportRuntimeError(error);
    }
}
