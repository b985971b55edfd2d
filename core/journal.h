#pragma once
// The journal of a change to a game folder, as bytes: written by Tarrow, but
// read back as input from a stranger, since anyone who can write the game's
// folder can leave one there. Portable, so that it is fuzzed on the host.
//
// Each line is "<CRC-32 of the rest, 8 hex digits> <text>\n":
//   tarrow-journal 2
//   what <the change, for the player>
//   group <id>               only for a part of a change over several folders
//   steps <n>
//   <kind> <from>\t<to>      n times; kind is rename, write, check or recycle
//   begin                    once every step is on the disk
//   done <k>                 as step k is done, k = 0, 1, ...
// A last line without its "\n" was being written when the process ended: it
// does not count. The journals of earlier Tarrows have the same lines
// without the CRC, header and count.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace journal {

enum class Kind { Rename, Write, Check, Recycle };

// Names are UTF-8 and relative to the folder.
struct Step {
    Kind kind = Kind::Rename;
    std::string from, to;
};

struct Record {
    std::string what;
    // The change over several folders this is a part of: it stands only once
    // the group's record is gone. Empty for a change of one folder.
    std::string group;
    std::vector<Step> steps;
    bool begun = false;
    std::size_t done = 0;  // steps marked done, from the first
};

struct Parsed {
    bool ok = false;
    std::string problem;  // when not ok: what was found, for the player
    Record record;
};

// What Tarrow refuses to read or write at all.
inline constexpr std::size_t kMaxBytes = 4u << 20;
inline constexpr std::size_t kMaxSteps = 100000;
inline constexpr std::size_t kMaxWhat = 300;

// The name of the journal itself, which no step may name.
inline constexpr char kJournalName[] = "~tarrow-journal.txt";

// A plain file name of the folder: not empty, no "\", "/" or ":", not "." or
// "..", no device name, no control character or wildcard, no trailing dot or
// blank (Windows would drop it and name another file), valid UTF-8, and not a
// journal.
bool IsPlainName(std::string_view name);
// A temporary name of Tarrow's own: ~tarrow-<digits>-<digits>.tmp.
bool IsTemporaryName(std::string_view name);
// Why a step may not be run, or the empty text: a rename names two plain
// names, a recycle one, a write or check one temporary name.
std::string StepProblem(const Step& step);

// A group's id as a journal names it: <digits>-<digits>, at most 24 characters.
bool IsGroupId(std::string_view id);

// The journal up to its "begin"; it refuses none of its input, so check it first.
std::string EncodePlan(const std::string& what, const std::vector<Step>& steps, const std::string& group = {});
std::string EncodeDone(std::size_t k);

// Reads a journal; a damaged one, or one that names anything but its own
// folder's files, is refused whole.
Parsed Parse(std::string_view bytes);

}  // namespace journal
