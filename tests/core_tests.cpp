// Program state, path and text helpers, INI access and the directory listing,
// on real files in fresh temporary folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/directory.h"
#include "core/errors.h"
#include "core/file_system.h"
#include "core/globals.h"
#include "core/ini_file.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_folder.h"

using Globals::GetLongPath;
using Globals::GetShortPath;
using Globals::NextToken;

namespace {

std::vector<std::wstring> Tokens(const std::wstring& text, const std::wstring& delimiter, int calls) {
    std::vector<std::wstring> out{NextToken(text, delimiter)};
    for (int i = 1; i < calls; ++i) out.push_back(NextToken(L"", delimiter));
    return out;
}

using Names = std::vector<std::wstring>;

Names ListAll(const std::wstring& pattern, unsigned mask) {
    Names names;
    for (std::wstring n = FileSystem::Dir(pattern, mask); !n.empty(); n = FileSystem::Dir()) names.push_back(n);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(NextToken, SplitsOnePieceACall) {
    EXPECT_EQ(Tokens(L"a,b,c", L",", 4), (Names{L"a", L"b", L"c", L""}));
    EXPECT_EQ(Tokens(L"a,,b", L",", 3), (Names{L"a", L"", L"b"}));
    // A delimiter at the very end gives no empty last piece.
    EXPECT_EQ(Tokens(L"a,b,", L",", 3), (Names{L"a", L"b", L""}));
    EXPECT_EQ(Tokens(L"whole", L";", 2), (Names{L"whole", L""}));
    EXPECT_EQ(Tokens(L"maps\\x;y.bsp", L"\\", 2), (Names{L"maps", L"x;y.bsp"}));
}

TEST(NextToken, CutsModNamesCaseSensitively) {
    EXPECT_EQ(NextToken(L"sniper.pk3", L".pk3"), L"sniper");
    EXPECT_EQ(NextToken(L"a.pk3.pk3", L".pk3"), L"a");
    EXPECT_EQ(NextToken(L"MyMod.PK3", L".pk3"), L"MyMod.PK3");
}

TEST(NextToken, RemainderIsSharedAcrossCallers) {
    NextToken(L"one|two|three", L"|");
    // Another caller's continuation picks up the same remainder.
    EXPECT_EQ(NextToken(L"", L"|"), L"two");
    EXPECT_EQ(NextToken(L"x-y", L"-"), L"x");
    EXPECT_EQ(NextToken(L"", L"|"), L"y");
}

TEST(GetLongPath, RebuildsStoredNames) {
    TempFolder temp;
    MakeFolder(temp / L"Call of Duty Demo\\Main Stuff");
    const std::wstring full = temp / L"Call of Duty Demo\\Main Stuff";
    EXPECT_EQ(GetLongPath(full), full);

    // Short components come back long; lower-case input comes back in the stored case.
    const std::wstring shortForm = GetShortPath(full);
    ASSERT_FALSE(shortForm.empty());
    EXPECT_NE(shortForm, full);
    EXPECT_EQ(GetLongPath(shortForm), full);
    std::wstring lower = full;
    std::transform(lower.begin() + 2, lower.end(), lower.begin() + 2, towlower);
    EXPECT_EQ(GetLongPath(lower).substr(2), full.substr(2));

    // The drive letters are copied as given.
    std::wstring otherDrive = full;
    otherDrive[0] = towlower(otherDrive[0]);
    EXPECT_EQ(GetLongPath(otherDrive).substr(0, 2), otherDrive.substr(0, 2));
}

TEST(GetLongPath, EdgeCases) {
    TempFolder temp;
    MakeFolder(temp / L"Game");
    EXPECT_EQ(GetLongPath(L""), L"\\");
    EXPECT_EQ(GetLongPath(temp / L"Gone"), L"");
    EXPECT_EQ(GetLongPath(temp / L"Gone\\Game"), L"");
    EXPECT_EQ(GetLongPath(temp / L"bad|name"), L"");
    // Registry text keeps its terminating NUL; it does not reach the result.
    EXPECT_EQ(GetLongPath(temp / L"Game" + std::wstring(1, L'\0')), temp / L"Game");
    EXPECT_EQ(GetLongPath(temp / L"Game\\"), temp / L"Game");
    // Hidden folders are found too.
    MakeFolder(temp / L"Hidden");
    SetFileAttributesW((temp / L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetLongPath(temp / L"hidden"), temp / L"Hidden");
    // A wildcard names no folder, though one matches it.
    EXPECT_EQ(GetLongPath(temp / L"Ga*"), L"");
}

TEST(GetLongPath, LeavesAListingInProgressAlone) {
    TempFolder temp;
    MakeFolder(temp / L"Game");
    for (const wchar_t* name : {L"a.pk3", L"b.pk3"}) WriteFileBytes(temp / name, "PK");
    Names listed{FileSystem::Dir(temp / L"*.pk3", 0)};
    EXPECT_EQ(GetLongPath(temp / L"game"), temp / L"Game");
    for (std::wstring name = FileSystem::Dir(); !name.empty(); name = FileSystem::Dir()) listed.push_back(name);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Names{L"a.pk3", L"b.pk3"}));
}

TEST(GetShortPath, MissingPathGivesEmpty) {
    TempFolder temp;
    EXPECT_EQ(GetShortPath(temp / L"missing folder"), L"");
    EXPECT_EQ(GetShortPath(L""), L"");
}

TEST(RemoveFolder, DeletesTreeButKeepsReadOnly) {
    TempFolder temp;
    WriteFileBytes(temp / L"mod\\maps\\a.bsp", "a");
    WriteFileBytes(temp / L"mod\\b.cfg", "b");
    Globals::RemoveFolder(temp / L"mod");
    EXPECT_FALSE(PathExists(temp / L"mod"));

    WriteFileBytes(temp / L"ro\\keep.cfg", "k");
    WriteFileBytes(temp / L"ro\\go.cfg", "g");
    SetFileAttributesW((temp / L"ro\\keep.cfg").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(Globals::RemoveFolder(temp / L"ro"), AppError);
    EXPECT_TRUE(PathExists(temp / L"ro\\keep.cfg"));
    EXPECT_FALSE(PathExists(temp / L"ro\\go.cfg"));

    EXPECT_THROW(Globals::RemoveFolder(temp / L"never there"), AppError);
}

TEST(GetINIFile, ReadsAsTheProfileReaderDoes) {
    TempFolder temp;
    const std::wstring ini = temp / L"tarrow.ini";
    WriteFileBytes(ini, "[Tarrow]\r\nNAME=Sniper Pack\r\nVERSION=\r\nlong=" + std::string(300, 'x') +
                            "\r\n[Other]\r\nAUTHOR=elsewhere\r\n");
    EXPECT_EQ(GetINIFile(L"Tarrow", L"NAME", ini), L"Sniper Pack");
    EXPECT_EQ(GetINIFile(L"tarrow", L"name", ini), L"Sniper Pack");
    EXPECT_EQ(GetINIFile(L"Tarrow", L"VERSION", ini), L"");
    EXPECT_EQ(GetINIFile(L"Tarrow", L"LONG", ini), std::wstring(254, L'x'));
    EXPECT_EQ(GetINIFile(L"Tarrow", L"AUTHOR", ini), L"Default");
    EXPECT_EQ(GetINIFile(L"Missing", L"NAME", ini), L"Default");
    EXPECT_EQ(GetINIFile(L"Tarrow", L"NAME", temp / L"absent.ini"), L"Default");
}

TEST(Dir, MasksDecideWhatIsListed) {
    TempFolder temp;
    WriteFileBytes(temp / L"plain.pk3", "");
    WriteFileBytes(temp / L"hidden.pk3", "");
    WriteFileBytes(temp / L"system.pk3", "");
    WriteFileBytes(temp / L"readonly.pk3", "");
    WriteFileBytes(temp / L"other.dis", "");
    MakeFolder(temp / L"folder.pk3");
    SetFileAttributesW((temp / L"hidden.pk3").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((temp / L"system.pk3").c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW((temp / L"readonly.pk3").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring pk3 = temp / L"*.pk3";
    using namespace FileSystem;

    EXPECT_EQ(ListAll(pk3, 0), (Names{L"plain.pk3", L"readonly.pk3"}));
    EXPECT_EQ(ListAll(pk3, AttrReadOnly | AttrHidden | AttrArchive),
              (Names{L"hidden.pk3", L"plain.pk3", L"readonly.pk3"}));
    EXPECT_EQ(ListAll(pk3, AttrReadOnly | AttrHidden | AttrSystem),
              (Names{L"hidden.pk3", L"plain.pk3", L"readonly.pk3", L"system.pk3"}));
    EXPECT_EQ(ListAll(pk3, AttrDirectory), (Names{L"folder.pk3", L"plain.pk3", L"readonly.pk3"}));
    EXPECT_EQ(ListAll(temp / L"*.PK3", 0), (Names{L"plain.pk3", L"readonly.pk3"}));
    EXPECT_EQ(ListAll(temp / L"nothing here\\*", 0), Names{});
}

TEST(Dir, OnlyTheLongNameMatchesAWildcard) {
    TempFolder temp;
    WriteFileBytes(temp / L"mod.pk3", "");
    WriteFileBytes(temp / L"backup.pk3x", "");
    WriteFileBytes(temp / L"old.pk3.bak", "");
    EXPECT_EQ(ListAll(temp / L"*.pk3", 0), Names{L"mod.pk3"});
    EXPECT_EQ(ListAll(temp / L"*", 0), (Names{L"backup.pk3x", L"mod.pk3", L"old.pk3.bak"}));
}

TEST(Dir, OneListingAtATime) {
    TempFolder temp;
    WriteFileBytes(temp / L"a\\1.txt", "");
    WriteFileBytes(temp / L"a\\2.txt", "");
    WriteFileBytes(temp / L"b\\3.txt", "");
    const std::wstring first = FileSystem::Dir(temp / L"a\\*.txt", 0);
    EXPECT_FALSE(first.empty());
    // Starting another listing ends the first one.
    EXPECT_EQ(FileSystem::Dir(temp / L"b\\*.txt", 0), L"3.txt");
    EXPECT_EQ(FileSystem::Dir(), L"");
    EXPECT_EQ(FileSystem::Dir(), L"");
}

TEST(Dir, AFailingListingThrowsWithTheSystemReason) {
    TempFolder temp;
    // A missing folder lists nothing, but a name the platform cannot take fails.
    EXPECT_EQ(FileSystem::Dir(temp / L"gone\\main\\*.pk3", 0), L"");
    try {
        FileSystem::Dir(temp / L"bad|name\\main\\*.pk3", 0);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_FALSE(e.Description().empty());
    }
}

TEST(MatchesPattern, Wildcards) {
    using FileSystem::MatchesPattern;
    EXPECT_TRUE(MatchesPattern(L"a.pk3", L"*.pk3"));
    EXPECT_TRUE(MatchesPattern(L"A.PK3", L"*.pk3"));
    EXPECT_FALSE(MatchesPattern(L"a.pk3x", L"*.pk3"));
    EXPECT_TRUE(MatchesPattern(L"a.pk3.pk3", L"*.pk3"));
    EXPECT_TRUE(MatchesPattern(L"noext", L"*.*"));
    EXPECT_TRUE(MatchesPattern(L"x", L"?"));
    EXPECT_FALSE(MatchesPattern(L"xy", L"?"));
}

TEST(Prompts, RecorderAnswersAsScripted) {
    PromptRecorder recorder;
    recorder.buttons.push_back(IDNO);
    recorder.inputs.push_back(L"secret");
    EXPECT_EQ(MsgBox(L"Overwrite x?", MB_YESNOCANCEL | MB_ICONWARNING, L"Title"), IDNO);
    EXPECT_EQ(MsgBox(L"Second"), IDOK);
    EXPECT_EQ(CurrentPrompts().Input(L"Please Enter The Password!", L"Tarrow", L""), L"secret");
    EXPECT_EQ(CurrentPrompts().BrowseForFolder(nullptr, L"Pick", 3), std::nullopt);
    ASSERT_EQ(recorder.asked.size(), 4u);
    EXPECT_EQ(recorder.asked[0].title, L"Title");
    EXPECT_EQ(recorder.asked[0].style, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONWARNING));
    EXPECT_EQ(recorder.asked[1].title, L"Tarrow");
    EXPECT_EQ(recorder.asked[3].style, 3u);
}

// The program-wide listing gives "." and ".." to a caller that asks for folders; a walk of our own does not.
TEST(Dir, FoldersIncludeTheDotEntriesOnlyWhereAsked) {
    const TempFolder temp;
    MakeFolder(temp / L"sub");
    const Names listed = ListAll(temp / L"*", FileSystem::AttrDirectory);
    EXPECT_EQ(listed, (Names{L".", L"..", L"sub"}));
    DirectoryWalk walk(temp / L"*");
    Names walked;
    for (WIN32_FIND_DATAW entry{}; walk.Next(entry);) walked.push_back(entry.cFileName);
    EXPECT_EQ(walked, Names{L"sub"});
}
