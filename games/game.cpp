#include "games/game.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "core/directory.h"
#include "core/errors.h"
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

bool SameChar(wchar_t a, wchar_t b, bool ignoreCase) { return ignoreCase ? SameFileName({&a, 1}, {&b, 1}) : a == b; }

// A name against a pattern of the game's files, as the file system matches them.
bool MatchesPattern(std::wstring_view name, std::wstring_view pattern, bool ignoreCase) {
    return MatchesWildcard(name, pattern, [&](wchar_t a, wchar_t b) { return SameChar(a, b, ignoreCase); });
}

}  // namespace

Game::Game(const GameProfile& profile, std::wstring folder, std::wstring mod)
    : profile_(&profile), folder_(std::move(folder)), mod_(std::move(mod)), looseFirst_(profile.looseFilesFirst) {
    // The search, weakest first: the base folders, the archive folder, the mod folder.
    std::vector<std::wstring> stack(profile_->baseFolders.begin(), profile_->baseFolders.end());
    stack.emplace_back(profile_->archiveFolder);
    if (!mod_.empty()) stack.push_back(mod_);
    for (size_t i = 0; i < stack.size(); ++i) AddPlaces(stack[i], static_cast<int>(i) * 2, i + 1 == stack.size());
}

void Game::AddPlaces(const std::wstring& relative, int rank, bool managed) {
    const std::wstring installed = folder_ + L"\\" + relative;
    places_.push_back({relative, installed + L"\\", managed, rank, managed});
    if (const std::wstring stored = VirtualStoreOf(installed); !stored.empty()) {
        places_.push_back({L"VirtualStore\\" + relative, stored + L"\\", false, rank, managed});
    }
    // The per-user folders win over the install folder of the same name.
    const std::wstring profileFolder = ExpandUserFolder(L"%USERPROFILE%") + L"\\";
    for (const std::wstring_view user : profile_->userFolders) {
        const std::wstring path = ExpandUserFolder(user);
        if (path.empty()) continue;
        std::wstring label = path + L"\\";
        label += relative;
        std::wstring folder = label + L"\\";
        if (profileFolder.size() > 1 && label.size() > profileFolder.size() &&
            EqualNoCase(std::wstring_view(label).substr(0, profileFolder.size()), profileFolder)) {
            label.erase(0, profileFolder.size());
        }
        places_.push_back({std::move(label), std::move(folder), false, rank + 1, managed});
    }
}

std::wstring Game::Name() const {
    return mod_.empty() ? std::wstring(profile_->name) : std::wstring(profile_->name) + L": " + mod_;
}

std::wstring Game::ModArguments() const {
    if (mod_.empty()) return {};
    // The engine names folders with forward slashes; Call of Duty's mods lie below "mods".
    std::wstring name = mod_;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    if (!profile_->modsFolder.empty()) {
        const size_t below = profile_->modsFolder.size();
        std::wstring mods(profile_->modsFolder);
        std::transform(mods.begin(), mods.end(), mods.begin(),
                       [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + 32 : c; });
        name = mods + name.substr(below);
    }
    return L"+set fs_game " + (name.find(L' ') == std::wstring::npos ? name : L"\"" + name + L"\"");
}

std::wstring Game::ArchiveFolder() const {
    if (view_ >= 0) return places_[static_cast<size_t>(view_)].folder;
    return folder_ + L"\\" + (mod_.empty() ? std::wstring(profile_->archiveFolder) : mod_) + L"\\";
}

std::wstring Game::ArchiveFolderName() const {
    if (view_ >= 0) return places_[static_cast<size_t>(view_)].label;
    return mod_.empty() ? std::wstring(profile_->archiveFolder) : mod_;
}

std::optional<Game> Game::Where(const QualifiedName& name) const {
    if (name.place.empty()) return Game(*profile_, folder_, mod_);
    const Place* place = FindPlace(name.place);
    if (!place || !place->changeable) return std::nullopt;
    Game view(*profile_, folder_, mod_);
    view.view_ = static_cast<int>(place - places_.data());
    return view;
}

namespace {

// The file system matches names without regard to case.
std::wstring Capitals(std::wstring name) {
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

}  // namespace

bool Game::HiddenNames::Hide(const std::wstring& file) const {
    return !upper_.empty() && upper_.contains(Capitals(file));
}

Game::HiddenNames Game::HiddenByStoredCopy(const Place& place) const {
    HiddenNames hidden;
    const auto at = static_cast<std::size_t>(&place - places_.data());
    // The copy follows its folder among the places.
    if (at + 1 >= places_.size()) return hidden;
    const Place& next = places_[at + 1];
    if (next.rank != place.rank || !next.label.starts_with(L"VirtualStore\\") ||
        place.label.starts_with(L"VirtualStore\\")) {
        return hidden;
    }
    DirectoryWalk walk(next.folder + L"*");
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
        if (!IsFolder(entry)) hidden.upper_.insert(Capitals(entry.cFileName));
    }
    return hidden;
}

bool Game::Place::Exists() const { return FileSystem::FolderExists(folder.substr(0, folder.size() - 1)); }

const Game::Place* Game::FindPlace(const std::wstring& label) const {
    for (const Place& place : places_) {
        if (label.empty() ? place.managed : !place.managed && EqualNoCase(place.label, label)) return &place;
    }
    return nullptr;
}

std::wstring VirtualStoreOf(const std::wstring& folder) {
    // Only the programs' folders are redirected, in both of their names.
    static const std::wstring_view roots[] = {L"%PROGRAMFILES(X86)%", L"%PROGRAMFILES%"};
    for (const std::wstring_view root : roots) {
        const std::wstring path = ExpandUserFolder(root);
        if (path.empty() || folder.size() <= path.size() || folder[path.size()] != L'\\' ||
            !EqualNoCase(std::wstring_view(folder).substr(0, path.size()), path)) {
            continue;
        }
        // The path below the drive: "Program Files (x86)\\..."
        const size_t drive = path.find(L'\\');
        if (drive == std::wstring::npos) continue;
        // No known folder, no copy: never a place at the drive's root.
        const std::wstring local = ExpandUserFolder(L"%LOCALAPPDATA%");
        if (local.empty()) return {};
        return local + L"\\VirtualStore" + folder.substr(drive);
    }
    return {};
}

bool IsEngineWord(std::wstring_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               std::wstring_view(L"_-./").find(c) != std::wstring_view::npos;
    });
}

std::wstring SafeModFolder(const std::wstring& name) {
    std::wstring clean = name;
    std::replace(clean.begin(), clean.end(), L'/', L'\\');
    size_t parts = 0;
    for (size_t start = 0; start <= clean.size(); ++parts) {
        const size_t end = std::min(clean.find(L'\\', start), clean.size());
        const std::wstring_view part = std::wstring_view(clean).substr(start, end - start);
        // The engine's command line takes it after "+set fs_game": no "+", quote or control character.
        const bool command = std::any_of(part.begin(), part.end(), [](wchar_t c) { return c < L' ' || c == L'+'; });
        if (part.empty() || part == L"." || part == L".." || command ||
            part.find_first_of(L":*?\"<>|") != std::wstring_view::npos) {
            return {};
        }
        start = end + 1;
    }
    return parts <= 2 ? clean : std::wstring();
}

namespace {

struct KnownFolder {
    std::wstring_view token;
    int csidl;
};
// The shell's older call: it needs no COM allocator, so the games need no ole32.
constexpr KnownFolder kKnownFolders[] = {
    {L"%APPDATA%", CSIDL_APPDATA},
    {L"%LOCALAPPDATA%", CSIDL_LOCAL_APPDATA},
    {L"%DOCUMENTS%", CSIDL_PERSONAL},
    {L"%USERPROFILE%", CSIDL_PROFILE},
    {L"%PROGRAMFILES%", CSIDL_PROGRAM_FILES},
    {L"%PROGRAMFILES(X86)%", CSIDL_PROGRAM_FILESX86},
};

// Asked of the shell once: every Game made looks at them, and the shell is slow to answer.
const std::vector<std::wstring>& KnownFolderPaths() {
    static const std::vector<std::wstring> paths = [] {
        std::vector<std::wstring> found;
        for (const KnownFolder& known : kKnownFolders) {
            wchar_t path[MAX_PATH] = {};
            found.emplace_back(
                SUCCEEDED(SHGetFolderPathW(nullptr, known.csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : L"");
        }
        return found;
    }();
    return paths;
}

}  // namespace

std::wstring ExpandUserFolder(std::wstring_view folder) {
    for (size_t i = 0; i < std::size(kKnownFolders); ++i) {
        const std::wstring_view token = kKnownFolders[i].token;
        if (!folder.starts_with(token)) continue;
        const std::wstring& found = KnownFolderPaths()[i];
        if (found.empty()) return {};
        return found + std::wstring(folder.substr(token.size()));
    }
    return std::wstring(folder);
}

std::wstring Game::PathOf(const QualifiedName& name) const {
    if (name.place.empty()) return ArchiveFolder() + name.file;
    const Place* place = FindPlace(name.place);
    if (!place) throw AppError(76, Name() + L" has no folder " + name.place + L".");
    return place->folder + name.file;
}

std::wstring Game::NameOf(const std::wstring& path) const {
    for (const Place& place : places_) {
        const std::wstring& folder = place.folder;
        if (path.size() <= folder.size() || !EqualNoCase(std::wstring_view(path).substr(0, folder.size()), folder) ||
            path.find(L'\\', folder.size()) != std::wstring::npos) {
            continue;
        }
        return place.Name(path.substr(folder.size())).Shown();
    }
    return {};
}

int Game::Rank(const std::wstring& qualified) const {
    const Place* place = PlaceOf(QualifiedName::Parse(qualified));
    return place ? place->rank : -1;
}

bool Game::IsOwnArchiveName(const std::wstring& fileName) const {
    const bool ignoreCase = !profile_->ownNamesExact;
    return std::any_of(profile_->ownArchives.begin(), profile_->ownArchives.end(),
                       [&](std::wstring_view own) { return MatchesPattern(fileName, own, ignoreCase); });
}

bool Game::IsOwnArchiveFile(const std::wstring& fileName) const {
    if (fileName == LooseFiles) return true;
    const QualifiedName name = QualifiedName::Parse(fileName);
    if (!name.place.empty()) {
        const Place* place = PlaceOf(name);
        if (!place || !place->changeable) return true;
    }
    const std::wstring& file = name.file;
    return std::any_of(profile_->ownArchives.begin(), profile_->ownArchives.end(),
                       [&](std::wstring_view own) { return MatchesPattern(file, own, true); });
}

bool Game::LoadsArchive(const std::wstring& qualified) const {
    const std::wstring file = QualifiedName::Parse(qualified).file;
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
    return profile_->rule == OrderRule::Localized && IsLocalizedArchive(QualifiedName::Parse(qualified).file) ? -1 : 0;
}

bool Game::LoadsBefore(const std::wstring& a, const std::wstring& b) const {
    const int x = Tier(a), y = Tier(b);
    if (x != y) return x < y;
    const int p = Rank(a), q = Rank(b);
    if (p != q) return p < q;
    // Within its folder, the loose files row goes before or after every archive.
    const int looseRank = looseFirst_ ? 1 : -1;
    const int r = a == LooseFiles ? looseRank : 0, s = b == LooseFiles ? looseRank : 0;
    if (r != s) return r < s;
    return EngineNameBefore(SortName(QualifiedName::Parse(a).file), SortName(QualifiedName::Parse(b).file));
}

std::wstring Game::SortName(const std::wstring& file) const {
    if (IsRtcw(profile_->rule) && StartsWith(file, RtcwOwnPrefix(profile_->rule), false)) return L"zz" + file.substr(2);
    return file;
}

Game Game::RunBy(const std::wstring& program) const {
    Game run = *this;
    const std::wstring file = FileNameOf(program);
    auto any = [&](const std::vector<std::wstring_view>& patterns) {
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](std::wstring_view pattern) { return MatchesPattern(file, pattern, true); });
    };
    if (file.empty()) return run;
    if (any(profile_->openEngines)) {
        run.looseFirst_ = run.looseKnown_ = true;
    } else if (any(profile_->programs)) {
        // The program the game was built around; for a game whose own program
        // is an open engine (OpenArena), that engine's rule.
        run.looseFirst_ = profile_->looseFilesFirst;
        run.looseKnown_ = true;
    }
    return run;
}

std::wstring Game::SkippedOwnNote(const std::wstring& qualified) const {
    if (LoadsArchive(qualified) || !IsOwnArchiveFile(qualified)) return {};
    const std::wstring file = QualifiedName::Parse(qualified).file;
    if (profile_->rule == OrderRule::RtcwSingle) return L"game (multiplayer)";
    if (profile_->rule == OrderRule::RtcwMulti) return L"game (single player)";
    if (IsLocalizedArchive(file)) {
        const std::wstring_view rest = std::wstring_view(file).substr(std::wstring_view(L"localized_").size());
        return L"game (" + std::wstring(rest.substr(0, rest.find(L'_'))) + L")";
    }
    return L"game";
}

bool Game::IsGameProgram(const std::wstring& fileName) const {
    return std::any_of(profile_->programs.begin(), profile_->programs.end(),
                       [&](std::wstring_view pattern) { return MatchesPattern(fileName, pattern, true); });
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

bool Game::IsDemo() const { return profile_ == &DemoProfile(); }

const GameProfile* FindProfile(std::wstring_view id) {
    for (const GameProfile& profile : GameProfiles()) {
        if (profile.id == id) return &profile;
    }
    return nullptr;
}

Game DemoGame(std::wstring folder) { return Game(DemoProfile(), std::move(folder)); }

namespace {

// How many of the profile's own archives (patterns count once) its archive folder holds and its program loads.
int OwnArchivesFound(const GameProfile& profile, const std::wstring& gameFolder) {
    const std::wstring folder = gameFolder + L"\\" + std::wstring(profile.archiveFolder) + L"\\";
    if (!FileSystem::FolderExists(folder.substr(0, folder.size() - 1))) return 0;
    // Only what the profile's program loads counts: RTCW's folder holds both programs' archives.
    const Game game(profile, gameFolder);
    int found = 0;
    for (const std::wstring_view own : profile.ownArchives) {
        DirectoryWalk walk(folder + std::wstring(own));
        for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
            if (!game.LoadsArchive(entry.cFileName)) continue;
            ++found;
            break;
        }
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
            found.emplace_back(count * 1000 + count * 1000 / static_cast<int>(profile.ownArchives.size()),
                               Game(profile, candidate));
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
