#include "common/report_text.h"

#include <vector>

#include "common/ui.h"

namespace vz {
namespace {

constexpr std::size_t kPathKeep = 120;  // characters of a path a line shows

std::string Shortened(const std::string& path) {
  if (path.size() <= kPathKeep) return path;
  // The drive and the item's own name say the most; the middle goes.
  const std::size_t head = kPathKeep / 3, tail = kPathKeep - head - 3;
  return path.substr(0, head) + "..." + path.substr(path.size() - tail);
}

}  // namespace

std::string ProblemText(const Report& report, const std::string& undoneVerb, std::size_t maxLines) {
  std::vector<const ItemReport*> problems, warned;
  for (const auto& i : report.Items()) {
    if (i.outcome != Outcome::Done && !i.declined) problems.push_back(&i);
    if (i.outcome == Outcome::Done && !i.warning.empty()) warned.push_back(&i);
  }
  auto count = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " item" : " items"); };
  // The notes concern every item, so they come first and whole.
  std::string text;
  for (const auto& n : report.Notes()) text += (text.empty() ? "" : "\n") + n;
  std::size_t shown = 0;
  auto list = [&](const std::vector<const ItemReport*>& items, const std::string& heading) {
    if (items.empty() || shown == maxLines) return;
    text += (text.empty() ? "" : "\n\n") + heading + "\n";
    for (const ItemReport* i : items) {
      if (shown == maxLines) break;
      const char* kind = i->outcome == Outcome::Failed ? "\nfailed: " : i->outcome == Outcome::Skipped ? "\nskipped: "
                                                                                                      : "\nwarning: ";
      text += kind + Shortened(i->path) + ": " + (i->outcome == Outcome::Done ? i->warning : i->detail);
      ++shown;
    }
  };
  list(problems, count(problems.size()) + " could not be " + undoneVerb + ":");
  // Done, but the user should know: an overwrite that cannot be relied on.
  list(warned, count(warned.size()) + (warned.size() == 1 ? " was " : " were ") + undoneVerb + " with a warning:");
  if (shown < problems.size() + warned.size())
    text += "\n...and " + std::to_string(problems.size() + warned.size() - shown) + " more.";
  return text;
}

void TellProblems(const Report& report, const std::string& undoneVerb) {
  std::string text = ProblemText(report, undoneVerb);
  if (!text.empty()) Ui().TellProblems(text);
}

}  // namespace vz
