#include "core/transaction.h"

#include <windows.h>

#include <string_view>

#include "core/handles.h"
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

void StopHereForTests(int point) {
    if (point == g_stopPoint) TerminateProcess(GetCurrentProcess(), 99);
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Appends a line and sees it on the disk before going on.
bool WriteLine(const FileHandle& journal, const std::wstring& line) {
    const std::string bytes = WideToUtf8(line) + "\n";
    DWORD written = 0;
    return WriteFile(journal.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(journal.get());
}

FileHandle OpenExclusive(const std::wstring& path, DWORD access, DWORD disposition) {
    return FileHandle(CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

const wchar_t* KindWord(StepKind kind) {
    switch (kind) {
    case StepKind::Write: return L"write";
    case StepKind::Check: return L"check";
    case StepKind::Recycle: return L"recycle";
    default: return L"rename";
    }
}

// The plan as the journal keeps it: what, the steps, then "begin" once they
// are all on the disk, and "done k" as each step is done.
bool WritePlan(const FileHandle& journal, const ChangePlan& plan) {
    std::wstring text = L"what " + plan.what;
    for (const ChangeStep& step : plan.steps) {
        text += L"\n" + std::wstring(KindWord(step.kind)) + L" " + step.from + L"\t" + step.to;
    }
    return WriteLine(journal, text + L"\nbegin");
}

// What becomes of a temporary file that a change wrote when the change is undone.
using Discard = bool (*)(const std::wstring& path);
bool DeleteOwn(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }
bool RecycleOwn(const std::wstring& path) { return SendToRecycleBin(path).recycled; }

// Gives the steps before count their old names back, the last first, and
// discards what the Write steps among them, and a Write at count that had
// begun, wrote. The name of a file that could not be put back, or the empty
// text. A file that could not be discarded stays: it is one of ours, offered
// to the Recycle Bin at the next start, and every archive is as it was.
std::wstring Undo(const std::wstring& folder, const std::vector<ChangeStep>& steps, size_t count, Discard discard) {
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
        // Put back already, by an earlier recovery that could not finish.
        if (!Exists(to) && Exists(from)) continue;
        if (!MoveFileExW(to.c_str(), from.c_str(), 0)) return step.to;
    }
    return {};
}

void RemoveJournal(FileHandle& journal, const std::wstring& path) {
    journal.Reset();
    DeleteFileW(path.c_str());
}

struct Journal {
    ChangePlan plan;
    bool begun = false;
    size_t done = 0;
};

bool ParseStep(const std::wstring& line, ChangeStep& step) {
    for (const StepKind kind : {StepKind::Rename, StepKind::Write, StepKind::Check, StepKind::Recycle}) {
        const std::wstring word = std::wstring(KindWord(kind)) + L" ";
        if (line.rfind(word, 0) != 0) continue;
        const size_t tab = line.find(L'\t', word.size());
        if (tab == std::wstring::npos) return false;
        step = {line.substr(word.size(), tab - word.size()), line.substr(tab + 1), kind, {}};
        return true;
    }
    return false;
}

Journal ParseJournal(const std::string& bytes) {
    Journal journal;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        // A line that was being written when the process ended counts as not written.
        if (end == std::string::npos) break;
        const std::wstring line = Utf8ToWide(std::string_view(bytes).substr(at, end - at));
        at = end + 1;
        ChangeStep step;
        if (line.rfind(L"what ", 0) == 0) {
            journal.plan.what = line.substr(5);
        } else if (line == L"begin") {
            journal.begun = true;
        } else if (journal.begun && line == L"done " + std::to_wstring(journal.done)) {
            ++journal.done;
        } else if (!journal.begun && ParseStep(line, step)) {
            journal.plan.steps.push_back(std::move(step));
        }
    }
    return journal;
}

// A step that ran but whose mark did not reach the disk, as the names show it.
bool RanUnmarked(const std::wstring& folder, const ChangeStep& step) {
    switch (step.kind) {
    case StepKind::Rename: return Exists(InFolder(folder, step.to)) && !Exists(InFolder(folder, step.from));
    case StepKind::Recycle: return !Exists(InFolder(folder, step.from));
    default: return false;  // a written file may be partial; a check changes nothing
    }
}

std::string ReadAll(const FileHandle& file) {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

// Copies source into path, a name that is free, in large pieces; the copy
// keeps the source's time and is on the disk before it counts as written.
DWORD CopyInto(const std::wstring& source, const std::wstring& path,
               const std::function<bool(unsigned long long)>& progress) {
    constexpr DWORD kChunk = 1u << 20;
    const FileHandle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid()) return GetLastError();
    const FileHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    WIN32_FIND_DATAW data{};
    const FindHandle find(FindFirstFileW(InFolder(folder, L"~tarrow-*.tmp").c_str(), &data));
    if (!find.valid()) return left;
    do {
        const std::wstring name = data.cFileName;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // The platform matches short names too; only our own long names count.
        if (!IsTemporaryName(name)) continue;
        if (WriterRuns(name)) continue;
        left.push_back({name, (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
    } while (FindNextFileW(find.get(), &data));
    return left;
}

std::wstring LeftFilesQuestion(const std::vector<LeftFile>& files) {
    // Most are partial copies, but one may be an archive that a replace had
    // set aside: the Recycle Bin keeps it, where the player can still find it.
    std::wstring text = L"A Tarrow that was stopped halfway left these temporary files in main:\r\n";
    for (const LeftFile& file : files) text += L"\r\n" + file.name + L", " + ToDecimal(static_cast<long long>(file.size)) + L" bytes";
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

void SetStopPointForTests(int point) { g_stopPoint = point; }

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

bool IsTemporaryName(const std::wstring& name) {
    return name.rfind(L"~tarrow-", 0) == 0 && name.size() >= 12 && name.compare(name.size() - 4, 4, L".tmp") == 0;
}

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

ChangeOutcome RunSteps(const std::wstring& folder, const ChangePlan& plan, const FileHandle& journal) {
    ChangeOutcome outcome;
    const int steps = static_cast<int>(plan.steps.size());
    for (int k = 0; k < steps; ++k) {
        StopHereForTests(2 * k);
        const ChangeStep& step = plan.steps[static_cast<size_t>(k)];
        DWORD error = 0;
        try {
            error = RunStep(folder, step, outcome);
        } catch (...) {
            Undo(folder, plan.steps, static_cast<size_t>(k), DeleteOwn);
            throw;
        }
        if (error) {
            const bool noSource = k == 0 && error == ERROR_FILE_NOT_FOUND && !step.from.empty() &&
                                  !Exists(InFolder(folder, step.from));
            Undo(folder, plan.steps, static_cast<size_t>(k), DeleteOwn);
            outcome.result = noSource               ? ChangeResult::NoSource
                             : error == ERROR_CANCELLED ? ChangeResult::Cancelled
                                                        : ChangeResult::Failed;
            outcome.error = error;
            outcome.step = static_cast<size_t>(k);
            return outcome;
        }
        StopHereForTests(2 * k + 1);
        // A mark that did not reach the disk is found again from the names.
        WriteLine(journal, L"done " + std::to_wstring(k));
    }
    StopHereForTests(2 * steps);
    return outcome;
}

}  // namespace

bool ChangeRunning() { return g_running > 0; }

ChangeOutcome RunChange(const std::wstring& folder, const ChangePlan& plan) {
    const Running running;
    const std::wstring path = InFolder(folder, JournalName);
    FileHandle journal = OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
    if (!journal.valid() && GetLastError() == ERROR_FILE_EXISTS) {
        // Left by a Tarrow that was stopped, or held by one that runs.
        const RecoveryOutcome left = RecoverChange(folder);
        if (!left.stuck.empty()) return {ChangeResult::Failed, ERROR_SHARING_VIOLATION};
        journal = OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
    }
    if (!journal.valid()) {
        const DWORD error = GetLastError();
        return {error == ERROR_FILE_EXISTS || error == ERROR_SHARING_VIOLATION ? ChangeResult::Busy : ChangeResult::Failed,
                error};
    }
    if (!WritePlan(journal, plan)) {
        const DWORD error = GetLastError();
        RemoveJournal(journal, path);
        return {ChangeResult::Failed, error};
    }
    ChangeOutcome outcome;
    try {
        outcome = RunSteps(folder, plan, journal);
    } catch (...) {
        // Its steps were undone: the folder is as it was.
        RemoveJournal(journal, path);
        throw;
    }
    RemoveJournal(journal, path);
    return outcome;
}

RecoveryOutcome RecoverChange(const std::wstring& folder) {
    const std::wstring path = InFolder(folder, JournalName);
    if (!Exists(path)) return {};
    FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
    // Held: a running Tarrow is changing the folder, and it is not ours to touch.
    if (!file.valid()) return {};
    Journal journal = ParseJournal(ReadAll(file));
    RecoveryOutcome outcome{true, false, journal.plan.what, {}};
    const std::vector<ChangeStep>& steps = journal.plan.steps;
    size_t done = journal.begun ? journal.done : 0;
    if (journal.begun && done < steps.size() && RanUnmarked(folder, steps[done])) ++done;
    if (journal.begun && done == steps.size()) {
        outcome.completed = true;
    } else {
        outcome.stuck = Undo(folder, steps, done, RecycleOwn);
        if (!outcome.stuck.empty()) return outcome;
    }
    RemoveJournal(file, path);
    return outcome;
}

std::wstring RecoveryMessage(const RecoveryOutcome& outcome) {
    if (!outcome.found) return {};
    const std::wstring stopped = L"Tarrow was stopped while " + outcome.what + L".";
    if (!outcome.stuck.empty()) {
        return stopped + L" It could not give " + outcome.stuck +
               L" its old name back, because the file is in use. Nothing more was changed; Tarrow tries again at its next start.";
    }
    if (outcome.completed) return stopped + L" The change had been made, and it stands.";
    return stopped + L" The folder is as it was before.";
}
