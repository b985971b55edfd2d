#pragma once
// What the game loads from its main folder, by the game's own rules: every
// .pk3 (any letter case) in the order of its file name, each file taken from
// the last archive that holds it. No windows here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "games/game.h"

struct LoadOrderArchive {
    std::wstring file;      // the file name with its extension
    int files = 0;          // entries that are not folders and not the root tarrow.ini
    int wins = 0;           // its shared files that the game takes from it
    int overridden = 0;     // its files that a later archive replaces
    bool game = false;      // one of the game's own two archives
    bool noEffect = false;  // every one of its files is replaced by another copy
    int distinct = 0;       // its files, each path once
    // A later archive that holds every one of its files, each the same copy,
    // so that whichever wins the player sees the same; empty otherwise.
    std::wstring sameAs;
};

// One archive's copy of a file, as the zip directory tells it: the same CRC-32
// and size is the same copy, and nothing the player sees depends on which wins.
struct FileCopy {
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    bool operator==(const FileCopy&) const = default;
};

struct SharedFile {
    std::wstring path;                 // "\" separators, spelt as the winning archive spells it
    std::vector<std::size_t> holders;  // the archives that hold it, in load order: the last one wins
    std::vector<FileCopy> copies;      // each holder's copy, in the same order
    // Every archive holds the same copy.
    bool Identical() const;
};

// The problems that have one fix in the Load Order window.
enum class ProblemKind { Other, BeforeGame, Extension, NoEffect, Duplicate, Copy, MissingFiles };

struct LoadProblem {
    std::wstring archive;
    std::wstring problem;
    ProblemKind kind = ProblemKind::Other;
    std::wstring other;  // a Copy: the archive that is a copy of this one
};

// The game's hard limits: archives it loads from one folder, and entries its
// zip reader reads from one archive. Load Order names them before they are
// reached, from this share of the limit on.
inline constexpr int kMaxArchivesPerFolder = 1024;
inline constexpr int kMaxEntriesPerArchive = 65535;
inline constexpr int kNearLimitPercent = 90;

// One of the game's own archives that the program does not load: the other
// RTCW program's, another language's.
struct SkippedArchive {
    std::wstring file;
    std::wstring note;  // "game (multiplayer)"
};

struct LoadOrderReport {
    std::vector<LoadOrderArchive> archives;  // what the game loads, in load order
    std::vector<SharedFile> shared;          // by path, without regard to case
    std::vector<LoadProblem> problems;       // by archive, in the game's order of names
    std::vector<SkippedArchive> skipped;     // by name; listed after the archives loaded
    // Whether loose files win over archives, and whether that follows from
    // the program that Play starts or is the game's likely rule.
    bool looseFilesFirst = false;
    bool looseRuleKnown = false;
};

// The game's identity of paths inside archives: ASCII case ignored, "/" and "\" alike.
bool SamePath(std::string_view a, std::string_view b);

// Works out each archive's wins, overridden files (only those whose winning
// copy differs), "no effect" and "same as" (the later archive that holds
// every one of its files next in the same copy, whichever archive wins them)
// from its distinct files and the shared files.
void CountWinners(LoadOrderReport& report);

// Reads the game's archive folder and every .pk3 in it through the inventory,
// in the game's order. Throws AppError when the folder cannot be listed or the
// extraction library cannot be used.
LoadOrderReport BuildLoadOrder(const Game& game);

// Only which archives the game loads, in its order, and the game's own it
// skips: no archive is read. What Maps needs, at a fraction of the cost.
LoadOrderReport LoadedArchives(const Game& game);

// The rows of the archives table: the archives loaded, then the skipped ones.
std::size_t ArchiveRows(const LoadOrderReport& report);
// The cells of one row of each table, as the window shows them.
std::vector<std::wstring> ArchiveRow(const LoadOrderReport& report, std::size_t index);
std::vector<std::wstring> SharedRow(const LoadOrderReport& report, std::size_t index);
std::vector<std::wstring> ProblemRow(const LoadOrderReport& report, std::size_t index);
// The captions of each table's columns.
const std::vector<std::wstring>& ArchiveColumns();
const std::vector<std::wstring>& SharedColumns();
const std::vector<std::wstring>& ProblemColumns();

// The whole report as a spreadsheet pastes it: the three tables with their
// header rows, tab-separated, rows ended by CR LF, an empty line between them.
std::wstring LoadOrderText(const LoadOrderReport& report);
