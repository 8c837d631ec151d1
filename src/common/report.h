// What an operation did with each item it was given. The shell ignores it
// where nothing is to be shown; the companion program prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vz {

enum class Outcome { Done, Skipped, Failed };

// How a file, folder or link was destroyed: for the report's readers and
// for receipts.
struct Destruction {
  std::string original;  // where the item was before it was sent (or where it was shredded)
  std::string kind = "file";  // "file", "folder", "link"
  std::int64_t size = -1;     // bytes; -1 for a folder or when unknown
  int passes = 0;             // passes that reached the device
  int fill = 0;
  bool flushed = false;       // every pass was flushed to the device
  std::optional<bool> verified;  // read back and compared; unset when not asked
  std::string verify;            // what the read-back found, or why there was none
  std::optional<bool> trimmed;   // its blocks were handed back to the device; unset when not tried
  std::string trim;              // "trimmed", or why not
  std::string volume;            // "C:"
  std::string volumeId;          // which volume that is
  std::string reach, reachWhy;   // the medium's verdict on overwriting in place, and why
  std::string started, finished; // UTC, ISO 8601
};

struct ItemReport {
  std::string path;     // the item as the caller named it
  Outcome outcome = Outcome::Done;
  std::string action;   // what was done: "sent", "vaporized", "restored", ...
  std::string detail;   // why it was skipped or failed; empty when done
  std::string target;   // where it went (stored path, restored path), if anywhere
  std::string warning;  // what the user should know although it was done; empty when nothing
  bool declined = false;  // skipped because the user answered No
  std::optional<Destruction> destruction;  // what was done to it, where something was
};

// The medium's warning of the items done on one drive, told once for them
// all.
struct DriveWarning {
  std::string drive;     // "C:"
  std::string volumeId;  // which volume that is, as remembered for "Don't tell me again"
  std::string text;      // the warning
  std::size_t items = 0;
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
  // Tells how the item reported last was destroyed.
  void Describe(Destruction d);
  ItemReport& Last() { return items_.back(); }
  std::vector<ItemReport>& MutableItems() { return items_; }
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
