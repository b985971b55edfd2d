#include "maps/maps_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "ui/busy_cursor.h"
#include "core/errors.h"
#include "ui/prompts.h"
#include "core/text.h"
#include "mods/mod_library.h"

namespace {

constexpr wchar_t kClass[] = L"TarrowMaps";
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
// The levelshot's box, at 96 DPI: the games' pictures are 4:3.
constexpr int kBoxLeft = 424, kBoxTop = 28, kBoxWidth = 256, kBoxHeight = 192;

// The picture scaled to fit the box, its sides in proportion, by the nearest pixel.
Picture Scaled(const Picture& picture, int boxWidth, int boxHeight) {
    Picture out;
    if (picture.width <= 0 || picture.height <= 0) return out;
    const double scale =
        std::min(static_cast<double>(boxWidth) / picture.width, static_cast<double>(boxHeight) / picture.height);
    out.width = std::max(1, static_cast<int>(picture.width * scale));
    out.height = std::max(1, static_cast<int>(picture.height * scale));
    out.bgra.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    for (int y = 0; y < out.height; ++y) {
        const int sy = std::min(picture.height - 1, static_cast<int>(y / scale));
        for (int x = 0; x < out.width; ++x) {
            const int sx = std::min(picture.width - 1, static_cast<int>(x / scale));
            std::memcpy(&out.bgra[(static_cast<std::size_t>(y) * out.width + x) * 4],
                        &picture.bgra[(static_cast<std::size_t>(sy) * picture.width + sx) * 4], 4);
        }
    }
    return out;
}

BitmapHandle BitmapOf(const Picture& picture) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 32, BI_RGB};
    void* bits = nullptr;
    BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap.valid() && bits) std::memcpy(bits, picture.bgra.data(), picture.bgra.size());
    return bitmap;
}

}  // namespace

frmMaps::~frmMaps() { Unload(); }

void frmMaps::Load(const Game& game, HWND beside) {
    CreateBeside(kClass, L"Maps", 688, 436, beside);
    CreateControls();
    Rebuild(game);
    ShowDialogWindow(hwnd_);
}

void frmMaps::CreateControls() {
    c_.lblShown = layout_.Add(hwnd_, {IdShown, L"STATIC", L"All maps", 8, 8, 408, 17, kLabel});
    c_.lvMaps = layout_.Add(
        hwnd_, {IdMaps, WC_LISTVIEWW, nullptr, 8, 28, 408, 400,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS});
    c_.picLevelshot = layout_.Add(hwnd_, {IdPicture, L"STATIC", nullptr, kBoxLeft, kBoxTop, kBoxWidth, kBoxHeight,
                                          WS_VISIBLE | SS_BITMAP | SS_CENTERIMAGE | SS_SUNKEN});
    c_.lblPicture =
        layout_.Add(hwnd_, {IdPictureText, L"STATIC", nullptr, 424, 226, 256, 34, WS_VISIBLE | SS_LEFT | SS_NOPREFIX});
    c_.cmdPlay = layout_.Add(hwnd_, {IdPlay, L"BUTTON", L"Play This Map", 424, 266, 120, 23, kButton | WS_DISABLED});
    c_.lblMissing =
        layout_.Add(hwnd_, {IdMissingText, L"STATIC", nullptr, 424, 296, 256, 30, WS_VISIBLE | SS_LEFT | SS_NOPREFIX});
    c_.lstMissing = layout_.Add(
        hwnd_, {IdMissing, L"LISTBOX", nullptr, 424, 326, 256, 74,
                WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL});
    c_.cmdEnable = layout_.Add(hwnd_, {IdEnable, L"BUTTON", L"Enable", 424, 405, 160, 23, kButton | WS_DISABLED});
    c_.cmdClose = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Close", 590, 405, 90, 23, kButton});
    std::vector<std::wstring> columns = MapColumns();
    columns.push_back(L"Missing");
    AddReportColumns(c_.lvMaps, columns, {76, 96, 75, 58, 45, 50}, DpiOf(hwnd_));
}

void frmMaps::SetWritable(bool playable) {
    playable_ = playable;
    EnableWindow(c_.cmdPlay, playable && Selected() >= 0);
    EnableWindow(c_.cmdEnable, playable && !offered_.empty() && run_);
}

void frmMaps::Rebuild(const Game& game) {
    game_ = game;
    BusyCursor busy;
    try {
        // Which archives load is all the list needs: no archive is paired. The
        // long names, the pictures' notes and what each map needs follow.
        report_ = LoadedArchives(game);
        maps_ = ListMaps(game, report_, MapDetails::Later);
    } catch (const AppError&) {
        // A folder that cannot be read has no maps to show; Load Order says why.
        report_ = {};
        maps_.clear();
    }
    needs_.clear();
    if (!maps_.empty())
        job_.Start(hwnd_, NeedsMessage, [game, report = report_] { return WorkOutNeeds(game, report); });
    Fill();
}

void frmMaps::NeedsKnown() {
    std::optional<MapsAndNeeds> result = job_.Take();
    // A result for maps since read again is of no use.
    if (!result || result->maps.size() != maps_.size()) return;
    maps_ = std::move(result->maps);
    needs_ = std::move(result->needs);
    InvalidateRect(c_.lvMaps, nullptr, TRUE);
    ShowMissing(Selected());
}

void frmMaps::Follow(const std::wstring& file) {
    followed_ = file;
    Fill();
}

void frmMaps::Fill() {
    shown_.clear();
    for (std::size_t i = 0; i < maps_.size(); ++i) {
        if (followed_.empty() || MapIsIn(maps_[i], report_, followed_)) shown_.push_back(i);
    }
    const std::wstring caption = followed_.empty() ? L"All maps" : L"Maps of " + ModNameOf(followed_, EnabledExtension);
    SetWindowTextW(c_.lblShown, caption.c_str());
    SendMessageW(c_.lvMaps, LVM_SETITEMCOUNT, shown_.size(), 0);
    InvalidateRect(c_.lvMaps, nullptr, TRUE);
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(c_.lvMaps, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    ShowPicture(-1);
}

int frmMaps::Selected() const {
    return static_cast<int>(SendMessageW(c_.lvMaps, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void frmMaps::ShowPicture(int row) {
    scaled_ = {};
    std::wstring text;
    if (row >= 0 && static_cast<std::size_t>(row) < shown_.size()) {
        const GameMap map = maps_[shown_[static_cast<std::size_t>(row)]];
        Picture picture;
        const std::wstring archive = report_.archives[map.pictureArchive].file;
        if (map.picture.empty()) {
            text = L"This map has no picture.";
        } else if (DecodePicture(map.picture,
                                 ReadEntry(game_.PathOf(QualifiedName::Parse(archive)), map.picture, 64u << 20),
                                 picture)) {
            const UINT dpi = DpiOf(hwnd_);
            scaled_ = Scaled(picture, Layout::Scale(kBoxWidth, dpi) - 4, Layout::Scale(kBoxHeight, dpi) - 4);
            text = map.picture + L" from " + archive;
        } else {
            text = L"Tarrow cannot read its picture, " + map.picture + L" in " + archive + L".";
            // The list says so too, from now on.
            maps_[shown_[static_cast<std::size_t>(row)]].pictureUnreadable = true;
            InvalidateRect(c_.lvMaps, nullptr, TRUE);
        }
    }
    SetLevelshot(scaled_.bgra.empty() ? BitmapHandle() : BitmapOf(scaled_));
    SetWindowTextW(c_.lblPicture, text.c_str());
    EnableWindow(c_.cmdPlay, playable_ && row >= 0);
    ShowMissing(row);
}

void frmMaps::ShowMissing(int row) {
    SendMessageW(c_.lstMissing, LB_RESETCONTENT, 0, 0);
    offered_.clear();
    const bool known = row >= 0 && static_cast<std::size_t>(row) < shown_.size();
    const MapNeeds* needs = known && !needs_.empty() ? &needs_[shown_[static_cast<std::size_t>(row)]] : nullptr;
    SetWindowTextW(c_.lblMissing, known ? MissingSummary(needs).c_str() : L"");
    if (needs) {
        for (const MissingFile& missing : needs->missing) {
            SendMessageW(c_.lstMissing, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(MissingLine(missing).c_str()));
        }
        offered_ = ArchiveToEnable(*needs);
    }
    const std::wstring caption = offered_.empty() ? L"Enable" : L"Enable " + ModNameOf(offered_, DisabledExtension);
    SetWindowTextW(c_.cmdEnable, caption.c_str());
    EnableWindow(c_.cmdEnable, playable_ && !offered_.empty() && run_);
}

void frmMaps::cmdEnable_Click() {
    if (offered_.empty() || !run_) return;
    const std::wstring mod = ModNameOf(offered_, DisabledExtension);
    // The same change as the Manager's Enable: one rename, kept for Undo.
    run_({L"enabling " + mod, {{offered_, mod + EnabledExtension}}}, L"Enable " + mod, {});
}

void frmMaps::cmdPlay_Click() {
    const int row = Selected();
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size() || !play_) return;
    const std::wstring name = maps_[shown_[static_cast<std::size_t>(row)]].name;
    // A stranger's archive names its maps: a name the engine would split starts something else.
    if (!IsEngineWord(name)) {
        MsgBox(L"Tarrow cannot start the map \"" + name +
                   L"\": the game takes a map's name only as letters, digits and _ - . /.",
               MB_OK | MB_ICONWARNING);
        return;
    }
    play_(L"+devmap " + name);
}

void frmMaps::SetLevelshot(BitmapHandle bitmap) {
    const auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(c_.picLevelshot, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
    // With common controls 6 the control shows its own copy of a bitmap with
    // alpha, hands that copy back here and never frees it.
    if (previous && previous != bitmap_.get()) DeleteObject(previous);
    bitmap_ = std::move(bitmap);
}

LRESULT frmMaps::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case NeedsMessage: NeedsKnown(); return 0;
    case WM_DESTROY:
        job_.Wait();
        SetLevelshot({});
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: Unload(); return 0;
        case IdPlay: cmdPlay_Click(); return 0;
        case IdEnable: cmdEnable_Click(); return 0;
        default: return 0;
        }
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.idFrom != IdMaps) return 0;
        if (header.code == LVN_GETDISPINFOW) {
            auto& item = reinterpret_cast<NMLVDISPINFOW&>(header).item;
            const auto row = static_cast<std::size_t>(item.iItem);
            if (!(item.mask & LVIF_TEXT) || row >= shown_.size()) return 0;
            std::vector<std::wstring> cells = MapRow(maps_[shown_[row]], report_);
            cells.push_back(MissingCell(needs_.empty() ? nullptr : &needs_[shown_[row]]));
            const auto column = static_cast<std::size_t>(item.iSubItem);
            cell_ = column < cells.size() ? cells[column] : std::wstring();
            item.pszText = cell_.data();
        }
        if (header.code == LVN_ITEMCHANGED) {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (change.uChanged & LVIF_STATE) ShowPicture(Selected());
        }
        return 0;
    }
    default:
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
