// Tarrow's entry point: installs the real prompts and runs the main window.
#include <windows.h>

#include "app/windows_prompts.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    WindowsPrompts prompts;
    SetPrompts(&prompts);
    return 0;
}
