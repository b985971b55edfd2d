#include "compat/reorder.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "core/text.h"
#include "mods/mod_library.h"

namespace {

constexpr size_t kLongestName = 64;
constexpr size_t kLongestKey = 12;
constexpr size_t kShownLines = 40;

// A key is written with the characters below, from "!" to "~"; its place is
// decided by one of the plain ones where it can be.
bool Plain(int c) { return c == '!' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '~'; }
int NextKeyChar(int after, bool plainOnly) {
    for (int c = std::max(after + 1, int{'!'}); c <= '~'; ++c) {
        if (plainOnly ? Plain(c) : IsTarrowKeyChar(static_cast<wchar_t>(c))) return c;
    }
    return INT_MAX;
}

// A name's bytes as the game compares them; 0 past its end.
std::vector<int> Folded(const std::wstring& name) {
    std::vector<int> out;
    for (const char byte : WideToAnsi(name)) out.push_back(EngineNameByte(byte));
    return out;
}
int At(const std::vector<int>& s, size_t i) { return i < s.size() ? s[i] : 0; }

// The shortest key that sorts after lower and before upper (either may be
// absent) and is told from both within its own characters, so that whatever
// follows it does not change its place.
std::optional<std::wstring> KeyBetween(const std::wstring* lower, const std::wstring* upper) {
    const std::vector<int> lo = lower ? Folded(*lower) : std::vector<int>(),
                           hi = upper ? Folded(*upper) : std::vector<int>();
    bool loTied = lower != nullptr, hiTied = upper != nullptr;
    std::wstring key;
    for (size_t i = 0; i < kLongestKey; ++i) {
        // A lower name that ends here sorts before anything longer.
        if (loTied && At(lo, i) == 0) loTied = false;
        // Tied with the upper name to its end: anything longer sorts after it.
        if (hiTied && At(hi, i) == 0) return std::nullopt;
        const int lc = loTied ? At(lo, i) : INT_MIN, hc = hiTied ? At(hi, i) : INT_MAX;
        for (const bool plain : {true, false}) {
            const int c = NextKeyChar(lc == INT_MIN ? 0 : lc, plain);
            if (c < hc) return key + static_cast<wchar_t>(c);
        }
        if (loTied && hiTied && lc == hc && IsTarrowKeyChar(static_cast<wchar_t>(lc))) {
            key += static_cast<wchar_t>(lc);
        } else if (loTied && IsTarrowKeyChar(static_cast<wchar_t>(lc)) && lc < hc) {
            key += static_cast<wchar_t>(lc);
            hiTied = false;
        } else if (hiTied && IsTarrowKeyChar(static_cast<wchar_t>(hc)) && hc > lc) {
            key += static_cast<wchar_t>(hc);
            loTied = false;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// What keeping a name is worth: a game archive more than every mod together;
// of two runs of as many mods, the one with fewer of Tarrow's prefixes wins,
// so that a mod moved back gets its own name back.
size_t Weight(const Game& game, const std::wstring& file, size_t n) {
    if (game.IsOwnArchiveFile(file)) return (n + 1) * (n + 1);
    return TarrowPrefixLength(file) > 0 ? n : n + 1;
}

// The longest run of archives whose present names already fall in the wanted
// order; the game's archives are always in it. True at each kept place.
std::vector<bool> Kept(const Game& game, const std::vector<std::wstring>& wanted) {
    const size_t n = wanted.size();
    std::vector<size_t> games;
    for (size_t i = 0; i < n; ++i) {
        if (game.IsOwnArchiveFile(wanted[i])) games.push_back(i);
    }
    // A mod that stands on the wrong side of a game archive cannot keep its name.
    auto fits = [&](size_t i) {
        return std::all_of(games.begin(), games.end(),
                           [&](size_t g) { return g == i || (i < g) == game.LoadsBefore(wanted[i], wanted[g]); });
    };
    std::vector<size_t> candidates;
    for (size_t i = 0; i < n; ++i) {
        if (fits(i)) candidates.push_back(i);
    }
    // Longest increasing run, quadratic: a folder holds at most 1024 archives.
    std::vector<size_t> weight(candidates.size(), 0), previous(candidates.size(), SIZE_MAX);
    size_t best = SIZE_MAX;
    for (size_t a = 0; a < candidates.size(); ++a) {
        for (size_t b = 0; b < a; ++b) {
            if (weight[b] > weight[a] && game.LoadsBefore(wanted[candidates[b]], wanted[candidates[a]])) {
                weight[a] = weight[b];
                previous[a] = b;
            }
        }
        weight[a] += Weight(game, wanted[candidates[a]], n);
        if (best == SIZE_MAX || weight[a] > weight[best]) best = a;
    }
    std::vector<bool> kept(n, false);
    for (size_t at = best; at != SIZE_MAX; at = previous[at]) kept[candidates[at]] = true;
    return kept;
}

class Namer {
public:
    Namer(const Game& game, const std::vector<std::wstring>& taken) : game_(game) {
        for (const auto& file : taken) takenMods_.push_back(WithoutExtension(file));
    }
    // A name for an archive between lower and upper, in the place it lies in, or empty.
    std::wstring Between(const std::wstring& archive, const std::wstring* lower, const std::wstring* upper) {
        const QualifiedName qualified = QualifiedName::Parse(archive);
        const std::wstring& file = qualified.file;
        auto inPlace = [&](const std::wstring& name) { return QualifiedName{qualified.place, name}.Shown(); };
        const std::wstring base = WithoutExtension(WithoutTarrowPrefix(file)) + EnabledExtension;
        if (Fits(inPlace(base), lower, upper) && (base == file || Free(inPlace(base)))) return inPlace(base);
        // A lower name of a lower tier or place: every name of this one sorts after it;
        // likewise an upper name of a higher place.
        const int rank = game_.Rank(archive);
        const std::wstring* low = lower && (game_.Tier(*lower) < 0 || game_.Rank(*lower) < rank) ? nullptr : lower;
        const std::wstring* up = upper && game_.Rank(*upper) > rank ? nullptr : upper;
        const std::wstring lowName = low ? game_.SortName(QualifiedName::Parse(*low).file) : std::wstring();
        const std::wstring upName = up ? game_.SortName(QualifiedName::Parse(*up).file) : std::wstring();
        const std::optional<std::wstring> key = KeyBetween(low ? &lowName : nullptr, up ? &upName : nullptr);
        if (!key) return {};
        // Whatever follows the key keeps its place, so a name that is taken gets one more character.
        for (int extra = 0; extra <= '~'; extra = NextKeyChar(extra, true)) {
            std::wstring name = *key;
            if (extra > 0) name += static_cast<wchar_t>(extra);
            name += PrefixMark;
            name += base;
            name = inPlace(name);
            if (Fits(name, lower, upper) && Free(name)) return name;
        }
        return {};
    }
    void Take(const std::wstring& file) { takenMods_.push_back(WithoutExtension(file)); }

private:
    // A name the game loads, in the tier of the mods, between its neighbours.
    bool Fits(const std::wstring& name, const std::wstring* lower, const std::wstring* upper) const {
        const std::wstring file = QualifiedName::Parse(name).file;
        return file.size() <= kLongestName && IsAllowedFileName(file) && game_.Tier(name) == 0 &&
               game_.LoadsArchive(name) && (!lower || game_.LoadsBefore(*lower, name)) &&
               (!upper || game_.LoadsBefore(name, *upper));
    }
    bool Free(const std::wstring& name) const {
        const std::wstring mod = WithoutExtension(name);
        return std::none_of(takenMods_.begin(), takenMods_.end(),
                            [&](const std::wstring& t) { return EqualNoCase(t, mod); });
    }
    const Game& game_;
    std::vector<std::wstring> takenMods_;
};

std::wstring NameTaken(const std::wstring& file, const std::wstring& name) {
    return L"Tarrow cannot give " + file + L" its original name: " + name + L" or a .dis of that name is in main." +
           NothingWasChanged;
}

std::wstring NoNames(const std::wstring& why) { return L"No names give this order: " + why + NothingWasChanged; }

}  // namespace

ReorderPlan PlanReorder(const Game& game, const std::vector<std::wstring>& wanted,
                        const std::vector<std::wstring>& taken) {
    const std::vector<bool> kept = Kept(game, wanted);
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (game.IsOwnArchiveFile(wanted[i]) && !kept[i]) {
            return {{}, NoNames(L"the game's own archives would have to change places.")};
        }
    }
    Namer namer(game, taken);
    ReorderPlan plan;
    const std::wstring* lower = nullptr;
    std::vector<std::wstring> names(wanted);
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (kept[i]) {
            lower = &names[i];
            continue;
        }
        size_t next = i + 1;
        while (next < wanted.size() && !kept[next]) ++next;
        const std::wstring* upper = next < wanted.size() ? &names[next] : nullptr;
        if (upper && game.Tier(*upper) < 0) {
            return {{},
                    NoNames(wanted[i] + L" would have to load among the localized archives, and Tarrow gives no "
                                        L"archive a name that starts with localized_.")};
        }
        std::wstring name = namer.Between(wanted[i], lower, upper);
        if (name.empty()) {
            return {{},
                    NoNames(L"there is no free name of at most 64 characters for " + wanted[i] + L" between " +
                            (lower ? *lower : std::wstring(L"the start")) + L" and " +
                            (upper ? *upper : std::wstring(L"the end")) + L".")};
        }
        namer.Take(name);
        if (name != wanted[i]) plan.renames.push_back({wanted[i], name});
        names[i] = std::move(name);
        lower = &names[i];
    }
    return plan;
}

ReorderPlan PlanOriginalNames(const std::vector<std::wstring>& loaded, const std::vector<std::wstring>& taken) {
    ReorderPlan plan;
    std::vector<std::wstring> free(taken);
    for (const auto& file : loaded) {
        // An archive of another place keeps its place.
        const QualifiedName own = QualifiedName::Parse(file);
        if (TarrowPrefixLength(own.file) == 0) continue;
        std::wstring name = QualifiedName{own.place, WithoutExtension(WithoutTarrowPrefix(own.file))}.Shown();
        const std::wstring mod = name;
        name += EnabledExtension;
        if (std::any_of(free.begin(), free.end(),
                        [&](const std::wstring& t) { return EqualNoCase(WithoutExtension(t), mod); })) {
            return {{}, NameTaken(file, name)};
        }
        free.push_back(name);
        plan.renames.push_back({file, name});
    }
    return plan;
}

LoadOrderReport PlannedReport(const LoadOrderReport& report, const std::vector<std::size_t>& order) {
    LoadOrderReport planned;
    std::vector<std::size_t> place(report.archives.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        place[order[i]] = i;
        LoadOrderArchive archive = report.archives[order[i]];
        planned.archives.push_back(std::move(archive));
    }
    planned.shared.reserve(report.shared.size());
    std::vector<std::pair<std::size_t, FileCopy>> held;
    for (const SharedFile& file : report.shared) {
        held.clear();
        for (std::size_t k = 0; k < file.holders.size(); ++k) held.emplace_back(place[file.holders[k]], file.copies[k]);
        std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        SharedFile moved{file.path, {}, {}};
        for (const auto& [holder, copy] : held) {
            moved.holders.push_back(holder);
            moved.copies.push_back(copy);
        }
        planned.shared.push_back(std::move(moved));
    }
    CountWinners(planned);
    planned.problems = report.problems;
    planned.skipped = report.skipped;
    planned.looseFilesFirst = report.looseFilesFirst;
    planned.looseRuleKnown = report.looseRuleKnown;
    return planned;
}

std::vector<std::size_t> OrderOfNames(const Game& game, const LoadOrderReport& report,
                                      const std::vector<std::wstring>& names) {
    std::vector<std::size_t> order(report.archives.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return game.LoadsBefore(names[a], names[b]); });
    return order;
}

std::wstring PreviewText(const Game& game, const ReorderPlan& plan, const LoadOrderReport& before,
                         const LoadOrderReport& after) {
    // A rename by way of a temporary name shows as the one rename it makes.
    std::vector<ChangeStep> shown;
    std::wstring through;
    for (const ChangeStep& step : plan.renames) {
        if (IsTemporaryName(step.to)) {
            through = step.from;
            continue;
        }
        shown.push_back({IsTemporaryName(step.from) ? through : step.from, step.to});
    }
    std::wstring text = L"Tarrow will rename these archives:\r\n";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i == kShownLines) {
            text += L"\r\n\u2026 and " + ToDecimal(static_cast<long long>(shown.size() - i)) + L" more";
            break;
        }
        const ChangeStep& step = shown[i];
        text += L"\r\n" + step.from + L" \u2192 " + step.to;
        if (game.Tier(step.from) < 0 && game.Tier(step.to) == 0)
            text += L" (it leaves the localized archives, which load last)";
    }
    std::vector<std::wstring> changes;
    for (std::size_t i = 0; i < before.shared.size() && i < after.shared.size(); ++i) {
        const std::wstring& from = before.archives[before.shared[i].holders.back()].file;
        const std::wstring& to = after.archives[after.shared[i].holders.back()].file;
        if (from == to) continue;
        std::wstring line = before.shared[i].path;
        line += L": ";
        line += from;
        line += L" \u2192 ";
        changes.push_back(line += to);
    }
    text += L"\r\n\r\n";
    if (changes.empty()) return text + L"No shared file is used from another archive.";
    text += L"These shared files will be used from another archive:\r\n";
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (i == kShownLines) {
            text += L"\r\n\u2026 and " + ToDecimal(static_cast<long long>(changes.size() - i)) + L" more";
            break;
        }
        text += L"\r\n" + changes[i];
    }
    return text;
}
