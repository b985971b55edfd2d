#pragma once
// What the game loads from its main folder, by the game's own rules: every
// .pk3 (any letter case) in the order of its file name, each file taken from
// the last archive that holds it. No windows here.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct LoadOrderArchive {
    std::wstring file;   // the file name with its extension
    int files = 0;       // entries that are not folders and not the root tarrow.ini
    int wins = 0;        // its shared files that the game takes from it
    int overridden = 0;  // its files that a later archive replaces
    bool game = false;   // one of the game's own two archives
    bool noEffect = false;
    int distinct = 0;    // its files, each path once
};

struct SharedFile {
    std::wstring path;                 // "\" separators, spelt as the winning archive spells it
    std::vector<std::size_t> holders;  // the archives that hold it, in load order: the last one wins
};

// The problems that have one fix in the Load Order window.
enum class ProblemKind { Other, BeforeGame, Extension, NoEffect, Duplicate };

struct LoadProblem {
    std::wstring archive;
    std::wstring problem;
    ProblemKind kind = ProblemKind::Other;
};

struct LoadOrderReport {
    std::vector<LoadOrderArchive> archives;  // what the game loads, in load order
    std::vector<SharedFile> shared;          // by path, without regard to case
    std::vector<LoadProblem> problems;       // by archive, in the game's order of names
};

// The game's language: of the localized archives, only its own load.
inline constexpr wchar_t GameLanguage[] = L"english";
// An archive named localized_<language>_*.pk3, whatever its letter case.
bool IsLocalizedArchive(const std::wstring& file);
// False for a localized archive of another language than the game's.
bool GameLoadsArchive(const std::wstring& file);
// The game's order of archive names within a tier: byte by byte in the ANSI
// code page, ASCII letters as capitals, "\" and ":" as "/", bytes compared as
// signed chars.
bool GameNameBefore(const std::wstring& a, const std::wstring& b);
// The game's load order: the localized archives first (the weakest, below even
// the loose files), then every other archive, each tier in name order.
bool GameLoadsBefore(const std::wstring& a, const std::wstring& b);
// The game's identity of paths inside archives: ASCII case ignored, "/" and "\" alike.
bool SamePath(std::string_view a, std::string_view b);

// Reads the main folder of a game folder and every .pk3 in it through the
// inventory. Throws AppError when the folder cannot be listed or the
// extraction library cannot be used.
LoadOrderReport BuildLoadOrder(const std::wstring& gameFolder);

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
