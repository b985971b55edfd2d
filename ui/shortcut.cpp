#include "ui/shortcut.h"

#include <knownfolders.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "core/com.h"
#include "core/file_system.h"

namespace {

// A shortcut's fields are at most MAX_PATH characters, its arguments INFOTIPSIZE.
constexpr int kLongest = 1024;

}  // namespace

HRESULT WriteShortcut(const std::wstring& path, const Shortcut& shortcut) {
    const ComScope com;
    Com<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(link.out()));
    if (FAILED(result)) return result;
    if (FAILED(result = link->SetPath(shortcut.target.c_str())) ||
        FAILED(result = link->SetArguments(shortcut.arguments.c_str())) ||
        FAILED(result = link->SetWorkingDirectory(shortcut.folder.c_str())) ||
        FAILED(result = link->SetDescription(shortcut.description.c_str()))) {
        return result;
    }
    Com<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out())))) return result;
    return file->Save(path.c_str(), TRUE);
}

HRESULT ReadShortcut(const std::wstring& path, Shortcut& shortcut) {
    const ComScope com;
    Com<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(link.out()));
    if (FAILED(result)) return result;
    Com<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out())))) return result;
    if (FAILED(result = file->Load(path.c_str(), STGM_READ))) return result;
    wchar_t text[kLongest] = {};
    if (FAILED(result = link->GetPath(text, kLongest, nullptr, SLGP_RAWPATH))) return result;
    shortcut.target = text;
    if (FAILED(result = link->GetArguments(text, kLongest))) return result;
    shortcut.arguments = text;
    if (FAILED(result = link->GetWorkingDirectory(text, kLongest))) return result;
    shortcut.folder = text;
    if (FAILED(result = link->GetDescription(text, kLongest))) return result;
    shortcut.description = text;
    return S_OK;
}

std::wstring DesktopFolder() {
    PWSTR path = nullptr;
    std::wstring found;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path))) found = path;
    CoTaskMemFree(path);
    return found;
}

std::wstring FreeShortcutPath(const std::wstring& folder, const std::wstring& text) {
    std::wstring name = text;
    for (wchar_t& c : name) {
        if (c < L' ' || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) c = L'_';
    }
    // Windows drops trailing dots and spaces from a file name.
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (name.empty()) name = L"Tarrow";
    const std::wstring stem = folder + L"\\" + name;
    std::wstring path = stem + L".lnk";
    for (int n = 2; FileSystem::Exists(path); ++n) path = stem + L" (" + std::to_wstring(n) + L").lnk";
    return path;
}
