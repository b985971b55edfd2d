#include "modinfo/mod_info.h"

#include <windows.h>

#include "archive/unzip.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/ini_file.h"

void ExtractInformationFile(const std::wstring& archivePath, const std::wstring& destination) {
    using namespace VBUnzBas;
    UseCallersSettings(false);
    IncludeNames[0] = L"tarrow.ini";
    IncludeCount = 1;
    ZipFileName = archivePath;
    ExtractDir = destination;
    RunUnzip();
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
