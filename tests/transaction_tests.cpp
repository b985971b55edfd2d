// Changes to main under the journal: a Tarrow stopped at every point of a
// change, as by Task Manager, and the next start that puts the folder right.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <map>
#include <vector>

#include "core/handles.h"
#include "core/transaction.h"
#include "compat/reorder.h"
#include "modinfo/mod_info.h"
#include "mods/installer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;
using Folder = std::map<std::wstring, std::string>;  // name -> bytes

// A mod-set switch of three renames; a single switch is its first step alone.
const Names kBefore = {L"a.pk3", L"b.dis", L"c.pk3"};
const Names kAfter = {L"a.dis", L"b.pk3", L"c.dis"};

ChangePlan SwitchPlan(size_t steps) {
    ChangePlan plan{L"switching mods", {}};
    for (size_t i = 0; i < steps; ++i) plan.steps.push_back({kBefore[i], kAfter[i]});
    return plan;
}

const std::string kOld = MakeZip({"maps/old.bsp"}), kNew = MakeZip({"maps/new.bsp", "sound/new.wav"});

// One kind of change to main: the folder before it, the plan, and the folder after it.
struct Kind {
    const wchar_t* name;
    Folder before;
    Folder after;  // a bytes text of "*" stands for an archive that the change wrote anew
    const wchar_t* what;
};

const Kind kKinds[] = {
    {L"switch", {{L"a.pk3", "a"}, {L"b.dis", "b"}, {L"c.pk3", "c"}}, {{L"a.dis", "a"}, {L"b.pk3", "b"}, {L"c.dis", "c"}},
     L"switching mods"},
    {L"install", {{L"a.pk3", kOld}}, {{L"a.pk3", kOld}, {L"new.pk3", kNew}}, L"installing new.pk3"},
    {L"replace", {{L"a.pk3", kOld}}, {{L"a.pk3", kNew}}, L"replacing a.pk3"},
    {L"remove", {{L"a.pk3", kOld}, {L"b.pk3", kNew}}, {{L"b.pk3", kNew}}, L"removing a.pk3"},
    {L"save", {{L"a.pk3", kOld}}, {{L"a.pk3", "*"}}, L"saving the information of a.pk3"},
    {L"reorder", {{L"a.pk3", "a"}, {L"b.pk3", "b"}, {L"c.pk3", "c"}},
     {{L"c.pk3", "c"}, {L"D^b.pk3", "b"}, {L"E^a.pk3", "a"}}, L"reordering mods"},
};

// The plan of a kind, in the main folder of root; new.pk3 beside main is the download.
ChangePlan PlanOf(const std::wstring& kind, const std::wstring& root) {
    const std::wstring main = root + L"\\main\\";
    if (kind == L"switch") return SwitchPlan(3);
    if (kind == L"install") return PlaceModPlan(main, root + L"\\new.pk3", {}, L"new.pk3");
    if (kind == L"replace") return PlaceModPlan(main, root + L"\\new.pk3", L"a.pk3", L"a.pk3");
    if (kind == L"remove") return RemoveModPlan(L"a.pk3");
    if (kind == L"reorder") {
        return {L"reordering mods", PlanReorder({L"c.pk3", L"b.pk3", L"a.pk3"}, {L"a.pk3", L"b.pk3", L"c.pk3"}).renames};
    }
    return SaveInformationPlan(main + L"a.pk3", "[Tarrow]\r\nNAME=Old\r\n", nullptr);
}

Names Files(const std::wstring& folder) {
    Names names;
    WIN32_FIND_DATAW data{};
    const FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find.valid()) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

Folder Contents(const std::wstring& folder) {
    Folder contents;
    for (const auto& name : Files(folder)) {
        std::wstring path = folder;
        path += L"\\";
        contents[name] = ReadFileBytes(path += name);
    }
    return contents;
}

bool Matches(const Folder& found, const Folder& expected, const Folder& before) {
    if (found.size() != expected.size()) return false;
    for (const auto& [name, bytes] : expected) {
        const auto at = found.find(name);
        if (at == found.end()) return false;
        if (bytes == "*" ? at->second == before.at(name) || at->second.rfind("PK", 0) != 0 : at->second != bytes) return false;
    }
    return true;
}

}  // namespace

// The stopped Tarrow: TARROW_STOP is "<kind>|<root>|<stop point>".
TEST(InCopy, RunsAChangeThatIsStopped) {
    const wchar_t* stop = _wgetenv(L"TARROW_STOP");
    if (!stop) GTEST_SKIP() << "runs only in a copy";
    const std::wstring text = stop;
    const size_t first = text.find(L'|'), second = text.find(L'|', first + 1);
    const std::wstring kind = text.substr(0, first), root = text.substr(first + 1, second - first - 1);
    SetStopPointForTests(std::stoi(text.substr(second + 1)));
    RunChange(root + L"\\main", PlanOf(kind, root));
    FAIL() << "the change was not stopped";
}

// Every kind of change, stopped at every point as by Task Manager, then a fresh
// start: every archive is as before, or as after when the last step had run,
// nothing else is left in main, and the start says so once.
TEST(Journal, AChangeStoppedAtAnyPointIsUndoneOrCompleted) {
    for (const Kind& kind : kKinds) {
        TempFolder probe;
        const size_t steps = PlanOf(kind.name, probe.path()).steps.size();
        for (int point = 0; point <= static_cast<int>(2 * steps); ++point) {
            TempFolder copy, root;
            const std::wstring main = root / L"main";
            for (const auto& [name, bytes] : kind.before) WriteFileBytes(root / (L"main\\" + name), bytes);
            WriteFileBytes(root / L"new.pk3", kNew);
            CopyFileW((ProgramFolder() + L"\\unzip32.dll").c_str(), (copy / L"unzip32.dll").c_str(), FALSE);
            const std::wstring stop = std::wstring(kind.name) + L"|" + root.path() + L"|" + std::to_wstring(point);
            const std::wstring where = std::wstring(kind.name) + L", point " + std::to_wstring(point);
            ASSERT_EQ(RunInCopy(copy, L"TARROW_STOP", stop), 99u) << where;
            const RecoveryOutcome outcome = RecoverChange(main);
            EXPECT_TRUE(outcome.found) << where;
            const bool lastRan = point >= static_cast<int>(2 * steps - 1);
            EXPECT_EQ(outcome.completed, lastRan) << where;
            EXPECT_TRUE(Matches(Contents(main), lastRan ? kind.after : kind.before, kind.before)) << where;
            EXPECT_EQ(RecoveryMessage(outcome), L"Tarrow was stopped while " + std::wstring(kind.what) +
                                                    (lastRan ? L". The change had been made, and it stands."
                                                             : L". The folder is as it was before."))
                << where;
            // Said once: the journal is gone, and no temporary file is left to ask about.
            EXPECT_FALSE(RecoverChange(main).found) << where;
            EXPECT_TRUE(LeftTemporaryFiles(main).empty()) << where;
        }
    }
}

TEST(Journal, ASecondTarrowChangesNothingWhileTheFirstHoldsTheFolder) {
    TempFolder game;
    for (const auto& name : kBefore) WriteFileBytes(game / name, "PK");
    const FileHandle held(CreateFileW((game / JournalName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(RunChange(game.path(), SwitchPlan(3)).result, ChangeResult::Busy);
    EXPECT_FALSE(RecoverChange(game.path()).found);
    Names expected = kBefore;
    expected.push_back(JournalName);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files(game.path()), expected);
}

TEST(Journal, AFailedStepUndoesTheStepsBefore) {
    TempFolder game;
    for (const auto& name : kBefore) WriteFileBytes(game / name, "PK");
    WriteFileBytes(game / L"c.dis", "in the way");
    const ChangeOutcome outcome = RunChange(game.path(), SwitchPlan(3));
    EXPECT_EQ(outcome.result, ChangeResult::Failed);
    EXPECT_EQ(outcome.error, static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Files(game.path()), (Names{L"a.pk3", L"b.dis", L"c.dis", L"c.pk3"}));
}
