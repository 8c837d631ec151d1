// What an operation did with each item it was given. The shell ignores it
// where nothing is to be shown; the companion program prints it.
#pragma once

#include <string>
#include <vector>

namespace vz {

enum class Outcome { Done, Skipped, Failed };

struct ItemReport {
  std::string path;     // the item as the caller named it
  Outcome outcome = Outcome::Done;
  std::string action;   // what was done: "sent", "vaporized", "restored", ...
  std::string detail;   // why it was skipped or failed; empty when done
  std::string target;   // where it went (stored path, restored path), if anywhere
  std::string warning;  // what the user should know although it was done; empty when nothing
  bool declined = false;  // skipped because the user answered No
};

class Report {
 public:
  void Done(std::string path, std::string action, std::string target = {});
  void Skipped(std::string path, std::string why);
  // Skipped at the user's own answer.
  void Declined(std::string path, std::string why);
  void Failed(std::string path, std::string why);
  void Append(const Report& other);
  // Puts a warning on the item reported last; an empty one changes nothing.
  void Warn(std::string warning);
  // What the user should know about the operation as a whole rather than
  // one item: a setting that could not be used as it is stored.
  void Note(std::string note);
  const std::vector<std::string>& Notes() const { return notes_; }

  const std::vector<ItemReport>& Items() const { return items_; }
  bool AllDone() const;
  std::size_t Count(Outcome o) const;
  const ItemReport* Find(const std::string& path) const;

 private:
  std::vector<ItemReport> items_;
  std::vector<std::string> notes_;
};

}  // namespace vz
