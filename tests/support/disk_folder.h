#pragma once
// A real folder on disk, taken into a mod's folder as the check lays one out.
#include <string>

#include "compat/conflicts.h"

// Adds every entry below root + "\" + below, with below as the prefix of its path.
void AddFromDisk(ModFolder& folder, const std::wstring& root, const std::wstring& below = L"");
