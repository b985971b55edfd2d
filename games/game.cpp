#include "games/game.h"

#include <windows.h>

#include <algorithm>

#include "core/directory.h"
#include "core/file_system.h"
#include "core/text.h"

namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix, bool ignoreCase) {
    if (text.size() < prefix.size()) return false;
    return ignoreCase ? EqualNoCase(text.substr(0, prefix.size()), prefix) : text.substr(0, prefix.size()) == prefix;
}

bool SameFileName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// RTCW renames its own program's archives (case-sensitive "sp_" or "mp_") to
// "zz" before it sorts, so they load after almost every other archive.
std::wstring_view RtcwOwnPrefix(OrderRule rule) { return rule == OrderRule::RtcwSingle ? L"sp_" : L"mp_"; }
std::wstring_view RtcwOtherPrefix(OrderRule rule) { return rule == OrderRule::RtcwSingle ? L"mp_" : L"sp_"; }
bool IsRtcw(OrderRule rule) { return rule == OrderRule::RtcwSingle || rule == OrderRule::RtcwMulti; }

// An own archive's pattern: letter case counts only for the exact test.
bool MatchesOwn(std::wstring_view name, std::wstring_view pattern, bool ignoreCase) {
    const size_t star = pattern.find(L'*');
    auto same = [&](std::wstring_view a, std::wstring_view b) { return ignoreCase ? SameFileName(a, b) : a == b; };
    if (star == std::wstring_view::npos) return same(name, pattern);
    const std::wstring_view head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    return name.size() >= head.size() + tail.size() && same(name.substr(0, head.size()), head) &&
           same(name.substr(name.size() - tail.size()), tail);
}


}  // namespace

Game::Game(const GameProfile& profile, std::wstring folder) : profile_(&profile), folder_(std::move(folder)) {}

std::wstring Game::ArchiveFolder() const { return folder_ + L"\\" + std::wstring(profile_->archiveFolder) + L"\\"; }

std::vector<Game::Place> Game::Places() const {
    std::vector<Place> places;
    for (const std::wstring_view base : profile_->baseFolders) {
        places.push_back({std::wstring(base), folder_ + L"\\" + std::wstring(base) + L"\\", false});
    }
    places.push_back({ArchiveFolderName(), ArchiveFolder(), true});
    return places;
}

std::wstring Game::FileOf(const std::wstring& qualified) {
    const size_t slash = qualified.rfind(L'\\');
    return slash == std::wstring::npos ? qualified : qualified.substr(slash + 1);
}

std::wstring Game::PlaceOf(const std::wstring& qualified) {
    const size_t slash = qualified.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : qualified.substr(0, slash);
}

std::wstring Game::PathOf(const std::wstring& qualified) const {
    const std::wstring place = PlaceOf(qualified);
    if (place.empty()) return ArchiveFolder() + qualified;
    return folder_ + L"\\" + place + L"\\" + FileOf(qualified);
}

int Game::PlaceIndex(const std::wstring& qualified) const {
    const std::wstring place = PlaceOf(qualified);
    const auto& bases = profile_->baseFolders;
    if (place.empty()) return static_cast<int>(bases.size());
    for (size_t i = 0; i < bases.size(); ++i) {
        if (EqualNoCase(place, bases[i])) return static_cast<int>(i);
    }
    return -1;
}

bool Game::IsOwnArchiveName(const std::wstring& fileName) const {
    return std::any_of(profile_->ownArchives.begin(), profile_->ownArchives.end(),
                       [&](std::wstring_view own) { return MatchesOwn(fileName, own, false); });
}

bool Game::IsOwnArchiveFile(const std::wstring& fileName) const {
    if (!PlaceOf(fileName).empty() || fileName == LooseFiles) return true;
    return std::any_of(profile_->ownArchives.begin(), profile_->ownArchives.end(),
                       [&](std::wstring_view own) { return MatchesOwn(fileName, own, true); });
}

bool Game::LoadsArchive(const std::wstring& qualified) const {
    const std::wstring file = FileOf(qualified);
    const OrderRule rule = profile_->rule;
    if (rule == OrderRule::Localized && IsLocalizedArchive(file)) {
        const std::wstring_view rest = std::wstring_view(file).substr(std::wstring_view(L"localized_").size());
        return EqualNoCase(rest.substr(0, rest.find(L'_')), profile_->language);
    }
    if (IsRtcw(rule)) {
        if (StartsWith(file, RtcwOtherPrefix(rule), false)) return false;
        // After the sort every zz_ name is turned into the program's own
        // prefix, so an archive really named zz_* is looked for under another name.
        if (StartsWith(file, L"zz_", false)) return false;
    }
    return true;
}

int Game::Tier(const std::wstring& qualified) const {
    return profile_->rule == OrderRule::Localized && IsLocalizedArchive(FileOf(qualified)) ? -1 : 0;
}

bool Game::LoadsBefore(const std::wstring& a, const std::wstring& b) const {
    const int x = Tier(a), y = Tier(b);
    if (x != y) return x < y;
    const int p = PlaceIndex(a), q = PlaceIndex(b);
    if (p != q) return p < q;
    // Within its folder, the loose files row goes before or after every archive.
    const int looseRank = profile_->looseFilesFirst ? 1 : -1;
    const int r = a == LooseFiles ? looseRank : 0, s = b == LooseFiles ? looseRank : 0;
    if (r != s) return r < s;
    return EngineNameBefore(SortName(FileOf(a)), SortName(FileOf(b)));
}

std::wstring Game::SortName(const std::wstring& file) const {
    if (IsRtcw(profile_->rule) && StartsWith(file, RtcwOwnPrefix(profile_->rule), false)) return L"zz" + file.substr(2);
    return file;
}

bool Game::IsGameProgram(const std::wstring& fileName) const {
    return std::any_of(profile_->programs.begin(), profile_->programs.end(),
                       [&](std::wstring_view pattern) { return MatchesOwn(fileName, pattern, true); });
}

// The engine compares names as signed chars: bytes from 0x80 up come before ASCII.
int EngineNameByte(char byte) {
    int c = static_cast<unsigned char>(byte);
    if (c >= 0x80) c -= 0x100;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c == '\\' || c == ':') c = '/';
    return c;
}

bool EngineNameBefore(const std::wstring& a, const std::wstring& b) {
    const std::string x = WideToAnsi(a), y = WideToAnsi(b);
    for (size_t i = 0;; ++i) {
        const int c1 = i < x.size() ? EngineNameByte(x[i]) : 0;
        const int c2 = i < y.size() ? EngineNameByte(y[i]) : 0;
        if (c1 != c2) return c1 < c2;
        if (c1 == 0) return false;
    }
}

bool IsLocalizedArchive(const std::wstring& file) {
    constexpr std::wstring_view prefix = L"localized_";
    return file.size() > prefix.size() && StartsWith(file, prefix, true);
}

const GameProfile& DemoProfile() { return GameProfiles().front(); }

const GameProfile* FindProfile(std::wstring_view id) {
    for (const GameProfile& profile : GameProfiles()) {
        if (profile.id == id) return &profile;
    }
    return nullptr;
}

Game DemoGame(std::wstring folder) { return Game(DemoProfile(), std::move(folder)); }

namespace {

// How many of the profile's own archives (patterns count once) its archive folder holds.
int OwnArchivesFound(const GameProfile& profile, const std::wstring& gameFolder) {
    const std::wstring folder = gameFolder + L"\\" + std::wstring(profile.archiveFolder) + L"\\";
    if (!FileSystem::FolderExists(folder.substr(0, folder.size() - 1))) return 0;
    int found = 0;
    for (const std::wstring_view own : profile.ownArchives) {
        DirectoryWalk walk(folder + std::wstring(own));
        WIN32_FIND_DATAW entry{};
        if (walk.Next(entry)) ++found;
    }
    for (const std::wstring_view base : profile.baseFolders) {
        if (!FileSystem::FolderExists(gameFolder + L"\\" + std::wstring(base))) return 0;
    }
    return found;
}

}  // namespace

std::vector<Game> RecognizeGames(const std::wstring& picked) {
    const std::wstring folder(WithoutTrailingBackslashes(picked, 3));
    std::vector<std::pair<int, Game>> found;
    for (const GameProfile& profile : GameProfiles()) {
        // The folder picked, or the one below it where the game lies (Jedi Knight's GameData).
        std::vector<std::wstring> candidates{folder};
        if (!profile.below.empty()) candidates.push_back(folder + L"\\" + std::wstring(profile.below));
        for (const std::wstring& candidate : candidates) {
            // The most own archives found; of as many, the larger share of the profile's.
            const int count = OwnArchivesFound(profile, candidate);
            if (count == 0) continue;
            found.emplace_back(count * 1000 + count * 1000 / static_cast<int>(profile.ownArchives.size()), Game(profile, candidate));
            break;
        }
    }
    if (found.empty()) return {};
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    const int top = found.front().first;
    const GameProfile& best = found.front().second.profile();
    // A game's other programs (RTCW's single player and multiplayer) share its
    // installer's registry value, and its folder.
    auto sibling = [&](const GameProfile& profile) {
        return !best.registry.empty() && profile.registry.size() == best.registry.size() &&
               profile.registry.front().key == best.registry.front().key;
    };
    std::vector<Game> games;
    for (auto& [score, game] : found) {
        if (score == top || sibling(game.profile())) games.push_back(std::move(game));
    }
    return games;
}

std::wstring WhatGamesLookLike() {
    return L"Tarrow looks for a folder of archives with the game's own archives in it, such as main\\pak0.pk3 "
           L"(Call of Duty), baseq3\\pak0.pk3 (Quake III Arena), baseoa\\pak0.pk3 (OpenArena) or "
           L"GameData\\base\\assets0.pk3 (Jedi Knight).";
}
