#include "tests/support/engine.h"

#include <windows.h>

#include "core/handles.h"
#include "core/text.h"
#include "tests/support/temp_folder.h"

namespace {

// The last two components of a Unix path: "<folder>/<file>".
std::wstring LastTwo(const std::string& path) {
    const size_t last = path.rfind('/');
    if (last == std::string::npos || last == 0) return Utf8ToWide(path);
    const size_t before = path.rfind('/', last - 1);
    return Utf8ToWide(path.substr(before == std::string::npos ? 0 : before + 1));
}

std::wstring LastOne(const std::string& path) {
    const size_t last = path.rfind('/');
    return Utf8ToWide(last == std::string::npos ? path : path.substr(last + 1));
}

}  // namespace

std::string UnixPath(const std::wstring& path) {
    using ToUnix = char* (*)(const wchar_t*);
    const auto convert = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return {};
    char* unix = convert(path.c_str());
    std::string out = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Wine starts the engine as a Unix process, whose handle cannot be waited for
// and whose output does not reliably reach a pipe of ours: it writes its
// console to a log in its home folder, and the log's last line says when it is done.
EngineAnswer AskEngine(const EngineRun& run) {
    const TempFolder fresh;
    const std::wstring home = run.home.empty() ? fresh.path() : run.home;
    // A kept home holds the log of an earlier run, which says it is done.
    DeleteFileW((home + L"\\" + run.log).c_str());
    std::wstring command = run.program +
                           L" +set dedicated 1 +set net_enabled 0 +set ttycon 0 +set logfile 2 +set fs_basepath \"" +
                           Utf8ToWide(UnixPath(run.base)) + L"\" +set fs_homepath \"" + Utf8ToWide(UnixPath(home)) +
                           L"\" +set com_basegame " + run.basegame + L" " + run.extra + L" +path";
    for (const std::string& file : run.which) command += L" +which " + Utf8ToWide(file);
    command += L" +echo tarrow-probe-done +quit";
    EngineAnswer answer;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return answer;
    const ProcessHandle process(pi.hProcess), thread(pi.hThread);
    std::string output;
    for (int tries = 0; tries < 400 && output.find("tarrow-probe-done") == std::string::npos; ++tries) {
        Sleep(50);
        output = ReadFileBytes(home + L"\\" + run.log);
    }
    // It writes its config at quit: let it finish before its home folder goes.
    Sleep(200);
    // "path" lists "<base>/<folder>/<archive> (N files)", strongest first; it
    // prints the search path twice when it starts, so only the last listing counts.
    // ("Current search path:" in one engine, "We are looking in the current search path:" in another).
    const size_t listing = output.rfind("urrent search path:");
    std::vector<std::wstring> strongestFirst;
    std::vector<std::string> pathsStrongestFirst;
    for (size_t at = listing == std::string::npos ? 0 : listing; at < output.size();) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        const size_t files = line.rfind(" files)"), open = line.rfind(" (");
        if (files != std::string::npos && open != std::string::npos) {
            strongestFirst.push_back(LastTwo(line.substr(0, open)));
            pathsStrongestFirst.push_back(line.substr(0, open));
        }
        // "found in" an archive; ioquake3 says "found at" for a loose file.
        size_t found = line.find("\" found in \"");
        if (found == std::string::npos) found = line.find("\" found at \"");
        if (line.rfind("File \"", 0) == 0 && found != std::string::npos) {
            const std::string file = line.substr(6, found - 6);
            std::string where = line.substr(found + 12);
            if (!where.empty() && where.back() == '\r') where.pop_back();
            if (!where.empty() && where.back() == '"') where.pop_back();
            const bool archive = where.size() > 4 && EqualNoCase(Utf8ToWide(where.substr(where.size() - 4)), L".pk3");
            answer.which[file] = archive ? LastTwo(where) : LastOne(where);
        }
    }
    answer.order.assign(strongestFirst.rbegin(), strongestFirst.rend());
    answer.paths.assign(pathsStrongestFirst.rbegin(), pathsStrongestFirst.rend());
    return answer;
}

// Implicit shaders are named only to a developer.
std::set<std::string> AskRenderer(const std::wstring& base, const std::string& map) {
    const TempFolder home;
    const std::wstring log = home.path() + L"\\baseoa\\qconsole.log";
    std::wstring command =
        L"Z:\\usr\\lib\\ioquake3\\ioquake3 +set com_basegame baseoa +set fs_basepath \"" + Utf8ToWide(UnixPath(base)) +
        L"\" +set fs_homepath \"" + Utf8ToWide(UnixPath(home.path())) +
        L"\" +set com_legacyprotocol 71 +set com_protocol 71 +set s_initsound 0 +set com_introplayed 1"
        L" +set sv_pure 0 +set r_mode 0 +set logfile 2 +set developer 1 +devmap " +
        Utf8ToWide(map) + L" +wait 300 +echo tarrow-probe-done +quit";
    std::set<std::string> shaders;
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return shaders;
    const ProcessHandle process(pi.hProcess), thread(pi.hThread);
    std::string output;
    for (int tries = 0; tries < 1200 && output.find("tarrow-probe-done") == std::string::npos; ++tries) {
        Sleep(50);
        output = ReadFileBytes(log);
    }
    Sleep(300);
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    };
    for (size_t at = 0; at < output.size();) {
        const size_t end = std::min(output.find('\n', at), output.size());
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        const size_t scripted = line.find("' in shader '");
        if (line.find("R_FindImageFile could not find '") != std::string::npos && scripted != std::string::npos) {
            const size_t close = line.find('\'', scripted + 13);
            shaders.insert(lower(line.substr(scripted + 13, close - scripted - 13)));
        }
        constexpr std::string_view implicit = "Couldn't find image file for shader ";
        if (const size_t found = line.find(implicit); found != std::string::npos) {
            std::string name = line.substr(found + implicit.size());
            while (!name.empty() && static_cast<unsigned char>(name.back()) <= ' ') name.pop_back();
            shaders.insert(lower(name));
        }
    }
    return shaders;
}
