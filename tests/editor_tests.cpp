// The Mod Info Editor: tarrow.ini written into real archives through
// unzip32.dll, every other entry kept byte for byte; the text read and written
// back; the window under Xvfb.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>

#include "games/game.h"
#include "app/main_window.h"
#include "archive/unzip.h"
#include "archive/unzip_api.h"
#include "archive/zip_reader.h"
#include "core/text.h"
#include "modinfo/mod_info.h"
#include "mods/placed_change.h"
#include "tests/support/main_window.h"
#include "tests/support/recorder.h"
#include "tests/support/test_game.h"
#include "tests/support/ui.h"

namespace {

using Names = std::vector<std::wstring>;

// Each entry's raw bytes: its local header, data and descriptor up to the
// next entry, and its central record with the offset blanked.
struct RawEntry {
    std::string local, central;
};
std::map<std::string, RawEntry> RawEntries(const std::string& bytes, std::string& comment) {
    zip::MemorySource source(bytes);
    zip::Directory directory;
    EXPECT_EQ(zip::ReadDirectory(source, directory), zip::Status::Ok);
    std::vector<const zip::Entry*> byOffset;
    for (const auto& e : directory.entries) byOffset.push_back(&e);
    std::sort(byOffset.begin(), byOffset.end(), [](auto* a, auto* b) { return a->localOffset < b->localOffset; });
    std::map<std::string, RawEntry> raw;
    for (size_t i = 0; i < byOffset.size(); ++i) {
        const auto* e = byOffset[i];
        const uint64_t end = i + 1 < byOffset.size() ? byOffset[i + 1]->localOffset : directory.offset;
        std::string central = bytes.substr(e->centralOffset, e->centralLength);
        central.replace(zip::format::kCentralLocalOffset, 4, 4, '\0');
        raw[e->storedName] = {bytes.substr(e->localOffset, end - e->localOffset), central};
    }
    comment = bytes.substr(directory.endOffset + zip::format::kEndSize);
    return raw;
}

int Write(const std::wstring& archive, const std::wstring& out, const std::string& data) {
    return VBUnzBas::WriteEntry(archive, out, "tarrow.ini", data);
}

}  // namespace

TEST(InformationWriter, KeepsEveryOtherEntryByteForByte) {
    TempFolder temp;
    PromptRecorder prompts;
    const std::string ini = "[Tarrow]\r\nNAME=New\r\n";
    // Folders and a tarrow.ini to replace; data descriptors; a comment; backslash names.
    for (const wchar_t* fixture : {L"plain.zip", L"descriptors.zip", L"comment.zip", L"lo_one.zip"}) {
        const std::wstring out = temp / (std::wstring(L"new-") + fixture);
        ASSERT_EQ(Write(Fixture(fixture), out, ini), UnzOk) << fixture;
        std::string oldComment, newComment;
        auto before = RawEntries(ReadFileBytes(Fixture(fixture)), oldComment);
        auto after = RawEntries(ReadFileBytes(out), newComment);
        before.erase("tarrow.ini");
        ASSERT_EQ(after.count("tarrow.ini"), 1u);
        after.erase("tarrow.ini");
        EXPECT_EQ(after.size(), before.size()) << fixture;
        for (const auto& [name, raw] : before) {
            EXPECT_EQ(after[name].local, raw.local) << name;
            EXPECT_EQ(after[name].central, raw.central) << name;
        }
        EXPECT_EQ(newComment, oldComment) << fixture;
        // It reads through our library, with methods the game reads.
        VBUnzBas::UseCallersSettings(false);
        VBUnzBas::IncludeCount = 0;
        VBUnzBas::ZipFileName = out;
        VBUnzBas::ExtractDir = temp / (std::wstring(L"x-") + fixture);
        EXPECT_EQ(VBUnzBas::RunUnzip(), UnzOk) << fixture;
        EXPECT_EQ(ReadFileBytes(temp / (std::wstring(L"x-") + fixture + L"\\tarrow.ini")), ini);
        VBUnzBas::UseCallersSettings(true);
        VBUnzBas::RunUnzip();
        for (const auto& e : VBUnzBas::Listed) EXPECT_TRUE(e.method == 0 || e.method == 8) << e.storedName;
    }
}

TEST(InformationWriter, RefusesWhatItCannotKeepAndLeavesNoFile) {
    TempFolder temp;
    PromptRecorder prompts;
    EXPECT_EQ(Write(Fixture(L"encrypted.zip"), temp / L"a", "x"), UnzEncrypted);
    EXPECT_EQ(Write(Fixture(L"zip64.zip"), temp / L"b", "x"), UnzZip64);
    EXPECT_EQ(Write(Fixture(L"prefixed.zip"), temp / L"c", "x"), UnzLayout);
    EXPECT_EQ(Write(Fixture(L"truncated.zip"), temp / L"d", "x"), UnzNotZip);
    EXPECT_TRUE(TreeOf(temp.path()).empty());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST(InformationText, EscapesAsThePanelReadsIt) {
    struct Case {
        const wchar_t *text, *stored;
    };
    for (const Case& c : {Case{L"plain", L"plain"}, Case{L"a\r\nb", L"a\\par b"}, Case{L"end\r\n", L"end\\par"},
                          Case{L"a\\b {c}", L"a\\\\b \\{c\\}"}, Case{L"\\par", L"\\\\par"},
                          Case{L"two\r\n\r\nbreaks", L"two\\par \\par breaks"}}) {
        EXPECT_EQ(EscapeValue(c.text), c.stored) << c.text;
        EXPECT_EQ(UnescapeValue(c.stored), c.text) << c.stored;
    }
    // Authors' own control words stay; "\pard" is not "\par".
    EXPECT_EQ(UnescapeValue(L"x\\pard y"), L"x\\pard y");
    EXPECT_EQ(UnescapeValue(L"one\\par two"), L"one\r\ntwo");
}

TEST(InformationText, OtherKeysAndSectionsStayAndOnlyNonAsciiIsUnicode) {
    const InformationFields fields{L"Sniper", L"1.3", L"Ann", L"Line one\r\nLine two"};
    EXPECT_EQ(InformationFileBytes(L"; made by hand\r\n[Other]\r\nNAME=elsewhere\r\n[tarrow]\r\nname=Old\r\n"
                                   L"Website=example.org\r\nDESCRIPTION=Old text\r\n\r\n[Last]\r\nx=1\r\n",
                                   fields),
              "; made by hand\r\n[Other]\r\nNAME=elsewhere\r\n[tarrow]\r\nNAME=Sniper\r\nWebsite=example.org\r\n"
              "Description=Line one\\par Line two\r\nVERSION=1.3\r\nAUTHOR=Ann\r\n\r\n[Last]\r\nx=1\r\n");
    EXPECT_EQ(InformationFileBytes(L"", fields),
              "[Tarrow]\r\nNAME=Sniper\r\nVERSION=1.3\r\nAUTHOR=Ann\r\nDescription=Line one\\par Line two\r\n");
    const std::string unicode = InformationFileBytes(L"", {L"\u65e5\u672c", L"", L"", L""});
    EXPECT_EQ(unicode.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(DecodeInformationFile(unicode),
              L"[Tarrow]\r\nNAME=\u65e5\u672c\r\nVERSION=\r\nAUTHOR=\r\nDescription=\r\n");
    EXPECT_EQ(TooLongField({L"n", L"", L"", std::wstring(254, L'd')}), L"");
    EXPECT_EQ(TooLongField({L"n", L"", std::wstring(128, L'{'), L""}), L"Author");
}

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override { VBUnzBas::PasswordSkip = false; }
    void Start() { form = StartMainWindow(); }
    void Select(HWND list, int index) {
        ClickListItem(list, index);
        PumpPending();
    }
    frmModInfoEditor* Open() {
        SendMessageW(form->hwnd(), WM_COMMAND, frmMain::mnuTools_ModInfoMaker, 0);
        PumpPending();
        return form->Editor();
    }
    // Replaces each field's text as typing does, so that the fields report the change.
    static void Fill(const frmModInfoEditor& editor, const InformationFields& f) {
        const auto& c = editor.controls();
        const std::pair<HWND, const std::wstring*> fields[] = {{c.txtName, &f.name},
                                                               {c.txtVersion, &f.version},
                                                               {c.txtAuthor, &f.author},
                                                               {c.txtDescription, &f.description}};
        for (const auto& [field, text] : fields) {
            SendMessageW(field, EM_SETSEL, 0, -1);
            SendMessageW(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text->c_str()));
        }
    }
    void TearDown() override { form.reset(); }

    PromptRecorder prompts;
    TestGame game;
    std::unique_ptr<frmMain> form;
};

TEST_F(EditorWindow, ReadsWhatEditorsWriteAsTheAuthorMeantIt) {
    game.Install(L"info_utf8.zip", L"a.pk3");
    game.Install(L"info_utf8_bom.zip", L"b.pk3");
    game.Install(L"info_utf16.zip", L"c.pk3");
    game.Install(L"info_accents.zip", L"d.pk3");
    Start();
    const std::wstring sniper =
        L"Name: \u0421\u043d\u0430\u0439\u043f\u0435\u0440\rVersion: Default\rAuthor: Zo\u00eb\r";
    for (int i = 0; i < 3; ++i) {
        Select(form->controls().listEnabled, i);
        EXPECT_EQ(PanelText(form->controls().rtfModInfo).substr(0, sniper.size()), sniper) << i;
    }
    // An ANSI file reads as it always has.
    Select(form->controls().listEnabled, 3);
    EXPECT_EQ(PanelText(form->controls().rtfModInfo).substr(0, 17), L"Name: Caf\u00e9 cr\u00e8me\r");
    // The editor reads the same.
    Select(form->controls().listEnabled, 0);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(WindowText(form->Editor()->controls().txtName), L"\u0421\u043d\u0430\u0439\u043f\u0435\u0440");
}

TEST_F(EditorWindow, SavesIntoTheArchiveAndThePanelShowsExactlyWhatWasTyped) {
    game.Install(L"info_more.zip", L"sniper.dis");
    game.Install(L"info_none.zip", L"plain.pk3");
    Start();
    // With no mod selected, the editor asks for one.
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(prompts.MessageTexts(), Names{L"Please select a mod first"});

    Select(form->controls().listDisabled, 0);
    frmModInfoEditor* editor = Open();
    ASSERT_NE(editor, nullptr);
    const auto& c = editor->controls();
    EXPECT_EQ(WindowText(editor->hwnd()), L"Mod Info Editor");
    EXPECT_EQ(GetFocus(), c.txtName);
    EXPECT_EQ(WindowText(c.txtName), L"Old");
    EXPECT_EQ(WindowText(c.txtDescription), L"Old text");
    // Tab goes Name, Version, Author, Description, then the buttons.
    HWND order[] = {c.txtName, c.txtVersion, c.txtAuthor, c.txtDescription, c.cmdSave, c.cmdClose};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_EQ(GetNextDlgTabItem(editor->hwnd(), order[i], FALSE), order[i + 1]) << i;
    }

    const InformationFields typed{L"Caf\u00e9 \u65e5\u672c", L"2.0", L"a\\b {c}", L"First line\r\nSecond line"};
    Fill(*editor, typed);
    PumpPending();
    const std::wstring expected =
        L"Name: Caf\u00e9 \u65e5\u672c\rVersion: 2.0\rAuthor: a\\b {c}\rDescription: First "
        L"line\rSecond line\r";
    EXPECT_EQ(PanelText(c.rtfPreview), expected);
    ASSERT_TRUE(editor->Save());
    EXPECT_FALSE(editor->Dirty());
    // The panel showed this mod, so it shows the new text.
    EXPECT_EQ(PanelText(form->controls().rtfModInfo), expected);
    // Other keys and sections, and every other entry, are still there.
    ScratchFolder scratch;
    ExtractInformationFile(game.main + L"sniper.dis", scratch.path());
    const std::wstring text = ReadInformationText(scratch.path() + L"\\tarrow.ini");
    EXPECT_NE(text.find(L"[Other]\r\nNAME=elsewhere\r\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"Website=example.org\r\n"), std::wstring::npos) << text;
    EXPECT_EQ(TreeOf(game.main), (Names{L"plain.pk3", L"sniper.dis"}));

    // Switching to another mod with unsaved changes asks first; No keeps them.
    Fill(*editor, {WindowText(c.txtName), L"2.1", WindowText(c.txtAuthor), WindowText(c.txtDescription)});
    Select(form->controls().listEnabled, 0);
    prompts.buttons = {IDNO};
    Open();
    EXPECT_EQ(editor->archive(), game.main + L"sniper.dis");
    EXPECT_EQ(prompts.MessageTexts().back(), L"Drop the changes to the information of sniper.dis?");
    // Close asks too; Yes drops them.
    prompts.buttons = {IDYES};
    SendMessageW(c.cmdClose, BM_CLICK, 0, 0);
    EXPECT_EQ(editor->hwnd(), nullptr);
}

TEST_F(EditorWindow, AFailedSaveChangesNothingAndSaysWhy) {
    game.Install(L"info_full.zip", L"held.pk3");
    game.Install(L"info_full.zip", L"locked.pk3");
    game.Install(L"encrypted.zip", L"secret.pk3");
    game.Install(L"info_full.zip", L"pak0.pk3");
    Start();
    const std::string original = ReadFileBytes(Fixture(L"info_full.zip"));
    frmModInfoEditor editor(nullptr, RunPlacedChange);
    const auto attempt = [&](const std::wstring& file, const InformationFields& fields) {
        editor.Unload();
        editor.Edit(DemoGame(game.folder), game.main + file);
        Fill(editor, fields);
        prompts.asked.clear();
        EXPECT_FALSE(editor.Save()) << file;
        return prompts.MessageTexts().empty() ? std::wstring() : prompts.MessageTexts().front();
    };
    // The game holds the archive open with read sharing only.
    HANDLE held = CreateFileW((game.main + L"held.pk3").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(attempt(L"held.pk3", {L"x", L"", L"", L""}).rfind(L"Tarrow could not replace held.pk3: ", 0), 0u);
    CloseHandle(held);
    SetFileAttributesW((game.main + L"locked.pk3").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(attempt(L"locked.pk3", {L"x", L"", L"", L""}), L"locked.pk3 is read-only. Tarrow wrote nothing.");
    SetFileAttributesW((game.main + L"locked.pk3").c_str(), FILE_ATTRIBUTE_NORMAL);
    prompts.inputs = {L"secret"};
    EXPECT_EQ(attempt(L"secret.pk3", {L"x", L"", L"", L""}),
              L"Tarrow could not write tarrow.ini into secret.pk3: it holds encrypted entries, which Tarrow does not "
              L"rewrite.");
    EXPECT_EQ(attempt(L"locked.pk3", {L"x", std::wstring(255, L'v'), L"", L""}).rfind(L"Version is too long", 0), 0u);
    EXPECT_EQ(attempt(L"pak0.pk3", {L"x", L"", L"", L""}),
              L"pak0.pk3 is the game's own archive. Tarrow never changes it.");
    editor.Unload();
    editor.Edit(DemoGame(game.folder), game.main + L"locked.pk3");
    DeleteFileW((game.main + L"locked.pk3").c_str());
    prompts.asked.clear();
    EXPECT_FALSE(editor.Save());
    EXPECT_EQ(prompts.MessageTexts(),
              Names{L"locked.pk3 is no longer in main: it was switched, removed or renamed. Tarrow wrote nothing."});
    EXPECT_EQ(TreeOf(game.main), (Names{L"held.pk3", L"pak0.pk3", L"secret.pk3"}));
    EXPECT_EQ(ReadFileBytes(game.main + L"held.pk3"), original);
}
