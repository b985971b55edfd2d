#pragma once
// Writing to the game's folder without loss: temporary names the game
// ignores, and a Recycle Bin that is seen to take a file before it counts as
// gone.
#include <string>

// A path in folder that does not exist yet: folder\~tarrow-<pid>-<n>.tmp.
// Never a name ending in ".pk3" and more: its 8.3 short name would end in
// .PK3, and Windows matches *.pk3 against short names too.
std::wstring TemporaryNameIn(const std::wstring& folder);

struct RecycleOutcome {
    bool recycled = false;
    std::wstring reason;   // why the file is still there
    std::wstring stillAt;  // where the file is when it was not recycled
};

// Moves a file to the Recycle Bin. Where the bin refuses it (a file on another
// file system, or no bin at all), the shell would delete it for good; a second
// name of the file is kept meanwhile, so that the file is put back then. The
// file is never lost.
RecycleOutcome SendToRecycleBin(const std::wstring& path);
