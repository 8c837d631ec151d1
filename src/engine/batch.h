// Vaporizing a batch of files and folders: one caution question, then every
// file overwritten, stamped, truncated and deleted, then the folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/dostime.h"
#include "common/report.h"
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
// why: when not empty, said before the caution question (why these items
// are vaporized rather than kept).
Report VaporizeBatch(std::vector<std::string> list, BatchEntries entries, const ShredOptions* options = nullptr,
                     const std::string& why = {});

// Stored items as a list showed them (original and stored path of each):
// each is vaporized only while its record still pairs the two, so that an
// item which took the name since is never touched. sentDates, when given,
// parallel to items: an item with a date is vaporized only while it still
// carries that date sent, which an item sent again from the same place
// does not. options: as above.
Report VaporizeStoredItems(const std::vector<ShredItemRecord>& items, const ShredOptions* options,
                           const std::vector<std::optional<CivilTime>>* sentDates = nullptr);

// Every entry of every store directory except "info.shr" and "desktop.ini"
// (orphans included), in drive order.
std::vector<std::string> ListAllStoreEntries();

// Vaporizes every store completely.
Report ShredAllItems(const ShredOptions* options);

}  // namespace vz
