#pragma once
// The compatibility checker's work, without a window: the inventory of each
// mod's files, and the pairing of the selected mod's files with the others'.
#include <string>
#include <vector>

// The work lists of one check.
struct WorkLists {
    std::vector<std::wstring> list1;  // relative paths of the selected mod
    std::vector<std::wstring> list2;  // mod-qualified paths of the other mods
    std::vector<std::wstring> List3;  // conflict lines, kept sorted
};

// Lays out a mod's archive (main folder + archiveName) as its working folder,
// main folder + mod name, held in memory: the names the extraction would write,
// with no file data read. The working folder is created empty first, so a mod
// whose archive cannot be read walks as an empty folder. Returns false when the
// archive could not be read; throws AppError when the library cannot be used.
bool UnpackMod(const std::wstring& gamePath, const std::wstring& archiveName);

// Records every file below path into list1 (list true: relative paths) or
// list2 (mod-qualified paths), leaving out information files. Reports its own
// errors ("Unexpected Error") and gives up the folder it was walking.
void FindFiles(WorkLists& lists, const std::wstring& gamePath, bool list, const std::wstring& modfile,
               std::wstring path, const std::wstring& SearchStr);

// Adds a line to a list kept in the order of a sorted list box: alphabetical
// without regard to case, a new line after the lines equal to it.
void AddSorted(std::vector<std::wstring>& sorted, const std::wstring& line);

// Fills List3 with "other mod : path" for every path of list1 that an entry of
// list2 holds, in the order the plain nested loop over both lists would give.
void PairConflicts(WorkLists& lists);
// That plain nested loop, kept for comparison.
void PairConflictsNested(WorkLists& lists);
