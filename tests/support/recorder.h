#pragma once
// A Prompts that keeps what was asked and answers as scripted, installed for
// the life of the object.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/prompts.h"

struct AskedPrompt {
    enum Kind { Message, Input, Browse, Save } kind;
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

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};
