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

ShredEnumeration::ShredEnumeration() {
  std::unordered_set<std::string> seen;
  for (char d : GetFixedDrives()) {
    auto records = ReadIndex(d);
    if (!records) continue;
    for (const auto& r : *records) {
      // A damaged record names nothing that may be shown as an item.
      if (!r.Sound()) continue;
      ShredItemId item{};
      if (!SetField(item.originalPath, r.originalPath) || !SetField(item.storedPath, r.storedPath)) continue;
      if (!Exists(r.storedPath)) continue;
      if (!seen.insert(ToUpper(r.storedPath)).second) continue;
      items_.push_back(item);
    }
  }
}

void FillItemFields(ShredItemId& item, const TypeInfoProvider& info) {
  std::string stored = GetField(item.storedPath);
  std::uint32_t attributes = Plat().GetAttributes(stored).value_or(0);
  TypeInfo t = info ? info(stored, attributes) : PortableTypeInfo(stored, attributes);
  std::string type = t.typeName.substr(0, kTypeNameMax - 1);
  SetField(item.typeName, type, kTypeNameMax);
  item.iconIndex = t.iconIndex;
  SetField(item.displayName, FileNamePart(GetField(item.originalPath)));
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
