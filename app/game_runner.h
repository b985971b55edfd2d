#pragma once
// Play: starts the game from its folder and waits for it to end. While it
// runs it holds its archives, and the transaction layer refuses every change.
#include <windows.h>

#include <functional>
#include <string>

#include "core/handles.h"
#include "games/game.h"

class GameRunner {
public:
    // Told when the game starts (true) and when it ends (false).
    explicit GameRunner(std::function<void(bool running)> changed) : changed_(std::move(changed)) {}
    ~GameRunner();
    GameRunner(const GameRunner&) = delete;
    GameRunner& operator=(const GameRunner&) = delete;

    bool Playing() const { return game_.valid(); }
    // Starts the game with these words after its program on the command line,
    // after asking for the program if none is known, and about Load Order's problems.
    void Play(HWND owner, const Game& game, const std::wstring& arguments);
    // Asks for the game program and keeps the choice; empty when the player cancels.
    std::wstring ChooseProgram(HWND owner, const Game& game);

private:
    // The problems that Load Order finds, in one question; true to play.
    static bool PlayAnyway(const Game& game);
    void Ended();

    std::function<void(bool running)> changed_;
    ProcessHandle game_;
};
