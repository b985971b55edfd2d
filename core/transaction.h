#pragma once
// One change to the game's main folder, run as a plan under a journal beside
// the archives, so that a Tarrow stopped halfway (killed, or the power gone)
// leaves nothing half done: the next start puts the folder back as it was, or
// finishes a change whose last step had run. While a plan runs, its Tarrow
// holds the journal open without sharing; a journal that can be opened
// belongs to no running Tarrow.
#include <string>
#include <vector>

// The journal's name: the game ignores it, and neither it nor its 8.3 short
// name matches *.pk3.
inline constexpr wchar_t JournalName[] = L"~tarrow-journal.txt";

// A rename of one file of the folder to a name that is free; names are
// relative to the folder.
struct RenameStep {
    std::wstring from, to;
};

struct ChangePlan {
    std::wstring what;  // what the change does, for the player: "disabling sniper"
    std::vector<RenameStep> steps;
};

enum class ChangeResult {
    Done,
    Busy,     // another Tarrow is changing the folder
    NoSource, // the first step's file is not there: nothing was changed
    Failed,   // a step failed; the steps before it were undone
};
struct ChangeOutcome {
    ChangeResult result = ChangeResult::Done;
    unsigned long error = 0;  // the system's error code when Failed
};

// Runs the plan: the journal first, flushed; then each step, each marked done
// in the journal as it is; the journal goes at the end. A step that fails
// undoes the ones before it.
ChangeOutcome RunChange(const std::wstring& folder, const ChangePlan& plan);

// What the start found of a change that a stopped Tarrow left.
struct RecoveryOutcome {
    bool found = false;      // there was an abandoned journal
    bool completed = false;  // its last step had run, so the change stands
    std::wstring what;       // the change, as its plan named it
    std::wstring stuck;      // a file that could not be put back; the journal stays
};

// Puts right a change that no running Tarrow holds: every renamed file gets
// its old name back, unless the last step had already run. Changes nothing
// when another Tarrow holds the journal.
RecoveryOutcome RecoverChange(const std::wstring& folder);
// The message for the player, or the empty text when there was nothing to put right.
std::wstring RecoveryMessage(const RecoveryOutcome& outcome);

// A temporary file of ours (~tarrow-<pid>-<n>.tmp) whose Tarrow no longer
// runs, left by a Tarrow stopped halfway: mostly a partial copy.
struct LeftFile {
    std::wstring name;
    unsigned long long size = 0;
};
std::vector<LeftFile> LeftTemporaryFiles(const std::wstring& folder);
// The question that names them with their sizes; Yes sends them to the Recycle Bin.
std::wstring LeftFilesQuestion(const std::vector<LeftFile>& files);
// Sends them to the Recycle Bin, never deleting one for good; for each one
// that stays, a line with its name and why.
std::vector<std::wstring> RecycleLeftFiles(const std::wstring& folder, const std::vector<LeftFile>& files);

// For the tests of a stopped Tarrow: the process ends at once, without
// unwinding, at a point of the next plan. Point 2k is before step k, point
// 2k + 1 after step k but before its mark, and point 2n, for n steps, after
// the last mark, before the journal goes. A negative point ends nothing.
void SetStopPointForTests(int point);
