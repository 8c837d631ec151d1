// `vaporizer receipt verify FILE` and `vaporizer receipt find FILE PATH`.
#include <iostream>

#include "cli/commands.h"
#include "cli/paths.h"
#include "engine/receipt.h"
#include "platform/platform.h"

namespace vz::cli {
namespace {

std::optional<std::string> ReadReceipt(const std::string& file) {
  std::string why;
  auto text = ReadUserFile(file, &why);
  if (!text) std::cerr << "vaporizer: " << Printable(why) << "\n";
  return text;
}

}  // namespace

int ReceiptVerify(const std::string& file) {
  auto text = ReadReceipt(file);
  if (!text) return kExitItems;
  std::string why, anchorsWhy;
  auto key = UserSecretKey(&why, false);
  const auto anchors = key ? UserAnchors(&anchorsWhy) : std::vector<ReceiptAnchor>{};
  ReceiptCheck c = VerifyReceipt(*text, key ? &*key : nullptr, anchors);
  const std::string name = Printable(file);
  if (c.broken) {
    std::cout << name << ": line " << c.broken << " is broken";
    if (c.run) std::cout << " (run " << c.run << ")";
    std::cout << ": " << Printable(c.why) << "\n";
    return kExitItems;
  }
  if (c.missingRun) {
    std::cout << name << ": run " << c.missingRun << " is missing: " << Printable(c.why) << "\n";
    return kExitItems;
  }
  if (c.lines == 0) {
    std::cout << name << ": it holds no line: nothing in it can be verified\n";
    return kExitItems;
  }
  auto lines = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); };
  std::cout << name << ": " << lines(c.lines) << " in " << c.runs << (c.runs == 1 ? " run" : " runs");
  if (c.legacyLines == c.lines) {
    std::cout << ", each as it was written and in the order it was written; it predates keyed chains, so its plain "
                 "hashes show only that no line was changed by accident, not that nobody rewrote it\n";
    return kExitDone;
  }
  if (c.uncheckedLines) {
    std::cout << ": they follow one another and every run is sealed, but " << lines(c.uncheckedLines)
              << " could not be checked: ";
    if (key)
      std::cout << "another key (" << Printable(c.otherKey) << ") made them, not yours\n";
    else
      std::cout << "the key that made them (" << Printable(c.otherKey) << ") is not on this machine (" << Printable(why)
                << "), and only it proves that a line is as it was written\n";
    return kExitItems;
  }
  std::cout << ", each as it was written and in the order it was written, every run sealed";
  if (c.legacyLines) std::cout << " (the first " << lines(c.legacyLines) << " predate keyed chains: plain hashes only)";
  if (c.anchored)
    std::cout << "; it ends with the last run written to it\n";
  else
    std::cout << "; no end of it is recorded beside your key, so whether runs were cut from its end cannot be told\n";
  return kExitDone;
}

int ReceiptFind(const std::string& file, const std::string& path) {
  std::string why;
  auto sys = ToSystem(path, &why);
  if (!sys) {
    std::cerr << "vaporizer: " << Printable(path) << ": " << why << "\n";
    return kExitUsage;
  }
  auto text = ReadReceipt(file);
  if (!text) return kExitItems;
  auto key = UserSecretKey(&why, false);
  if (!key) {
    std::cerr << "vaporizer: " << Printable(why) << "\n";
    return kExitItems;
  }
  std::string anchorsWhy;
  ReceiptCheck c = VerifyReceipt(*text, &*key, UserAnchors(&anchorsWhy));
  if (c.broken)
    std::cout << "note: line " << c.broken << " of the receipt is broken (" << Printable(c.why)
              << "): what it and the lines after it say cannot be trusted\n";
  else if (c.missingRun)
    std::cout << "note: run " << c.missingRun << " of the receipt is missing (" << Printable(c.why) << ")\n";
  std::size_t otherKeys = 0;
  auto hits = FindInReceipt(*text, *sys, *key, &otherKeys);
  bool destroyed = false;
  for (const auto& h : hits) {
    std::cout << Shown(*sys) << ": " << h.action << " (" << h.outcome << ")" << (h.finished.empty() ? "" : " on " + h.finished)
              << ", line " << h.line << "\n";
    destroyed = destroyed || h.outcome == "done";
  }
  if (hits.empty()) {
    std::cout << Shown(*sys) << ": not in the receipt";
    if (otherKeys) std::cout << " (" << otherKeys << " of its item lines were made with another key, which yours cannot search)";
    std::cout << "\n";
  }
  return destroyed ? kExitDone : kExitItems;
}

}  // namespace vz::cli
