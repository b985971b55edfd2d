#pragma once
// Small stored zip archives, written byte by byte, for the tests and the bench.
#include <string>
#include <vector>

// An archive of stored entries, each holding "data of " + its name. A name that
// ends in "/" is a folder entry and holds nothing. Names are stored as given.
std::string MakeZip(const std::vector<std::string>& names);
