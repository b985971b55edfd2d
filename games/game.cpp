#include "games/game.h"

#include <windows.h>

#include <algorithm>

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

// A wildcard pattern of one "*", as the profiles write program names.
bool MatchesPattern(std::wstring_view name, std::wstring_view pattern) {
    const size_t star = pattern.find(L'*');
    if (star == std::wstring_view::npos) return SameFileName(name, pattern);
    const std::wstring_view head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    return name.size() >= head.size() + tail.size() && SameFileName(name.substr(0, head.size()), head) &&
           SameFileName(name.substr(name.size() - tail.size()), tail);
}

}  // namespace

Game::Game(const GameProfile& profile, std::wstring folder) : profile_(&profile), folder_(std::move(folder)) {}

std::wstring Game::ArchiveFolder() const { return folder_ + L"\\" + std::wstring(profile_->archiveFolder) + L"\\"; }

bool Game::IsOwnArchiveName(const std::wstring& fileName) const {
    return std::find(profile_->ownArchives.begin(), profile_->ownArchives.end(), fileName) != profile_->ownArchives.end();
}

bool Game::IsOwnArchiveFile(const std::wstring& fileName) const {
    return std::any_of(profile_->ownArchives.begin(), profile_->ownArchives.end(),
                       [&](std::wstring_view own) { return SameFileName(fileName, own); });
}

bool Game::LoadsArchive(const std::wstring& file) const {
    const OrderRule rule = profile_->rule;
    if (rule == OrderRule::Localized && IsLocalizedArchive(file)) {
        const std::wstring_view rest = std::wstring_view(file).substr(std::wstring_view(L"localized_").size());
        return EqualNoCase(rest.substr(0, rest.find(L'_')), profile_->language);
    }
    if (IsRtcw(rule)) {
        if (StartsWith(file, RtcwOtherPrefix(rule), false)) return false;
        // Its own "zz" names are turned back into sp_/mp_ after the sort, and
        // an archive that really was named zz* is then looked for under that name.
        if (StartsWith(file, L"zz", false)) return false;
    }
    return true;
}

int Game::Tier(const std::wstring& file) const {
    return profile_->rule == OrderRule::Localized && IsLocalizedArchive(file) ? -1 : 0;
}

bool Game::LoadsBefore(const std::wstring& a, const std::wstring& b) const {
    const int x = Tier(a), y = Tier(b);
    if (x != y) return x < y;
    return EngineNameBefore(SortName(a), SortName(b));
}

std::wstring Game::SortName(const std::wstring& file) const {
    if (IsRtcw(profile_->rule) && StartsWith(file, RtcwOwnPrefix(profile_->rule), false)) return L"zz" + file.substr(2);
    return file;
}

bool Game::IsGameProgram(const std::wstring& fileName) const {
    return std::any_of(profile_->programs.begin(), profile_->programs.end(),
                       [&](std::wstring_view pattern) { return MatchesPattern(fileName, pattern); });
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
