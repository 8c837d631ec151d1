#include "common/report_text.h"

#include <algorithm>
#include <vector>

#include "common/ui.h"

namespace vz {
namespace {

constexpr std::size_t kPathKeep = 120;  // characters of a path a line shows

// Where each character of UTF-8 text begins: never inside one, whatever
// its script.
std::vector<std::size_t> CharacterStarts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  return starts;
}

std::string Shortened(const std::string& path) {
  std::vector<std::size_t> starts = CharacterStarts(path);
  if (starts.size() <= kPathKeep) return path;
  // The drive and the item's own name say the most; the middle goes.
  const std::size_t head = kPathKeep / 3, tail = kPathKeep - head - 3;
  return path.substr(0, starts[head]) + "..." + path.substr(starts[starts.size() - tail]);
}

}  // namespace

std::string ProblemText(const Report& report, const std::string& undoneVerb, std::size_t maxLines, bool withWarnings) {
  std::vector<const ItemReport*> problems, warned;
  for (const auto& i : report.Items()) {
    if (i.outcome != Outcome::Done && !i.declined) problems.push_back(&i);
    if (withWarnings && i.outcome == Outcome::Done && !i.warning.empty()) warned.push_back(&i);
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

std::vector<DriveWarning> DriveWarnings(const Report& report) {
  std::vector<DriveWarning> out;
  for (const auto& i : report.Items()) {
    if (i.outcome != Outcome::Done || i.warning.empty()) continue;
    const Destruction* d = i.destruction ? &*i.destruction : nullptr;
    // A volume that cannot tell itself apart is known by its drive letter.
    const std::string drive = d ? d->volume : i.path.substr(0, 2);
    const std::string id = d && !d->volumeId.empty() ? d->volumeId : drive;
    auto it = std::find_if(out.begin(), out.end(), [&](const DriveWarning& w) {
      return w.drive == drive && w.volumeId == id && w.text == i.warning;
    });
    if (it == out.end()) it = out.insert(out.end(), {drive, id, i.warning, 0});
    ++it->items;
  }
  return out;
}

std::string DriveWarningText(const DriveWarning& w, const std::string& undoneVerb) {
  return w.drive + " " + std::to_string(w.items) + (w.items == 1 ? " item was " : " items were ") + undoneVerb +
         " with a warning: " + w.text;
}

void TellProblems(const Report& report, const std::string& undoneVerb) {
  std::string text = ProblemText(report, undoneVerb, 10, false);
  std::vector<DriveWarning> warnings = DriveWarnings(report);
  if (!text.empty() || !warnings.empty()) Ui().TellWarnings(text, warnings, undoneVerb);
}

}  // namespace vz
