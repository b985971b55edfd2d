#pragma once
// Small stored zip archives, written byte by byte, for the tests and the bench.
#include <string>
#include <utility>
#include <vector>

// An archive of stored entries, each holding "data of " + its name. A name that
// ends in "/" is a folder entry and holds nothing. Names are stored as given.
std::string MakeZip(const std::vector<std::string>& names);
// An archive of stored entries of these names and bytes.
std::string MakeZipOf(const std::vector<std::pair<std::string, std::string>>& entries);

// A Quake III map (IBSP 46) of these shaders, surfaces drawn with the shaders
// of these indexes, fogs and entity text; no geometry.
std::string MakeBsp(const std::vector<std::string>& shaders, const std::vector<int>& surfaces,
                    const std::vector<std::string>& fogs, const std::string& entities);
// An MD3 model of one surface with these shaders.
std::string MakeMd3(const std::vector<std::string>& shaders);
