// Reordering by renaming: the names chosen for a wanted load order, checked
// by the game's order rule and, on real archives, by the open engine of the
// same file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "games/game.h"
#include "compat/load_order.h"
#include "compat/reorder.h"
#include "core/handles.h"
#include "core/text.h"
#include "mods/mod_library.h"
#include "tests/support/engine.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_builder.h"

namespace {

bool DemoLoadsBefore(const std::wstring& a, const std::wstring& b) { return DemoGame({}).LoadsBefore(a, b); }

using Names = std::vector<std::wstring>;

// The names after the renames, in the game's load order.
Names Applied(const Names& present, const ReorderPlan& plan) {
    Names names = present;
    for (const ChangeStep& step : plan.renames) std::replace(names.begin(), names.end(), step.from, step.to);
    std::stable_sort(names.begin(), names.end(), DemoLoadsBefore);
    return names;
}

// What wanted becomes once renamed: each present name replaced by its new one.
Names Renamed(const Names& wanted, const ReorderPlan& plan) {
    Names names = wanted;
    for (const ChangeStep& step : plan.renames) std::replace(names.begin(), names.end(), step.from, step.to);
    return names;
}

struct Case {
    const char* what;
    Names wanted;  // the present names, in the wanted order
    size_t renames;
    Names newNames;  // the names expected, in wanted order; empty to check the order only
};

const std::wstring kLong = L"community_map_pack_part_of_the_autumn_campaign_";

}  // namespace

TEST(Reorder, TheFewestRenamesGiveTheWantedOrder) {
    const Case cases[] = {
        {"a mod made strongest", {L"b.pk3", L"c.pk3", L"a.pk3"}, 1, {L"b.pk3", L"c.pk3", L"D^a.pk3"}},
        {"a mod made weakest", {L"c.pk3", L"a.pk3", L"b.pk3"}, 1, {L"!^c.pk3", L"a.pk3", L"b.pk3"}},
        {"neighbours alike up to one letter",
         {L"sniper.pk3", L"armour.pk3", L"tanks.pk3"},
         1,
         {L"sniper.pk3", L"SO^armour.pk3", L"tanks.pk3"}},
        {"after an author's zz_", {L"zzz.pk3", L"zz_b.pk3", L"a.pk3"}, 1, {L"zzz.pk3", L"zz_b.pk3", L"~^a.pk3"}},
        {"between _ and ~", {L"zz_a.pk3", L"m.pk3", L"zz~b.pk3"}, 1, {L"zz_a.pk3", L"ZZ`^m.pk3", L"zz~b.pk3"}},
        {"before a [ name", {L"b.pk3", L"a.pk3", L"[x].pk3"}, 1, {L"b.pk3", L"C^a.pk3", L"[x].pk3"}},
        {"between digits", {L"1.pk3", L"x.pk3", L"2.pk3", L"3.pk3"}, 1, {L"1.pk3", L"10^x.pk3", L"2.pk3", L"3.pk3"}},
        {"past the game's pak0", {L"pak0.pk3", L"aaa.pk3", L"zz.pk3"}, 1, {L"pak0.pk3", L"Q^aaa.pk3", L"zz.pk3"}},
        {"a prefix of Tarrow's is replaced",
         {L"b.pk3", L"D^a.pk3", L"c.pk3", L"d.pk3"},
         1,
         {L"b.pk3", L"B0^a.pk3", L"c.pk3", L"d.pk3"}},
        {"back to where it came from",
         {L"a.pk3", L"D^c.pk3", L"d.pk3", L"e.pk3"},
         1,
         {L"a.pk3", L"c.pk3", L"d.pk3", L"e.pk3"}},
        {"a mod leaves the localized tier",
         {L"localized_english_pak0.pk3", L"pak0.pk3", L"localized_english_x.pk3"},
         1,
         {}},
        {"a long common part", {kLong + L"1.pk3", L"x.pk3", kLong + L"2.pk3", kLong + L"3.pk3"}, 0, {}},
        {"into the localized tier",
         {L"localized_english_pak0.pk3", L"x.pk3", L"localized_english_y.pk3", L"pak0.pk3"},
         0,
         {}},
    };
    for (const Case& c : cases) {
        Names present = c.wanted;
        const ReorderPlan plan = PlanReorder(DemoGame({}), c.wanted, present);
        if (c.renames == 0) {
            EXPECT_FALSE(plan.failure.empty()) << c.what;
            EXPECT_TRUE(plan.renames.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(plan.failure, L"") << c.what;
        EXPECT_EQ(plan.renames.size(), c.renames) << c.what;
        const Names renamed = Renamed(c.wanted, plan);
        EXPECT_EQ(Applied(present, plan), renamed) << c.what;
        if (!c.newNames.empty()) {
            EXPECT_EQ(renamed, c.newNames) << c.what;
        }
        for (const auto& name : renamed) {
            EXPECT_LE(name.size(), 64u) << c.what;
            EXPECT_EQ(name.substr(name.size() - 4), L".pk3") << c.what;
            EXPECT_FALSE(IsLocalizedArchive(name) && !IsLocalizedArchive(c.wanted[0]) && name != c.wanted[0]) << c.what;
        }
    }
}

TEST(Reorder, NewNamesMeetNoArchiveOfMainInAnyCase) {
    // "D^a" is taken by a disabled mod, so the key gets one more character.
    const Names wanted = {L"b.pk3", L"c.pk3", L"a.pk3"};
    const ReorderPlan plan = PlanReorder(DemoGame({}), wanted, {L"b.pk3", L"c.pk3", L"a.pk3", L"d^A.dis"});
    ASSERT_EQ(plan.renames.size(), 1u);
    EXPECT_EQ(plan.renames[0].to, L"D!^a.pk3");
}

TEST(Reorder, OnlyTarrowsOwnPrefixIsTakenAway) {
    EXPECT_EQ(WithoutTarrowPrefix(L"SO^armour.pk3"), L"armour.pk3");
    EXPECT_EQ(WithoutTarrowPrefix(L"ZZ_`^m.pk3"), L"m.pk3");
    for (const wchar_t* author :
         {L"zz_sniper.pk3", L"z_tanks.pk3", L"zzz^x.pk3", L"^x.pk3", L"[CoD]x.pk3", L"ABCDEFGHIJKLM^x.pk3"}) {
        EXPECT_EQ(WithoutTarrowPrefix(author), author);
    }
    const ReorderPlan plan =
        PlanOriginalNames({L"pak0.pk3", L"SO^armour.pk3", L"zz_b.pk3"}, {L"pak0.pk3", L"SO^armour.pk3", L"zz_b.pk3"});
    ASSERT_EQ(plan.renames.size(), 1u);
    EXPECT_EQ(plan.renames[0].to, L"armour.pk3");
    EXPECT_FALSE(PlanOriginalNames({L"SO^armour.pk3"}, {L"SO^armour.pk3", L"Armour.dis"}).failure.empty());
}

namespace {

// The open engine's load order of the game folder, weakest first.
Names EngineOrder(const TempFolder& game) {
    Names order;
    for (const std::wstring& archive :
         AskEngine({L"Z:\\usr\\lib\\ioquake3\\ioq3ded", L"main\\qconsole.log", game.path(), L"main"}).order) {
        order.push_back(archive.substr(archive.find(L'/') + 1));
    }
    return order;
}

}  // namespace

// Random folders of awkward names and random moves: once renamed, the engine
// loads the archives in the wanted order.
TEST(Reorder, TheEngineLoadsTheWantedOrder) {
    ASSERT_TRUE(PathExists(L"Z:\\usr\\lib\\ioquake3\\ioq3ded")) << "scripts/setup installs ioquake3-server";
    unsigned seed = 7;
    auto random = [&](unsigned below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % below;
    };
    const std::wstring letters = L"abAB_~[01z-";
    for (int round = 0; round < 6; ++round) {
        Names present = {L"pak0.pk3"};
        while (present.size() < 16) {
            std::wstring name;
            for (unsigned i = 0, n = 1 + random(6); i < n; ++i)
                name += letters[random(static_cast<unsigned>(letters.size()))];
            name += L".pk3";
            if (std::none_of(present.begin(), present.end(),
                             [&](const std::wstring& p) { return EqualNoCase(p, name); })) {
                present.push_back(name);
            }
        }
        std::stable_sort(present.begin(), present.end(), DemoLoadsBefore);
        Names wanted = present;
        for (int move = 0; move < 4; ++move) {
            const size_t from = random(static_cast<unsigned>(wanted.size()));
            if (wanted[from] == L"pak0.pk3") continue;
            const std::wstring mod = wanted[from];
            wanted.erase(wanted.begin() + static_cast<long>(from));
            wanted.insert(wanted.begin() + random(static_cast<unsigned>(wanted.size() + 1)), mod);
        }
        const ReorderPlan plan = PlanReorder(DemoGame({}), wanted, present);
        ASSERT_EQ(plan.failure, L"") << round;
        TempFolder game;
        for (size_t i = 0; i < present.size(); ++i) {
            WriteFileBytes(game / (L"main\\" + present[i]), MakeZip({i == 0 ? "default.cfg" : "x.txt"}));
        }
        ASSERT_EQ(RunChange(game / L"main", {L"reordering mods", plan.renames}).result, ChangeResult::Done);
        EXPECT_EQ(EngineOrder(game), Renamed(wanted, plan)) << round;
    }
}
