#pragma once
// One change to the game's main folder, run as a plan under a journal beside
// the archives, so that a Tarrow stopped halfway (killed, or the power gone)
// leaves nothing half done: the next start puts the folder back as it was, or
// finishes a change whose last step had run. While a plan runs, its Tarrow
// holds the journal open without sharing; a journal that can be opened
// belongs to no running Tarrow.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/safe_files.h"

// The journal's name: the game ignores it, and neither it nor its 8.3 short
// name matches *.pk3.
inline constexpr wchar_t JournalName[] = L"~tarrow-journal.txt";

// What a second Tarrow says when it finds the folder held.
inline constexpr wchar_t BusyMessage[] = L"Another Tarrow is changing this folder.";

enum class StepKind {
    Rename,   // from -> to, a name that is free
    Write,    // fills the temporary file to, which does not exist yet
    Check,    // reads the file to back; changes nothing
    Recycle,  // sends from to the Recycle Bin: steps of this kind come last,
              // since what the bin took is not brought back
};

// The work of a Write or a Check on the file at path: 0 when it went well,
// or the system's error code (ERROR_CANCELLED when the player cancelled).
using FileWork = std::function<unsigned long(const std::wstring& path)>;

// One step of a change; names are relative to the folder. A rename is
// written {from, to}.
struct ChangeStep {
    std::wstring from, to;
    StepKind kind = StepKind::Rename;
    FileWork work;
};

ChangeStep WriteStep(const std::wstring& temporary, FileWork work);
ChangeStep CheckStep(const std::wstring& temporary, FileWork check);
ChangeStep RecycleStep(const std::wstring& name);
// A Write that copies source, flushed and with its time kept; progress hears
// the bytes copied so far and cancels the copy by answering false.
ChangeStep CopyStep(const std::wstring& source, const std::wstring& temporary,
                    std::function<bool(unsigned long long)> progress = {});
// A free temporary name in the folder, relative to it: one that the game ignores.
std::wstring TemporaryNameOf(const std::wstring& folder);
// A name of the form that TemporaryNameOf gives: ~tarrow-<pid>-<n>.tmp.
bool IsTemporaryName(const std::wstring& name);

struct ChangePlan {
    std::wstring what;  // what the change does, for the player: "disabling sniper"
    std::vector<ChangeStep> steps;
};

enum class ChangeResult {
    Done,
    Busy,       // another Tarrow is changing the folder
    Refused,    // the layer ran nothing: the game runs, the folder held a
                // journal that it put right or could not, or the plan named
                // anything but the folder's own files
    NoSource,   // the first step's file is not there: nothing was changed
    Failed,     // a step failed; the steps before it were undone
    Cancelled,  // the player cancelled a copy; the steps before it were undone
};
// What every refusal and failure that left the folder as it was ends with.
inline constexpr wchar_t NothingWasChanged[] = L" Nothing was changed.";

struct ChangeOutcome {
    ChangeResult result = ChangeResult::Done;
    unsigned long error = 0;  // the system's error code when Failed
    size_t step = 0;          // the step that failed
    // A Recycle step whose file the bin did not take: where the file is kept.
    std::optional<RecycleOutcome> kept;
    // The layer's own words for the player, which the caller shows instead of
    // its own: why a Busy or Refused change ran nothing, or what a Failed
    // change could not put back (then its journal stays for the next recovery).
    std::wstring message;

    // The player's sentences for a change that did not go whole, made here
    // alone. The layer's own message, when it has one; else lead + ": " + the
    // system's reason + after.
    std::wstring Failure(const std::wstring& lead, const std::wstring& after = {}) const;
    // A file the Recycle Bin did not take: lead, its reason, and where it is ("still at", "kept as").
    std::wstring KeptSentence(const std::wstring& lead, const std::wstring& where = L"still at") const;
};

// While the text is not empty, every change is Refused with it: the game
// runs and holds its archives.
void RefuseChanges(const std::wstring& why);

// Runs the plan: the journal first, flushed; then each step, each marked done
// in the journal as it is; the journal goes at the end. A step that fails
// undoes the ones before it; a temporary file that the change wrote goes
// with them, since it never held anything of the player's.
ChangeOutcome RunChange(const std::wstring& folder, const ChangePlan& plan);

// A change over several folders (the install folder, its VirtualStore copy,
// the per-user folder): each folder's part runs under that folder's journal,
// which names the group, and the whole stands only once the group's record in
// recordFolder is gone, its one commit point. A part that fails, and a stop
// anywhere, puts every folder back; what cannot be put back is named by its
// present name and keeps its journal and the record for the next recovery.
struct ChangePart {
    std::wstring folder;
    ChangePlan plan;
};
ChangeOutcome RunGroupChange(const std::wstring& recordFolder, const std::wstring& what,
                             const std::vector<ChangePart>& parts);

// True while a change of this process runs (a copy's progress window lets
// messages through meanwhile).
bool ChangeRunning();

// What a recovery found of a change that a stopped Tarrow left.
struct RecoveryOutcome {
    bool found = false;      // there was an abandoned journal with a change in it
    bool completed = false;  // its last step had run, so the change stands
    std::wstring what;       // the change, as its plan named it
    // Archives that could not be put back, each as "<name now>: why"; the
    // journal stays, and the next recovery tries again.
    std::vector<std::wstring> stuck;
    // Renames that could not be undone because neither name is in the folder
    // any more, each as "<old name> (or <new name>)"; the rest was undone.
    std::vector<std::wstring> skipped;
    // A journal that was refused whole, unplayed: what was wrong with it, and
    // the name it was set aside under in the folder.
    std::wstring refused, setAside;
    // The folder's name, as the messages give it: "main".
    std::wstring folder = L"main";
};

// Puts right a change that no running Tarrow holds: every renamed file gets
// its old name back and what the change wrote goes to the Recycle Bin, unless
// the last step had already run. A journal that is damaged, or that names
// anything but the folder's own files or Tarrow's temporary files, is not
// played at all: it is set aside. Changes nothing when another Tarrow holds
// the journal.
// recordFolder is where the records of changes over several folders lie (the
// folder itself when empty): a journal whose group's record is there is a
// part of a change that never stood, and is undone whatever it had done.
RecoveryOutcome RecoverChange(const std::wstring& folder, const std::wstring& recordFolder = {});
// Removes the records in recordFolder of groups whose parts no journal of
// these folders names any more: put back, or set aside.
void ForgetFinishedGroups(const std::wstring& recordFolder, const std::vector<std::wstring>& folders);
// The message for the player, or the empty text when there was nothing to say.
std::wstring RecoveryMessage(const RecoveryOutcome& outcome);
// Sets aside the journal of a change that could not be put right, leaving the
// folder as it is now: the name it now has in the folder, or the empty text
// with the system's error in error.
std::wstring ForgetChange(const std::wstring& folder, unsigned long& error);
// True while the folder holds a journal that no running Tarrow holds.
bool HasLeftJournal(const std::wstring& folder);

// A temporary file of ours (~tarrow-<pid>-<n>.tmp) whose Tarrow no longer
// runs, left by a Tarrow stopped halfway: mostly a partial copy.
struct LeftFile {
    std::wstring name;
    unsigned long long size = 0;
};
std::vector<LeftFile> LeftTemporaryFiles(const std::wstring& folder);
// The question that names them with their sizes; Yes sends them to the Recycle Bin.
std::wstring LeftFilesQuestion(const std::wstring& folder, const std::vector<LeftFile>& files);
// Sends them to the Recycle Bin, never deleting one for good; for each one
// that stays, a line with its name and why.
std::vector<std::wstring> RecycleLeftFiles(const std::wstring& folder, const std::vector<LeftFile>& files);

// For the tests of a stopped Tarrow: the process ends at once, without
// unwinding, at a point of the next plan. Point 2k is before step k, point
// 2k + 1 after step k but before its mark, and point 2n, for n steps, after
// the last mark, before the journal goes. A negative point ends nothing.
void SetStopPointForTests(int point);

// How a window of ours asks for a change: the program runs it under the
// journal, keeps it for Undo under historyName (or, when cannotUndo is given,
// as a change that cannot be undone), and every window follows. True when it
// was made.
using ChangeRunner =
    std::function<bool(const ChangePlan& plan, const std::wstring& historyName, const std::wstring& cannotUndo)>;
