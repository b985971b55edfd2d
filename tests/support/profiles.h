#pragma once
// A game profile by its id, for the tests of the games' rules.
#include <stdexcept>

#include "games/game.h"

inline const GameProfile& Profile(const wchar_t* id) {
    const GameProfile* profile = FindProfile(id);
    if (!profile) throw std::runtime_error("no profile");
    return *profile;
}
