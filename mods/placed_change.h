#pragma once
// A change whose archives lie in more than one place of the game (the managed
// folder, its VirtualStore copy, the per-user folder): each place's steps run
// under that place's own journal, and a place that fails takes back the
// renames of the places done before it. Names are qualified as Game names
// them ("VirtualStore\main\x.pk3"); a change of the managed folder alone runs
// exactly as RunChange runs it.
#include "core/transaction.h"
#include "games/game.h"

ChangeOutcome RunPlacedChange(const Game& game, const ChangePlan& plan);
