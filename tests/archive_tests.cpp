// unzip32.dll driven through the extraction module, on real archives and real
// folders; prompts answered by the recorder.
#include <gtest/gtest.h>

#include <new>

#include "archive/unzip.h"
#include "archive/unzip_api.h"
#include "core/errors.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_folder.h"

namespace {

using Names = std::vector<std::wstring>;
namespace U = VBUnzBas;

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        U::Options = {};
        U::Options.noflag = 1;
        U::Options.ndflag = 1;
        U::IncludeCount = 0;
        U::ExcludeCount = 0;
        U::PasswordSkip = false;
        U::Questions = &prompts;
    }
    void TearDown() override { U::Questions = nullptr; }
    int Run(const std::wstring& fixture, const std::wstring& destination, const Names& include = {}) {
        U::ZipFileName = Fixture(fixture);
        U::ExtractDir = destination;
        U::IncludeCount = static_cast<int>(include.size());
        for (size_t i = 0; i < include.size(); ++i) U::IncludeNames[i] = include[i];
        return U::RunUnzip();
    }

    TempFolder temp;
    PromptRecorder prompts;
};

}  // namespace

TEST_F(Extraction, EveryEntryAtItsStoredPath) {
    EXPECT_EQ(Run(L"plain.zip", temp / L"out"), UnzOk);
    // docs/tarrow.ini and docs/TARROW.INI are one file on a Windows disk.
    EXPECT_EQ(TreeOf(temp / L"out"), (Names{L"docs", L"docs\\tarrow.ini", L"empty", L"maps", L"maps\\a.bsp", L"sound",
                                            L"sound\\b.wav", L"tarrow.ini"}));
    std::string bsp;
    for (int i = 0; i < 1000; ++i) bsp += "bsp";
    EXPECT_EQ(ReadFileBytes(temp / L"out\\maps\\a.bsp"), bsp);
    EXPECT_EQ(ReadFileBytes(temp / L"out\\docs\\tarrow.ini"), "[Tarrow]\r\nNAME=caps\r\n");
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(Extraction, NamedEntriesMatchExactlyWithCase) {
    EXPECT_EQ(Run(L"plain.zip", temp / L"one", {L"tarrow.ini"}), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"one"), Names{L"tarrow.ini"});
    EXPECT_EQ(ReadFileBytes(temp / L"one\\tarrow.ini").substr(0, 8), "[Tarrow]");
    // Only the entry stored under exactly that path and case.
    EXPECT_EQ(Run(L"plain.zip", temp / L"caps", {L"docs/TARROW.INI"}), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"caps"), (Names{L"docs", L"docs\\TARROW.INI"}));
    EXPECT_EQ(Run(L"plain.zip", temp / L"none", {L"TARROW.INI"}), UnzNoMatch);
    EXPECT_FALSE(PathExists(temp / L"none"));
}

TEST_F(Extraction, FullListOfAHundredNames) {
    Names include;
    for (int i = 10; i < 110; ++i)
        include.push_back(L"f" + std::to_wstring(i / 100) + std::to_wstring(i / 10 % 10) + std::to_wstring(i % 10) +
                          L".txt");
    EXPECT_EQ(Run(L"hundred.zip", temp / L"out", include), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"out"), include);
}

TEST_F(Extraction, CreatesMissingDestinationAndOverwritesSilently) {
    WriteFileBytes(temp / L"a\\b\\c\\tarrow.ini", "old");
    EXPECT_EQ(Run(L"plain.zip", temp / L"a\\b\\c", {L"tarrow.ini"}), UnzOk);
    EXPECT_EQ(ReadFileBytes(temp / L"a\\b\\c\\tarrow.ini").substr(0, 8), "[Tarrow]");
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(Extraction, AsksBeforeOverwritingWhenTold) {
    WriteFileBytes(temp / L"out\\tarrow.ini", "old");
    U::Options.noflag = 0;
    U::Options.PromptToOverwrite = 1;
    prompts.buttons = {IDNO};
    EXPECT_EQ(Run(L"plain.zip", temp / L"out", {L"tarrow.ini"}), UnzOk);
    EXPECT_EQ(ReadFileBytes(temp / L"out\\tarrow.ini"), "old");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, L"Overwrite tarrow.ini?");
    EXPECT_EQ(prompts.asked[0].title, L"VBUnZip32 - File Already Exists!");
    EXPECT_EQ(prompts.asked[0].style, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONWARNING));
    prompts.buttons = {IDYES};
    Run(L"plain.zip", temp / L"out", {L"tarrow.ini"});
    EXPECT_EQ(ReadFileBytes(temp / L"out\\tarrow.ini").substr(0, 8), "[Tarrow]");
}

TEST_F(Extraction, MissingOrForeignArchiveWritesNothing) {
    EXPECT_EQ(Run(L"no such.zip", temp / L"out"), UnzNotZip);
    EXPECT_EQ(Run(L"notzip.zip", temp / L"out"), UnzNotZip);
    EXPECT_FALSE(PathExists(temp / L"out"));
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(Extraction, RightPasswordIsAskedOnceAndReused) {
    prompts.inputs = {L"secret"};
    EXPECT_EQ(Run(L"encrypted.zip", temp / L"out"), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"out"), (Names{L"data.txt", L"tarrow.ini"}));
    EXPECT_EQ(ReadFileBytes(temp / L"out\\tarrow.ini").substr(0, 8), "[Tarrow]");
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, AskedPrompt::Input);
    EXPECT_EQ(prompts.asked[0].text, L"Please Enter The Password!");
    EXPECT_EQ(prompts.asked[0].title, L"Tarrow");
}

TEST_F(Extraction, WrongPasswordIsAskedAgainThenEmptyStopsAllQuestions) {
    prompts.inputs = {L"wrong", L"also wrong", L""};
    EXPECT_EQ(Run(L"encrypted.zip", temp / L"out"), UnzBadPassword);
    EXPECT_TRUE(TreeOf(temp / L"out").empty());
    EXPECT_EQ(prompts.asked.size(), 3u);
    EXPECT_TRUE(U::PasswordSkip);
    // Later runs ask nothing.
    Run(L"encrypted.zip", temp / L"again");
    EXPECT_EQ(prompts.asked.size(), 3u);
}

TEST_F(Extraction, PasswordOutsideAsciiTriesBothEncodings) {
    prompts.inputs = {L"pässwörd"};
    // The fixture's check byte also passes under the ANSI (cp1252) bytes, whose data is noise.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(Run(L"encrypted_latin.zip", temp / L"out", {L"data.txt"}), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"out"), Names{L"data.txt"});
    EXPECT_EQ(ReadFileBytes(temp / L"out\\data.txt").substr(0, 12), "secret data ");
    EXPECT_EQ(prompts.asked.size(), 1u);
}

TEST_F(Extraction, AnswerLongerThanTheBufferCountsAsWrong) {
    prompts.inputs = {std::wstring(1000, L'p'), L"secret"};
    EXPECT_EQ(Run(L"encrypted.zip", temp / L"out", {L"tarrow.ini"}), UnzOk);
    EXPECT_EQ(prompts.asked.size(), 2u);
}

TEST_F(Extraction, ListOnlyWritesNothingAndNeedsNoPassword) {
    U::Options.nvflag = 1;
    EXPECT_EQ(Run(L"plain.zip", temp / L"out"), UnzOk);
    Names names;
    for (const auto& e : U::Listed) names.push_back(e.name + (e.folder ? L"\\" : L""));
    EXPECT_EQ(names, (Names{L"tarrow.ini", L"maps\\", L"maps\\a.bsp", L"sound\\b.wav", L"docs\\tarrow.ini",
                            L"docs\\TARROW.INI", L"empty\\"}));
    EXPECT_FALSE(PathExists(temp / L"out"));

    EXPECT_EQ(Run(L"encrypted.zip", temp / L"out"), UnzOk);
    EXPECT_EQ(U::Listed.size(), 2u);
    EXPECT_TRUE(prompts.asked.empty());

    // Names come as extraction would write them.
    EXPECT_EQ(Run(L"unsafe.zip", temp / L"out"), UnzOk);
    EXPECT_EQ(U::Listed[0].name, L"evil1.txt");
    EXPECT_EQ(U::Listed[5].name, L"_con.txt");
    EXPECT_FALSE(PathExists(temp / L"out"));
    // The setting stays for the next run until a caller changes it.
    EXPECT_EQ(U::Options.nvflag, 1);
}

TEST_F(Extraction, AnEntryThatCannotBeTakenFailsTheListing) {
    U::Options.nvflag = 1;
    int taken = 0;
    U::ListSink = [&](const U::EntryView&) {
        if (++taken == 3) throw std::bad_alloc();
    };
    EXPECT_EQ(Run(L"plain.zip", temp / L"out"), UnzEntryRefused);
    U::ListSink = nullptr;
    EXPECT_EQ(taken, 3);
}

TEST_F(Extraction, UnsafeNamesNeverLeaveTheDestination) {
    EXPECT_EQ(Run(L"unsafe.zip", temp / L"inner\\dest"), UnzOk);
    // Nothing was written anywhere but the destination.
    for (const auto& entry : TreeOf(temp.path())) {
        EXPECT_TRUE(entry == L"inner" || entry == L"inner\\dest" || entry.rfind(L"inner\\dest\\", 0) == 0) << entry;
    }
    EXPECT_EQ(
        TreeOf(temp / L"inner\\dest"),
        (Names{L"_con.txt", L"_lpt1", L"abs.txt", L"b_c_.txt", L"dir", L"dir\\up.txt", L"dots.._", L"dots.._\\x.txt",
               L"drive.txt", L"evil1.txt", L"evil2.txt", L"ok", L"ok\\fine.txt", L"tab_name.txt", L"unc.txt"}));
}

TEST_F(Extraction, BrokenArchivesAreRefusedOrCut) {
    EXPECT_EQ(Run(L"overlap.zip", temp / L"bomb"), UnzBomb);
    EXPECT_FALSE(PathExists(temp / L"bomb"));
    EXPECT_NE(Run(L"truncated.zip", temp / L"cut"), UnzOk);
    EXPECT_TRUE(TreeOf(temp / L"cut").empty());
    // A damaged entry does not stay behind; the others are extracted.
    EXPECT_EQ(Run(L"flipped.zip", temp / L"flip"), UnzWarning);
    EXPECT_EQ(TreeOf(temp / L"flip"), (Names{L"after.txt", L"good.txt"}));
    // A broken entry never replaces a good file either.
    WriteFileBytes(temp / L"keep\\bad.txt", "previous");
    Run(L"flipped.zip", temp / L"keep");
    EXPECT_EQ(ReadFileBytes(temp / L"keep\\bad.txt"), "previous");
}

TEST_F(Extraction, ContainerVariants) {
    EXPECT_EQ(Run(L"zip64.zip", temp / L"z64"), UnzOk);
    EXPECT_EQ(ReadFileBytes(temp / L"z64\\big\\one.txt"), "zip64 one");
    EXPECT_EQ(Run(L"descriptors.zip", temp / L"dd"), UnzOk);
    EXPECT_EQ(ReadFileBytes(temp / L"dd\\a\\b\\c\\deep.txt").size(), 2000u);
    EXPECT_EQ(Run(L"comment.zip", temp / L"comment"), UnzOk);
    EXPECT_EQ(ReadFileBytes(temp / L"comment\\real.txt"), "real");
    EXPECT_EQ(Run(L"cp437.zip", temp / L"cp"), UnzOk);
    EXPECT_EQ(TreeOf(temp / L"cp"), (Names{L"Ça_va_ñ.txt", L"░▒▓.txt"}));
    EXPECT_EQ(Run(L"odd_names.zip", temp / L"odd"), UnzOk);
    EXPECT_TRUE(PathExists(temp / L"odd\\ünïcode\\名前.txt"));
}

TEST(ExtractionLibrary, VersionRecordNamesOurLibrary) {
    HMODULE library = LoadLibraryW((ProgramFolder() + L"\\unzip32.dll").c_str());
    ASSERT_NE(library, nullptr);
    auto version = reinterpret_cast<UzpVersion2Fn>(reinterpret_cast<void*>(GetProcAddress(library, "UzpVersion2")));
    UzpVer2 record{};
    record.structlen = sizeof record;
    version(&record);
    EXPECT_STREQ(record.library, UnzipLibraryName);
    EXPECT_EQ(record.api, UnzipApiVersion);
    // A record of a size it does not know is left alone.
    UzpVer2 foreign{};
    foreign.structlen = 32;
    version(&foreign);
    EXPECT_STREQ(foreign.library, "");
    FreeLibrary(library);
}

TEST_F(Extraction, ARunInProgressRefusesAnotherAndStillExtracts) {
    prompts.inputs = {L"secret"};
    int refused = 0;
    // A prompt lets messages through: one of them tries to start a run.
    prompts.onAsk = [&](const AskedPrompt&) {
        EXPECT_FALSE(U::Idle());
        try {
            U::UseCallersSettings(true);
        } catch (const AppError& e) {
            refused += e.Number() == U::BusyError;
        }
        try {
            U::RunUnzip();
        } catch (const AppError& e) {
            refused += e.Number() == U::BusyError;
        }
        EXPECT_EQ(U::Options.nvflag, 0);
    };
    EXPECT_EQ(Run(L"encrypted.zip", temp / L"out", {L"tarrow.ini"}), UnzOk);
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(TreeOf(temp / L"out"), Names{L"tarrow.ini"});
    EXPECT_EQ(ReadFileBytes(temp / L"out\\tarrow.ini").substr(0, 8), "[Tarrow]");
    EXPECT_TRUE(U::Idle());
}
