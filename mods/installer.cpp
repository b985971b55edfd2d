#include "mods/installer.h"
#include "mods/placed_change.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "archive/unzip.h"
#include "archive/unzip_api.h"
#include "core/device_names.h"
#include "core/directory.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/handles.h"
#include "core/prompts.h"
#include "core/safe_files.h"
#include "core/scratch_folder.h"
#include "core/text.h"
#include "core/transaction.h"
#include "mods/mod_library.h"

namespace {

constexpr std::uint64_t kProgressFrom = 100ull * 1024 * 1024;

// The game's own folders: a zip with one of them at its root is a mod itself.
constexpr std::array<const wchar_t*, 20> kGameFolders{
    L"animtrees", L"fx",     L"gfx",         L"images",     L"localizedstrings", L"maps", L"materials", L"mp",
    L"shaders",   L"shock",  L"skins",       L"sound",      L"soundaliases",     L"ui",   L"video",     L"weapons",
    L"xanim",     L"xmodel", L"xmodelparts", L"xmodelsurfs"};

// A download to put in main as name + ".pk3".
struct Item {
    std::wstring source;           // the archive to copy
    std::wstring name;             // the mod name
    std::wstring download, entry;  // where it came from, as InstalledMod keeps it
};

bool Lists(const std::wstring& path) { return VBUnzBas::ListEntries(path).result == UnzOk; }

std::wstring Damaged(const std::wstring& what) {
    return what + L" is damaged: Tarrow cannot read its directory, so it installed nothing from it.";
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
        if (std::any_of(kGameFolders.begin(), kGameFolders.end(),
                        [&](const wchar_t* f) { return EqualNoCase(top, f); })) {
            return true;
        }
    }
    return false;
}

// Takes one .pk3 out of a zip into a scratch folder of its own; empty when it fails.
std::wstring ExtractEntry(const std::wstring& zip, const VBUnzBas::ListedEntry& entry, const ScratchFolder& scratch) {
    VBUnzBas::ExtractEntry(zip, Utf8ToWide(entry.storedName), scratch.path());
    const std::wstring extracted = scratch.path() + L"\\" + entry.name;
    return FileSystem::FileExists(extracted) ? extracted : std::wstring();
}

class Installer {
public:
    Installer(const Game& game, Prompts& prompts) : game_(game), prompts_(prompts), main_(game.ArchiveFolder()) {}
    std::vector<InstalledMod> Run(const std::vector<std::wstring>& downloads);
    bool Again(const InstalledMod& mod);

private:
    void Collect(const std::wstring& download);
    void CollectZip(const std::wstring& download, const std::vector<VBUnzBas::ListedEntry>& entries);
    bool Accept(const Item& item, std::wstring& existing, std::wstring& placed);
    enum class Outcome { Done, Failed, Cancelled };
    Outcome Place(const Item& item, const std::wstring& existing, const std::wstring& placed);
    void RefuseFailed(const ChangeOutcome& outcome, const std::wstring& existing, const std::wstring& placed);
    std::wstring Existing(const std::wstring& name) const;

    void Refuse(const std::wstring& text) { prompts_.Warn(text); }

    const Game& game_;
    Prompts& prompts_;
    std::wstring main_;
    std::vector<Item> items_;
    std::vector<std::unique_ptr<ScratchFolder>> scratch_;
    std::unique_ptr<Progress> progress_;
    std::uint64_t done_ = 0, total_ = 0;
};

std::vector<InstalledMod> Installer::Run(const std::vector<std::wstring>& downloads) {
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
            total_ += FileSystem::SizeOf(data);
        }
    }
    if (total_ > kProgressFrom) progress_ = prompts_.ShowProgress(AppTitle, L"Installing mods...");
    std::vector<InstalledMod> installed;
    for (const auto& a : accepted) {
        const Outcome outcome = Place(*a.item, a.existing, a.placed);
        if (outcome == Outcome::Done)
            installed.push_back({a.placed, a.item->download, a.item->entry, !a.existing.empty()});
        if (outcome == Outcome::Cancelled) break;
    }
    progress_.reset();
    return installed;
}

void Installer::Collect(const std::wstring& download) {
    const std::wstring file = FileNameOf(download);
    if (EndsWithNoCase(file, EnabledExtension)) {
        if (!Lists(download)) return Refuse(Damaged(file));
        items_.push_back({download, WithoutExtension(file), download, {}});
        return;
    }
    const auto [result, entries] = VBUnzBas::ListEntries(download);
    if (result == UnzNotZip && !EndsWithNoCase(file, L".zip")) {
        prompts_.Tell(file + L" holds no mod.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (result != UnzOk) return Refuse(Damaged(file));
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
            Refuse(Damaged(what));
            continue;
        }
        items_.push_back({extracted, WithoutExtension(inner), download, Utf8ToWide(entry.storedName)});
    }
    if (anyArchive) return;
    if (!LooksLikeAMod(entries)) {
        prompts_.Tell(file + L" holds no mod.", MB_OK | MB_ICONINFORMATION);
        return;
    }
    const std::wstring name = file.substr(0, file.find_last_of(L'.'));
    if (prompts_.Tell(file + L" holds no .pk3 file, but it looks like a mod. Install it as " + name + L".pk3?",
                      MB_YESNO | MB_ICONQUESTION) == IDYES) {
        items_.push_back({download, name, download, {}});
    }
}

// The name of the archive in main that is this mod, enabled first; empty when
// none is. A mod that a reorder placed carries a prefix of Tarrow's, and is
// the same mod.
std::wstring Installer::Existing(const std::wstring& name) const {
    for (const wchar_t* extension : {EnabledExtension, DisabledExtension}) {
        for (const std::wstring& pattern : {name + extension, L"*" + std::wstring(1, PrefixMark) + name + extension}) {
            DirectoryWalk walk(main_ + pattern);
            for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) {
                if (!IsFolder(entry) && EqualNoCase(WithoutTarrowPrefix(entry.cFileName), name + extension)) {
                    return entry.cFileName;
                }
            }
        }
    }
    return {};
}

bool Installer::Accept(const Item& item, std::wstring& existing, std::wstring& placed) {
    placed = item.name + EnabledExtension;
    if (!IsAllowedFileName(placed)) {
        Refuse(placed + L" is not a name that Windows allows for a file, so Tarrow did not install it.");
        return false;
    }
    if (game_.IsOwnArchiveFile(placed)) {
        Refuse(placed + L" is the game's own archive. Tarrow never replaces it.");
        return false;
    }
    existing = Existing(item.name);
    if (existing.empty()) return true;
    // A disabled mod stays disabled, and a placed one keeps its place: the new archive takes its name.
    if (EndsWithNoCase(existing, DisabledExtension) || TarrowPrefixLength(existing) > 0) placed = existing;
    const std::wstring question = L"Replace " + item.name + L"?\r\n\r\nNow in " + FolderLabel(main_) + L": " +
                                  DescribeArchive(existing, main_ + existing) + L"\r\nNew: " +
                                  DescribeArchive(placed, item.source);
    return prompts_.AskYesNo(question);
}

Installer::Outcome Installer::Place(const Item& item, const std::wstring& existing, const std::wstring& placed) {
    if (!FileHandle(CreateFileW(item.source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
             .valid()) {
        Refuse(L"Tarrow could not read " + item.source + L": " + SystemMessage(GetLastError()));
        return Outcome::Failed;
    }
    std::function<bool(unsigned long long)> progress;
    if (progress_) {
        progress = [this, before = done_](unsigned long long copied) {
            done_ = before + copied;
            return progress_->Update(done_, total_);
        };
    }
    const ChangeOutcome outcome = RunPlacedChange(game_, PlaceModPlan(main_, item.source, existing, placed, progress));
    if (outcome.result == ChangeResult::Cancelled) return Outcome::Cancelled;
    if (outcome.result != ChangeResult::Done) {
        RefuseFailed(outcome, existing, placed);
        // The layer ran nothing (another Tarrow, the game, a journal left): the other mods would meet it too.
        return outcome.message.empty() ? Outcome::Failed : Outcome::Cancelled;
    }
    if (outcome.kept)
        Refuse(outcome.KeptSentence(L"The old " + existing + L" could not go to the Recycle Bin.", L"kept as"));
    return Outcome::Done;
}

void Installer::RefuseFailed(const ChangeOutcome& outcome, const std::wstring& existing, const std::wstring& placed) {
    if (!outcome.message.empty()) return Refuse(outcome.message);
    // The steps: the copy, its check, then the renames.
    if (outcome.step == 1) {
        return Refuse(L"Tarrow could not install " + placed + L": the copy in " + FolderLabel(main_) +
                      L" does not read back.");
    }
    if (outcome.step >= 2 && !existing.empty()) return Refuse(outcome.Failure(L"Tarrow could not replace " + existing));
    Refuse(outcome.Failure(L"Tarrow could not install " + placed));
}

bool Installer::Again(const InstalledMod& mod) {
    const std::wstring name = WithoutExtension(mod.file);
    if (!Existing(name).empty()) {
        Refuse(mod.file + L" is in " + FolderLabel(main_) + L" again, so Tarrow did not install it again.");
        return false;
    }
    Item item{mod.download, name, mod.download, mod.entry};
    if (!mod.entry.empty()) {
        // The .pk3 is taken out of its zip again.
        item.source.clear();
        for (const auto& entry : VBUnzBas::ListEntries(mod.download).entries) {
            if (Utf8ToWide(entry.storedName) != mod.entry) continue;
            scratch_.push_back(std::make_unique<ScratchFolder>());
            item.source = ExtractEntry(mod.download, entry, *scratch_.back());
        }
    }
    if (item.source.empty() || !FileSystem::FileExists(item.source)) {
        Refuse(L"Tarrow could not install " + mod.file + L" again: " + mod.download + L" is no longer there.");
        return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(item.source.c_str(), GetFileExInfoStandard, &data)) {
        total_ = FileSystem::SizeOf(data);
    }
    if (total_ > kProgressFrom) progress_ = prompts_.ShowProgress(AppTitle, L"Installing mods...");
    return Place(item, {}, mod.file) == Outcome::Done;
}

}  // namespace

std::wstring DescribeArchive(const std::wstring& shownName, const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return shownName;
    const std::uint64_t size = FileSystem::SizeOf(data);
    FILETIME local{};
    SYSTEMTIME when{};
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &when);
    wchar_t date[128] = {}, time[128] = {};
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 128, nullptr);
    GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &when, nullptr, time, 128);
    return shownName + L", " + ToDecimal(static_cast<long long>(size)) + L" bytes, " + date + L" " + time;
}

std::vector<InstalledMod> InstallMods(const Game& game, const std::vector<std::wstring>& downloads, Prompts& prompts) {
    return Installer(game, prompts).Run(downloads);
}

bool InstallAgain(const Game& game, const InstalledMod& mod, Prompts& prompts) {
    return Installer(game, prompts).Again(mod);
}

ChangePlan PlaceModPlan(const std::wstring& mainFolder, const std::wstring& source, const std::wstring& existing,
                        const std::wstring& placed, std::function<bool(unsigned long long)> progress) {
    const std::wstring temporary = TemporaryNameOf(mainFolder);
    ChangePlan plan{(existing.empty() ? L"installing " : L"replacing ") + placed,
                    {CopyStep(source, temporary, std::move(progress)),
                     CheckStep(temporary, [](const std::wstring& path) -> unsigned long {
                         return Lists(path) ? 0 : ERROR_FILE_CORRUPT;
                     })}};
    if (existing.empty()) {
        plan.steps.push_back({temporary, placed});
        return plan;
    }
    // The old archive steps aside, the new one takes the name, and only then does the old one go to the bin.
    const std::wstring aside = TemporaryNameOf(mainFolder);
    plan.steps.push_back({existing, aside});
    plan.steps.push_back({temporary, placed});
    plan.steps.push_back(RecycleStep(aside));
    return plan;
}

ChangePlan RemoveModPlan(const std::wstring& fileName) { return {L"removing " + fileName, {RecycleStep(fileName)}}; }

bool RemoveMod(const Game& game, const std::wstring& fileName, Prompts& prompts) {
    if (game.IsOwnArchiveFile(fileName)) {
        prompts.Warn(fileName + L" is the game's own archive. Tarrow never removes it.");
        return false;
    }
    const std::wstring main = game.ArchiveFolder(), path = main + fileName;
    if (!FileSystem::FileExists(path)) return false;
    if (!prompts.AskYesNo(L"Move " + fileName + L" to the Recycle Bin?")) return false;
    const ChangeOutcome outcome = RunPlacedChange(game, RemoveModPlan(fileName));
    if (!outcome.message.empty()) {
        prompts.Warn(outcome.message);
        return false;
    }
    if (outcome.result == ChangeResult::Done && !outcome.kept) return true;
    const std::wstring lead = L"Tarrow could not move " + fileName + L" to the Recycle Bin.";
    prompts.Warn(outcome.kept ? outcome.KeptSentence(lead) : lead + L" " + SystemMessage(outcome.error));
    return !FileSystem::FileExists(path);
}
