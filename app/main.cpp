// Tarrow's entry point: the real prompts, the main window, the message loop.
#include <windows.h>

#include "app/main_window.h"
#include "app/single_instance.h"
#include "ui/prompts.h"
#include "games/launch.h"
#include "app/windows_prompts.h"
#include "ui/message_loop.h"
#include "ui/runtime_error.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int show) {
    WindowsPrompts prompts;
    SetPrompts(&prompts);
    try {
        // Files are made full paths here, where the command line's folder is the current one.
        const ParsedLaunch parsed = ParseLaunch(SplitArguments(commandLine));
        if (!parsed.error.empty()) {
            MsgBox(parsed.error, MB_OK | MB_ICONWARNING);
            return 2;
        }
        const SingleInstance instance;
        if (!instance.First() && SingleInstance::HandOff(LaunchArguments(parsed.request), frmMain::ClassName()))
            return 0;
        frmMain main;
        main.Load(show);
        if (!parsed.request.empty()) main.Launch(parsed.request);
        return RunMessageLoop();
    } catch (...) {
        ReportCurrentException();
    }
}
