#pragma once
// A change whose archives lie in more than one place of the game (the managed
// folder, its VirtualStore copy, the per-user folder): each place's steps run
// under that place's own journal, as one group whose record in the managed
// folder is its one commit point; a place that fails, or a stop anywhere,
// puts every place back. Names are qualified as Game names
// them ("VirtualStore\main\x.pk3"); a change of the managed folder alone runs
// exactly as RunChange runs it.
#include "core/transaction.h"
#include "games/game.h"

ChangeOutcome RunPlacedChange(const Game& game, const ChangePlan& plan);
// Where the records of the game's changes over several places lie: its managed folder.
std::wstring GroupRecordFolder(const Game& game);
