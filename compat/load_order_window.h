#pragma once
// frmLoadOrder: what the game loads from the Manager's folder, the winner of
// every shared file, and what is broken. Modeless, once, like About.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "compat/load_order.h"
#include "compat/reorder.h"
#include "ui/background_job.h"
#include "ui/modeless_window.h"
#include "core/transaction.h"

class frmLoadOrder : public ModelessWindow<frmLoadOrder> {
public:
    enum ControlId : int {
        IdLabel = 100,
        IdArchives,
        IdShared,
        IdProblems,
        IdAll,
        IdCopy,
        IdSave,
        IdMoveUp,
        IdMoveDown,
        IdOriginal,
        IdApply,
        IdDiscard,
        IdFix,
        IdProblemText,
        IdDiffering,
        IdUseCopy = 1000,  // the context menu's items: one per archive that holds the file
    };
    struct Controls {
        HWND lblFolder = nullptr, lvArchives = nullptr, lvShared = nullptr, lvProblems = nullptr;
        HWND cmdAll = nullptr, cmdCopy = nullptr, cmdSave = nullptr, cmdClose = nullptr;
        HWND cmdMoveUp = nullptr, cmdMoveDown = nullptr, cmdOriginal = nullptr, cmdApply = nullptr,
             cmdDiscard = nullptr, cmdFix = nullptr, lblProblem = nullptr, chkDiffering = nullptr;
    };
    // Problems that take long to find (what maps miss): worked out on a
    // thread of their own, and listed when they are known.
    using ProblemFinder = std::function<std::vector<LoadProblem>(const Game& game, const LoadOrderReport& report)>;
    static constexpr UINT ProblemsMessage = WM_APP + 3;

    explicit frmLoadOrder(ChangeRunner run = {}, ProblemFinder findMore = {})
        : run_(std::move(run)), findMore_(std::move(findMore)) {}
    ~frmLoadOrder();
    frmLoadOrder(const frmLoadOrder&) = delete;
    frmLoadOrder& operator=(const frmLoadOrder&) = delete;

    // Opens the window on a game, beside the window it accompanies.
    void Load(const Game& game, HWND beside = nullptr);
    // Reads the game's folder again.
    void Rebuild(const Game& game);

    const Controls& controls() const { return c_; }
    // The report as the list shows it: the planned order while there is a plan.
    const LoadOrderReport& report() const { return report_; }
    bool Planned() const;
    // While the game runs it holds its archives: nothing is applied then.
    void SetWritable(bool writable);
    // Selects the row of an archive, as the lists name it, and shows its shared files.
    void SelectArchive(const std::wstring& file);
    // The shared files on screen, as indexes into the report, in their order.
    const std::vector<std::size_t>& SharedShown() const { return sharedShown_; }

private:
    friend class WindowBase<frmLoadOrder>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    LRESULT OnNotify(const NMHDR& header);
    void ShowShared(int archive);
    void SortShared();
    void Fill();
    void cmdCopy_Click();
    void cmdSave_Click();
    // Moves the selected archive one place earlier (-1) or later (+1) in the plan.
    void Move(int delta);
    // Moves the archive at a place of the planned order to another place.
    void MoveTo(std::size_t from, std::size_t to);
    void Replan(int select);
    // Takes the planned order again by the archives' names after a re-read;
    // false, and no plan, when the folder no longer holds exactly those archives.
    bool KeepPlan(const std::vector<std::wstring>& planned);
    void EnablePlanButtons();
    int SelectedArchive() const;
    std::vector<std::wstring> TakenNames() const;
    // Shows the preview of a plan; OK runs its renames as one change.
    void Preview(const ReorderPlan& plan, const LoadOrderReport& after, const std::wstring& historyName);
    void cmdApply_Click();
    void cmdOriginal_Click();
    void cmdFix_Click();
    void KeepOneOf(const LoadProblem& problem);
    // A mod that another one copies: the copy goes to the Recycle Bin, after a preview.
    void RemoveCopy(const LoadProblem& problem);
    // A map's missing files that a disabled archive holds: it is enabled, after a question.
    void EnableForMap(const LoadProblem& problem);
    void MoreProblemsKnown();
    void ShowProblem();
    void ShowCopies(int row, POINT at);
    static LRESULT CALLBACK ArchivesProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self);

    ChangeRunner run_;
    ProblemFinder findMore_;
    BackgroundJob<std::vector<LoadProblem>> moreJob_;
    Game moreGame_ = DemoGame({});
    Controls c_;
    Layout layout_;
    Game game_ = DemoGame({});
    LoadOrderReport disk_;            // as main is now
    std::vector<std::size_t> order_;  // the planned order, as indexes into disk_.archives
    LoadOrderReport report_;          // disk_ in the planned order
    int dragFrom_ = -1;               // the row being dragged, or -1
    bool writable_ = true;
    std::vector<std::size_t> sharedShown_;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    std::wstring cell_;  // the text that the list view borrows for one cell
};
