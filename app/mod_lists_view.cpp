#include "app/mod_lists_view.h"

std::wstring CurrentItemText(HWND list) {
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

void ModListsView::Clear() {
    SendMessageW(enabled_, LB_RESETCONTENT, 0, 0);
    SendMessageW(disabled_, LB_RESETCONTENT, 0, 0);
}

void ModListsView::Show(const ModListModel& model) {
    Clear();
    for (const auto& name : model.lists.enabled) {
        SendMessageW(enabled_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    for (const auto& name : model.lists.disabled) {
        SendMessageW(disabled_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

void ModListsView::Select(HWND list, const std::wstring& name) {
    if (name.empty()) return;
    const LRESULT index =
        SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index != LB_ERR) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

HWND ModListsView::ListOf(const std::wstring& file, std::wstring& name) const {
    for (HWND list : {enabled_, disabled_}) {
        const std::wstring extension = ExtensionOf(list);
        if (file.size() > extension.size() &&
            file.compare(file.size() - extension.size(), extension.size(), extension) == 0) {
            name = ModNameOf(file, extension);
            return list;
        }
    }
    return nullptr;
}

HWND ModListsView::SelectFile(const std::wstring& file, std::wstring& name) const {
    HWND list = ListOf(file, name);
    // An archive of another extension is listed in full among the enabled mods.
    if (!list) list = enabled_, name = ModNameOf(file, EnabledExtension);
    const LRESULT index =
        SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == LB_ERR) return nullptr;
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return list;
}

std::vector<std::wstring> DroppedFiles(HDROP drop) {
    std::vector<std::wstring> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring file(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        file.resize(DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
        files.push_back(file);
    }
    DragFinish(drop);
    return files;
}
