#include "app/windows_prompts.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "ui/layout.h"
#include "ui/message_loop.h"
#include "ui/runtime_error.h"
#include "ui/window_base.h"

namespace {

// Disables every window of the program while a prompt is open, so that no
// handler can run again in the middle of another, and gives the activation and
// the keyboard focus back afterwards, as any modal box on Windows does.
class ProgramModal {
public:
    ProgramModal() : active_(GetActiveWindow()), focus_(GetFocus()) {
        EnumThreadWindows(GetCurrentThreadId(), &ProgramModal::Collect, reinterpret_cast<LPARAM>(this));
    }
    ~ProgramModal() {
        for (HWND window : disabled_) {
            if (IsWindow(window)) EnableWindow(window, TRUE);
        }
        if (active_ && IsWindow(active_)) SetActiveWindow(active_);
        if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_)) SetFocus(focus_);
    }
    ProgramModal(const ProgramModal&) = delete;
    ProgramModal& operator=(const ProgramModal&) = delete;

    HWND owner() const { return active_; }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        try {
            if (IsWindowVisible(window) && IsWindowEnabled(window)) {
                EnableWindow(window, FALSE);
                reinterpret_cast<ProgramModal*>(self)->disabled_.push_back(window);
            }
            return TRUE;
        } catch (...) {
            ReportCurrentException();
        }
    }

    ModalLoop loop_;
    HWND active_;
    HWND focus_;
    std::vector<HWND> disabled_;
};

// An in-memory dialog template, so that the input box needs no resource.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const std::wstring& title) {
        Align();
        Put<DWORD>(style | DS_SETFONT);
        Put<DWORD>(0);
        countAt_ = data_.size();
        Put<WORD>(0);
        Put<short>(0);
        Put<short>(0);
        Put<short>(cx);
        Put<short>(cy);
        Put<WORD>(0);
        Put<WORD>(0);
        PutText(title);
        Put<WORD>(8);
        PutText(L"MS Shell Dlg");
    }

    void Add(WORD classAtom, WORD id, DWORD style, short x, short y, short cx, short cy, const std::wstring& text) {
        Align();
        Put<DWORD>(style | WS_CHILD | WS_VISIBLE);
        Put<DWORD>(0);
        Put<short>(x);
        Put<short>(y);
        Put<short>(cx);
        Put<short>(cy);
        Put<WORD>(id);
        Put<WORD>(0xFFFF);
        Put<WORD>(classAtom);
        PutText(text);
        Put<WORD>(0);
        ++*reinterpret_cast<WORD*>(data_.data() + countAt_);
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

private:
    template <typename T>
    void Put(T value) {
        const auto* bytes = reinterpret_cast<const BYTE*>(&value);
        data_.insert(data_.end(), bytes, bytes + sizeof value);
    }
    void PutText(const std::wstring& text) {
        for (wchar_t c : text) Put<wchar_t>(c);
        Put<wchar_t>(L'\0');
    }
    void Align() {
        while (data_.size() % 4) data_.push_back(0);
    }

    std::vector<BYTE> data_;
    size_t countAt_ = 0;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
constexpr WORD kPromptId = 100, kEditId = 101;

struct InputState {
    const std::wstring* prompt;
    const std::wstring* defaultText;
    std::wstring answer;
};

INT_PTR HandleInputMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<InputState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, kPromptId, state->prompt->c_str());
        SetDlgItemTextW(dialog, kEditId, state->defaultText->c_str());
        SetForegroundWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            state->answer = WindowText(GetDlgItem(dialog, kEditId));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            state->answer.clear();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default: break;
    }
    return FALSE;
}

INT_PTR CALLBACK InputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleInputMessage(dialog, message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
}

// Owns the item list that the folder browser returns.
class ItemList {
public:
    explicit ItemList(PIDLIST_ABSOLUTE list) : list_(list) {}
    ~ItemList() { CoTaskMemFree(list_); }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    PIDLIST_ABSOLUTE get() const { return list_; }

private:
    PIDLIST_ABSOLUTE list_;
};

// The progress window: a caption, a line of text, a bar and Cancel, modal to
// the whole program. Update lets the program handle its messages, so that its
// windows paint and Cancel can be pressed.
class ProgressWindow : public Progress {
public:
    ProgressWindow(const std::wstring& title, const std::wstring& text) {
        static const ATOM registered = Register();
        (void)registered;
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        const UINT dpi = DpiOf(nullptr);
        const SIZE size = OuterSize(360, 96, style, WS_EX_DLGMODALFRAME, false, dpi);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
        window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClass, title.c_str(), style, x, y,
                                  size.cx, size.cy, modal_.owner(), nullptr, GetModuleHandleW(nullptr), this);
        if (!window_) return;
        layout_.Add(window_, {100, L"STATIC", text.c_str(), 12, 10, 336, 17,
                              WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS});
        bar_ = layout_.Add(window_, {101, PROGRESS_CLASSW, nullptr, 12, 34, 336, 17, WS_VISIBLE});
        SendMessageW(bar_, PBM_SETRANGE32, 0, 1000);
        HWND cancel = layout_.Add(
            window_, {IDCANCEL, L"BUTTON", L"Cancel", 268, 62, 80, 23, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON});
        ShowWindow(window_, SW_SHOWNORMAL);
        SetFocus(cancel);
    }
    ~ProgressWindow() override {
        if (window_) DestroyWindow(window_);
    }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    bool Update(std::uint64_t done, std::uint64_t total) override {
        if (bar_ && total) SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(done * 1000 / total), 0);
        MSG msg;
        while (!cancelled_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                cancelled_ = true;
                break;
            }
            if (window_ && IsDialogMessageW(window_, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return !cancelled_;
    }

private:
    static constexpr wchar_t kClass[] = L"TarrowProgress";
    static ATOM Register() {
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = &ProgressWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        return RegisterClassExW(&wc);
    }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        try {
            return Handle(window, message, wParam, lParam);
        } catch (...) {
            ReportCurrentException();
        }
    }
    static LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const bool cancel = message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL);
        if (self && cancel) {
            self->cancelled_ = true;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    ProgramModal modal_;
    Layout layout_;
    HWND window_ = nullptr;
    HWND bar_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace

int WindowsPrompts::Message(const std::wstring& text, const std::wstring& title, UINT style) {
    ProgramModal modal;
    return MessageBoxW(modal.owner(), text.c_str(), title.c_str(), style | MB_SETFOREGROUND);
}

std::wstring WindowsPrompts::Input(const std::wstring& prompt, const std::wstring& title,
                                   const std::wstring& defaultText) {
    ProgramModal modal;
    DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 240, 80, title);
    layout.Add(kStatic, kPromptId, SS_LEFT, 7, 7, 170, 40, L"");
    layout.Add(kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 183, 7, 50, 14, L"OK");
    layout.Add(kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 183, 25, 50, 14, L"Cancel");
    layout.Add(kEdit, kEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 58, 226, 14, L"");
    InputState state{&prompt, &defaultText, {}};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.get(), modal.owner(), InputProc,
                            reinterpret_cast<LPARAM>(&state));
    return state.answer;
}

std::optional<std::wstring> WindowsPrompts::BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) {
    ProgramModal modal;
    BROWSEINFOW request{};
    request.hwndOwner = owner;
    request.lpszTitle = title.c_str();
    request.ulFlags = flags;
    ItemList chosen(SHBrowseForFolderW(&request));
    if (!chosen.get()) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path)) return std::nullopt;
    return std::wstring(path);
}

std::optional<std::wstring> WindowsPrompts::SaveFileName(HWND owner, const std::wstring& defaultName,
                                                         const std::wstring& filter) {
    ProgramModal modal;
    std::wstring file(32768, L'\0');
    defaultName.copy(file.data(), std::min(defaultName.size(), file.size() - 1));
    OPENFILENAMEW request{sizeof request};
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    request.lpstrDefExt = L"txt";
    if (!GetSaveFileNameW(&request)) return std::nullopt;
    file.resize(wcslen(file.c_str()));
    return file;
}

std::vector<std::wstring> WindowsPrompts::OpenFileNames(HWND owner, const std::wstring& filter) {
    ProgramModal modal;
    std::wstring buffer(65536, L'\0');
    OPENFILENAMEW request{sizeof request};
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = buffer.data();
    request.nMaxFile = static_cast<DWORD>(buffer.size());
    request.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&request)) return {};
    // One file: its full path. Several: the folder, then each name, each ended by a NUL.
    std::vector<std::wstring> parts;
    for (const wchar_t* at = buffer.c_str(); *at; at += wcslen(at) + 1) parts.emplace_back(at);
    if (parts.size() <= 1) return parts;
    std::vector<std::wstring> files;
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(parts[0] + L"\\" + parts[i]);
    return files;
}

std::optional<std::wstring> WindowsPrompts::OpenFileName(HWND owner, const std::wstring& title,
                                                         const std::wstring& folder, const std::wstring& filter) {
    ProgramModal modal;
    std::wstring file(32768, L'\0');
    OPENFILENAMEW request{sizeof request};
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrTitle = title.c_str();
    request.lpstrInitialDir = folder.c_str();
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&request)) return std::nullopt;
    file.resize(wcslen(file.c_str()));
    return file;
}

std::unique_ptr<Progress> WindowsPrompts::ShowProgress(const std::wstring& title, const std::wstring& text) {
    return std::make_unique<ProgressWindow>(title, text);
}
