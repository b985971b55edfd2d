#include "core/transaction.h"

#include <windows.h>

#include <string_view>

#include "core/handles.h"
#include "core/safe_files.h"
#include "core/text.h"

namespace {

int g_stopPoint = -1;

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

// The plan as the journal keeps it: what, the steps, then "begin" once they
// are all on the disk, and "done k" as each step is done.
bool WritePlan(const FileHandle& journal, const ChangePlan& plan) {
    std::wstring text = L"what " + plan.what;
    for (const RenameStep& step : plan.steps) text += L"\nrename " + step.from + L"\t" + step.to;
    return WriteLine(journal, text + L"\nbegin");
}

// Gives the steps before count their old names back, the last first; the
// name of a file that could not be put back, or the empty text.
std::wstring Undo(const std::wstring& folder, const std::vector<RenameStep>& steps, size_t count) {
    while (count-- > 0) {
        const std::wstring from = InFolder(folder, steps[count].from), to = InFolder(folder, steps[count].to);
        // Put back already, by an earlier recovery that could not finish.
        if (!Exists(to) && Exists(from)) continue;
        if (!MoveFileExW(to.c_str(), from.c_str(), 0)) return steps[count].to;
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

Journal ParseJournal(const std::string& bytes) {
    Journal journal;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        // A line that was being written when the process ended counts as not written.
        if (end == std::string::npos) break;
        const std::wstring line = Utf8ToWide(std::string_view(bytes).substr(at, end - at));
        at = end + 1;
        if (line.rfind(L"what ", 0) == 0) {
            journal.plan.what = line.substr(5);
        } else if (line.rfind(L"rename ", 0) == 0 && !journal.begun) {
            const size_t tab = line.find(L'\t');
            if (tab != std::wstring::npos) journal.plan.steps.push_back({line.substr(7, tab - 7), line.substr(tab + 1)});
        } else if (line == L"begin") {
            journal.begun = true;
        } else if (journal.begun && line == L"done " + std::to_wstring(journal.done)) {
            ++journal.done;
        }
    }
    return journal;
}

std::string ReadAll(const FileHandle& file) {
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
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
        if (name.rfind(L"~tarrow-", 0) != 0 || name.size() < 12 || name.compare(name.size() - 4, 4, L".tmp") != 0) {
            continue;
        }
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

ChangeOutcome RunChange(const std::wstring& folder, const ChangePlan& plan) {
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
    const int steps = static_cast<int>(plan.steps.size());
    for (int k = 0; k < steps; ++k) {
        StopHereForTests(2 * k);
        const RenameStep& step = plan.steps[static_cast<size_t>(k)];
        const std::wstring from = InFolder(folder, step.from);
        if (!MoveFileExW(from.c_str(), InFolder(folder, step.to).c_str(), 0)) {
            const DWORD error = GetLastError();
            const bool noSource = k == 0 && error == ERROR_FILE_NOT_FOUND && !Exists(from);
            Undo(folder, plan.steps, static_cast<size_t>(k));
            RemoveJournal(journal, path);
            return {noSource ? ChangeResult::NoSource : ChangeResult::Failed, error};
        }
        StopHereForTests(2 * k + 1);
        // A mark that did not reach the disk is found again from the names.
        WriteLine(journal, L"done " + std::to_wstring(k));
    }
    StopHereForTests(2 * steps);
    RemoveJournal(journal, path);
    return {};
}

RecoveryOutcome RecoverChange(const std::wstring& folder) {
    const std::wstring path = InFolder(folder, JournalName);
    if (!Exists(path)) return {};
    FileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
    // Held: a running Tarrow is changing the folder, and it is not ours to touch.
    if (!file.valid()) return {};
    Journal journal = ParseJournal(ReadAll(file));
    RecoveryOutcome outcome{true, false, journal.plan.what, {}};
    const std::vector<RenameStep>& steps = journal.plan.steps;
    size_t done = journal.begun ? journal.done : 0;
    // A step that ran but whose mark did not: its file has the new name only.
    if (journal.begun && done < steps.size() && Exists(InFolder(folder, steps[done].to)) &&
        !Exists(InFolder(folder, steps[done].from))) {
        ++done;
    }
    if (journal.begun && done == steps.size()) {
        outcome.completed = true;
    } else {
        outcome.stuck = Undo(folder, steps, done);
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
