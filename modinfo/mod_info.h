#pragma once
// The mod information file: tarrow.ini at the root of a mod's archive, and the
// rich text that the panel shows for it.
#include <string>

#include "core/scratch_folder.h"

// What the panel shows of one information file. A missing key reads "Default".
struct ModInformation {
    bool found = false;  // the archive held tarrow.ini at its root
    std::wstring name, version, author, description;
};

// Extracts the single entry tarrow.ini (exact name, archive root) into a folder.
// Throws AppError when the extraction library cannot be used.
void ExtractInformationFile(const std::wstring& archivePath, const std::wstring& destination);
// Reads NAME, VERSION, AUTHOR and Description from section Tarrow.
ModInformation ReadInformationFile(const std::wstring& iniPath);

// The panel's rich text: pure ASCII, values placed as written (their RTF
// control words take effect), characters above 127 as \uN? escapes.
std::string InformationRtf(const ModInformation& info);
std::string NoticeRtf(const std::wstring& modName, const std::wstring& extension);
std::string RtfText(const std::wstring& text);
