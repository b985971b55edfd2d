#include "mods/installer.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "archive/unzip.h"
#include "archive/unzip_api.h"
#include "core/device_names.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/handles.h"
#include "core/prompts.h"
#include "core/safe_files.h"
#include "core/scratch_folder.h"
#include "core/text.h"
#include "mods/mod_library.h"

namespace {

constexpr std::uint64_t kProgressFrom = 100ull * 1024 * 1024;
constexpr DWORD kChunk = 1u << 20;

// The game's own folders: a zip with one of them at its root is a mod itself.
constexpr std::array<const wchar_t*, 20> kGameFolders{
    L"animtrees", L"fx",      L"gfx",          L"images", L"localizedstrings", L"maps",  L"materials",
    L"mp",        L"shaders", L"shock",        L"skins",  L"sound",            L"soundaliases", L"ui",
    L"video",     L"weapons", L"xanim",        L"xmodel", L"xmodelparts",      L"xmodelsurfs"};

bool EndsWithNoCase(std::wstring_view s, std::wstring_view end) {
    return s.size() >= end.size() && EqualNoCase(s.substr(s.size() - end.size()), end);
}

using Globals::IsGameArchiveFile;

// A download to put in main as name + ".pk3".
struct Item {
    std::wstring source;  // the archive to copy
    std::wstring name;    // the mod name
};

std::vector<VBUnzBas::ListedEntry> ListZip(const std::wstring& path, int& result) {
    using namespace VBUnzBas;
    result = RunListing(path);
    std::vector<ListedEntry> entries = std::move(Listed);
    Listed.clear();
    return entries;
}

bool Lists(const std::wstring& path) {
    int result = 0;
    ListZip(path, result);
    return result == UnzOk;
}

void Refuse(const std::wstring& text) { MsgBox(text, MB_OK | MB_ICONWARNING); }

void RefuseDamaged(const std::wstring& what) {
    Refuse(what + L" is damaged: Tarrow cannot read its directory, so it installed nothing from it.");
}

// A zip without a .pk3 is a mod itself when its root holds tarrow.ini or a game folder.
bool LooksLikeAMod(const std::vector<VBUnzBas::ListedEntry>& entries) {
    for (const auto& entry : entries) {
        const std::wstring stored = Utf8ToWide(entry.storedName);
        const size_t slash = stored.find_first_of(L"\\/");
        if (slash == std::wstring::npos) {
            if (EqualNoCase(stored, L"tarrow.ini")) return true;
            continue;
        }
        const std::wstring top = stored.substr(0, slash);
        if (std::any_of(kGameFolders.begin(), kGameFolders.end(), [&](const wchar_t* f) { return EqualNoCase(top, f); })) {
            return true;
        }
    }
    return false;
}

// Takes one .pk3 out of a zip into a scratch folder of its own; empty when it fails.
std::wstring ExtractEntry(const std::wstring& zip, const VBUnzBas::ListedEntry& entry, const ScratchFolder& scratch) {
    using namespace VBUnzBas;
    UseCallersSettings(false);
    IncludeNames[0] = Utf8ToWide(entry.storedName);
    IncludeCount = 1;
    ZipFileName = zip;
    ExtractDir = scratch.path();
    RunUnzip();
    const std::wstring extracted = scratch.path() + L"\\" + entry.name;
    return FileSystem::FileExists(extracted) ? extracted : std::wstring();
}

class Installer {
public:
    explicit Installer(const std::wstring& gameFolder) : main_(MainFolder(gameFolder)) {}
    std::vector<std::wstring> Run(const std::vector<std::wstring>& downloads);

private:
    void Collect(const std::wstring& download);
    void CollectZip(const std::wstring& download, const std::vector<VBUnzBas::ListedEntry>& entries);
    bool Accept(const Item& item, std::wstring& existing, std::wstring& placed);
    enum class Outcome { Done, Failed, Cancelled };
    Outcome Place(const Item& item, const std::wstring& existing, const std::wstring& placed);
    Outcome Copy(const std::wstring& source, const std::wstring& target, const std::wstring& shown);
    std::wstring Existing(const std::wstring& name) const;

    std::wstring main_;
    std::vector<Item> items_;
    std::vector<std::unique_ptr<ScratchFolder>> scratch_;
    std::unique_ptr<Progress> progress_;
    std::uint64_t done_ = 0, total_ = 0;
};

std::vector<std::wstring> Installer::Run(const std::vector<std::wstring>& downloads) {
    for (const auto& download : downloads) {
        try {
            Collect(download);
        } catch (const AppError& error) {
            Refuse(FileNameOf(download) + L": " + error.Description());
        }
    }
    struct Accepted {
        const Item* item;
        std::wstring existing, placed;
    };
    std::vector<Accepted> accepted;
    for (const Item& item : items_) {
        Accepted a{&item, {}, {}};
        if (Accept(item, a.existing, a.placed)) accepted.push_back(std::move(a));
    }
    for (const auto& a : accepted) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(a.item->source.c_str(), GetFileExInfoStandard, &data)) {
            total_ += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    }
    if (total_ > kProgressFrom) progress_ = CurrentPrompts().ShowProgress(AppTitle, L"Installing mods...");
    std::vector<std::wstring> installed;
    for (const auto& a : accepted) {
        const Outcome outcome = Place(*a.item, a.existing, a.placed);
        if (outcome == Outcome::Done) installed.push_back(a.placed);
        if (outcome == Outcome::Cancelled) break;
    }
    progress_.reset();
    return installed;
}

void Installer::Collect(const std::wstring& download) {
    const std::wstring file = FileNameOf(download);
    if (EndsWithNoCase(file, EnabledExtension)) {
        if (!Lists(download)) return RefuseDamaged(file);
        items_.push_back({download, WithoutExtension(file)});
        return;
    }
    int result = 0;
    const auto entries = ListZip(download, result);
    if (result == UnzNotZip && !EndsWithNoCase(file, L".zip")) {
        MsgBox(file + L" holds no mod.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (result != UnzOk) return RefuseDamaged(file);
    CollectZip(download, entries);
}

void Installer::CollectZip(const std::wstring& download, const std::vector<VBUnzBas::ListedEntry>& entries) {
    const std::wstring file = FileNameOf(download);
    bool anyArchive = false;
    for (const auto& entry : entries) {
        const std::wstring inner = FileNameOf(Utf8ToWide(entry.storedName));
        if (entry.folder || !EndsWithNoCase(inner, EnabledExtension)) continue;
        anyArchive = true;
        scratch_.push_back(std::make_unique<ScratchFolder>());
        const std::wstring extracted = ExtractEntry(download, entry, *scratch_.back());
        if (extracted.empty() || !Lists(extracted)) {
            std::wstring what = inner;
            what += L" in ";
            what += file;
            RefuseDamaged(what);
            continue;
        }
        items_.push_back({extracted, WithoutExtension(inner)});
    }
    if (anyArchive) return;
    if (!LooksLikeAMod(entries)) {
        MsgBox(file + L" holds no mod.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::wstring name = file.substr(0, file.find_last_of(L'.'));
    if (MsgBox(file + L" holds no .pk3 file, but it looks like a mod. Install it as " + name + L".pk3?",
               MB_YESNO | MB_ICONQUESTION) == IDYES) {
        items_.push_back({download, name});
    }
}

// The name of the archive in main that is this mod, enabled first; empty when none is.
std::wstring Installer::Existing(const std::wstring& name) const {
    for (const wchar_t* extension : {EnabledExtension, DisabledExtension}) {
        WIN32_FIND_DATAW data{};
        if (!FindHandle(FindFirstFileW((main_ + name + extension).c_str(), &data)).valid()) continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return data.cFileName;
    }
    return {};
}

// "name.pk3, 1234 bytes, 07/12/2026 10:30": a line of the replace question.
std::wstring Described(const std::wstring& shownName, const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return shownName;
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    FILETIME local{};
    SYSTEMTIME when{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &when);
    wchar_t date[128] = {}, time[128] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 128, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &when, nullptr, time, 128);
    return shownName + L", " + ToDecimal(static_cast<long long>(size)) + L" bytes, " + date + L" " + time;
}

bool Installer::Accept(const Item& item, std::wstring& existing, std::wstring& placed) {
    placed = item.name + EnabledExtension;
    if (!IsAllowedFileName(placed)) {
        Refuse(placed + L" is not a name that Windows allows for a file, so Tarrow did not install it.");
        return false;
    }
    if (IsGameArchiveFile(placed)) {
        Refuse(placed + L" is the game's own archive. Tarrow never replaces it.");
        return false;
    }
    existing = Existing(item.name);
    if (existing.empty()) return true;
    // A disabled mod stays disabled: the new archive takes its name.
    if (EndsWithNoCase(existing, DisabledExtension)) placed = existing;
    const std::wstring question = L"Replace " + item.name + L"?\r\n\r\nNow in main: " +
                                  Described(existing, main_ + existing) + L"\r\nNew: " +
                                  Described(placed, item.source);
    return MsgBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

Installer::Outcome Installer::Copy(const std::wstring& source, const std::wstring& target, const std::wstring& shown) {
    const FileHandle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid()) {
        Refuse(L"Tarrow could not read " + source + L": " + SystemMessage(GetLastError()));
        return Outcome::Failed;
    }
    FileHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        const DWORD error = GetLastError();
        Refuse(L"Tarrow could not install " + shown + L": " + SystemMessage(error));
        return Outcome::Failed;
    }
    std::string buffer(kChunk, '\0');
    DWORD error = 0;
    bool cancelled = false;
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in.get(), buffer.data(), kChunk, &got, nullptr)) {
            error = GetLastError();
            break;
        }
        if (got == 0) break;
        if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) {
            error = GetLastError();
            if (!error) error = ERROR_DISK_FULL;
            break;
        }
        done_ += got;
        if (progress_ && !progress_->Update(done_, total_)) {
            cancelled = true;
            break;
        }
    }
    FILETIME stamp{};
    if (!error && !cancelled && GetFileTime(in.get(), nullptr, nullptr, &stamp)) {
        SetFileTime(out.get(), nullptr, nullptr, &stamp);
    }
    if (!error && !cancelled && !FlushFileBuffers(out.get())) error = GetLastError();
    // Closed before the file is deleted or placed.
    out.Reset();
    if (!error && !cancelled) return Outcome::Done;
    DeleteFileW(target.c_str());
    if (cancelled) return Outcome::Cancelled;
    Refuse(L"Tarrow could not install " + shown + L": " + SystemMessage(error));
    return Outcome::Failed;
}

Installer::Outcome Installer::Place(const Item& item, const std::wstring& existing, const std::wstring& placed) {
    const std::wstring temporary = TemporaryNameIn(main_);
    const Outcome copied = Copy(item.source, temporary, placed);
    if (copied != Outcome::Done) return copied;
    if (!Lists(temporary)) {
        DeleteFileW(temporary.c_str());
        Refuse(L"Tarrow could not install " + placed + L": the copy in main does not read back.");
        return Outcome::Failed;
    }
    const std::wstring target = main_ + placed;
    if (existing.empty()) {
        if (MoveFileExW(temporary.c_str(), target.c_str(), 0)) return Outcome::Done;
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        Refuse(L"Tarrow could not install " + placed + L": " + SystemMessage(error));
        return Outcome::Failed;
    }
    const ReplaceOutcome replaced = ReplaceSafely(main_ + existing, temporary, target);
    if (replaced.error) {
        DeleteFileW(temporary.c_str());
        Refuse(L"Tarrow could not replace " + existing + L": " + SystemMessage(replaced.error));
        return Outcome::Failed;
    }
    if (!replaced.old.recycled) {
        Refuse(L"The old " + existing + L" could not go to the Recycle Bin. " + replaced.old.reason +
               L" It is kept as " + replaced.old.stillAt + L".");
    }
    return Outcome::Done;
}

}  // namespace

bool IsAllowedFileName(const std::wstring& name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    if (name.find_first_of(L"<>:\"/\\|?*") != std::wstring::npos) return false;
    if (std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 32; })) return false;
    return !IsDeviceName(std::wstring_view(name));
}

std::vector<std::wstring> InstallMods(const std::wstring& gameFolder, const std::vector<std::wstring>& downloads) {
    return Installer(gameFolder).Run(downloads);
}

bool RemoveMod(const std::wstring& gameFolder, const std::wstring& fileName) {
    if (IsGameArchiveFile(fileName)) {
        Refuse(fileName + L" is the game's own archive. Tarrow never removes it.");
        return false;
    }
    const std::wstring path = MainFolder(gameFolder) + fileName;
    if (!FileSystem::FileExists(path)) return false;
    if (MsgBox(L"Move " + fileName + L" to the Recycle Bin?", MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    const RecycleOutcome recycled = SendToRecycleBin(path);
    if (recycled.recycled) return true;
    Refuse(L"Tarrow could not move " + fileName + L" to the Recycle Bin. " + recycled.reason + L" It is still at " +
           recycled.stillAt + L".");
    return !FileSystem::FileExists(path);
}
