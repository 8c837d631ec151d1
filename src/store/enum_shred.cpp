#include "store/enum_shred.h"

#include <cstring>
#include <unordered_set>

#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vz {

TypeInfo PortableTypeInfo(const std::string& storedPath, std::uint32_t attributes) {
  if (attributes & kAttrDirectory) return {"File Folder", 3};
  struct Known {
    const char* ext;
    const char* type;
    int icon;
  };
  static const Known kKnown[] = {
      {".TXT", "Text Document", 1},       {".LOG", "Text Document", 1},  {".DOC", "Word Document", 2},
      {".DOCX", "Word Document", 2},      {".PDF", "PDF Document", 4},   {".JPG", "JPEG Image", 5},
      {".JPEG", "JPEG Image", 5},         {".PNG", "PNG Image", 5},      {".ZIP", "Compressed Folder", 6},
      {".EXE", "Application", 7},         {".HTM", "HTML Document", 8},  {".HTML", "HTML Document", 8},
      {".XLS", "Excel Worksheet", 9},     {".XLSX", "Excel Worksheet", 9}, {".INI", "Configuration Settings", 1},
  };
  // The extension of the stored name is the item's own (C1.doc).
  std::string ext = ToUpper(ExtensionOf(storedPath));
  for (const auto& k : kKnown)
    if (ext == k.ext) return {k.type, k.icon};
  if (ext.size() > 1) return {ext.substr(1) + " File", 0};
  return {"File", 0};
}

namespace {

// The live sound records of every store, without repeated stored paths.
std::vector<ShredItemRecord> LiveRecords() {
  std::vector<ShredItemRecord> live;
  std::unordered_set<std::string> seen;
  for (char d : GetFixedDrives()) {
    auto records = ReadIndex(d);
    if (!records) continue;
    for (auto& r : *records) {
      // A damaged record names nothing that may be shown as an item.
      if (!r.Sound() || !Exists(r.storedPath)) continue;
      if (!seen.insert(ToUpper(r.storedPath)).second) continue;
      live.push_back(std::move(r));
    }
  }
  return live;
}

}  // namespace

std::vector<StoredItem> ListStoredItems(const TypeInfoProvider& info) {
  std::vector<StoredItem> items;
  for (const auto& r : LiveRecords()) {
    StoredItem item;
    item.originalPath = r.originalPath;
    item.storedPath = r.storedPath;
    item.displayName = FileNamePart(r.originalPath);
    std::uint32_t attributes = Plat().GetAttributes(r.storedPath).value_or(0);
    TypeInfo t = info ? info(r.storedPath, attributes) : PortableTypeInfo(r.storedPath, attributes);
    item.typeName = t.typeName.substr(0, kTypeNameMax - 1);
    item.iconIndex = t.iconIndex;
    items.push_back(std::move(item));
  }
  return items;
}

std::optional<ShredItemId> ToShredItemId(const StoredItem& item) {
  ShredItemId id{};
  if (!SetField(id.originalPath, item.originalPath) || !SetField(id.storedPath, item.storedPath)) return std::nullopt;
  FillItemFields(id, [&](const std::string&, std::uint32_t) { return TypeInfo{item.typeName, item.iconIndex}; });
  return id;
}

ShredEnumeration::ShredEnumeration() {
  for (const auto& r : LiveRecords()) {
    ShredItemId item{};
    if (SetField(item.originalPath, r.originalPath) && SetField(item.storedPath, r.storedPath)) items_.push_back(item);
  }
  // What a vaporize did not finish, and what lost its record, is shown too
  // (without an original path, which it no longer has), so that nothing in
  // a store is hidden and Vaporize selected can finish it.
  for (const auto& l : ListLeftovers()) {
    ShredItemId item{};
    if (!l.temporary && SetField(item.storedPath, l.storedPath)) items_.push_back(item);
  }
}

void FillItemFields(ShredItemId& item, const TypeInfoProvider& info) {
  std::string stored = GetField(item.storedPath);
  std::uint32_t attributes = Plat().GetAttributes(stored).value_or(0);
  TypeInfo t = info ? info(stored, attributes) : PortableTypeInfo(stored, attributes);
  const std::string original = GetField(item.originalPath);
  if (original.empty()) t.typeName = LeftoverType(FileNamePart(stored));  // a leftover
  SetField(item.typeName, CutToCharacters(t.typeName, kTypeNameMax - 1));
  item.iconIndex = t.iconIndex;
  SetField(item.displayName, FileNamePart(original.empty() ? stored : original));
  std::int64_t size = GetItemSize(stored);
  item.size = size < 0 ? kFolderSize : static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) & 0xFFFFFFFFu);
}

std::optional<ShredItemId> ShredEnumeration::Next(const TypeInfoProvider& info) {
  if (position_ >= items_.size()) return std::nullopt;
  ShredItemId item = items_[position_++];
  FillItemFields(item, info);
  return item;
}

bool ShredEnumeration::Skip(std::uint64_t count) {
  std::uint64_t target = static_cast<std::uint64_t>(position_) + count;
  if (target < items_.size()) {
    position_ = static_cast<std::size_t>(target);
    return true;
  }
  position_ = items_.size();
  return false;
}

}  // namespace vz
