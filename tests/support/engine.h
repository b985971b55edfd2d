#pragma once
// The open engines that Debian ships, asked what they load: their "path" and
// "which" commands, run under Wine as Unix programs.
#include <map>
#include <set>
#include <string>
#include <vector>

// The path of a Windows file as Wine's Unix side sees it.
std::string UnixPath(const std::wstring& path);

struct EngineRun {
    std::wstring program;            // "Z:\\usr\\lib\\ioquake3\\ioq3ded"
    std::wstring log;                // the console log below the home folder: "main\\qconsole.log"
    std::wstring base;               // fs_basepath, a Windows folder
    std::wstring basegame;           // com_basegame
    std::wstring extra;              // more of the command line, before the commands
    std::vector<std::string> which;  // files to ask "which" of
    std::wstring home;               // fs_homepath, a Windows folder; a fresh one when empty
};

struct EngineAnswer {
    // The archives it loads, weakest first, each as "<folder>/<file>".
    std::vector<std::wstring> order;
    // The same, each as the engine's whole Unix path.
    std::vector<std::string> paths;
    // For each file asked, "<folder>/<archive>" of the copy it takes, or "<folder>" for a loose file.
    std::map<std::string, std::wstring> which;
};

EngineAnswer AskEngine(const EngineRun& run);

// The openarena client's renderer, run on the map under fs_basepath base (a
// Windows folder holding baseoa): the shaders it could not find an image for,
// in small letters, from its warnings.
std::set<std::string> AskRenderer(const std::wstring& base, const std::string& map);
