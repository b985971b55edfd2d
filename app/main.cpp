// Tarrow's entry point: the real prompts, the main window, the message loop.
#include <windows.h>

#include "app/main_window.h"
#include "app/windows_prompts.h"
#include "core/message_loop.h"
#include "core/runtime_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    WindowsPrompts prompts;
    SetPrompts(&prompts);
    try {
        frmMain main;
        main.Load(show);
        return RunMessageLoop();
    } catch (...) {
        ReportCurrentException();
    }
}
