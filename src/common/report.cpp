#include "common/report.h"

#include <algorithm>

namespace vz {

void Report::Done(std::string path, std::string action, std::string target) {
  items_.push_back({std::move(path), Outcome::Done, std::move(action), {}, std::move(target), {}, false, {}});
}
void Report::Skipped(std::string path, std::string why) {
  items_.push_back({std::move(path), Outcome::Skipped, "skipped", std::move(why), {}, {}, false, {}});
}
void Report::Declined(std::string path, std::string why) {
  Skipped(std::move(path), std::move(why));
  items_.back().declined = true;
}
void Report::Failed(std::string path, std::string why) {
  items_.push_back({std::move(path), Outcome::Failed, "failed", std::move(why), {}, {}, false, {}});
}
void Report::Append(const Report& other) {
  items_.insert(items_.end(), other.items_.begin(), other.items_.end());
  notes_.insert(notes_.end(), other.notes_.begin(), other.notes_.end());
}
void Report::Note(std::string note) { notes_.push_back(std::move(note)); }
void Report::Warn(std::string warning) {
  if (!warning.empty() && !items_.empty()) items_.back().warning = std::move(warning);
}
void Report::Describe(Destruction d) {
  if (!items_.empty()) items_.back().destruction = std::move(d);
}
bool Report::AllDone() const {
  return std::all_of(items_.begin(), items_.end(),
                     [](const ItemReport& i) { return i.outcome == Outcome::Done; });
}
std::size_t Report::Count(Outcome o) const {
  return static_cast<std::size_t>(std::count_if(
      items_.begin(), items_.end(), [o](const ItemReport& i) { return i.outcome == o; }));
}
const ItemReport* Report::Find(const std::string& path) const {
  for (const auto& i : items_)
    if (i.path == path) return &i;
  return nullptr;
}

}  // namespace vz
