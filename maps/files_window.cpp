#include "maps/files_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "core/errors.h"
#include "core/handles.h"
#include "core/text.h"
#include "ui/busy_cursor.h"

namespace {

constexpr wchar_t kClass[] = L"TarrowFiles";
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;

}  // namespace

frmFiles::~frmFiles() { Unload(); }

void frmFiles::Load(const Game& game, HWND beside) {
    CreateBeside(kClass, L"Files", 688, 436, beside);
    CreateControls();
    Rebuild(game);
    ShowDialogWindow(hwnd_);
}

void frmFiles::CreateControls() {
    c_.lblFilter = layout_.Add(hwnd_, {IdLabel, L"STATIC", L"&Filter:", 8, 11, 40, 17, kLabel});
    c_.txtFilter = layout_.Add(
        hwnd_, {IdFilter, L"EDIT", nullptr, 50, 8, 300, 21, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL});
    c_.lblCount = layout_.Add(hwnd_, {IdCount, L"STATIC", nullptr, 360, 11, 320, 17, kLabel});
    c_.lvFiles = layout_.Add(
        hwnd_, {IdFiles, WC_LISTVIEWW, nullptr, 8, 36, 672, 362,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS});
    c_.cmdClose = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Close", 590, 405, 90, 23, kButton});
    AddReportColumns(c_.lvFiles, FilesModel::Columns(), {300, 130, 120, 118}, DpiOf(hwnd_));
    SendMessageW(c_.lvFiles, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void frmFiles::Rebuild(const Game& game) {
    game_ = game;
    BusyCursor busy;
    model_.reset();
    result_.reset();
    SendMessageW(c_.lvFiles, LVM_SETITEMCOUNT, 0, 0);
    SetWindowTextW(c_.lblCount, L"Reading the game's files...");
    LoadOrderReport report;
    // Which archives load, and in what order, is all the index needs: it reads them on its thread.
    try {
        report = LoadedArchives(game);
    } catch (const AppError& error) {
        SetWindowTextW(c_.lblCount, error.Description().c_str());
        return;
    }
    job_.Start(hwnd_, FilesMessage, [game, report] { return WorkOutNeeds(game, report); });
}

void frmFiles::FilesKnown() {
    result_ = job_.Take();
    if (!result_ || !result_->files) return;
    model_ = std::make_unique<FilesModel>(*result_->files, result_->maps, result_->needs);
    Refilter();
}

void frmFiles::Refilter() {
    if (!model_) return;
    model_->Filter(WindowText(c_.txtFilter));
    SendMessageW(c_.lvFiles, LVM_SETITEMCOUNT, model_->Rows(), LVSICF_NOSCROLL);
    InvalidateRect(c_.lvFiles, nullptr, TRUE);
    const std::wstring count = ToDecimal(static_cast<long long>(model_->Rows())) + L" of " +
                               ToDecimal(static_cast<long long>(model_->AllRows())) + L" files";
    SetWindowTextW(c_.lblCount, count.c_str());
}

void frmFiles::ShowMenu(int row, POINT at) {
    if (!model_ || row < 0 || static_cast<std::size_t>(row) >= model_->Rows()) return;
    const bool held = model_->SourceOf(static_cast<std::size_t>(row)) != GameFiles::kNone;
    const MenuHandle menu(CreatePopupMenu());
    const bool loaded = held && result_->files->sources()[model_->SourceOf(static_cast<std::size_t>(row))].loaded;
    AppendMenuW(menu.get(), MF_STRING | (loaded && show_ ? 0 : MF_GRAYED), IdShowInLoadOrder, L"Show in Load Order");
    AppendMenuW(menu.get(), MF_STRING | (held ? 0 : MF_GRAYED), IdOpenFolder, L"Open Containing Folder");
    const int chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    const GameFiles::Source* source =
        held ? &result_->files->sources()[model_->SourceOf(static_cast<std::size_t>(row))] : nullptr;
    if (chosen == IdShowInLoadOrder && source && show_) show_(source->name);
    if (chosen == IdOpenFolder) OpenContainingFolder(row);
}

void frmFiles::OpenContainingFolder(int row) const {
    const GameFiles::Source& source = result_->files->sources()[model_->SourceOf(static_cast<std::size_t>(row))];
    std::wstring target = source.path;
    if (source.loose) {
        std::wstring path = model_->PathOf(static_cast<std::size_t>(row));
        for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
        target += path;
    }
    const std::wstring arguments = L"/select,\"" + target + L"\"";
    ShellExecuteW(hwnd_, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}

LRESULT frmFiles::OnNotify(const NMHDR& header) {
    if (header.idFrom != IdFiles || !model_) return 0;
    if (header.code == LVN_GETDISPINFOW) {
        auto& item = reinterpret_cast<const NMLVDISPINFOW&>(header).item;
        const auto row = static_cast<std::size_t>(item.iItem);
        if (!(item.mask & LVIF_TEXT) || row >= model_->Rows()) return 0;
        const std::vector<std::wstring> cells = model_->Row(row);
        const auto column = static_cast<std::size_t>(item.iSubItem);
        cell_ = column < cells.size() ? cells[column] : std::wstring();
        const_cast<LVITEMW&>(item).pszText = cell_.data();
    }
    if (header.code == NM_RCLICK) {
        const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
        POINT at = click.ptAction;
        ClientToScreen(c_.lvFiles, &at);
        ShowMenu(click.iItem, at);
    }
    return 0;
}

LRESULT frmFiles::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case FilesMessage: FilesKnown(); return 0;
    case WM_DESTROY:
        job_.Wait();
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) Unload();
        if (LOWORD(wParam) == IdFilter && HIWORD(wParam) == EN_CHANGE) Refilter();
        return 0;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    default:
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
