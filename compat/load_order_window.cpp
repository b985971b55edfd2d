#include "compat/load_order_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "core/busy_cursor.h"
#include "core/errors.h"
#include "core/handles.h"
#include "core/prompts.h"
#include "core/text.h"

using namespace std::string_literals;

namespace {

constexpr wchar_t kClass[] = L"TarrowLoadOrder";
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// Virtual lists: a large game folder has hundreds of thousands of shared files.
constexpr DWORD kList = WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL |
                        LVS_SHOWSELALWAYS;

void AddColumns(HWND list, const std::vector<std::wstring>& captions, const std::vector<int>& widths, UINT dpi) {
    for (size_t i = 0; i < captions.size(); ++i) {
        LVCOLUMNW column{LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM};
        column.pszText = const_cast<wchar_t*>(captions[i].c_str());
        column.cx = Layout::Scale(widths[i], dpi);
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
}

void DeselectAll(HWND list) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
}

void SetCount(HWND list, size_t count) {
    SendMessageW(list, LVM_SETITEMCOUNT, count, 0);
    InvalidateRect(list, nullptr, TRUE);
}

bool LessNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

// A block of global memory holding the text, for the clipboard.
GlobalMemory GlobalText(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    void* at = memory.valid() ? GlobalLock(memory.get()) : nullptr;
    if (!at) return GlobalMemory();
    std::memcpy(at, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    return memory;
}

// Puts Unicode text on the clipboard; false when the clipboard is not to be had.
bool CopyToClipboard(HWND owner, const std::wstring& text) {
    // Another program may hold the clipboard for a moment (a clipboard viewer
    // reads every change): try for a while before giving up.
    bool open = false;
    for (int attempt = 0; attempt < 50 && !(open = OpenClipboard(owner)); ++attempt) Sleep(10);
    if (!open) return false;
    EmptyClipboard();
    GlobalMemory memory = GlobalText(text);
    // The clipboard owns the memory only once it has taken it.
    const bool done = memory.valid() && SetClipboardData(CF_UNICODETEXT, memory.get());
    if (done) memory.Release();
    CloseClipboard();
    return done;
}

// Writes the text as UTF-8, with the signature that Windows tools look for.
void WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    const std::string bytes = "\xEF\xBB\xBF" + WideToUtf8(text);
    const FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) throw Win32Error(GetLastError(), L"Tarrow could not save " + path);
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file.get());
    const DWORD error = GetLastError();
    if (!ok) throw Win32Error(error, L"Tarrow could not save " + path);
}

}  // namespace

frmLoadOrder::~frmLoadOrder() { Unload(); }

void frmLoadOrder::Load(const std::wstring& gameFolder, HWND beside) {
    RegisterOnce(kClass);
    CreateDialogWindow(kClass, L"Load Order", 640, 503, this);
    PlaceBeside(hwnd_, beside);
    CreateControls();
    Rebuild(gameFolder);
    ShowDialogWindow(hwnd_);
}

void frmLoadOrder::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void frmLoadOrder::CreateControls() {
    c_.lblFolder = layout_.Add(hwnd_, {IdLabel, L"STATIC", nullptr, 8, 8, 624, 17, kLabel});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Archives, in the order the game loads them:", 8, 30, 400, 17, kLabel});
    c_.lvArchives = layout_.Add(hwnd_, {IdArchives, WC_LISTVIEWW, nullptr, 8, 48, 624, 150, kList});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Shared files: the game uses the copy in the last archive.", 8, 206, 400,
                        17, kLabel});
    c_.cmdAll = layout_.Add(hwnd_, {IdAll, L"BUTTON", L"All", 552, 202, 80, 21, kButton});
    c_.lvShared = layout_.Add(hwnd_, {IdShared, WC_LISTVIEWW, nullptr, 8, 226, 624, 140, kList});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Problems:", 8, 374, 400, 17, kLabel});
    c_.lvProblems = layout_.Add(hwnd_, {IdProblems, WC_LISTVIEWW, nullptr, 8, 392, 624, 72, kList});
    c_.cmdCopy = layout_.Add(hwnd_, {IdCopy, L"BUTTON", L"Copy", 8, 472, 90, 23, kButton});
    c_.cmdSave = layout_.Add(hwnd_, {IdSave, L"BUTTON", L"Save...", 104, 472, 90, 23, kButton});
    c_.cmdClose = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Close", 542, 472, 90, 23, kButton});
    const UINT dpi = DpiOf(hwnd_);
    AddColumns(c_.lvArchives, ArchiveColumns(), {50, 250, 70, 70, 80, 80}, dpi);
    AddColumns(c_.lvShared, SharedColumns(), {290, 150, 160}, dpi);
    AddColumns(c_.lvProblems, ProblemColumns(), {160, 440}, dpi);
}

void frmLoadOrder::Rebuild(const std::wstring& gameFolder) {
    SetWindowTextW(c_.lblFolder, (L"Folder: " + gameFolder + L"\\main").c_str());
    {
        BusyCursor busy;
        try {
            report_ = BuildLoadOrder(gameFolder);
        } catch (const AppError& error) {
            report_ = LoadOrderReport{};
            report_.problems.push_back({L"main", error.Description()});
        }
    }
    Fill();
}

void frmLoadOrder::Fill() {
    DeselectAll(c_.lvArchives);
    SetCount(c_.lvArchives, report_.archives.size());
    SetCount(c_.lvProblems, report_.problems.size());
    sortColumn_ = -1;
    ShowShared(-1);
}

void frmLoadOrder::ShowShared(int archive) {
    sharedShown_.clear();
    for (size_t i = 0; i < report_.shared.size(); ++i) {
        const auto& holders = report_.shared[i].holders;
        if (archive < 0 || std::find(holders.begin(), holders.end(), static_cast<size_t>(archive)) != holders.end()) {
            sharedShown_.push_back(i);
        }
    }
    SortShared();
    SetCount(c_.lvShared, sharedShown_.size());
}

void frmLoadOrder::SortShared() {
    if (sortColumn_ < 0) return;
    std::vector<std::wstring> keys(report_.shared.size());
    for (size_t i : sharedShown_) keys[i] = SharedRow(report_, i)[static_cast<size_t>(sortColumn_)];
    std::stable_sort(sharedShown_.begin(), sharedShown_.end(), [&](size_t a, size_t b) {
        return sortDescending_ ? LessNoCase(keys[b], keys[a]) : LessNoCase(keys[a], keys[b]);
    });
    InvalidateRect(c_.lvShared, nullptr, TRUE);
}

LRESULT frmLoadOrder::OnNotify(const NMHDR& header) {
    if (header.code == LVN_GETDISPINFOW) {
        auto& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        if (!(item.mask & LVIF_TEXT)) return 0;
        const auto row = static_cast<size_t>(item.iItem);
        std::vector<std::wstring> cells;
        if (header.idFrom == IdArchives && row < report_.archives.size()) cells = ArchiveRow(report_, row);
        if (header.idFrom == IdShared && row < sharedShown_.size()) cells = SharedRow(report_, sharedShown_[row]);
        if (header.idFrom == IdProblems && row < report_.problems.size()) cells = ProblemRow(report_, row);
        const auto column = static_cast<size_t>(item.iSubItem);
        cell_ = column < cells.size() ? cells[column] : std::wstring();
        item.pszText = cell_.data();
        return 0;
    }
    if (header.code == LVN_ITEMCHANGED && header.idFrom == IdArchives) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED)) ShowShared(change.iItem);
        return 0;
    }
    if (header.code == LVN_COLUMNCLICK && header.idFrom == IdShared) {
        // A second click on the same header turns the order round.
        const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        sortDescending_ = column == sortColumn_ && !sortDescending_;
        sortColumn_ = column;
        SortShared();
        return 0;
    }
    return 0;
}

void frmLoadOrder::cmdCopy_Click() {
    if (!CopyToClipboard(hwnd_, LoadOrderText(report_))) {
        MsgBox(L"Tarrow could not use the clipboard: " + SystemMessage(GetLastError()), MB_OK | MB_ICONWARNING);
    }
}

void frmLoadOrder::cmdSave_Click() {
    const auto path = CurrentPrompts().SaveFileName(
        hwnd_, L"load-order.txt", L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0"s);
    if (!path) return;
    try {
        WriteUtf8File(*path, LoadOrderText(report_));
    } catch (const AppError& error) {
        MsgBox(error.Description(), MB_OK | MB_ICONWARNING);
    }
}

LRESULT frmLoadOrder::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: Unload(); return 0;
        case IdAll:
            DeselectAll(c_.lvArchives);
            ShowShared(-1);
            return 0;
        case IdCopy: cmdCopy_Click(); return 0;
        case IdSave: cmdSave_Click(); return 0;
        default: return 0;
        }
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE: Unload(); return 0;
    case WM_SETCURSOR:
        if (BusyCursor::Apply()) return TRUE;
        break;
    case WM_DPICHANGED: ApplyDpiChange(hwnd_, layout_, wParam, lParam); return 0;
    case WM_DESTROY:
        RememberPlace(hwnd_);
        RemoveKeyboardWindow(hwnd_);
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
