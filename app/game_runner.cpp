#include "app/game_runner.h"

#include "compat/load_order.h"
#include "core/errors.h"
#include "ui/message_loop.h"
#include "ui/prompts.h"
#include "core/transaction.h"
#include "games/game_program.h"

GameRunner::~GameRunner() {
    if (game_.valid()) UnwatchHandle(game_.get());
}

void GameRunner::Play(HWND owner, const Game& game, const std::wstring& arguments) {
    if (Playing() || game.folder().empty()) return;
    std::wstring program = FindGameProgram(game);
    if (program.empty()) program = ChooseProgram(owner, game);
    if (program.empty() || !PlayAnyway(game)) return;
    // A question lets other work run while it is open, a second Tarrow's Play among it: the game may run now.
    if (Playing()) return;
    // The game finds its own files from its folder: that is its working folder.
    // The mod folder is set before the file system starts: first.
    std::wstring command = L"\"" + program + L"\"";
    for (const std::wstring& words : {game.ModArguments(), arguments}) {
        if (!words.empty()) command += L" " + words;
    }
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, game.folder().c_str(),
                        &startup, &started)) {
        MsgBox(L"Tarrow could not start " + program + L": " + SystemMessage(GetLastError()), MB_OK | MB_ICONWARNING);
        return;
    }
    CloseHandle(started.hThread);
    game_ = ProcessHandle(started.hProcess);
    // Greying is for the eye; the layer itself refuses every change while the game runs.
    RefuseChanges(L"The game is running and holds its archives. Tarrow changes nothing in " + game.ArchiveFolderName() +
                  L" until it ends.");
    WatchHandle(game_.get(), [this] { Ended(); });
    changed_(true);
}

std::wstring GameRunner::ChooseProgram(HWND owner, const Game& game) {
    using namespace std::string_literals;
    const auto chosen =
        CurrentPrompts().OpenFileName(owner, L"Choose the game program", game.folder(), L"Programs (*.exe)\0*.exe\0"s);
    if (!chosen) return {};
    if (const long error = KeepGameProgram(game, *chosen)) {
        MsgBox(L"Tarrow could not keep the choice: " + SystemMessage(static_cast<DWORD>(error)),
               MB_OK | MB_ICONWARNING);
    }
    return *chosen;
}

bool GameRunner::PlayAnyway(const Game& game) {
    LoadOrderReport report;
    try {
        report = BuildLoadOrder(game);
    } catch (const AppError&) {
        return true;  // nothing to name: the game will say what it finds
    }
    if (report.problems.empty()) return true;
    std::wstring text = L"Load Order finds these problems:\r\n";
    for (const LoadProblem& problem : report.problems) text += L"\r\n" + problem.archive + L": " + problem.problem;
    return MsgBox(text + L"\r\n\r\nPlay anyway?", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void GameRunner::Ended() {
    UnwatchHandle(game_.get());
    game_.Reset();
    RefuseChanges({});
    changed_(false);
}
