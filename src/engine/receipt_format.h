// The form of a receipt's lines, shared by the writer and the check.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "common/report.h"
#include "engine/receipt.h"
#include "platform/platform.h"

namespace vz::receipt_form {

using json = nlohmann::ordered_json;

inline const std::string kNoLine(64, '0');  // "prev" of a file's first line
// Keyed lines end with their chain value, lines of the earlier form with
// their plain hash: a 64-digit member at the very end.
constexpr const char* kChainMember = ",\"chain\":\"";
constexpr const char* kHashMember = ",\"hash\":\"";
constexpr std::size_t kTail = 10 + 64 + 2;      // ,"chain":"<64 hex>"}
constexpr std::size_t kHashTail = 9 + 64 + 2;   // ,"hash":"<64 hex>"}
constexpr const char* kAnchorsName = "receipt-anchors.jsonl";

inline std::string Hex(const std::optional<Digest>& d) { return d ? HexOf(*d) : std::string(); }

inline std::string Str(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}
inline std::size_t Count(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_number_unsigned() ? it->get<std::size_t>() : static_cast<std::size_t>(-1);
}

// The key the chain is made with: drawn from the user's secret, so that a
// chain value tells nothing that a path's keyed hash would.
inline std::string ChainKey(const std::string& key) {
  auto d = HmacSha256(key, "vaporizer receipt chain");
  return d ? std::string(d->begin(), d->end()) : std::string();
}
inline std::string ChainValue(const std::string& chainKey, const std::string& body) {
  return Hex(HmacSha256(chainKey, body));
}

// What a line of the earlier form hands on as "prev", and what a line that
// cannot be read hands on: the plain hash of the whole line.
inline std::string PlainValue(const std::string& line) { return Hex(Sha256(line)); }

// The facts of an item's line and of a run's line, before the members
// that chain them (key, run, version, prev, chain).
json ItemLine(const ItemReport& i, const std::string& key);
json RunLine(const Report& report, const ReceiptRun& run);

// The receipt a file is: the plain hash of its first line.
inline std::string ReceiptIdOf(const std::string& firstLine) { return Hex(Sha256(firstLine)); }

}  // namespace vz::receipt_form
