#pragma once
// The real prompts: the platform's message box, our input box and the shell's
// folder browser. Each is modal to the whole program.
#include "core/prompts.h"

class WindowsPrompts : public Prompts {
public:
    int Message(const std::wstring& text, const std::wstring& title, UINT style) override;
    std::wstring Input(const std::wstring& prompt, const std::wstring& title, const std::wstring& defaultText) override;
    std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override;
    std::optional<std::wstring> SaveFileName(HWND owner, const std::wstring& defaultName,
                                             const std::wstring& filter) override;
    std::vector<std::wstring> OpenFileNames(HWND owner, const std::wstring& filter) override;
    std::optional<std::wstring> OpenFileName(HWND owner, const std::wstring& title, const std::wstring& folder,
                                             const std::wstring& filter) override;
    std::unique_ptr<Progress> ShowProgress(const std::wstring& title, const std::wstring& text) override;
};
