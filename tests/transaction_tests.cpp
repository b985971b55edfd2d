// Changes to main under the journal: a Tarrow stopped at every point of a
// change, as by Task Manager, and the next start that puts the folder right.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/handles.h"
#include "core/transaction.h"
#include "tests/support/temp_folder.h"

namespace {

using Names = std::vector<std::wstring>;

// A mod-set switch of three renames; a single switch is its first step alone.
const Names kBefore = {L"a.pk3", L"b.dis", L"c.pk3"};
const Names kAfter = {L"a.dis", L"b.pk3", L"c.dis"};

ChangePlan SwitchPlan(size_t steps) {
    ChangePlan plan{L"switching mods", {}};
    for (size_t i = 0; i < steps; ++i) plan.steps.push_back({kBefore[i], kAfter[i]});
    return plan;
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

}  // namespace

// The stopped Tarrow: TARROW_STOP is "<folder>|<stop point>|<steps>".
TEST(InCopy, RunsAChangeThatIsStopped) {
    const wchar_t* stop = _wgetenv(L"TARROW_STOP");
    if (!stop) GTEST_SKIP() << "runs only in a copy";
    const std::wstring text = stop;
    const size_t first = text.find(L'|'), second = text.find(L'|', first + 1);
    SetStopPointForTests(std::stoi(text.substr(first + 1, second - first - 1)));
    RunChange(text.substr(0, first), SwitchPlan(std::stoul(text.substr(second + 1))));
    FAIL() << "the change was not stopped";
}

TEST(Journal, AChangeStoppedAtAnyPointIsUndoneOrCompleted) {
    for (const size_t steps : {size_t{1}, size_t{3}}) {
        for (int point = 0; point <= static_cast<int>(2 * steps); ++point) {
            TempFolder copy, game;
            for (const auto& name : kBefore) WriteFileBytes(game / name, "PK " + std::string(name.begin(), name.end()));
            const std::wstring stop = game.path() + L"|" + std::to_wstring(point) + L"|" + std::to_wstring(steps);
            ASSERT_EQ(RunInCopy(copy, L"TARROW_STOP", stop), 99u) << point;
            const RecoveryOutcome outcome = RecoverChange(game.path());
            EXPECT_TRUE(outcome.found);
            // Stopped after the last rename: the change stands, and every other stop puts the folder back.
            const bool lastRan = point >= static_cast<int>(2 * steps - 1);
            EXPECT_EQ(outcome.completed, lastRan) << steps << " steps, point " << point;
            Names expected = kBefore;
            if (lastRan) std::copy(kAfter.begin(), kAfter.begin() + static_cast<long>(steps), expected.begin());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(Files(game.path()), expected) << steps << " steps, point " << point;
            EXPECT_EQ(RecoveryMessage(outcome),
                      lastRan ? L"Tarrow was stopped while switching mods. The change had been made, and it stands."
                              : L"Tarrow was stopped while switching mods. The folder is as it was before.");
            EXPECT_EQ(ReadFileBytes(game / (lastRan ? kAfter[0] : kBefore[0])), "PK a.pk3");
            // Said once: the journal is gone.
            EXPECT_FALSE(RecoverChange(game.path()).found);
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
