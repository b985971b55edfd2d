#pragma once
// Changing what the game loads by renaming: a wanted load order becomes the
// fewest renames that give it under the game's order rule, and the winners of
// a planned order come from the listings already taken. No windows here.
#include <cstddef>
#include <string>
#include <vector>

#include "compat/load_order.h"
#include "core/transaction.h"

struct ReorderPlan {
    std::vector<ChangeStep> renames;  // {present name, new name}
    std::wstring failure;             // why no names give the order; nothing is renamed then
};

// The renames that make the game load the archives in wanted (their present
// file names, weakest first). The archives whose names already fall in that
// order, in the longest such run, keep them, and so do the game's own. Every
// other one is renamed to Tarrow's prefix and its name without one, or to
// that name alone when it fits. taken holds every .pk3 and .dis file of main:
// no new name meets one of them in any letter case.
ReorderPlan PlanReorder(const Game& game, const std::vector<std::wstring>& wanted,
                        const std::vector<std::wstring>& taken);
// The renames that take every prefix of Tarrow's away.
ReorderPlan PlanOriginalNames(const std::vector<std::wstring>& loaded, const std::vector<std::wstring>& taken);

// The report as the game would load the archives in order (indexes into
// report.archives, weakest first): the shared files' winners, wins,
// overrides and notes follow from the listings the report was made from.
LoadOrderReport PlannedReport(const LoadOrderReport& report, const std::vector<std::size_t>& order);
// The load order that names give: indexes into report.archives, weakest first.
std::vector<std::size_t> OrderOfNames(const Game& game, const LoadOrderReport& report,
                                      const std::vector<std::wstring>& names);

// The preview of a plan: each rename, "old → new", then each shared file
// whose winner changes, "file: from → to".
std::wstring PreviewText(const Game& game, const ReorderPlan& plan, const LoadOrderReport& before,
                         const LoadOrderReport& after);
