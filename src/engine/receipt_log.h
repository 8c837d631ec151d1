// A run's receipt in the system's log, where the policy or the user's
// settings ask for it: the facts of the receipt's item and run lines as
// records (platform/system_log.h), whatever receipt files are kept. Paths
// appear only as their keyed hash, unless the policy asks for names.
#pragma once

#include <string>
#include <vector>

#include "common/report.h"
#include "engine/receipt.h"
#include "platform/system_log.h"

namespace vz {

// The fields of each event, in their documented order.
const std::vector<std::string>& ItemLogFields();
const std::vector<std::string>& RunLogFields();

// The records of a run: one per item, in the report's order, then the run.
// key: the user's receipt key; null where there is none (path_hmac and key
// are then empty). names: the item's original path in "path".
std::vector<LogRecord> ReceiptLogRecords(const Report& report, const ReceiptRun& run, const std::string* key,
                                         bool names);

// Writes them to the system's log. Empty when done; else what went wrong.
std::string LogReceipt(const Report& report, const ReceiptRun& run, bool names);

}  // namespace vz
