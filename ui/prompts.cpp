#include "ui/prompts.h"

#include "core/errors.h"

namespace {

Prompts* g_prompts = nullptr;

class Forwarder : public Prompts {
public:
    int Message(const std::wstring& text, const std::wstring& title, UINT style) override {
        return CurrentPrompts().Message(text, title, style);
    }
    std::wstring Input(const std::wstring& prompt, const std::wstring& title,
                       const std::wstring& defaultText) override {
        return CurrentPrompts().Input(prompt, title, defaultText);
    }
    std::optional<std::wstring> BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override {
        return CurrentPrompts().BrowseForFolder(owner, title, flags);
    }
    std::optional<std::wstring> SaveFileName(HWND owner, const std::wstring& defaultName,
                                             const std::wstring& filter) override {
        return CurrentPrompts().SaveFileName(owner, defaultName, filter);
    }
    std::vector<std::wstring> OpenFileNames(HWND owner, const std::wstring& filter) override {
        return CurrentPrompts().OpenFileNames(owner, filter);
    }
    std::optional<std::wstring> OpenFileName(HWND owner, const std::wstring& title, const std::wstring& folder,
                                             const std::wstring& filter) override {
        return CurrentPrompts().OpenFileName(owner, title, folder, filter);
    }
    std::unique_ptr<Progress> ShowProgress(const std::wstring& title, const std::wstring& text) override {
        return CurrentPrompts().ShowProgress(title, text);
    }
};

}  // namespace

Prompts& CurrentPrompts() {
    if (!g_prompts) throw AppError(91, L"No prompts are installed");
    return *g_prompts;
}

void SetPrompts(Prompts* prompts) { g_prompts = prompts; }

Prompts& InstalledPrompts() {
    static Forwarder forwarder;
    return forwarder;
}
