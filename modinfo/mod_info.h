#pragma once
// The mod information file: tarrow.ini at the root of a mod's archive, and the
// rich text that the panel shows for it.
#include <cstdint>
#include <functional>
#include <string>

#include "core/scratch_folder.h"
#include "core/transaction.h"
#include "games/game.h"

// What the panel shows of one information file. A missing key reads "Default".
struct ModInformation {
    bool found = false;  // the archive held tarrow.ini at its root
    std::wstring name, version, author, description;
};

// Real information files are a few hundred bytes. A larger one is never
// extracted: any mod from the internet could declare gigabytes.
inline constexpr std::uint64_t LargestInformationFile = 64 * 1024;
// Whether the archive's tarrow.ini declares more than LargestInformationFile.
bool InformationFileTooLarge(const std::wstring& archivePath);
// Extracts the single entry tarrow.ini (exact name, archive root) into a
// folder; false, with nothing written, when it is too large. Throws AppError
// when the extraction library cannot be used.
bool ExtractInformationFile(const std::wstring& archivePath, const std::wstring& destination);
// Reads NAME, VERSION, AUTHOR and Description from section Tarrow.
ModInformation ReadInformationFile(const std::wstring& iniPath);

// The panel's rich text: pure ASCII, values placed as written (their RTF
// control words take effect), characters above 127 as \uN? escapes.
std::string InformationRtf(const ModInformation& info);
std::string NoticeRtf(const std::wstring& modName, const std::wstring& extension);
std::string RtfText(const std::wstring& text);

// The four values as an author edits them: plain characters and line breaks.
struct InformationFields {
    std::wstring name, version, author, description;
};

// A stored value as text to edit: "\par" (and the blank that ends it) becomes
// a line break; "\\", "\{" and "\}" become "\", "{" and "}".
std::wstring UnescapeValue(const std::wstring& stored);
// The reverse: the value as the panel's rich text takes it.
std::wstring EscapeValue(const std::wstring& text);

// The text of an information file: UTF-16 with its byte-order mark; UTF-8
// with its mark, or valid UTF-8 that holds bytes above 0x7F; otherwise the
// ANSI code page, as the profile reader takes it.
std::wstring DecodeInformationFile(const std::string& bytes);
// The decoded text of an extracted information file; empty when there is none.
std::wstring ReadInformationText(const std::wstring& iniPath);
// Rewrites an extracted information file that is UTF-8 as UTF-16 with its
// mark, which the profile reader reads as Unicode on every code page. Every
// other file stays exactly as it is.
void ReadUtf8AsUnicode(const std::wstring& iniPath);

// The fields of an extracted information file as the panel reads them;
// missing keys are empty.
InformationFields ReadFields(const std::wstring& iniPath);
// An archive's tarrow.ini as the information panel and the editor read it:
// extracted into a scratch folder of our own (nothing in the game folder is
// touched), UTF-8 read as Unicode, then read.
struct ArchiveInformation {
    bool found = false;        // the archive holds a tarrow.ini that was extracted
    std::wstring text;         // the file's text, decoded
    ModInformation info;       // what the panel shows
    InformationFields fields;  // what the editor edits
};
// No library, or none of ours, reads as no information.
ArchiveInformation ReadArchiveInformation(const std::wstring& archivePath);

// The caption of the first field whose stored form is longer than the panel's
// reader keeps (254 characters), or the empty text.
std::wstring TooLongField(const InformationFields& fields);
// The new information file: the existing text with NAME, VERSION, AUTHOR and
// Description of [Tarrow] replaced in place (keys matched without regard to
// case) and every other line kept. Pure ASCII is written as it is, anything
// else as UTF-16LE with its byte-order mark.
std::string InformationFileBytes(const std::wstring& existingText, const InformationFields& fields);

// Writes tarrow.ini into the archive at archivePath: a new archive under a
// temporary name, read back, then put in place; the old one goes to the
// Recycle Bin. Returns the message to show when nothing was changed, and the
// empty text on success; warning gets a note when the old archive could not
// go to the Recycle Bin.
// The save's change runs through run, the program's one door for changes.
using PlacedChangeRunner = std::function<ChangeOutcome(const Game& game, const ChangePlan& plan)>;
std::wstring SaveInformation(const Game& game, const std::wstring& archivePath, const std::wstring& existingText,
                             const InformationFields& fields, std::wstring& warning, const PlacedChangeRunner& run);
// The change that a save makes: the new archive under a temporary name, then
// the old one steps aside, the new one takes its name, and the old one goes to
// the Recycle Bin. failure, when given, hears why the writer refused.
ChangePlan SaveInformationPlan(const std::wstring& archivePath, const std::string& iniBytes, std::wstring* failure);
