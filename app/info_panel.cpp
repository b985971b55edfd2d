#include "app/info_panel.h"

#include <richedit.h>

#include "ui/busy_cursor.h"
#include "core/file_system.h"
#include "modinfo/mod_info.h"

namespace {

// The rich text that the panel holds until a mod is selected.
constexpr char kNotSelectedRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss MS Sans Serif;}}\\viewkind4\\uc1\\pard\\f0\\fs17 "
    "You have not selected a mod yet.\\par}";

void SetRichText(HWND control, const char* rtf) {
    SETTEXTEX how{ST_DEFAULT, CP_ACP};
    SendMessageW(control, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(rtf));
}

}  // namespace

void InfoPanel::Attach(HWND richEdit) {
    rtf_ = richEdit;
    ShowNotSelected();
}

void InfoPanel::ShowNotSelected() { SetRichText(rtf_, kNotSelectedRtf); }

void InfoPanel::Show(const std::wstring& folder, const std::wstring& modName, const std::wstring& extension) {
    BusyCursor busy;
    const std::wstring archive = folder + modName + extension;
    const ArchiveInformation read = ReadArchiveInformation(archive);
    shown_ = archive;
    SetRichText(rtf_, (read.info.found ? InformationRtf(read.info) : NoticeRtf(modName, extension)).c_str());
}

void InfoPanel::Renamed(const Game& game, const std::vector<ChangeStep>& renames) {
    for (const ChangeStep& step : renames) {
        if (step.kind == StepKind::Rename && shown_ == game.PathOf(QualifiedName::Parse(step.from)))
            shown_ = game.PathOf(QualifiedName::Parse(step.to));
    }
}

void InfoPanel::Clear() {
    shown_.clear();
    ShowNotSelected();
}

void InfoPanel::ForgetIfGone() {
    if (shown_.empty() || FileSystem::FileExists(shown_)) return;
    shown_.clear();
    ShowNotSelected();
}
