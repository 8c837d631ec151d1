// This account's store on a drive: the checks it passes before anything
// is read from it or written through it, its making, and the move of a
// store of the earlier layout (items and index directly in the drive's
// store folder, shared by every account) into it.
#pragma once

#include <string>

#include "common/report.h"

namespace vz {

// Why this account's store on the drive may not be used, with the way out;
// empty when it may. The drive's store folder must be a folder (no link)
// in which nobody but its owner may take away what an account keeps; this
// account's store a folder (no link) of its own that nobody else may
// change, and its index and desktop.ini, where present, regular files of
// its own that nobody else may change. A store of this account's that
// others may only read is made private first.
std::string StoreProblem(char drive);

// Why a store that is there is not used: StoreProblem's answer, except
// that a store not made yet is no refusal. Empty otherwise.
std::string StoreRefusal(char drive);

// Makes or repairs the store (its folder, index and desktop.ini), then
// moves a store of the earlier layout into it when this account owns that
// one's index. Returns StoreProblem's answer.
std::string EnsureOwnStore(char drive);

// Moves the earlier layout's store on the drive into this account's store
// when this account owns its index, as one account's store always was its
// owner's: every record with its item, under both stores' locks. Each
// item's record is written to the new index and flushed before the item
// is renamed (keeping its stored name where that is free), and the old
// index loses its records only after their items moved, so a crash at any
// point loses nothing, lists nothing twice, and the next run finishes the
// move. Records of items that are gone are dropped; damaged records are
// carried over as they are, to be shown as before. What it did is reported
// per item (nothing when there was nothing to move).
Report MoveEarlierStore(char drive);

}  // namespace vz
