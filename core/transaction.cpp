#include "core/transaction.h"

#include <windows.h>

#include <string_view>

#include "core/directory.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/handles.h"
#include "core/journal.h"
#include "core/safe_files.h"
#include "core/text.h"

namespace {

int g_stopPoint = -1;
int g_running = 0;

struct Running {
    Running() { ++g_running; }
    ~Running() { --g_running; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
};

int g_pointsPassed = 0;

// The points come in order, each once: the numbers of one plan, and of a
// group's parts one after another.
void StopHereForTests() {
    if (g_stopPoint >= 0 && g_pointsPassed++ == g_stopPoint) TerminateProcess(GetCurrentProcess(), 99);
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

using FileSystem::Exists;

// Appends bytes and sees them on the disk before going on.
bool WriteDurably(const FileHandle& journal, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(journal.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(journal.get());
}

// The journal, held without sharing: DELETE lets the holder remove it or set
// it aside while it still holds it, so that no other Tarrow adopts it between.
FileHandle OpenExclusive(const std::wstring& path, DWORD access, DWORD disposition) {
    return FileHandle(
        CreateFileW(path.c_str(), access | DELETE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

journal::Kind KindOf(StepKind kind) {
    switch (kind) {
    case StepKind::Write: return journal::Kind::Write;
    case StepKind::Check: return journal::Kind::Check;
    case StepKind::Recycle: return journal::Kind::Recycle;
    default: return journal::Kind::Rename;
    }
}

StepKind KindOf(journal::Kind kind) {
    switch (kind) {
    case journal::Kind::Write: return StepKind::Write;
    case journal::Kind::Check: return StepKind::Check;
    case journal::Kind::Recycle: return StepKind::Recycle;
    default: return StepKind::Rename;
    }
}

std::vector<journal::Step> JournalSteps(const std::vector<ChangeStep>& steps) {
    std::vector<journal::Step> out;
    out.reserve(steps.size());
    for (const ChangeStep& step : steps) out.push_back({KindOf(step.kind), WideToUtf8(step.from), WideToUtf8(step.to)});
    return out;
}

// Why the plan may not run, or the empty text: the same rules as for a journal read back.
std::wstring PlanProblem(const std::vector<journal::Step>& steps) {
    for (size_t k = 0; k < steps.size(); ++k) {
        const std::string problem = journal::StepProblem(steps[k]);
        if (!problem.empty()) return L"step " + std::to_wstring(k + 1) + L" " + Utf8ToWide(problem);
    }
    return {};
}

// What becomes of a temporary file that a change wrote when the change is undone.
using Discard = bool (*)(const std::wstring& path);
bool DeleteOwn(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }
bool RecycleOwn(const std::wstring& path) { return SendToRecycleBin(path).recycled; }

struct UndoReport {
    std::vector<std::wstring> stuck, skipped;
};

// Gives the steps before count their old names back, the last first, and
// discards what the Write steps among them, and a Write at count that had
// begun, wrote. A rename that cannot be undone is named, and the others are
// still undone: a rename never replaces a file, so none can do harm. A file
// that could not be discarded stays: it is one of ours, offered to the
// Recycle Bin at the next start, and every archive is as it was.
UndoReport Undo(const std::wstring& folder, const std::vector<ChangeStep>& steps, size_t count, Discard discard) {
    UndoReport report;
    if (count < steps.size() && steps[count].kind == StepKind::Write && Exists(InFolder(folder, steps[count].to))) {
        discard(InFolder(folder, steps[count].to));
    }
    while (count-- > 0) {
        const ChangeStep& step = steps[count];
        const std::wstring from = InFolder(folder, step.from), to = InFolder(folder, step.to);
        if (step.kind == StepKind::Write) {
            if (Exists(to)) discard(to);
            continue;
        }
        if (step.kind != StepKind::Rename) continue;
        const bool there = Exists(to), back = Exists(from);
        // Put back already, by an earlier recovery that could not finish.
        if (!there && back) continue;
        if (!there) {
            report.skipped.push_back(step.from + L" (or " + step.to + L")");
            continue;
        }
        if (!MoveFileExW(to.c_str(), from.c_str(), 0)) {
            report.stuck.push_back(step.to + L": it could not get its old name " + step.from + L" back. " +
                                   SystemMessage(GetLastError()));
        }
    }
    return report;
}

// Removes the journal that the handle holds, before letting it go.
void RemoveJournal(FileHandle& journal, const std::wstring& path) {
    FILE_DISPOSITION_INFO gone{TRUE};
    const bool removed = SetFileInformationByHandle(journal.get(), FileDispositionInfo, &gone, sizeof gone);
    journal.Reset();
    if (!removed) DeleteFileW(path.c_str());
}

// A free name in the folder for a journal set aside; the game ignores it, and
// no step of a journal may name it.
std::wstring SetAsideName(const std::wstring& folder) {
    for (unsigned n = 1;; ++n) {
        std::wstring name = L"~tarrow-journal-set-aside-" + std::to_wstring(n) + L".txt";
        if (!Exists(InFolder(folder, name))) return name;
    }
}

// Renames the journal that the handle holds, then lets it go: the name it
// now has, or the empty text with the system's error.
std::wstring SetAside(FileHandle& journal, const std::wstring& folder, unsigned long& error) {
    std::wstring name = SetAsideName(folder);
    const std::wstring target = InFolder(folder, name);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), info->FileName);
    const bool renamed =
        SetFileInformationByHandle(journal.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
    journal.Reset();
    if (renamed || MoveFileExW(InFolder(folder, JournalName).c_str(), target.c_str(), 0)) return name;
    error = GetLastError();
    return {};
}

ChangePlan PlanOf(const journal::Record& record) {
    ChangePlan plan{Utf8ToWide(record.what), {}};
    for (const journal::Step& step : record.steps) {
        plan.steps.push_back({Utf8ToWide(step.from), Utf8ToWide(step.to), KindOf(step.kind), {}});
    }
    return plan;
}

// A step that ran but whose mark did not reach the disk, as the names show it.
bool RanUnmarked(const std::wstring& folder, const ChangeStep& step) {
    switch (step.kind) {
    case StepKind::Rename: return Exists(InFolder(folder, step.to)) && !Exists(InFolder(folder, step.from));
    case StepKind::Recycle: return !Exists(InFolder(folder, step.from));
    default: return false;  // a written file may be partial; a check changes nothing
    }
}

// The journal's bytes, and one more than a journal may have when it is larger.
std::string ReadJournal(const FileHandle& file) { return FileSystem::ReadToEnd(file.get(), journal::kMaxBytes); }

// Copies source into path, a name that is free, in large pieces; the copy
// keeps the source's time and is on the disk before it counts as written.
DWORD CopyInto(const std::wstring& source, const std::wstring& path,
               const std::function<bool(unsigned long long)>& progress) {
    constexpr DWORD kChunk = 1u << 20;
    const FileHandle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid()) return GetLastError();
    const FileHandle out(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return GetLastError();
    std::string buffer(kChunk, '\0');
    unsigned long long copied = 0;
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in.get(), buffer.data(), kChunk, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) {
            const DWORD error = GetLastError();
            return error ? error : ERROR_DISK_FULL;
        }
        copied += got;
        if (progress && !progress(copied)) return ERROR_CANCELLED;
    }
    FILETIME stamp{};
    if (GetFileTime(in.get(), nullptr, nullptr, &stamp)) SetFileTime(out.get(), nullptr, nullptr, &stamp);
    return FlushFileBuffers(out.get()) ? 0 : GetLastError();
}

// The process that a temporary name carries runs still: its file may be a copy in progress.
bool WriterRuns(const std::wstring& name) {
    const size_t start = std::wstring(L"~tarrow-").size(), dash = name.find(L'-', start);
    if (dash == std::wstring::npos || dash == start) return false;
    DWORD pid = 0;
    for (size_t i = start; i < dash; ++i) {
        if (name[i] < L'0' || name[i] > L'9') return false;
        pid = pid * 10 + static_cast<DWORD>(name[i] - L'0');
    }
    if (pid == GetCurrentProcessId()) return true;
    const ProcessHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    DWORD code = 0;
    return process.valid() && GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

}  // namespace

std::vector<LeftFile> LeftTemporaryFiles(const std::wstring& folder) {
    std::vector<LeftFile> left;
    DirectoryWalk walk(InFolder(folder, L"~tarrow-*.tmp"));
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring name = entry.cFileName;
        // The platform matches short names too; only our own long names count.
        if (IsFolder(entry) || !IsTemporaryName(name) || WriterRuns(name)) continue;
        left.push_back({name, FileSystem::SizeOf(entry)});
    }
    return left;
}

std::wstring LeftFilesQuestion(const std::wstring& folder, const std::vector<LeftFile>& files) {
    // Most are partial copies, but one may be an archive that a replace had
    // set aside: the Recycle Bin keeps it, where the player can still find it.
    std::wstring text =
        L"A Tarrow that was stopped halfway left these temporary files in " + FolderLabel(folder) + L":\r\n";
    for (const LeftFile& file : files)
        text += L"\r\n" + file.name + L", " + ToDecimal(static_cast<long long>(file.size)) + L" bytes";
    return text + L"\r\n\r\nSend them to the Recycle Bin?";
}

std::vector<std::wstring> RecycleLeftFiles(const std::wstring& folder, const std::vector<LeftFile>& files) {
    std::vector<std::wstring> stayed;
    for (const LeftFile& file : files) {
        const RecycleOutcome outcome = SendToRecycleBin(InFolder(folder, file.name));
        if (!outcome.recycled) stayed.push_back(file.name + L": " + outcome.reason);
    }
    return stayed;
}

void SetStopPointForTests(int point) {
    g_stopPoint = point;
    g_pointsPassed = 0;
}

ChangeStep WriteStep(const std::wstring& temporary, FileWork work) {
    return {{}, temporary, StepKind::Write, std::move(work)};
}

ChangeStep CheckStep(const std::wstring& temporary, FileWork check) {
    return {{}, temporary, StepKind::Check, std::move(check)};
}

ChangeStep RecycleStep(const std::wstring& name) { return {name, {}, StepKind::Recycle, {}}; }

ChangeStep CopyStep(const std::wstring& source, const std::wstring& temporary,
                    std::function<bool(unsigned long long)> progress) {
    return WriteStep(temporary, [source, progress = std::move(progress)](const std::wstring& path) {
        return CopyInto(source, path, progress);
    });
}

std::wstring TemporaryNameOf(const std::wstring& folder) {
    const std::wstring path = TemporaryNameIn(folder);
    return path.substr(path.find_last_of(L'\\') + 1);
}

bool IsTemporaryName(const std::wstring& name) { return journal::IsTemporaryName(WideToUtf8(name)); }

namespace {

// Runs one step; 0, or the system's error code.
DWORD RunStep(const std::wstring& folder, const ChangeStep& step, ChangeOutcome& outcome) {
    const std::wstring from = InFolder(folder, step.from), to = InFolder(folder, step.to);
    switch (step.kind) {
    case StepKind::Rename: return MoveFileExW(from.c_str(), to.c_str(), 0) ? 0 : GetLastError();
    case StepKind::Write:
    case StepKind::Check: return step.work ? step.work(to) : 0;
    case StepKind::Recycle: {
        if (!Exists(from)) return ERROR_FILE_NOT_FOUND;
        RecycleOutcome recycled = SendToRecycleBin(from);
        if (!recycled.recycled) outcome.kept = std::move(recycled);
        return 0;
    }
    }
    return 0;
}

// The message for what a failed change could not put back; its journal stays.
std::wstring NotPutBackMessage(const std::wstring& folder, const std::wstring& what,
                               const std::vector<std::wstring>& stuck) {
    const std::wstring label = FolderLabel(folder);
    std::wstring text =
        L"Tarrow could not finish " + what + L", and it could not put " + label + L" back as it was:\r\n";
    for (const std::wstring& line : stuck) text += L"\r\n" + line;
    return text + L"\r\n\r\nIts journal, " + label + L"\\" + JournalName +
           L", stays: Tarrow puts the rest right before the next change and at its next start, once the "
           L"archive is free.";
}

ChangeOutcome Failure(const std::wstring& folder, const ChangePlan& plan, size_t undo, ChangeResult result, DWORD error,
                      size_t step, bool& keepJournal) {
    const UndoReport report = Undo(folder, plan.steps, undo, DeleteOwn);
    ChangeOutcome outcome{result, error, step, std::nullopt, {}};
    if (!report.stuck.empty()) {
        keepJournal = true;
        outcome.result = ChangeResult::Failed;
        outcome.message = NotPutBackMessage(folder, plan.what, report.stuck);
    }
    return outcome;
}

ChangeOutcome RunSteps(const std::wstring& folder, const ChangePlan& plan, const FileHandle& journal,
                       bool& keepJournal) {
    ChangeOutcome outcome;
    const int steps = static_cast<int>(plan.steps.size());
    for (int k = 0; k < steps; ++k) {
        StopHereForTests();
        const ChangeStep& step = plan.steps[static_cast<size_t>(k)];
        DWORD error = 0;
        try {
            error = RunStep(folder, step, outcome);
        } catch (...) {
            // What could not be put back keeps its journal, as on the way of a failed step.
            keepJournal = !Undo(folder, plan.steps, static_cast<size_t>(k), DeleteOwn).stuck.empty();
            throw;
        }
        const size_t at = static_cast<size_t>(k);
        if (error) {
            const bool noSource =
                k == 0 && error == ERROR_FILE_NOT_FOUND && !step.from.empty() && !Exists(InFolder(folder, step.from));
            const ChangeResult result = noSource                   ? ChangeResult::NoSource
                                        : error == ERROR_CANCELLED ? ChangeResult::Cancelled
                                                                   : ChangeResult::Failed;
            return Failure(folder, plan, at, result, error, at, keepJournal);
        }
        StopHereForTests();
        // A step whose mark cannot be written is undone with the others: a
        // recovery must never have to guess past more than one step.
        if (!WriteDurably(journal, journal::EncodeDone(at))) {
            const DWORD markError = GetLastError();
            if (step.kind == StepKind::Recycle) continue;  // what the bin took cannot come back; it is the last kind
            return Failure(folder, plan, at + 1, ChangeResult::Failed, markError ? markError : ERROR_WRITE_FAULT, at,
                           keepJournal);
        }
    }
    StopHereForTests();
    return outcome;
}

std::wstring g_refusal;

ChangeOutcome Refusal(std::wstring message) {
    ChangeOutcome outcome{ChangeResult::Refused};
    outcome.message = std::move(message);
    return outcome;
}

}  // namespace

void RefuseChanges(const std::wstring& why) { g_refusal = why; }

bool ChangeRunning() { return g_running > 0; }

std::wstring ChangeOutcome::Failure(const std::wstring& lead, const std::wstring& after) const {
    if (!message.empty()) return message;
    return lead + L": " + SystemMessage(error) + after;
}

std::wstring ChangeOutcome::KeptSentence(const std::wstring& lead, const std::wstring& where) const {
    if (!kept) return {};
    return lead + L" " + kept->reason + L" It is " + where + L" " + kept->stillAt + L".";
}

namespace {

// A part of a change over several folders: its group's id, where the group's
// record lies, and that its journal stays once its steps are done, until the
// group commits.
struct GroupTag {
    std::string id;  // empty for a change of one folder
    std::wstring recordFolder;
};

std::wstring GroupRecordName(const std::string& id) { return L"~tarrow-group-" + Utf8ToWide(id) + L".txt"; }

ChangeOutcome RunPart(const std::wstring& folder, const ChangePlan& plan, const GroupTag& group) {
    if (!g_refusal.empty()) return Refusal(g_refusal);
    const std::vector<journal::Step> steps = JournalSteps(plan.steps);
    if (const std::wstring problem = PlanProblem(steps); !problem.empty()) {
        return Refusal(L"Tarrow refused its own plan for " + plan.what + L": " + problem + L"." + NothingWasChanged);
    }
    const Running running;
    const std::wstring path = InFolder(folder, JournalName);
    FileHandle journal = OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
    if (!journal.valid() && GetLastError() == ERROR_FILE_EXISTS) {
        // Left by a Tarrow that was stopped, or held by one that runs. The plan
        // was made before the folder was put right, so it is not run: the
        // player sees the folder again and asks anew.
        const RecoveryOutcome left = RecoverChange(folder, group.recordFolder);
        if (left.found || !left.refused.empty()) {
            return Refusal(RecoveryMessage(left) + L"\r\n\r\nTarrow did not begin " + plan.what + L".");
        }
        journal = OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
    }
    if (!journal.valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_SHARING_VIOLATION) {
            ChangeOutcome busy{ChangeResult::Busy, error};
            busy.message = BusyMessage;
            return busy;
        }
        return {ChangeResult::Failed, error};
    }
    if (!WriteDurably(journal, journal::EncodePlan(WideToUtf8(plan.what), steps, group.id))) {
        const DWORD error = GetLastError();
        RemoveJournal(journal, path);
        return {ChangeResult::Failed, error};
    }
    ChangeOutcome outcome;
    bool keepJournal = false;
    try {
        outcome = RunSteps(folder, plan, journal, keepJournal);
    } catch (...) {
        // Its steps were undone and the folder is as it was, unless one could not be put back.
        if (keepJournal) {
            journal.Reset();
        } else {
            RemoveJournal(journal, path);
        }
        throw;
    }
    // A part of a group keeps its journal until the group's record goes.
    if (keepJournal || (!group.id.empty() && outcome.result == ChangeResult::Done)) {
        journal.Reset();
    } else {
        RemoveJournal(journal, path);
    }
    return outcome;
}

// Whether the record of a group that a journal names is there, and whether a
// running Tarrow holds it.
enum class GroupState { None, Uncommitted, Held };

GroupState StateOf(const std::string& id, const std::wstring& recordFolder) {
    if (id.empty()) return GroupState::None;
    const std::wstring path = InFolder(recordFolder, GroupRecordName(id));
    if (!Exists(path)) return GroupState::None;
    return OpenExclusive(path, GENERIC_READ, OPEN_EXISTING).valid() ? GroupState::Uncommitted : GroupState::Held;
}

// Puts right the journal of a folder; ownGroup is the group that this
// process runs, whose held record means "not committed" rather than "busy".
RecoveryOutcome Recover(const std::wstring& folder, const std::wstring& recordFolder, const std::string& ownGroup) {
    const std::wstring path = InFolder(folder, JournalName);
    if (!Exists(path)) return {};
    FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
    // Held: a running Tarrow is changing the folder, and it is not ours to touch.
    if (!file.valid()) return {};
    const journal::Parsed parsed = journal::Parse(ReadJournal(file));
    RecoveryOutcome outcome;
    outcome.folder = FolderLabel(folder);
    if (!parsed.ok) {
        unsigned long error = 0;
        outcome.refused = Utf8ToWide(parsed.problem);
        outcome.setAside = SetAside(file, folder, error);
        return outcome;
    }
    GroupState group = StateOf(parsed.record.group, recordFolder.empty() ? folder : recordFolder);
    if (group == GroupState::Held && !ownGroup.empty() && parsed.record.group == ownGroup)
        group = GroupState::Uncommitted;
    // A part of a change over several folders that another Tarrow is running.
    if (group == GroupState::Held) return {};
    const ChangePlan plan = PlanOf(parsed.record);
    // Stopped before anything of the plan reached the disk: nothing to put right.
    if (plan.what.empty() && plan.steps.empty()) {
        RemoveJournal(file, path);
        return {};
    }
    outcome.found = true;
    outcome.what = plan.what.empty() ? L"changing main" : plan.what;
    size_t done = parsed.record.begun ? parsed.record.done : 0;
    if (parsed.record.begun && done < plan.steps.size() && RanUnmarked(folder, plan.steps[done])) ++done;
    // A group's part stands only once the group has committed: its record is gone.
    if (parsed.record.begun && done == plan.steps.size() && group == GroupState::None) {
        outcome.completed = true;
    } else {
        UndoReport report = Undo(folder, plan.steps, done, RecycleOwn);
        outcome.stuck = std::move(report.stuck);
        outcome.skipped = std::move(report.skipped);
        if (!outcome.stuck.empty()) return outcome;
    }
    RemoveJournal(file, path);
    return outcome;
}

// Removes a group part's journal once the group has committed.
void RemovePartJournal(const std::wstring& folder) {
    const std::wstring path = InFolder(folder, JournalName);
    FileHandle journal = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
    if (journal.valid()) RemoveJournal(journal, path);
}

std::string NextGroupId() {
    static unsigned next = 0;
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++next);
}

}  // namespace

ChangeOutcome RunChange(const std::wstring& folder, const ChangePlan& plan) {
    return RunPart(folder, plan, {{}, folder});
}

ChangeOutcome RunGroupChange(const std::wstring& recordFolder, const std::wstring& what,
                             const std::vector<ChangePart>& parts) {
    if (parts.size() == 1) return RunPart(parts.front().folder, parts.front().plan, {{}, recordFolder});
    if (!g_refusal.empty()) return Refusal(g_refusal);
    const Running running;
    const GroupTag group{NextGroupId(), recordFolder};
    const std::wstring recordPath = InFolder(recordFolder, GroupRecordName(group.id));
    // The commit point: while this file is there, no part of the change stands.
    FileHandle record = OpenExclusive(recordPath, GENERIC_WRITE, CREATE_NEW);
    if (!record.valid() || !WriteDurably(record, "tarrow-group 1\nwhat " + WideToUtf8(what) + "\n")) {
        const DWORD error = GetLastError();
        if (record.valid()) RemoveJournal(record, recordPath);
        return {ChangeResult::Failed, error};
    }
    StopHereForTests();
    ChangeOutcome outcome;
    std::optional<RecycleOutcome> kept;
    for (size_t i = 0; i < parts.size(); ++i) {
        outcome = RunPart(parts[i].folder, parts[i].plan, group);
        if (outcome.kept) kept = outcome.kept;
        if (outcome.result == ChangeResult::Done) continue;
        // The parts done before take their change back while the record still says it never stood.
        std::vector<std::wstring> stuck;
        for (size_t done = i; done-- > 0;) {
            const RecoveryOutcome back = Recover(parts[done].folder, recordFolder, group.id);
            for (const std::wstring& line : back.stuck) stuck.push_back(back.folder + L"\\" + line);
        }
        if (stuck.empty() && outcome.message.empty()) {
            RemoveJournal(record, recordPath);
            return outcome;
        }
        // What could not be put back keeps its journal and the group's record:
        // the next recovery puts the rest back.
        record.Reset();
        if (!stuck.empty()) {
            outcome.result = ChangeResult::Failed;
            outcome.message = NotPutBackMessage(recordFolder, what, stuck) +
                              (outcome.message.empty() ? L"" : L"\r\n\r\n" + outcome.message);
        }
        return outcome;
    }
    StopHereForTests();
    RemoveJournal(record, recordPath);
    StopHereForTests();
    for (const ChangePart& part : parts) RemovePartJournal(part.folder);
    outcome.kept = kept;
    return outcome;
}

RecoveryOutcome RecoverChange(const std::wstring& folder, const std::wstring& recordFolder) {
    return Recover(folder, recordFolder, {});
}

void ForgetFinishedGroups(const std::wstring& recordFolder, const std::vector<std::wstring>& folders) {
    DirectoryWalk walk(InFolder(recordFolder, L"~tarrow-group-*.txt"));
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        const std::wstring name = entry.cFileName;
        const std::string id = WideToUtf8(name.substr(14, name.size() - 14 - 4));
        if (IsFolder(entry) || !journal::IsGroupId(id)) continue;
        // A part that could not be put back still names it: it stays for the next recovery.
        const bool named = std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
            const std::wstring path = InFolder(folder, JournalName);
            const FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
            return Exists(path) && (!file.valid() || journal::Parse(ReadJournal(file)).record.group == id);
        });
        if (named) continue;
        const std::wstring path = InFolder(recordFolder, name);
        FileHandle record = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
        if (record.valid()) RemoveJournal(record, path);
    }
}

std::wstring RecoveryMessage(const RecoveryOutcome& outcome) {
    const std::wstring& main = outcome.folder;
    if (!outcome.refused.empty()) {
        std::wstring text = L"Tarrow found a journal of a change in " + main + L" that it will not play back: " +
                            outcome.refused + L". Nothing was renamed, written or sent to the Recycle Bin.";
        if (outcome.setAside.empty()) {
            return text + L" Tarrow could not set it aside; it is " + main + L"\\" + JournalName + L".";
        }
        return text + L" The journal is now " + main + L"\\" + outcome.setAside + L".";
    }
    if (!outcome.found) return {};
    const std::wstring stopped = L"Tarrow was stopped while " + outcome.what + L".";
    if (!outcome.stuck.empty()) {
        std::wstring text = stopped + L" It could not put " + main + L" back as it was:\r\n";
        for (const std::wstring& line : outcome.stuck) text += L"\r\n" + line;
        return text + L"\r\n\r\nIts journal, " + main + L"\\" + JournalName +
               L", stays: Tarrow tries again before the next change and at its next start. Close the program "
               L"that holds the archive, or choose Edit > Forget this change to leave " +
               main + L" as it is now.";
    }
    if (outcome.completed) return stopped + L" The change had been made, and it stands.";
    std::wstring text = stopped + L" The folder is as it was before.";
    if (outcome.skipped.empty()) return text;
    text += L" These archives were no longer in " + main + L", so they were left out:\r\n";
    for (const std::wstring& line : outcome.skipped) text += L"\r\n" + line;
    return text;
}

std::wstring ForgetChange(const std::wstring& folder, unsigned long& error) {
    FileHandle file = OpenExclusive(InFolder(folder, JournalName), GENERIC_READ, OPEN_EXISTING);
    if (!file.valid()) {
        error = GetLastError();
        return {};
    }
    return SetAside(file, folder, error);
}

bool HasLeftJournal(const std::wstring& folder) {
    const std::wstring path = InFolder(folder, JournalName);
    if (!Exists(path)) return false;
    return OpenExclusive(path, GENERIC_READ, OPEN_EXISTING).valid();
}
