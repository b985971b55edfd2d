#pragma once
// Everything that asks a person goes through this interface: the message box,
// the input box, the file and folder dialogs. An operation below the windows
// is handed one by its caller; the windows hand on the real one, tests a
// recorder that answers as scripted.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The program's title, used by its messages unless a message says otherwise.
inline constexpr wchar_t AppTitle[] = L"Tarrow";

// A modal progress window with a Cancel button, open while the object lives.
class Progress {
public:
    virtual ~Progress() = default;
    // Shows how far the work has come and lets the program handle its
    // messages; false once the user has cancelled.
    virtual bool Update(std::uint64_t done, std::uint64_t total) = 0;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message box; returns the button pressed (IDOK, IDYES, ...).
    virtual int Message(const std::wstring& text, const std::wstring& title, UINT style) = 0;
    // An input box; Cancel answers the empty text.
    virtual std::wstring Input(const std::wstring& prompt, const std::wstring& title,
                               const std::wstring& defaultText) = 0;
    // The shell's folder browser; nothing when the user cancels.
    virtual std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) = 0;
    // The standard Save dialog, with a default file name and a filter of
    // "description\0pattern\0" pairs; nothing when the user cancels.
    virtual std::optional<std::wstring> SaveFileName(HWND owner, const std::wstring& defaultName,
                                                     const std::wstring& filter) = 0;
    // The standard Open dialog, several files allowed; none when the user cancels.
    virtual std::vector<std::wstring> OpenFileNames(HWND owner, const std::wstring& filter) = 0;
    // The standard Open dialog for one file, with a title, starting in a folder.
    virtual std::optional<std::wstring> OpenFileName(HWND owner, const std::wstring& title, const std::wstring& folder,
                                                     const std::wstring& filter) = 0;
    virtual std::unique_ptr<Progress> ShowProgress(const std::wstring& title, const std::wstring& text) = 0;

    // A message under the program's title.
    int Tell(const std::wstring& text, UINT style = MB_OK) { return Message(text, AppTitle, style); }
    void Warn(const std::wstring& text) { Message(text, AppTitle, MB_OK | MB_ICONWARNING); }
    bool AskYesNo(const std::wstring& text) { return Message(text, AppTitle, MB_YESNO | MB_ICONQUESTION) == IDYES; }
};
