// Vaporizing a batch of files and folders: one caution question, then every
// file overwritten, stamped, truncated and deleted, then the folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/dostime.h"
#include "common/report.h"
#include "platform/platform.h"
#include "store/intake.h"
#include "store/store.h"

namespace vz {

// The record that an outside caller of ShredAllItems may pass; its byte
// offsets are part of the exported interface.
#pragma pack(push, 1)
struct ShredOptions {
  std::uint16_t Passes;
  std::uint8_t DeleteAfter;
  std::uint8_t FillByte;
  std::uint8_t ShowProgress;
};
#pragma pack(pop)
static_assert(sizeof(ShredOptions) == 5, "ShredOptions is a 5-byte packed record");

// What a run does beyond the passes. Unset values come from the settings
// (Verify, KeepReceipts; the volume trim is always the settings' own).
struct RunOptions {
  std::optional<bool> verify;
  // Receipt files the run is added to, besides the settings' own.
  std::vector<std::string> receipts;
  // What started the run, as its receipt names it.
  std::string command = "vaporize";
  // When not empty, said before the caution question (why these items are
  // vaporized rather than kept).
  std::string cautionWhy;
};

// What the entries of a batch are.
enum class BatchEntries {
  // Files and folders where they are, shown as they are named.
  Paths,
  // Items of the stores, shown under their original paths from the index.
  // An entry that is not one item of a store is refused untouched.
  StoredItems,
};

// options: null for the settings' values. Drive roots, a store itself and
// anything that is not a full path on a drive are refused untouched.
// run: null for the settings alone. A receipt that cannot be written is a
// failed item of the report, under the receipt's own path.
Report VaporizeBatch(std::vector<std::string> list, BatchEntries entries, const ShredOptions* options = nullptr,
                     const RunOptions* run = nullptr);
// Items as the intake checked them (Road::InPlace, or the items of a send
// that go to no store): one that was replaced since is left alone.
Report VaporizeItems(const std::vector<IntakeItem>& items, const ShredOptions* options, const RunOptions* run = nullptr);
// The same with the settings' values: the way sending destroys what it
// cannot store (SetDirectVaporizer). why: said before the caution question.
Report VaporizeDirectItems(const std::vector<IntakeItem>& items, const std::string& why);

// Stored items as a list showed them (original and stored path of each):
// each is vaporized only while its record still pairs the two, so that an
// item which took the name since is never touched. sentDates, when given,
// parallel to items: an item with a date is vaporized only while it still
// carries that date sent, which an item sent again from the same place
// does not. options, run: as above.
Report VaporizeStoredItems(const std::vector<ShredItemRecord>& items, const ShredOptions* options,
                           const RunOptions* run = nullptr,
                           const std::vector<std::optional<CivilTime>>* sentDates = nullptr);

// Every entry of every store but its own files (orphans and leftovers
// included), in drive order.
std::vector<std::string> ListAllStoreEntries();

// Vaporizes every store completely.
Report ShredAllItems(const ShredOptions* options, const RunOptions* run = nullptr);

}  // namespace vz
