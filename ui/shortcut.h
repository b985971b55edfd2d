#pragma once
// Shell shortcuts (.lnk) on the desktop: what a mod set's desktop shortcut is.
#include <windows.h>

#include <string>

struct Shortcut {
    std::wstring target;     // the program
    std::wstring arguments;  // its command line after the program
    std::wstring folder;     // its working folder
    std::wstring description;
};

// Writes the shortcut at path, which names no file yet; the COM result.
HRESULT WriteShortcut(const std::wstring& path, const Shortcut& shortcut);
// Reads one back; the COM result.
HRESULT ReadShortcut(const std::wstring& path, Shortcut& shortcut);
// The user's desktop folder; empty when Windows names none.
std::wstring DesktopFolder();
// A shortcut's path in folder named for the text: characters a file name
// cannot hold become "_", and " (2)", " (3)"... keep it from any file there.
std::wstring FreeShortcutPath(const std::wstring& folder, const std::wstring& text);
