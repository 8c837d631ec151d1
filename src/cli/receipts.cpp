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
  ReceiptCheck c = VerifyReceipt(*text);
  if (c.broken) {
    std::cout << Printable(file) << ": line " << c.broken << " is broken: " << c.why << "\n";
    return kExitItems;
  }
  std::cout << Printable(file) << ": " << c.lines << (c.lines == 1 ? " line" : " lines")
            << ", each as it was written and in the order it was written\n";
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
  auto key = UserSecretKey(&why);
  if (!key) {
    std::cerr << "vaporizer: " << Printable(why) << "\n";
    return kExitItems;
  }
  ReceiptCheck c = VerifyReceipt(*text);
  if (c.broken)
    std::cout << "note: line " << c.broken << " of the receipt is broken (" << c.why
              << "): what it and the lines after it say cannot be trusted\n";
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
