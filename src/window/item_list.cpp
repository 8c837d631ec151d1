#include "window/item_list.h"

#include <algorithm>

#include "common/text.h"
#include "platform/platform.h"
#include "window/date_text.h"

namespace vz {

ListRow MakeListRow(const ShredItemId& id) {
  ListRow row;
  row.id = id;
  row.caption = GetField(id.displayName);
  row.iconIndex = id.iconIndex;
  row.columns[2] = GetField(id.typeName);
  std::string stored = Trim(GetField(id.storedPath));
  auto entry = stored.empty() ? std::nullopt : Plat().FindEntry(stored);
  if (entry && !(entry->attributes & kAttrDirectory)) {
    row.isFile = true;
    row.bytes = entry->size > 0 ? entry->size : 0;
    row.columns[0] = FolderPart(Trim(GetField(id.originalPath)));
    row.columns[1] = DateDeletedText(entry->written);
    row.columns[3] = SizeColumnText(row.bytes);
  }
  return row;
}

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }
int CompareText(const std::string& a, const std::string& b) { return Sign(ToUpper(a).compare(ToUpper(b))); }
template <class T>
int CompareValues(const T& a, const T& b) {
  return (b < a) - (a < b);
}

// What the list shows of a stored item in columns 2 and 4: its last-write
// time and its size (-1 for a folder or an item that has gone).
struct StoredFacts {
  CivilTime written;
  std::int64_t size = -1;
};
StoredFacts FactsOf(const ShredItemId& id) {
  StoredFacts f;
  std::string stored = Trim(GetField(id.storedPath));
  auto entry = stored.empty() ? std::nullopt : Plat().FindEntry(stored);
  if (!entry) return f;
  f.written = entry->written;
  if (!(entry->attributes & kAttrDirectory)) f.size = entry->size > 0 ? entry->size : 0;
  return f;
}

int CompareTimes(const CivilTime& a, const CivilTime& b) {
  const int x[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const int y[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  for (int i = 0; i < 6; ++i)
    if (x[i] != y[i]) return CompareValues(x[i], y[i]);
  return 0;
}

}  // namespace

int CompareItems(const ShredItemId& a, const ShredItemId& b, int column) {
  int r = 0;
  switch (column) {
    case 0: r = CompareText(GetField(a.displayName), GetField(b.displayName)); break;
    case 1:
      r = CompareText(FolderPart(Trim(GetField(a.originalPath))), FolderPart(Trim(GetField(b.originalPath))));
      break;
    case 2: r = CompareTimes(FactsOf(a).written, FactsOf(b).written); break;
    case 3: r = CompareText(GetField(a.typeName), GetField(b.typeName)); break;
    case 4: r = CompareValues(FactsOf(a).size, FactsOf(b).size); break;
    default: break;
  }
  if (r == 0 && column >= 1 && column <= 4) r = CompareText(GetField(a.displayName), GetField(b.displayName));
  return r != 0 ? r : CompareText(Trim(GetField(a.storedPath)), Trim(GetField(b.storedPath)));
}

std::string SizeColumnText(std::int64_t bytes) {
  if (bytes < 0) bytes = 0;
  std::int64_t k = bytes / 1024, rest = bytes % 1024;
  if (rest > 512 || (rest == 512 && k % 2 == 1)) ++k;
  if (k < 1) k = 1;
  return ToDecimal(k) + " KBytes";
}

std::string DateDeletedText(const CivilTime& rawWriteTime) {
  auto t = TruncateToDos(rawWriteTime);
  if (!t) return {};
  std::string date = DateTimeText(*t, DateStyle::ShortDate);
  std::string time = DateTimeText(*t, DateStyle::ShortTime);
  if (date.empty() || time.empty()) return {};
  return date + " " + time;
}

namespace {
// n / unit with two decimals, rounded half away from zero as a decimal
// format rounds; n is never negative here.
std::string TwoDecimals(std::int64_t n, std::int64_t unit, const std::string& separator) {
  // n < 2^63 / 100 for every size a file system reports.
  std::int64_t hundredths = (n * 100 + unit / 2) / unit;
  std::string frac = ToDecimal(hundredths % 100);
  if (frac.size() < 2) frac = "0" + frac;
  return ToDecimal(hundredths / 100) + separator + frac;
}
}  // namespace

std::string StatusSizeText(std::int64_t bytes, const std::string& decimalSeparator) {
  constexpr std::int64_t kKilo = 1024, kMega = 1048576;
  if (bytes < 0) bytes = 0;
  if (bytes < kKilo) return ToDecimal(bytes) + " Bytes";
  if (bytes <= kMega) return TwoDecimals(bytes, kKilo, decimalSeparator) + " KBytes";
  return TwoDecimals(bytes, kMega, decimalSeparator) + " MBytes";
}

void ListCounters::Listed(const ListRow& row) {
  if (row.isFile) totalBytes_ += row.bytes;
}

void ListCounters::SelectionChanged(std::int64_t rowBytes, bool selected) {
  if (rowBytes < 0) rowBytes = 0;
  if (selected) {
    ++selectedCount_;
    selectedBytes_ += rowBytes;
  } else {
    selectedCount_ = std::max(0, selectedCount_ - 1);
    selectedBytes_ = std::max<std::int64_t>(0, selectedBytes_ - rowBytes);
  }
}

std::string ListCounters::CountText() const {
  if (selectedCount_ >= 1) return "Selected: " + ToDecimal(selectedCount_);
  return "Objects: " + ToDecimal(itemCount_);
}

std::string ListCounters::SizeText(const std::string& decimalSeparator) const {
  return StatusSizeText(selectedCount_ >= 1 ? selectedBytes_ : totalBytes_, decimalSeparator);
}

namespace {
template <class Text>
std::size_t UpperBound(const std::vector<Text>& sorted, const Text& caption,
                       const std::function<bool(const Text&, const Text&)>& less) {
  return static_cast<std::size_t>(std::upper_bound(sorted.begin(), sorted.end(), caption, less) - sorted.begin());
}
}  // namespace

std::size_t SortedPosition(const std::vector<std::string>& sorted, const std::string& caption,
                           const std::function<bool(const std::string&, const std::string&)>& less) {
  return UpperBound(sorted, caption, less);
}

std::size_t SortedPosition(const std::vector<std::wstring>& sorted, const std::wstring& caption,
                           const std::function<bool(const std::wstring&, const std::wstring&)>& less) {
  return UpperBound(sorted, caption, less);
}

std::vector<ShredItemRecord> RecordsOf(const std::vector<const ShredItemId*>& items) {
  std::vector<ShredItemRecord> records;
  records.reserve(items.size());
  for (const ShredItemId* id : items) records.push_back({Trim(GetField(id->originalPath)), Trim(GetField(id->storedPath))});
  return records;
}

}  // namespace vz
