// The compatibility checker: the inventory from memory, the pairing, and the
// Compatibility page driven as a person would, on real archives.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "app/main_window.h"
#include "archive/unzip.h"
#include "compat/conflicts.h"
#include "compat/inventory.h"
#include "ui/busy_cursor.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"
#include "tests/support/disk_folder.h"
#include "tests/support/zip_builder.h"

namespace {

using Names = std::vector<std::wstring>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

// The inventory of one archive laid out in memory, as the check takes it.
Names MemoryInventory(const TestGame& game, const std::wstring& fixture, const std::wstring& mod) {
    CopyFileW(Fixture(fixture).c_str(), (game.main + mod + L".pk3").c_str(), FALSE);
    WorkLists lists;
    ModFolder folder;
    UnpackMod(game.main, mod + L".pk3", folder);
    FindFiles(lists, true, mod, folder);
    return lists.list1;
}

// The inventory of an archive at path, really extracted to disk and walked there.
WorkLists ExtractedInventory(const std::wstring& archive, const std::wstring& scratch, bool list,
                             const std::wstring& mod, WorkLists lists = {}) {
    using namespace VBUnzBas;
    Options = UnzipOptions{};
    Options.noflag = 1;
    Options.ndflag = 1;
    IncludeCount = 0;
    ZipFileName = archive;
    ExtractDir = scratch;
    RunUnzip();
    ModFolder folder;
    AddFromDisk(folder, scratch);
    FindFiles(lists, list, mod, folder);
    RemoveTree(scratch);
    return lists;
}

Names DiskInventory(const TestGame& game, const std::wstring& fixture, const std::wstring& mod) {
    return ExtractedInventory(Fixture(fixture), game.main + mod, true, mod).list1;
}

class CompatibilityPage : public ::testing::Test {
protected:
    void Install(const std::wstring& fixture, const std::wstring& archive) { game.Install(fixture, archive); }
    void Start() {
        form = StartMainWindow();
        ClickTab(1);
    }
    void ClickTab(int index) { ::ClickTab(form->controls().TabStrip1, index); }
    const ctlCompatibility::Controls& c() { return form->compatibility().controls(); }
    void Check(const std::wstring& mod) {
        if (!mod.empty()) {
            const auto items = ListItems(c().listEnabled);
            const auto at = std::find(items.begin(), items.end(), mod);
            ASSERT_NE(at, items.end());
            ClickListItem(c().listEnabled, static_cast<int>(at - items.begin()));
        }
        const POINT p = CentreOf(c().cmdCheck);
        ClickAt(c().cmdCheck, p.x, p.y);
    }
    std::wstring Report() { return WindowText(c().txtOutput); }
    std::wstring Caption() { return WindowText(c().lblConflicts); }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    std::unique_ptr<frmMain> form;
};

}  // namespace

TEST_F(CompatibilityPage, ReportsSharedPathsSortedWithTheirCount) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_beta.zip", L"beta.pk3");
    Install(L"compat_gamma.zip", L"gamma.pk3");
    Install(L"compat_gamma.zip", L"off.dis");
    Start();
    EXPECT_EQ(ListItems(c().listEnabled), (Names{L"alpha", L"beta", L"gamma"}));
    EXPECT_EQ(Caption(), L"Conflicts");
    Check(L"alpha");
    EXPECT_EQ(Report(), L"beta : maps\\a.bsp\r\ngamma : maps\\a.bsp\r\ngamma : sound\\b.wav\r\n");
    EXPECT_EQ(Caption(), L"Conflicts Found: 3");
    // The bar ran from 0 to n - 1 and stays full.
    PBRANGE range{};
    SendMessageW(c().ProgressBar1, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 2);
    EXPECT_EQ(SendMessageW(c().ProgressBar1, PBM_GETPOS, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(c().ProgressBar1));
    EXPECT_TRUE(IsWindowEnabled(c().listEnabled));
    EXPECT_FALSE(BusyCursor::Active());
    EXPECT_TRUE(prompts.asked.empty());

    // A second check shows only its own result.
    Check(L"beta");
    EXPECT_EQ(Report(), L"alpha : maps\\a.bsp\r\ngamma : maps\\a.bsp\r\n");
    EXPECT_EQ(Caption(), L"Conflicts Found: 2");
}

// A conflict whose two copies have the same CRC-32 and size is an identical
// copy: the report stays as it is, and one line under the count says how many.
TEST_F(CompatibilityPage, IdenticalCopiesAreCountedUnderTheCount) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_beta.zip", L"beta.pk3");
    Install(L"compat_beta.zip", L"beta2.pk3");
    Start();
    Check(L"alpha");
    EXPECT_EQ(Caption(), L"Conflicts Found: 2");
    EXPECT_FALSE(IsWindowVisible(c().lblIdentical));
    Check(L"beta");
    EXPECT_EQ(Report(), L"alpha : maps\\a.bsp\r\nbeta2 : maps\\a.bsp\r\n");
    EXPECT_EQ(Caption(), L"Conflicts Found: 2");
    EXPECT_TRUE(IsWindowVisible(c().lblIdentical));
    EXPECT_EQ(WindowText(c().lblIdentical), L"1 of them is an identical copy");
    RECT label{}, report{};
    GetWindowRect(c().lblIdentical, &label);
    GetWindowRect(c().txtOutput, &report);
    EXPECT_GE(report.top, label.bottom);
}

TEST_F(CompatibilityPage, PathsCompareWithCaseAndLinesSortWithout) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_casepath.zip", L"cased.pk3");
    Install(L"compat_beta.zip", L"Zeta.pk3");
    Install(L"compat_beta.zip", L"beta.pk3");
    Start();
    Check(L"alpha");
    // cased holds Maps\a.bsp: no conflict with maps\a.bsp.
    EXPECT_EQ(Report(), L"beta : maps\\a.bsp\r\nZeta : maps\\a.bsp\r\n");
    Check(L"cased");
    EXPECT_EQ(Report(), L"");
    EXPECT_EQ(Caption(), L"Conflicts Found: 0");
}

TEST_F(CompatibilityPage, GuardsAskForTwoModsAndASelection) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Start();
    Check(L"");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Can't check compatibility with one mod");
    EXPECT_EQ(prompts.asked[0].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_EQ(Caption(), L"Conflicts");

    Install(L"compat_beta.zip", L"beta.pk3");
    SendMessageW(form->controls().cmdRefreshMods, BM_CLICK, 0, 0);
    ClickTab(0);
    ClickTab(1);
    Check(L"");
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_EQ(prompts.asked[1].text, L"Please select a mod first");
    EXPECT_EQ(prompts.asked[1].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Caption(), L"Conflicts");
}

TEST_F(CompatibilityPage, AnEmptyListAsksForASelection) {
    Start();
    Check(L"");
    EXPECT_EQ(prompts.MessageTexts(), Names{L"Please select a mod first"});
}

TEST_F(CompatibilityPage, TheListIsCopiedOnEachEntryOfThePage) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_beta.zip", L"beta.dis");
    Start();
    EXPECT_EQ(ListItems(c().listEnabled), Names{L"alpha"});
    ClickListItem(c().listEnabled, 0);
    // Clicking the tab already shown rebuilds nothing: the selection stays.
    ClickTab(1);
    EXPECT_EQ(ListSelection(c().listEnabled), 0);
    ClickTab(0);
    ClickListItem(form->controls().listDisabled, 0);
    SendMessageW(form->controls().cmdEnable, BM_CLICK, 0, 0);
    ClickTab(1);
    EXPECT_EQ(ListItems(c().listEnabled), (Names{L"alpha", L"beta"}));
    EXPECT_EQ(ListSelection(c().listEnabled), LB_ERR);
}

TEST_F(CompatibilityPage, AModThatCouldNotBeReadIsNamed) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_beta.zip", L"beta.pk3");
    Install(L"compat_beta.zip", L"gamma.pk3");
    Start();
    // The archive goes after the lists were made, as after a change of folder.
    DeleteFileW((game.main + L"gamma.pk3").c_str());
    WriteFileBytes(game.main + L"beta.pk3", "not an archive");
    Check(L"alpha");
    EXPECT_EQ(Report(), L"");
    EXPECT_EQ(Caption(), L"Conflicts Found: 0");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
    EXPECT_NE(prompts.asked[0].text.find(L"\r\nbeta\r\ngamma"), std::wstring::npos);
}

TEST_F(CompatibilityPage, TheGameFolderIsLeftAsItWas) {
    Install(L"compat_alpha.zip", L"alpha.pk3");
    Install(L"compat_beta.zip", L"beta.pk3");
    // A folder of the user's, named like an enabled mod.
    game.Add(L"beta\\maps\\mine.bsp", "user data");
    game.Add(L"beta\\notes.txt", "keep me");
    const auto before = TreeOf(game.folder);
    Start();
    Check(L"alpha");
    EXPECT_EQ(Report(), L"beta : maps\\a.bsp\r\n");
    EXPECT_EQ(TreeOf(game.folder), before);
    EXPECT_EQ(ReadFileBytes(game.main + L"beta\\notes.txt"), "keep me");
}

TEST(Inventory, RecordsWhatExtractionWouldWrite) {
    PromptRecorder prompts;
    TestGame game(false);
    EXPECT_EQ(MemoryInventory(game, L"compat_inventory.zip", L"gamma.two"),
              (Names{L"a.cfg", L"x", L"xy.cfg", L"deep\\er\\file.txt", L"docs\\Readme\\TARROW.INI"}));
    EXPECT_FALSE(PathExists(game.main + L"gamma.two"));
    // Names that differ only in case merge as on disk; the first spelling stays.
    // ";lead.cfg" leaves nothing of its name.
    EXPECT_EQ(MemoryInventory(game, L"odd_names.zip", L"odd"),
              (Names{L"", L"ab.cfg", L"x", L"Maps\\One.bsp", L"Maps\\two.bsp", L"ünïcode\\名前.txt"}));
    // An encrypted archive is listed without a password.
    EXPECT_EQ(Sorted(MemoryInventory(game, L"encrypted.zip", L"locked")), Names{L"data.txt"});
    EXPECT_TRUE(prompts.asked.empty());
    // A missing archive: nothing, and no message.
    WorkLists lists;
    ModFolder folder;
    EXPECT_FALSE(UnpackMod(game.main, L"missing.pk3", folder));
    FindFiles(lists, false, L"missing", folder);
    EXPECT_TRUE(lists.list2.empty());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST(Inventory, MemoryAndDiskWalksAgree) {
    PromptRecorder prompts;
    TestGame game(false);
    for (const wchar_t* fixture : {L"plain.zip", L"odd_names.zip", L"descriptors.zip", L"unsafe.zip", L"zip64.zip",
                                   L"cp437.zip", L"compat_inventory.zip", L"hundred.zip", L"compat_gamma.zip"}) {
        EXPECT_EQ(Sorted(MemoryInventory(game, fixture, L"mod")), Sorted(DiskInventory(game, fixture, L"mod")))
            << fixture;
    }
}

// Random mods of ugly names, checked both ways: from their listings, and
// really extracted to disk.
TEST(Inventory, TheListingGivesWhatExtractionWrites) {
    PromptRecorder prompts;
    TestGame game(false);
    std::mt19937 random(19);
    const std::vector<std::string> pool = {"maps/a.bsp",
                                           "Maps/A.bsp",
                                           "MAPS/a.BSP",
                                           "maps\\b.bsp",
                                           "maps/",
                                           "Maps/sub/",
                                           "tarrow.ini",
                                           "docs/tarrow.ini",
                                           "docs/TARROW.INI",
                                           "x/tarrow.ini.bak",
                                           "a;b.cfg",
                                           "ab.cfg",
                                           "x;;y.cfg",
                                           ";lead.cfg",
                                           "maps",
                                           "sound/b.wav",
                                           "Sound/B.WAV",
                                           "deep/er/file.txt",
                                           "/abs.cfg",
                                           "../up.cfg",
                                           "c:/drive.cfg",
                                           "a/./b.cfg",
                                           "con.cfg",
                                           "z",
                                           "\xc3\xbc/n.txt",
                                           "q/r/",
                                           "q"};
    const Names mods = {L"alpha", L"Beta", L"gamma.two", L"semi;colon", L"zeta"};
    for (int round = 0; round < 200; ++round) {
        const size_t count = 2 + random() % 4;
        const size_t selected = random() % count;
        WorkLists onDisk, viaListing;
        for (size_t m = 0; m < count; ++m) {
            std::vector<std::string> names;
            for (size_t n = random() % 12; n > 0; --n) names.push_back(pool[random() % pool.size()]);
            std::string bytes = MakeZip(names);
            const bool damaged = random() % 8 == 0;
            if (damaged) bytes.resize(bytes.size() / 2);
            WriteFileBytes(game.main + mods[m] + L".pk3", bytes);
            onDisk = ExtractedInventory(game.main + mods[m] + L".pk3", game.folder + L"\\scratch", m == selected,
                                        mods[m], std::move(onDisk));
            ModFolder folder;
            ASSERT_EQ(UnpackMod(game.main, mods[m] + L".pk3", folder), !damaged) << round;
            FindFiles(viaListing, m == selected, mods[m], folder);
        }
        ASSERT_EQ(Sorted(viaListing.list1), Sorted(onDisk.list1)) << "round " << round;
        ASSERT_EQ(Sorted(viaListing.list2), Sorted(onDisk.list2)) << "round " << round;
        PairConflicts(onDisk);
        PairConflicts(viaListing);
        ASSERT_EQ(viaListing.List3, onDisk.List3) << "round " << round;
    }
    EXPECT_TRUE(prompts.asked.empty());
}

// The listings kept in memory: a file's index names it on its own volume
// only, and what no read touches any more is forgotten.
TEST(Inventory, KeptListingsAreKeyedByVolumeAndSwept) {
    ForgetListings();
    TestGame game(false);
    game.Add(L"a.pk3", MakeZip({"maps/a.bsp"}));
    ASSERT_EQ(ListArchive(game.main + L"a.pk3")->entries.size(), 1u);
    const auto stamps = StampFolder(game.main);
    const FileStamp& stamp = stamps.at(L"a.pk3");
    // The same index and times on another volume are another file.
    EXPECT_NE(ListArchive(L"Z:\\nowhere\\a.pk3", &stamp)->result, 0);
    EXPECT_EQ(ListArchive(game.main + L"a.pk3", &stamp)->entries.size(), 1u);
    SweepListings();
    EXPECT_EQ(KeptListings(), 1u);
    SweepListings();
    EXPECT_EQ(KeptListings(), 0u);
}

TEST(Pairing, TheIndexGivesTheNestedLoopsOrder) {
    std::mt19937 random(7);
    const Names paths = {L"maps\\a.bsp", L"Maps\\a.bsp", L"sound\\b.wav", L"a.cfg", L"x", L"MAPS\\A.BSP", L"z"};
    const Names mods = {L"alpha", L"Beta", L"beta", L"gamma", L"Zeta", L"zeta", L"b"};
    for (int round = 0; round < 200; ++round) {
        WorkLists indexed;
        const int n1 = static_cast<int>(random() % 8), n2 = static_cast<int>(random() % 30);
        for (int i = 0; i < n1; ++i) indexed.list1.push_back(paths[random() % paths.size()]);
        for (int i = 0; i < n2; ++i) {
            indexed.list2.push_back(mods[random() % mods.size()] + L"\\" + paths[random() % paths.size()]);
        }
        WorkLists nested = indexed;
        PairConflicts(indexed);
        PairConflictsNested(nested);
        ASSERT_EQ(indexed.List3, nested.List3) << "round " << round;
    }
}

TEST(Pairing, SortedLikeAListBox) {
    Names sorted;
    for (const wchar_t* line : {L"Zeta : a", L"alpha : b", L"beta : a", L"Alpha : b", L"ALPHA : b"})
        AddSorted(sorted, line);
    EXPECT_EQ(sorted, (Names{L"alpha : b", L"Alpha : b", L"ALPHA : b", L"beta : a", L"Zeta : a"}));
}
