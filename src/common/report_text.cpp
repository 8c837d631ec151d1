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
  std::vector<const ItemReport*> problems;
  for (const auto& i : report.Items())
    if (i.outcome != Outcome::Done && !i.declined) problems.push_back(&i);
  if (problems.empty()) return {};

  std::string text = std::to_string(problems.size()) + (problems.size() == 1 ? " item" : " items") +
                     " could not be " + undoneVerb + ":\n";
  std::size_t shown = 0;
  for (const ItemReport* i : problems) {
    if (shown == maxLines) break;
    text += (i->outcome == Outcome::Failed ? "\nfailed: " : "\nskipped: ") + Shortened(i->path) + ": " + i->detail;
    ++shown;
  }
  if (shown < problems.size()) text += "\n...and " + std::to_string(problems.size() - shown) + " more.";
  return text;
}

void TellProblems(const Report& report, const std::string& undoneVerb) {
  std::string text = ProblemText(report, undoneVerb);
  if (!text.empty()) Ui().TellProblems(text);
}

}  // namespace vz
