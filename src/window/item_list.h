// The rows of the Vaporizer folder's list and the texts of its status
// line: what each column shows for a stored item, and the object count and
// size of the whole list or of the selection.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/dostime.h"
#include "store/item_id.h"
#include "store/store.h"

namespace vz {

constexpr int kListColumnCount = 5;
struct ListColumn {
  const char* caption;
  int width;
  bool rightAligned;
};
constexpr ListColumn kListColumns[kListColumnCount] = {{"Name", 125, false},
                                                       {"Original location", 150, false},
                                                       {"Date Deleted", 130, false},
                                                       {"Type", 100, false},
                                                       {"Size", 40, true}};

// One row of the list, read from a stored item's identifier and its stored
// file as they are now.
struct ListRow {
  ShredItemId id{};          // the row's own copy
  std::string caption;       // column 1: the display name
  std::string columns[4];    // columns 2 to 5
  int iconIndex = 0;
  bool isFile = false;       // the stored path names an existing file
  std::int64_t bytes = 0;    // its size; 0 for a folder or a file that has gone
};
ListRow MakeListRow(const ShredItemId& id);

// Column 5: bytes / 1024 rounded to the nearest whole number, halves to
// even, at least 1, then " KBytes".
std::string SizeColumnText(std::int64_t bytes);
// Column 3: the raw last-write time at DOS resolution as the locale's short
// date, a blank and its short time; empty when a DOS date cannot hold it.
std::string DateDeletedText(const CivilTime& rawWriteTime);

// Status part 1: "999 Bytes", "1.56 KBytes" (up to 1,048,576 bytes
// inclusive), "3.00 MBytes"; two decimals with the given separator.
std::string StatusSizeText(std::int64_t bytes, const std::string& decimalSeparator = ".");

// The four counters behind the status line. Sizes are 64-bit so a list of
// large files never shows a negative total.
class ListCounters {
 public:
  // A new filling: everything back to zero.
  void Reset() { *this = ListCounters(); }
  // A row added by the filling.
  void Listed(const ListRow& row);
  void SetItemCount(int count) { itemCount_ = count; }
  // A row whose selection changed; neither counter goes below zero.
  void SelectionChanged(std::int64_t rowBytes, bool selected);
  void ClearSelection() {
    selectedCount_ = 0;
    selectedBytes_ = 0;
  }

  int ItemCount() const { return itemCount_; }
  std::int64_t TotalBytes() const { return totalBytes_; }
  int SelectedCount() const { return selectedCount_; }
  std::int64_t SelectedBytes() const { return selectedBytes_; }

  // Status part 0: "Selected: 2" while something is selected, else
  // "Objects: 5"; part 1: the size of the same.
  std::string CountText() const;
  std::string SizeText(const std::string& decimalSeparator = ".") const;

 private:
  int itemCount_ = 0;
  std::int64_t totalBytes_ = 0;
  int selectedCount_ = 0;
  std::int64_t selectedBytes_ = 0;
};

// Where a caption goes among captions already sorted by `less`: after every
// caption that is not greater, so equal names keep their listing order.
std::size_t SortedPosition(const std::vector<std::string>& sorted, const std::string& caption,
                           const std::function<bool(const std::string&, const std::string&)>& less);
std::size_t SortedPosition(const std::vector<std::wstring>& sorted, const std::wstring& caption,
                           const std::function<bool(const std::wstring&, const std::wstring&)>& less);

// The order of two stored items by a column of the list (0 name, 1 original
// location, 2 date deleted, 3 type, 4 size), the stored path deciding
// between equals: negative, 0 (the same stored item) or positive. Texts
// compare without letter case; date and size are the stored items' own as
// they are now, a folder's or a vanished item's size below every file's.
// A column outside 0 to 4 compares the stored paths alone.
int CompareItems(const ShredItemId& a, const ShredItemId& b, int column);

// The trimmed paths of the chosen rows, in the order given.
std::vector<ShredItemRecord> RecordsOf(const std::vector<const ShredItemId*>& items);

}  // namespace vz
