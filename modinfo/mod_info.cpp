#include "modinfo/mod_info.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "archive/unzip.h"
#include "archive/unzip_api.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/handles.h"
#include "core/ini_file.h"
#include "core/text.h"
#include "core/transaction.h"

bool InformationFileTooLarge(const std::wstring& archivePath) {
    // The listing reads only the directory, whatever the file declares.
    const VBUnzBas::ListResult listed = VBUnzBas::ListEntries(archivePath, L"tarrow.ini");
    return !listed.entries.empty() && listed.entries.front().size > LargestInformationFile;
}

bool ExtractInformationFile(const std::wstring& archivePath, const std::wstring& destination) {
    if (InformationFileTooLarge(archivePath)) return false;
    VBUnzBas::ExtractEntry(archivePath, L"tarrow.ini", destination);
    return true;
}

ModInformation ReadInformationFile(const std::wstring& iniPath) {
    ModInformation info;
    info.name = GetINIFile(L"Tarrow", L"NAME", iniPath);
    info.version = GetINIFile(L"Tarrow", L"VERSION", iniPath);
    info.author = GetINIFile(L"Tarrow", L"AUTHOR", iniPath);
    info.description = GetINIFile(L"Tarrow", L"Description", iniPath);
    info.found = FileSystem::FileExists(iniPath);
    return info;
}

std::string RtfText(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (static_cast<unsigned>(c) < 128) {
            out += static_cast<char>(c);
        } else {
            // Signed 16-bit, as RTF wants; a character beyond the BMP is its two surrogates.
            out += "\\u" + std::to_string(static_cast<short>(c)) + "?";
        }
    }
    return out;
}

std::string InformationRtf(const ModInformation& info) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fprq2\\"
           "fcharset0 Microsoft Sans Serif;}{\\f1\\fswiss\\fcharset0 Arial;}}"
           "\\viewkind4\\uc1\\pard\\b\\f0\\fs16 Name: \\b0 " +
           RtfText(info.name) + "\\par\\par" + "\\b Version:\\b0  " + RtfText(info.version) + "\\par\\par" +
           "\\b Author:\\b0  " + RtfText(info.author) + "\\par\\par" + "\\b Description:\\b0  " +
           RtfText(info.description) + "\\par\\f1\\par}";
}

std::string NoticeRtf(const std::wstring& modName, const std::wstring& extension) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fprq2"
           "\\fcharset0 Microsoft Sans Serif;}{\\f1\\fswiss\\fcharset0 Arial;}}"
           "\\viewkind4\\uc1\\pard\\f0\\fs16 No information available for " +
           RtfText(modName) + RtfText(extension) + "\\f1\\fs20\\par}";
}

namespace {

// The panel's reader keeps 254 characters of a value.
constexpr size_t kLongestValue = 254;

bool StartsWith(const std::wstring& s, size_t at, const wchar_t* text) {
    return s.compare(at, wcslen(text), text) == 0;
}

std::wstring Trimmed(const std::wstring& s) {
    const size_t first = s.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t at = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
    while (at < text.size()) {
        size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

std::string ReadBytes(const std::wstring& path) {
    constexpr std::size_t kLimit = (1 << 24) - 1;
    std::string bytes = FileSystem::ReadWholeFile(path, kLimit);
    if (bytes.size() > kLimit) bytes.clear();
    return bytes;
}

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

bool IsUtf8WithHighBytes(const std::string& bytes) {
    const bool high =
        std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
    return high && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                       nullptr, 0) > 0;
}

std::wstring WriteFailure(int code) {
    switch (code) {
    case UnzNotZip: return L"it is not a zip archive.";
    case UnzDamaged: return L"it is damaged.";
    case UnzEncrypted: return L"it holds encrypted entries, which Tarrow does not rewrite.";
    case UnzZip64: return L"it is a zip64 archive, which the game cannot read.";
    case UnzLayout: return L"it holds data outside its entries that a copy would not keep.";
    case UnzVerifyFailed: return L"the new archive did not read back.";
    default: return L"the new archive could not be written. Is the disk full?";
    }
}

}  // namespace

std::wstring UnescapeValue(const std::wstring& stored) {
    std::wstring text;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == L'\\' && i + 1 < stored.size() && wcschr(L"\\{}", stored[i + 1])) {
            text += stored[++i];
        } else if (StartsWith(stored, i, L"\\par") && (i + 4 == stored.size() || !iswalnum(stored[i + 4]))) {
            text += L"\r\n";
            i += 3;
            if (i + 1 < stored.size() && stored[i + 1] == L' ') ++i;
        } else {
            text += stored[i];
        }
    }
    return text;
}

std::wstring EscapeValue(const std::wstring& text) {
    std::wstring stored;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            // The blank ends the control word; at the very end none is needed.
            stored += i + 1 < text.size() ? L"\\par " : L"\\par";
        } else if (c == L'\\' || c == L'{' || c == L'}') {
            stored += L'\\';
            stored += c;
        } else {
            stored += c;
        }
    }
    return stored;
}

std::wstring DecodeInformationFile(const std::string& bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1])
                                                                                    << 8);
        }
        return text;
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return Utf8ToWide(std::string_view(bytes).substr(3));
    if (IsUtf8WithHighBytes(bytes)) return Utf8ToWide(bytes);
    return AnsiToWide(bytes);
}

std::wstring ReadInformationText(const std::wstring& iniPath) { return DecodeInformationFile(ReadBytes(iniPath)); }

void ReadUtf8AsUnicode(const std::wstring& iniPath) {
    const std::string bytes = ReadBytes(iniPath);
    if (bytes.rfind("\xEF\xBB\xBF", 0) != 0 && !IsUtf8WithHighBytes(bytes)) return;
    const std::string unicode = Utf16File(DecodeInformationFile(bytes));
    // Written beside it and put in place whole: a failed write leaves the file as it was.
    const std::wstring part = iniPath + L".utf16";
    bool written = false;
    {
        const FileHandle file(
            CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD count = 0;
        written = file.valid() &&
                  WriteFile(file.get(), unicode.data(), static_cast<DWORD>(unicode.size()), &count, nullptr) &&
                  count == unicode.size();
    }
    if (!written || !MoveFileExW(part.c_str(), iniPath.c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileW(part.c_str());
}

InformationFields ReadFields(const std::wstring& iniPath) {
    auto read = [&](const wchar_t* key) { return UnescapeValue(GetINIFileOrEmpty(L"Tarrow", key, iniPath)); };
    return {read(L"NAME"), read(L"VERSION"), read(L"AUTHOR"), read(L"Description")};
}

std::wstring TooLongField(const InformationFields& fields) {
    const std::pair<const wchar_t*, const std::wstring*> named[] = {{L"Name", &fields.name},
                                                                    {L"Version", &fields.version},
                                                                    {L"Author", &fields.author},
                                                                    {L"Description", &fields.description}};
    for (const auto& [caption, value] : named) {
        if (EscapeValue(*value).size() > kLongestValue) return caption;
    }
    return {};
}

std::string InformationFileBytes(const std::wstring& existingText, const InformationFields& fields) {
    const std::pair<const wchar_t*, std::wstring> keys[] = {{L"NAME", EscapeValue(fields.name)},
                                                            {L"VERSION", EscapeValue(fields.version)},
                                                            {L"AUTHOR", EscapeValue(fields.author)},
                                                            {L"Description", EscapeValue(fields.description)}};
    std::vector<std::wstring> lines = Lines(existingText);
    bool written[4] = {};
    size_t sectionEnd = std::wstring::npos;  // after the last line of the first [Tarrow]
    bool inSection = false, seen = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring line = Trimmed(lines[i]);
        if (!line.empty() && line[0] == L'[') {
            const size_t close = line.find(L']');
            inSection =
                !seen && close != std::wstring::npos && EqualNoCase(Trimmed(line.substr(1, close - 1)), L"Tarrow");
            seen = seen || inSection;
            if (inSection) sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!line.empty()) sectionEnd = i + 1;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        const std::wstring key = Trimmed(line.substr(0, equals));
        for (size_t k = 0; k < 4; ++k) {
            if (written[k] || !EqualNoCase(key, keys[k].first)) continue;
            lines[i] = std::wstring(keys[k].first) + L"=" + keys[k].second;
            written[k] = true;
        }
    }
    std::vector<std::wstring> missing;
    for (size_t k = 0; k < 4; ++k) {
        if (!written[k]) missing.push_back(std::wstring(keys[k].first) + L"=" + keys[k].second);
    }
    if (sectionEnd == std::wstring::npos) {
        if (!lines.empty() && !Trimmed(lines.back()).empty()) lines.emplace_back();
        lines.emplace_back(L"[Tarrow]");
        sectionEnd = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), missing.begin(), missing.end());
    std::wstring text;
    for (const auto& line : lines) text += line + L"\r\n";
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 128; }))
        return std::string(text.begin(), text.end());
    return Utf16File(text);
}

ArchiveInformation ReadArchiveInformation(const std::wstring& archivePath) {
    ScratchFolder scratch;
    const std::wstring ini = scratch.path() + L"\\tarrow.ini";
    try {
        ExtractInformationFile(archivePath, scratch.path());
    } catch (const AppError&) {
        // No library: there is nothing to read.
    }
    ArchiveInformation read;
    read.found = FileSystem::FileExists(ini);
    if (read.found) read.text = ReadInformationText(ini);
    // Many authors save tarrow.ini as UTF-8, which the profile reader would take for ANSI.
    ReadUtf8AsUnicode(ini);
    read.info = ReadInformationFile(ini);
    if (read.found) read.fields = ReadFields(ini);
    return read;
}

std::wstring SaveInformation(const Game& game, const std::wstring& archivePath, const std::wstring& existingText,
                             const InformationFields& fields, std::wstring& warning, const PlacedChangeRunner& run) {
    const std::wstring file = FileNameOf(archivePath);
    const DWORD attributes = GetFileAttributesW(archivePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return file + L" is no longer in " + FolderLabel(archivePath.substr(0, archivePath.size() - file.size())) +
               L": it was switched, removed or renamed. Tarrow wrote nothing.";
    }
    if (game.IsOwnArchiveFile(file)) return file + L" is the game's own archive. Tarrow never changes it.";
    if (attributes & FILE_ATTRIBUTE_READONLY) return file + L" is read-only. Tarrow wrote nothing.";
    if (const std::wstring field = TooLongField(fields); !field.empty()) {
        return field +
               L" is too long: the information panel shows at most 254 characters of it, as it is "
               L"written in tarrow.ini. Tarrow wrote nothing.";
    }
    const QualifiedName name = QualifiedName::Parse(game.NameOf(archivePath));
    if (name.file.empty()) return file + L" is in no folder of " + game.Name() + L". Tarrow wrote nothing.";
    std::wstring failure;
    ChangePlan plan = SaveInformationPlan(archivePath, InformationFileBytes(existingText, fields), &failure);
    for (ChangeStep& step : plan.steps) {
        if (!step.from.empty()) step.from = QualifiedName{name.place, step.from}.Shown();
        if (!step.to.empty()) step.to = QualifiedName{name.place, step.to}.Shown();
    }
    const ChangeOutcome outcome = run(game, plan);
    if (!outcome.message.empty()) return outcome.message;
    if (outcome.result != ChangeResult::Done && outcome.step == 0) {
        return L"Tarrow could not write tarrow.ini into " + file + L": " +
               (failure.empty() ? SystemMessage(outcome.error) : failure);
    }
    if (outcome.result != ChangeResult::Done) return outcome.Failure(L"Tarrow could not replace " + file);
    warning = outcome.KeptSentence(L"The old " + file + L" could not go to the Recycle Bin.", L"kept as");
    return {};
}

ChangePlan SaveInformationPlan(const std::wstring& archivePath, const std::string& iniBytes, std::wstring* failure) {
    const std::wstring file = FileNameOf(archivePath);
    const std::wstring folder = archivePath.substr(0, archivePath.size() - file.size());
    const std::wstring temporary = TemporaryNameOf(folder), aside = TemporaryNameOf(folder);
    // The writer reads the new archive back before it counts as written.
    auto write = [archivePath, iniBytes, failure](const std::wstring& path) -> unsigned long {
        try {
            const int code = VBUnzBas::WriteEntry(archivePath, path, "tarrow.ini", iniBytes);
            if (code == UnzOk) return 0;
            if (failure) *failure = WriteFailure(code);
        } catch (const AppError& error) {
            if (failure) *failure = error.Description();
        }
        return ERROR_WRITE_FAULT;
    };
    return {L"saving the information of " + file,
            {WriteStep(temporary, write), {file, aside}, {temporary, file}, RecycleStep(aside)}};
}
