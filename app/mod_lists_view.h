#pragma once
// The Manager's two list boxes, showing a model of the mods: enabled mods
// (.pk3) in one, disabled mods (.dis) in the other.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "mods/mod_library.h"

class ModListsView {
public:
    void Attach(HWND enabled, HWND disabled) {
        enabled_ = enabled;
        disabled_ = disabled;
    }
    // Empties both lists and shows the model's mods.
    void Show(const ModListModel& model);
    void Clear();
    // Selects the mod in a list where it is listed.
    static void Select(HWND list, const std::wstring& name);
    // Selects the mod of an archive file where it is listed; the list, and
    // its mod name there, or null when it is listed nowhere.
    HWND SelectFile(const std::wstring& file, std::wstring& name) const;

    bool IsModList(HWND list) const { return list && (list == enabled_ || list == disabled_); }
    // The extension that goes with a list's items.
    const wchar_t* ExtensionOf(HWND list) const { return list == enabled_ ? EnabledExtension : DisabledExtension; }
    // The list that shows the archive file, and its mod name there; null for another extension.
    HWND ListOf(const std::wstring& file, std::wstring& name) const;

private:
    HWND enabled_ = nullptr, disabled_ = nullptr;
};

// The files dropped from Explorer, whole paths; the drop is finished.
std::vector<std::wstring> DroppedFiles(HDROP drop);

// The text of a list box's current item; empty when none is selected.
std::wstring CurrentItemText(HWND list);
