#pragma once
// A Prompts that keeps what was asked and answers as scripted, installed for
// the life of the object.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/prompts.h"

struct AskedPrompt {
    enum Kind { Message, Input, Browse, Save, Open, ShowProgress } kind;
    std::wstring text;
    std::wstring title;
    UINT style = 0;
};

class PromptRecorder : public Prompts {
public:
    PromptRecorder() { SetPrompts(this); }
    ~PromptRecorder() override { SetPrompts(nullptr); }
    PromptRecorder(const PromptRecorder&) = delete;
    PromptRecorder& operator=(const PromptRecorder&) = delete;

    int Message(const std::wstring& text, const std::wstring& title, UINT style) override {
        asked.push_back({AskedPrompt::Message, text, title, style});
        if (onAsk) onAsk(asked.back());
        return Take(buttons, IDOK);
    }
    std::wstring Input(const std::wstring& prompt, const std::wstring& title, const std::wstring&) override {
        asked.push_back({AskedPrompt::Input, prompt, title, 0});
        if (onAsk) onAsk(asked.back());
        return Take(inputs, std::wstring());
    }
    std::optional<std::wstring> BrowseForFolder(HWND, const std::wstring& title, UINT flags) override {
        asked.push_back({AskedPrompt::Browse, L"", title, flags});
        return Take(folders, std::optional<std::wstring>());
    }
    std::optional<std::wstring> SaveFileName(HWND, const std::wstring& defaultName, const std::wstring&) override {
        asked.push_back({AskedPrompt::Save, defaultName, L"", 0});
        return Take(files, std::optional<std::wstring>());
    }
    std::vector<std::wstring> OpenFileNames(HWND, const std::wstring& filter) override {
        asked.push_back({AskedPrompt::Open, filter, L"", 0});
        return Take(opened, std::vector<std::wstring>());
    }
    std::optional<std::wstring> OpenFileName(HWND, const std::wstring& title, const std::wstring& folder,
                                             const std::wstring&) override {
        asked.push_back({AskedPrompt::Open, folder, title, 0});
        return Take(program, std::optional<std::wstring>());
    }
    std::unique_ptr<Progress> ShowProgress(const std::wstring& title, const std::wstring& text) override {
        asked.push_back({AskedPrompt::ShowProgress, text, title, 0});
        return std::make_unique<RecordedProgress>(*this);
    }

    std::vector<std::wstring> MessageTexts() const {
        std::vector<std::wstring> texts;
        for (const auto& a : asked) {
            if (a.kind == AskedPrompt::Message) texts.push_back(a.text);
        }
        return texts;
    }

    std::vector<AskedPrompt> asked;
    // Runs while a prompt is open, to look at the program at that moment.
    std::function<void(const AskedPrompt&)> onAsk;
    std::deque<int> buttons;
    std::deque<std::wstring> inputs;
    std::deque<std::optional<std::wstring>> folders;
    std::deque<std::optional<std::wstring>> files;
    std::deque<std::vector<std::wstring>> opened;
    std::deque<std::optional<std::wstring>> program;  // answers of the one-file Open dialog
    // The progress window's updates so far; the user cancels at the update numbered cancelAt.
    int progressUpdates = 0;
    int cancelAt = -1;

private:
    class RecordedProgress : public Progress {
    public:
        explicit RecordedProgress(PromptRecorder& owner) : owner_(owner) {}
        bool Update(std::uint64_t, std::uint64_t) override { return ++owner_.progressUpdates != owner_.cancelAt; }

    private:
        PromptRecorder& owner_;
    };

    template <typename T>
    static T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};
