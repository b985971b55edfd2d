#include "compat/load_order_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "ui/busy_cursor.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/handles.h"
#include "ui/message_loop.h"
#include "ui/prompts.h"
#include "core/text.h"
#include "games/game_program.h"
#include "mods/installer.h"
#include "mods/mod_library.h"

using namespace std::string_literals;

namespace {

constexpr wchar_t kClass[] = L"TarrowLoadOrder";
constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// Virtual lists: a large game folder has hundreds of thousands of shared files.
constexpr DWORD kList =
    WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS;

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

// Which of loose files and archives the game takes, said for every game but
// the demo, whose label is as it always was.
std::wstring LooseFilesNote(const Game& game, const LoadOrderReport& report) {
    if (game.IsDemo()) return {};
    const std::wstring rule =
        report.looseFilesFirst ? L"its loose files win over every archive" : L"its archives win over its loose files";
    if (report.looseRuleKnown) return L"   (" + rule + L")";
    return L"   (Tarrow assumed " + rule + L": Tools > Choose Game Program... decides it)";
}

}  // namespace

frmLoadOrder::~frmLoadOrder() { Unload(); }

void frmLoadOrder::Load(const Game& game, HWND beside) {
    CreateBeside(kClass, L"Load Order", 736, 535, beside);
    CreateControls();
    Rebuild(game);
    ShowDialogWindow(hwnd_);
}

void frmLoadOrder::CreateControls() {
    c_.lblFolder = layout_.Add(hwnd_, {IdLabel, L"STATIC", nullptr, 8, 8, 624, 17, kLabel});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Archives, in the order the game loads them:", 8, 30, 400, 17, kLabel});
    c_.lvArchives = layout_.Add(hwnd_, {IdArchives, WC_LISTVIEWW, nullptr, 8, 48, 624, 150, kList});
    // Beside the archives: a plan of moves, shown at once and written only by Apply.
    c_.cmdMoveUp = layout_.Add(hwnd_, {IdMoveUp, L"BUTTON", L"Move Up", 640, 48, 88, 23, kButton});
    c_.cmdMoveDown = layout_.Add(hwnd_, {IdMoveDown, L"BUTTON", L"Move Down", 640, 75, 88, 23, kButton});
    c_.cmdOriginal = layout_.Add(hwnd_, {IdOriginal, L"BUTTON", L"Original Names", 640, 110, 88, 23, kButton});
    c_.cmdApply = layout_.Add(hwnd_, {IdApply, L"BUTTON", L"Apply", 640, 148, 88, 23, kButton | WS_DISABLED});
    c_.cmdDiscard = layout_.Add(hwnd_, {IdDiscard, L"BUTTON", L"Discard", 640, 175, 88, 23, kButton | WS_DISABLED});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Shared files: the game uses the copy in the last archive.", 8, 206, 400,
                        17, kLabel});
    // Identical copies are shared files too, but whichever wins the player sees the same.
    c_.chkDiffering = layout_.Add(hwnd_, {IdDiffering, L"BUTTON", L"Differing only", 430, 204, 112, 17,
                                          WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX});
    c_.cmdAll = layout_.Add(hwnd_, {IdAll, L"BUTTON", L"All", 552, 202, 80, 21, kButton});
    c_.lvShared = layout_.Add(hwnd_, {IdShared, WC_LISTVIEWW, nullptr, 8, 226, 624, 140, kList});
    layout_.Add(hwnd_, {IdLabel, L"STATIC", L"Problems:", 8, 374, 400, 17, kLabel});
    c_.lvProblems = layout_.Add(hwnd_, {IdProblems, WC_LISTVIEWW, nullptr, 8, 392, 624, 72, kList});
    // The selected problem's whole sentence, which its column may cut.
    c_.lblProblem =
        layout_.Add(hwnd_, {IdProblemText, L"STATIC", nullptr, 8, 468, 624, 30, WS_VISIBLE | SS_LEFT | SS_NOPREFIX});
    c_.cmdFix = layout_.Add(hwnd_, {IdFix, L"BUTTON", L"Fix", 640, 468, 88, 23, kButton | WS_DISABLED});
    c_.cmdCopy = layout_.Add(hwnd_, {IdCopy, L"BUTTON", L"Copy", 8, 504, 90, 23, kButton});
    c_.cmdSave = layout_.Add(hwnd_, {IdSave, L"BUTTON", L"Save...", 104, 504, 90, 23, kButton});
    c_.cmdClose = layout_.Add(hwnd_, {IDCANCEL, L"BUTTON", L"Close", 638, 504, 90, 23, kButton});
    const UINT dpi = DpiOf(hwnd_);
    AddReportColumns(c_.lvArchives, ArchiveColumns(), {50, 250, 70, 70, 80, 80}, dpi);
    AddReportColumns(c_.lvShared, SharedColumns(), {250, 140, 150, 60}, dpi);
    AddReportColumns(c_.lvProblems, ProblemColumns(), {160, 440}, dpi);
    SendMessageW(c_.lvProblems, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    SetWindowSubclass(c_.lvArchives, &frmLoadOrder::ArchivesProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void frmLoadOrder::Rebuild(const Game& game) {
    std::vector<std::wstring> planned;
    if (Planned() && game == game_) {
        for (const LoadOrderArchive& archive : report_.archives) planned.push_back(archive.file);
    }
    // The program that Play starts decides where the loose files stand.
    game_ = game.RunBy(FindGameProgram(game));
    {
        BusyCursor busy;
        try {
            disk_ = BuildLoadOrder(game);
        } catch (const AppError& error) {
            disk_ = LoadOrderReport{};
            disk_.problems.push_back({game.ArchiveFolderName(), error.Description()});
        }
    }
    const std::wstring folder = game.ArchiveFolder();
    SetWindowTextW(c_.lblFolder,
                   (L"Folder: " + folder.substr(0, folder.size() - 1) + LooseFilesNote(game, disk_)).c_str());
    // What was planned and not applied stays while its archives are all
    // there, and no other; otherwise it goes, and the player is told.
    order_.resize(disk_.archives.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    const bool kept = planned.empty() || KeepPlan(planned);
    report_ = Planned() ? PlannedReport(disk_, order_) : disk_;
    EnablePlanButtons();
    Fill();
    ShowProblem();
    if (findMore_ && !disk_.archives.empty()) {
        moreGame_ = game_;
        moreJob_.Start(hwnd_, ProblemsMessage, [find = findMore_, game = game_, report = disk_] {
            // Nothing may escape the thread: a folder gone meanwhile has no more problems.
            try {
                return find(game, report);
            } catch (...) {
                return std::vector<LoadProblem>();
            }
        });
    }
    if (!kept) {
        MsgBox(L"The archives in " + game_.ArchiveFolderName() +
                   L" changed, so the order planned in Load Order was dropped. Nothing was renamed.",
               MB_OK | MB_ICONINFORMATION);
    }
}

bool frmLoadOrder::KeepPlan(const std::vector<std::wstring>& planned) {
    if (planned.size() != disk_.archives.size()) return false;
    std::vector<std::size_t> order;
    for (const std::wstring& name : planned) {
        const auto found = std::find_if(disk_.archives.begin(), disk_.archives.end(),
                                        [&](const LoadOrderArchive& archive) { return archive.file == name; });
        if (found == disk_.archives.end()) return false;
        order.push_back(static_cast<std::size_t>(found - disk_.archives.begin()));
    }
    order_ = std::move(order);
    return true;
}

void frmLoadOrder::EnablePlanButtons() {
    // A button that goes grey with the focus on it would leave the window without one.
    HWND focus = GetFocus();
    const bool apply = Planned() && writable_;
    if ((!apply && focus == c_.cmdApply) || (!Planned() && focus == c_.cmdDiscard)) SetFocus(c_.lvArchives);
    EnableWindow(c_.cmdApply, apply);
    EnableWindow(c_.cmdDiscard, Planned());
    EnableWindow(c_.cmdOriginal, writable_);
}

void frmLoadOrder::SetWritable(bool writable) {
    writable_ = writable;
    EnablePlanButtons();
    ShowProblem();
}

bool frmLoadOrder::Planned() const {
    for (std::size_t i = 0; i < order_.size(); ++i) {
        if (order_[i] != i) return true;
    }
    return false;
}

int frmLoadOrder::SelectedArchive() const {
    return static_cast<int>(SendMessageW(c_.lvArchives, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void frmLoadOrder::SelectArchive(const std::wstring& file) {
    for (std::size_t i = 0; i < report_.archives.size(); ++i) {
        if (report_.archives[i].file != file) continue;
        DeselectAll(c_.lvArchives);
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(c_.lvArchives, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
        SendMessageW(c_.lvArchives, LVM_ENSUREVISIBLE, i, FALSE);
        return;
    }
}

void frmLoadOrder::Replan(int select) {
    report_ = PlannedReport(disk_, order_);
    EnablePlanButtons();
    DeselectAll(c_.lvArchives);
    SetCount(c_.lvArchives, ArchiveRows(report_));
    if (select >= 0) {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(c_.lvArchives, LVM_SETITEMSTATE, static_cast<WPARAM>(select), reinterpret_cast<LPARAM>(&item));
        SendMessageW(c_.lvArchives, LVM_ENSUREVISIBLE, static_cast<WPARAM>(select), FALSE);
    } else {
        ShowShared(-1);
    }
}

void frmLoadOrder::Move(int delta) {
    const int at = SelectedArchive();
    if (at < 0) return;
    const int to = at + delta;
    if (to < 0 || to >= static_cast<int>(order_.size())) return;
    MoveTo(static_cast<std::size_t>(at), static_cast<std::size_t>(to));
}

void frmLoadOrder::MoveTo(std::size_t from, std::size_t to) {
    // The game's own archives never move; a mod moves past them.
    if (from == to || from >= order_.size() || to >= order_.size() || disk_.archives[order_[from]].game) return;
    const std::size_t archive = order_[from];
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(from));
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(to), archive);
    Replan(static_cast<int>(to));
}

std::vector<std::wstring> frmLoadOrder::TakenNames() const { return ArchiveFileNamesOfEveryPlace(game_); }

void frmLoadOrder::Preview(const ReorderPlan& plan, const LoadOrderReport& after, const std::wstring& historyName) {
    if (!plan.failure.empty()) {
        MsgBox(plan.failure, MB_OK | MB_ICONWARNING);
        return;
    }
    if (plan.renames.empty()) {
        MsgBox(L"The archives' names already give this order: there is nothing to rename.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const Game game = game_;
    if (MsgBox(PreviewText(game_, plan, disk_, after), MB_OKCANCEL | MB_ICONQUESTION) != IDOK || !run_) return;
    // While the preview was open the window may have followed another game: its plan is not that game's.
    if (!(game == game_)) {
        MsgBox(L"Tarrow now manages " + game_.Name() + L", so it did not rename the archives of " + game.Name() +
                   L". Nothing was renamed.",
               MB_OK | MB_ICONINFORMATION);
        return;
    }
    // Once applied, the plan is what main holds: the re-read that follows has nothing to keep.
    std::vector<std::size_t> planned = order_;
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    if (run_({L"reordering mods", plan.renames}, historyName, {})) return;
    if (planned.size() == disk_.archives.size()) order_ = std::move(planned);
    Replan(SelectedArchive());
}

void frmLoadOrder::cmdApply_Click() {
    std::vector<std::wstring> wanted;
    for (const LoadOrderArchive& archive : report_.archives) {
        // The loose files keep the place the game searches them at.
        if (archive.file != Game::LooseFiles) wanted.push_back(archive.file);
    }
    Preview(PlanReorder(game_, wanted, TakenNames()), report_, L"Reorder");
}

void frmLoadOrder::cmdOriginal_Click() {
    std::vector<std::wstring> names;
    for (const LoadOrderArchive& archive : disk_.archives) names.push_back(archive.file);
    const ReorderPlan plan = PlanOriginalNames(names, TakenNames());
    if (plan.failure.empty() && plan.renames.empty()) {
        MsgBox(L"No archive carries a prefix of Tarrow's.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    for (const ChangeStep& step : plan.renames) std::replace(names.begin(), names.end(), step.from, step.to);
    Preview(plan, PlannedReport(disk_, OrderOfNames(game_, disk_, names)), L"Original Names");
}

void frmLoadOrder::Fill() {
    DeselectAll(c_.lvArchives);
    SetCount(c_.lvArchives, ArchiveRows(report_));
    SetCount(c_.lvProblems, report_.problems.size());
    sortColumn_ = -1;
    ShowShared(-1);
}

void frmLoadOrder::ShowShared(int archive) {
    sharedShown_.clear();
    const bool differing = SendMessageW(c_.chkDiffering, BM_GETCHECK, 0, 0) == BST_CHECKED;
    for (size_t i = 0; i < report_.shared.size(); ++i) {
        const auto& holders = report_.shared[i].holders;
        if (differing && report_.shared[i].Identical()) continue;
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
        if (header.idFrom == IdArchives && row < ArchiveRows(report_)) cells = ArchiveRow(report_, row);
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
    if (header.code == LVN_ITEMCHANGED && header.idFrom == IdProblems) {
        ShowProblem();
        return 0;
    }
    if (header.code == LVN_GETINFOTIPW && header.idFrom == IdProblems) {
        auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
        const auto row = static_cast<std::size_t>(tip.iItem);
        if (row < report_.problems.size() && tip.pszText && tip.cchTextMax > 0) {
            const std::wstring& text = report_.problems[row].problem;
            const std::size_t n = std::min(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
            text.copy(tip.pszText, n);
            tip.pszText[n] = L'\0';
        }
        return 0;
    }
    if (header.code == LVN_BEGINDRAG && header.idFrom == IdArchives) {
        const int row = reinterpret_cast<const NMLISTVIEW&>(header).iItem;
        // The archives the game does not load follow the others, and never move.
        if (row >= 0 && static_cast<std::size_t>(row) < report_.archives.size() &&
            !report_.archives[static_cast<std::size_t>(row)].game) {
            dragFrom_ = row;
            SetCapture(hwnd_);
        }
        return 0;
    }
    if (header.code == NM_RCLICK && header.idFrom == IdShared) {
        const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
        POINT at = click.ptAction;
        ClientToScreen(c_.lvShared, &at);
        ShowCopies(click.iItem, at);
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

void frmLoadOrder::cmdFix_Click() {
    const int row =
        static_cast<int>(SendMessageW(c_.lvProblems, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0 || static_cast<std::size_t>(row) >= report_.problems.size()) return;
    const LoadProblem problem = report_.problems[static_cast<std::size_t>(row)];
    if (problem.kind == ProblemKind::Duplicate) return KeepOneOf(problem);
    if (problem.kind == ProblemKind::Copy) return RemoveCopy(problem);
    if (problem.kind == ProblemKind::MissingFiles) return EnableForMap(problem);
    if (problem.kind == ProblemKind::Extension) {
        // Through a temporary name: a rename that changes only the letter case may leave it as it was.
        const QualifiedName archive = QualifiedName::Parse(problem.archive);
        const std::optional<Game> where = game_.Where(archive);
        if (!where) return;
        const std::wstring temporary = QualifiedName{archive.place, TemporaryNameOf(where->ArchiveFolder())}.Shown();
        const ReorderPlan plan{
            {{problem.archive, temporary}, {temporary, WithoutExtension(problem.archive) + EnabledExtension}}, {}};
        return Preview(plan, report_, L"Rename " + problem.archive);
    }
    const auto found = std::find_if(report_.archives.begin(), report_.archives.end(),
                                    [&](const LoadOrderArchive& a) { return a.file == problem.archive; });
    if (found == report_.archives.end()) return;
    const auto at = static_cast<std::size_t>(found - report_.archives.begin());
    // A mod with no effect goes last, the strongest it can be in its place.
    std::size_t to = report_.archives.size() - 1;
    while (to > at && game_.Rank(report_.archives[to].file) > game_.Rank(problem.archive)) --to;
    if (problem.kind == ProblemKind::BeforeGame) {
        // Just after the last of the game's archives that are not localized.
        for (std::size_t i = 0; i < report_.archives.size(); ++i) {
            if (report_.archives[i].game && game_.Tier(report_.archives[i].file) == 0) to = i;
        }
    }
    MoveTo(at, to);
    cmdApply_Click();
}

void frmLoadOrder::KeepOneOf(const LoadProblem& problem) {
    const QualifiedName archive = QualifiedName::Parse(problem.archive);
    const QualifiedName mod = QualifiedName::Parse(ModNameOf(problem.archive, EnabledExtension));
    const std::wstring stored = FileSystem::StoredName(game_.PathOf({mod.place, mod.file + DisabledExtension}));
    if (stored.empty()) return;
    const QualifiedName disabledName{archive.place, stored};
    const std::wstring disabled = disabledName.Shown();
    const std::wstring folder = game_.Where(archive)->ArchiveFolderName();
    const int answer =
        MsgBox(mod.file + L" is in " + folder + L" twice. Which one should stay?\r\n\r\nYes keeps " +
                   DescribeArchive(archive.file, game_.PathOf(archive)) + L"\r\nNo keeps " +
                   DescribeArchive(stored, game_.PathOf(disabledName)) + L"\r\n\r\nThe other goes to the Recycle Bin.",
               MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL || !run_) return;
    const std::wstring other = answer == IDYES ? disabled : problem.archive;
    run_(RemoveModPlan(other), L"Remove", L"the archive is in the Recycle Bin");
}

void frmLoadOrder::RemoveCopy(const LoadProblem& problem) {
    if (!run_ || MsgBox(L"Tarrow will send " + problem.other +
                            L" to the Recycle Bin. The game loads the same files, "
                            L"with the same contents, from " +
                            problem.archive + L".",
                        MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    run_(RemoveModPlan(problem.other), L"Remove", L"the archive is in the Recycle Bin");
}

void frmLoadOrder::MoreProblemsKnown() {
    std::optional<std::vector<LoadProblem>> more = moreJob_.Take();
    // Found for a game or a folder since read again: of no use.
    if (!more || more->empty() || !(moreGame_ == game_)) return;
    disk_.problems.insert(disk_.problems.end(), more->begin(), more->end());
    if (!Planned()) report_.problems = disk_.problems;
    SetCount(c_.lvProblems, report_.problems.size());
    ShowProblem();
}

void frmLoadOrder::EnableForMap(const LoadProblem& problem) {
    const std::wstring mod = ModNameOf(problem.other, DisabledExtension);
    if (!run_ || MsgBox(L"Tarrow will enable " + mod + L": " + problem.other + L" becomes " + mod + EnabledExtension +
                            L", and the game loads the files it holds.",
                        MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    run_({L"enabling " + mod, {{problem.other, mod + EnabledExtension}}}, L"Enable " + mod, {});
}

void frmLoadOrder::ShowProblem() {
    const int row =
        static_cast<int>(SendMessageW(c_.lvProblems, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    const bool some = row >= 0 && static_cast<std::size_t>(row) < report_.problems.size();
    SetWindowTextW(c_.lblProblem, some ? report_.problems[static_cast<std::size_t>(row)].problem.c_str() : L"");
    EnableWindow(c_.cmdFix,
                 writable_ && some && report_.problems[static_cast<std::size_t>(row)].kind != ProblemKind::Other);
}

void frmLoadOrder::ShowCopies(int row, POINT at) {
    if (row < 0 || static_cast<std::size_t>(row) >= sharedShown_.size()) return;
    // A copy: nothing here may point into the report while the menu is open.
    const std::vector<std::size_t> holders = report_.shared[sharedShown_[static_cast<std::size_t>(row)]].holders;
    MenuHandle menu(CreatePopupMenu());
    for (std::size_t k = 0; k + 1 < holders.size(); ++k) {
        const LoadOrderArchive& archive = report_.archives[holders[k]];
        AppendMenuW(menu.get(), MF_STRING | (archive.game ? MF_GRAYED : 0), IdUseCopy + k,
                    (L"Use the copy in " + archive.file).c_str());
    }
    int chosen = 0;
    {
        const ModalLoop loop;
        chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    }
    if (chosen < IdUseCopy) return;
    // Just after the present winner: the archive that holds the chosen copy then loads last of them.
    MoveTo(holders[static_cast<std::size_t>(chosen - IdUseCopy)], holders.back());
}

LRESULT CALLBACK frmLoadOrder::ArchivesProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
    try {
        // Alt+Up and Alt+Down move the selected archive.
        if (message == WM_SYSKEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
            reinterpret_cast<frmLoadOrder*>(self)->Move(wParam == VK_UP ? -1 : 1);
            return 0;
        }
        if (message == WM_NCDESTROY) RemoveWindowSubclass(list, &frmLoadOrder::ArchivesProc, 1);
        return DefSubclassProc(list, message, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
}

void frmLoadOrder::cmdCopy_Click() {
    if (!CopyToClipboard(hwnd_, LoadOrderText(report_))) {
        MsgBox(L"Tarrow could not use the clipboard: " + SystemMessage(GetLastError()), MB_OK | MB_ICONWARNING);
    }
}

void frmLoadOrder::cmdSave_Click() {
    const auto path =
        CurrentPrompts().SaveFileName(hwnd_, L"load-order.txt", L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0"s);
    if (!path) return;
    try {
        // UTF-8, with the signature that Windows tools look for.
        FileSystem::WriteWholeFile(*path, "\xEF\xBB\xBF" + WideToUtf8(LoadOrderText(report_)));
    } catch (const AppError& error) {
        MsgBox(error.Description(), MB_OK | MB_ICONWARNING);
    }
}

LRESULT frmLoadOrder::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case ProblemsMessage: MoreProblemsKnown(); return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL: Unload(); return 0;
        case IdAll:
            DeselectAll(c_.lvArchives);
            ShowShared(-1);
            return 0;
        case IdDiffering: ShowShared(SelectedArchive()); return 0;
        case IdCopy: cmdCopy_Click(); return 0;
        case IdSave: cmdSave_Click(); return 0;
        case IdMoveUp: Move(-1); return 0;
        case IdMoveDown: Move(1); return 0;
        case IdApply: cmdApply_Click(); return 0;
        case IdDiscard:
            std::iota(order_.begin(), order_.end(), std::size_t{0});
            Replan(-1);
            return 0;
        case IdOriginal: cmdOriginal_Click(); return 0;
        case IdFix: cmdFix_Click(); return 0;
        case IDOK:
            // Enter on a shared file offers its other copies.
            if (GetFocus() == c_.lvShared) {
                const int row = static_cast<int>(
                    SendMessageW(c_.lvShared, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
                RECT r{LVIR_BOUNDS};
                SendMessageW(c_.lvShared, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
                POINT at{r.left + 20, r.bottom};
                ClientToScreen(c_.lvShared, &at);
                ShowCopies(row, at);
            }
            return 0;
        default: return 0;
        }
    case WM_LBUTTONUP:
        if (dragFrom_ >= 0) {
            const int from = dragFrom_;
            dragFrom_ = -1;
            ReleaseCapture();
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(hwnd_, c_.lvArchives, &at, 1);
            LVHITTESTINFO hit{at};
            int to = static_cast<int>(SendMessageW(c_.lvArchives, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            RECT client{};
            GetClientRect(c_.lvArchives, &client);
            // Below the last row: the archive goes last.
            const int last = static_cast<int>(report_.archives.size()) - 1;
            if ((to < 0 && at.y > 0 && at.x >= 0 && at.x < client.right) || to > last) to = last;
            if (to >= 0) MoveTo(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
        }
        return 0;
    case WM_CAPTURECHANGED: dragFrom_ = -1; return 0;
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SETCURSOR:
        if (BusyCursor::Apply()) return TRUE;
        break;
    default:
        if (HandleModelessMessage(layout_, message, wParam, lParam)) return 0;
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
