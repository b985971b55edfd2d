// Changes to main under the journal: a Tarrow stopped at every point of a
// change, as by Task Manager, and the next start that puts the folder right.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <map>
#include <vector>

#include "games/game.h"
#include "core/handles.h"
#include "core/journal.h"
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
    {L"switch",
     {{L"a.pk3", "a"}, {L"b.dis", "b"}, {L"c.pk3", "c"}},
     {{L"a.dis", "a"}, {L"b.pk3", "b"}, {L"c.dis", "c"}},
     L"switching mods"},
    {L"install", {{L"a.pk3", kOld}}, {{L"a.pk3", kOld}, {L"new.pk3", kNew}}, L"installing new.pk3"},
    {L"replace", {{L"a.pk3", kOld}}, {{L"a.pk3", kNew}}, L"replacing a.pk3"},
    {L"remove", {{L"a.pk3", kOld}, {L"b.pk3", kNew}}, {{L"b.pk3", kNew}}, L"removing a.pk3"},
    {L"save", {{L"a.pk3", kOld}}, {{L"a.pk3", "*"}}, L"saving the information of a.pk3"},
    {L"reorder",
     {{L"a.pk3", "a"}, {L"b.pk3", "b"}, {L"c.pk3", "c"}},
     {{L"c.pk3", "c"}, {L"D^b.pk3", "b"}, {L"E^a.pk3", "a"}},
     L"reordering mods"},
};

// The plan of a kind, in the main folder of root; new.pk3 beside main is the download.
ChangePlan PlanOf(const std::wstring& kind, const std::wstring& root) {
    const std::wstring main = root + L"\\main\\";
    if (kind == L"switch") return SwitchPlan(3);
    if (kind == L"install") return PlaceModPlan(main, root + L"\\new.pk3", {}, L"new.pk3");
    if (kind == L"replace") return PlaceModPlan(main, root + L"\\new.pk3", L"a.pk3", L"a.pk3");
    if (kind == L"remove") return RemoveModPlan(L"a.pk3");
    if (kind == L"reorder") {
        return {L"reordering mods",
                PlanReorder(DemoGame({}), {L"c.pk3", L"b.pk3", L"a.pk3"}, {L"a.pk3", L"b.pk3", L"c.pk3"}).renames};
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
        if (bytes == "*" ? at->second == before.at(name) || at->second.rfind("PK", 0) != 0 : at->second != bytes)
            return false;
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

namespace {

// A change over two folders: two renames in a, one in b; the record lies in a.
std::vector<ChangePart> GroupParts(const std::wstring& root) {
    return {{root + L"\\a", {L"switching", {{L"a1.pk3", L"a1.dis"}, {L"a2.pk3", L"a2.dis"}}}},
            {root + L"\\b", {L"switching", {{L"b1.pk3", L"b1.dis"}}}}};
}

Names FilesOf(const std::wstring& root) {
    Names all;
    for (const wchar_t* folder : {L"a", L"b"}) {
        for (const std::wstring& file : Files(root + L"\\" + folder))
            all.push_back(std::wstring(folder) + L"\\" + file);
    }
    return all;
}

}  // namespace

// The stopped Tarrow of a change over two folders: TARROW_GROUP_STOP is "<root>|<stop point>".
TEST(InCopy, RunsAGroupChangeThatIsStopped) {
    const wchar_t* stop = _wgetenv(L"TARROW_GROUP_STOP");
    if (!stop) GTEST_SKIP() << "runs only in a copy";
    const std::wstring text = stop;
    const size_t bar = text.find(L'|');
    SetStopPointForTests(std::stoi(text.substr(bar + 1)));
    const std::wstring root = text.substr(0, bar);
    RunGroupChange(root + L"\\a", L"switching", GroupParts(root));
    FAIL() << "the change was not stopped";
}

// A change over two folders stopped at every point: the next start puts both
// back, unless the group's record had gone, and then the whole change stands.
TEST(Journal, AChangeOverTwoFoldersStoppedAnywhereIsUndoneInBothOrStands) {
    const Names before{L"a\\a1.pk3", L"a\\a2.pk3", L"b\\b1.pk3"}, after{L"a\\a1.dis", L"a\\a2.dis", L"b\\b1.dis"};
    constexpr int kCommitted = 10;  // the record is gone: the record, 5 + 3 points of the parts, the commit
    for (int point = 0; point <= kCommitted; ++point) {
        TempFolder copy, root;
        for (const std::wstring& file : before) WriteFileBytes(root / file, "PK");
        CopyFileW((ProgramFolder() + L"\\unzip32.dll").c_str(), (copy / L"unzip32.dll").c_str(), FALSE);
        ASSERT_EQ(RunInCopy(copy, L"TARROW_GROUP_STOP", root.path() + L"|" + std::to_wstring(point)), 99u) << point;
        for (const wchar_t* folder : {L"a", L"b"}) RecoverChange(root / folder, root / L"a");
        ForgetFinishedGroups(root / L"a", {root / L"a", root / L"b"});
        EXPECT_EQ(FilesOf(root.path()), point >= kCommitted ? after : before) << "point " << point;
    }
}

// A part that fails puts the parts before it back; one that cannot be put back
// is named, and its journal and the group's record stay for the next recovery.
TEST(Journal, AGroupWhosePartFailsPutsTheOthersBackOrSaysWhatItCouldNot) {
    TempFolder root;
    for (const wchar_t* file : {L"a\\a1.pk3", L"a\\a2.pk3"}) WriteFileBytes(root / file, "PK");
    MakeFolder(root / L"b");
    ChangeOutcome outcome = RunGroupChange(root / L"a", L"switching", GroupParts(root.path()));
    EXPECT_EQ(outcome.result, ChangeResult::NoSource);
    EXPECT_EQ(FilesOf(root.path()), (Names{L"a\\a1.pk3", L"a\\a2.pk3"}));

    WriteFileBytes(root / L"b\\b1.pk3", "PK");
    FileHandle held;
    std::vector<ChangePart> parts = GroupParts(root.path());
    parts[1].plan.steps.push_back(WriteStep(TemporaryNameOf(root / L"b"), [&](const std::wstring&) -> unsigned long {
        held = FileHandle(CreateFileW((root / L"a\\a2.dis").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        return ERROR_DISK_FULL;
    }));
    outcome = RunGroupChange(root / L"a", L"switching", parts);
    EXPECT_EQ(outcome.result, ChangeResult::Failed);
    EXPECT_NE(outcome.message.find(L"a2.dis: it could not get its old name a2.pk3 back."), std::wstring::npos)
        << outcome.message;
    held.Reset();
    RecoverChange(root / L"a", root / L"a");
    ForgetFinishedGroups(root / L"a", {root / L"a", root / L"b"});
    EXPECT_EQ(FilesOf(root.path()), (Names{L"a\\a1.pk3", L"a\\a2.pk3", L"b\\b1.pk3"}));
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

namespace {

// A game folder with main and a folder of the player's beside it, whose files no journal may touch.
struct PlantedGame {
    TempFolder root;
    std::wstring main = root / L"main", outside = root / L"Documents";
    PlantedGame() {
        WriteFileBytes(main + L"\\a.pk3", "a");
        WriteFileBytes(outside + L"\\letter.txt", "letter");
        WriteFileBytes(outside + L"\\thesis.txt", "thesis");
    }
};

std::string RandomBytes(size_t n, unsigned seed) {
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
}

}  // namespace

// Journals that no Tarrow wrote, left in main by anyone who can write it: each
// is refused whole before a step is played, set aside under a name the game
// ignores, and named in one message; the next change runs as usual.
TEST(Journal, AJournalThatNamesAnythingButMainOrIsDamagedIsSetAsideUnplayed) {
    std::string flipped = journal::EncodePlan("switching mods", {{journal::Kind::Rename, "a.pk3", "a.dis"}});
    flipped[flipped.size() - 3] ^= 1;
    const std::pair<const char*, std::string> planted[] = {
        {"a rename into main from outside",
         "what stealing\nrename stolen.pk3\t..\\Documents\\letter.txt\nrename a.pk3\ta.dis\nbegin\ndone 0\n"},
        {"a write outside", "what writing\nwrite \t..\\Documents\\thesis.txt\nbegin\n"},
        {"a recycle outside", "what removing\nrecycle ..\\Documents\\thesis.txt\t\nbegin\n"},
        {"a write of a name not Tarrow's", "what writing\nwrite \ta.pk3\nbegin\n"},
        {"a rename to a device", "what renaming\nrename a.pk3\tNUL.pk3\nbegin\ndone 0\n"},
        {"an absolute name", "what renaming\nrename C:\\users\\x.pk3\ta.pk3\nbegin\n"},
        {"a flipped byte", flipped},
        {"a newer journal", "00000000 tarrow-journal 3\n"},
        {"random bytes", RandomBytes(3000, 7)},
        {"a mark out of order", "what switching mods\nrename a.pk3\ta.dis\nbegin\ndone 1\n"},
    };
    for (const auto& [name, bytes] : planted) {
        PlantedGame game;
        WriteFileBytes(game.main + L"\\" + JournalName, bytes);
        const RecoveryOutcome outcome = RecoverChange(game.main);
        EXPECT_FALSE(outcome.found) << name;
        EXPECT_EQ(Files(game.main), (Names{L"a.pk3", L"~tarrow-journal-set-aside-1.txt"})) << name;
        EXPECT_EQ(ReadFileBytes(game.main + L"\\~tarrow-journal-set-aside-1.txt"), bytes) << name;
        EXPECT_EQ(Files(game.outside), (Names{L"letter.txt", L"thesis.txt"})) << name;
        const std::wstring message = RecoveryMessage(outcome);
        EXPECT_EQ(message.rfind(L"Tarrow found a journal of a change in main that it will not play back: ", 0), 0u)
            << name;
        EXPECT_NE(message.find(L"The journal is now main\\~tarrow-journal-set-aside-1.txt."), std::wstring::npos)
            << name;
        EXPECT_EQ(RunChange(game.main, {L"disabling a", {{L"a.pk3", L"a.dis"}}}).result, ChangeResult::Done) << name;
    }
}

// A plan of Tarrow's own is held to the same rules, before its journal is written.
TEST(Journal, APlanThatNamesAFileOutsideMainIsRefusedBeforeItsJournal) {
    PlantedGame game;
    const ChangeOutcome outcome = RunChange(game.main, {L"moving a", {{L"a.pk3", L"..\\Documents\\a.pk3"}}});
    EXPECT_EQ(outcome.result, ChangeResult::Refused);
    EXPECT_NE(outcome.message.find(L"..\\Documents\\a.pk3"), std::wstring::npos) << outcome.message;
    EXPECT_EQ(Files(game.main), Names{L"a.pk3"});
}

// A stopped reorder whose first renamed archive the player then deleted: that
// step is skipped and named, the rest is undone, and nothing is locked. An
// empty journal, as a Tarrow stopped while making it leaves, says nothing.
TEST(Journal, WhatCannotBeUndoneForLackOfFilesIsSkippedAndNamed) {
    PlantedGame game;
    WriteFileBytes(game.main + L"\\zebra.pk3", "z");
    WriteFileBytes(
        game.main + L"\\" + JournalName,
        "what reordering mods\nrename alpha.pk3\tB^alpha.pk3\nrename zebra.pk3\tA^zebra.pk3\nbegin\ndone 0\n");
    const RecoveryOutcome outcome = RecoverChange(game.main);
    EXPECT_EQ(RecoveryMessage(outcome),
              L"Tarrow was stopped while reordering mods. The folder is as it was before. These archives were no "
              L"longer in main, so they were left out:\r\n\r\nalpha.pk3 (or B^alpha.pk3)");
    EXPECT_EQ(Files(game.main), (Names{L"a.pk3", L"zebra.pk3"}));
    EXPECT_EQ(RunChange(game.main, {L"disabling zebra", {{L"zebra.pk3", L"zebra.dis"}}}).result, ChangeResult::Done);

    WriteFileBytes(game.main + L"\\" + JournalName, "");
    EXPECT_EQ(RecoveryMessage(RecoverChange(game.main)), L"");
    EXPECT_EQ(Files(game.main), (Names{L"a.pk3", L"zebra.dis"}));
}

// An undo inside the program that cannot finish (the game or a scanner holds a
// renamed archive) keeps the journal and says which archive has which name;
// once the archive is free, the next change puts main right first, says so,
// and runs nothing of its own plan.
TEST(Journal, AnUndoThatFailsKeepsTheJournalUntilTheArchiveIsFree) {
    PlantedGame game;
    FileHandle held;
    const std::wstring dis = game.main + L"\\a.dis";
    ChangePlan plan{L"disabling a", {{L"a.pk3", L"a.dis"}}};
    plan.steps.push_back(WriteStep(TemporaryNameOf(game.main), [&](const std::wstring&) -> unsigned long {
        held = FileHandle(CreateFileW(dis.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        return ERROR_DISK_FULL;
    }));
    const ChangeOutcome outcome = RunChange(game.main, plan);
    EXPECT_EQ(outcome.result, ChangeResult::Failed);
    EXPECT_EQ(outcome.message.rfind(L"Tarrow could not finish disabling a, and it could not put main back as it "
                                    L"was:\r\n\r\na.dis: it could not get its old name a.pk3 back.",
                                    0),
              0u)
        << outcome.message;
    EXPECT_EQ(Files(game.main), (Names{L"a.dis", JournalName}));
    held.Reset();
    const ChangeOutcome next = RunChange(game.main, {L"disabling b", {{L"b.pk3", L"b.dis"}}});
    EXPECT_EQ(next.result, ChangeResult::Refused);
    EXPECT_EQ(next.message,
              L"Tarrow was stopped while disabling a. The folder is as it was before.\r\n\r\nTarrow did "
              L"not begin disabling b.");
    EXPECT_EQ(Files(game.main), Names{L"a.pk3"});
}

// A step that throws instead of failing: what could not be put back keeps its journal too.
TEST(Journal, AThrowingStepThatCannotBeUndoneKeepsTheJournal) {
    PlantedGame game;
    FileHandle held;
    const std::wstring dis = game.main + L"\\a.dis";
    ChangePlan plan{L"disabling a", {{L"a.pk3", L"a.dis"}}};
    plan.steps.push_back(WriteStep(TemporaryNameOf(game.main), [&](const std::wstring&) -> unsigned long {
        held = FileHandle(CreateFileW(dis.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        throw std::runtime_error("out of memory");
    }));
    EXPECT_THROW(RunChange(game.main, plan), std::runtime_error);
    EXPECT_EQ(Files(game.main), (Names{L"a.dis", JournalName}));
    held.Reset();
    EXPECT_TRUE(RecoverChange(game.main).found);
    EXPECT_EQ(Files(game.main), Names{L"a.pk3"});
}

// The journal's own reader: what a Tarrow writes reads back, a line cut by a
// stop does not count, and a journal of today's earlier format still plays.
TEST(Journal, TheReaderTakesWhatTarrowWritesAndNothingElse) {
    const std::vector<journal::Step> steps = {{journal::Kind::Write, "", "~tarrow-12-3.tmp"},
                                              {journal::Kind::Rename, "~tarrow-12-3.tmp", "new.pk3"},
                                              {journal::Kind::Recycle, "old.pk3", ""}};
    const std::string plan = journal::EncodePlan("installing new.pk3", steps);
    const journal::Parsed read = journal::Parse(plan + journal::EncodeDone(0) + "1234");
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.record.what, "installing new.pk3");
    EXPECT_EQ(read.record.steps.size(), 3u);
    EXPECT_TRUE(read.record.begun);
    EXPECT_EQ(read.record.done, 1u);
    // Cut while the plan was written: it had not begun.
    const journal::Parsed cut = journal::Parse(plan.substr(0, plan.size() / 2));
    EXPECT_TRUE(cut.ok && !cut.record.begun) << cut.problem;
    EXPECT_FALSE(journal::Parse(plan + journal::EncodeDone(1)).ok);
    EXPECT_TRUE(journal::Parse("what switching mods\nrename a.pk3\ta.dis\nbegin\ndone 0\n").ok);
    for (const char* name : {"a.pk3", "B^zebra.pk3", "~^x.pk3", "näme.pk3"})
        EXPECT_TRUE(journal::IsPlainName(name)) << name;
    for (const char* name : {"", ".", "..", "a\\b.pk3", "a/b", "c:x", "con", "LPT1.pk3", "x.pk3.", "x.pk3 ", "a\tb",
                             "~tarrow-journal.txt", "~Tarrow-Journal-set-aside-1.txt", "\xC3"}) {
        EXPECT_FALSE(journal::IsPlainName(name)) << name;
    }
    EXPECT_TRUE(journal::IsTemporaryName("~tarrow-12-3.tmp"));
    EXPECT_FALSE(journal::IsTemporaryName("~tarrow-..\\x-3.tmp"));
}
