#pragma once
// The prompts the windows use: the ones the program installs at start (the
// real dialogs), or a test's recorder.
#include "core/prompts.h"

// The prompts in force. Installing nullptr leaves none, and asking then throws.
Prompts& CurrentPrompts();
void SetPrompts(Prompts* prompts);

// Prompts that ask whichever prompts are in force when they ask: what a window
// hands to the operations it runs.
Prompts& InstalledPrompts();

inline int MsgBox(const std::wstring& text, UINT style = MB_OK, const std::wstring& title = AppTitle) {
    return CurrentPrompts().Message(text, title, style);
}
