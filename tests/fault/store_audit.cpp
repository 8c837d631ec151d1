#include "fault/store_audit.h"

#include "common/text.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/store.h"

namespace vz::test {
namespace {

constexpr const char* kMarkerStart = "vz item ";

void Walk(const std::string& dir, Audit& a) {
  std::vector<DirEntry> entries;
  if (!Plat().ListDirectory(dir, entries)) return;
  for (const auto& e : entries) {
    std::string path = dir + e.name;
    if (e.attributes & kAttrDirectory) {
      if (!(e.attributes & kAttrReparsePoint)) Walk(path + "\\", a);
      continue;
    }
    auto text = Plat().ReadWholeFile(path);
    if (!text || text->compare(0, 8, kMarkerStart) != 0) continue;
    std::string head = text->substr(8, text->find("\r\n") - 8);
    std::size_t bar = head.find('|');
    if (bar == std::string::npos) continue;
    a.markers.push_back({head.substr(0, bar), head.substr(bar + 1), path});
  }
}

}  // namespace

std::string MarkerContent(const std::string& original, const std::string& part) {
  // Long enough to span more than one write block of a torn write.
  return kMarkerStart + original + "|" + part + "\r\n" + std::string(3000, 'm');
}

std::vector<FoundMarker> Audit::Of(const std::string& original) const {
  std::vector<FoundMarker> out;
  for (const auto& m : markers)
    if (m.original == original) out.push_back(m);
  return out;
}

const ShownItem* Audit::ShownAt(const std::string& stored) const {
  for (const auto& s : shown)
    if (EqualsNoCase(Trim(s.stored), stored)) return &s;
  return nullptr;
}

std::string StoreTopOf(const std::string& path) { return StoredItemOf(path); }

std::vector<std::string> ShownItems() {
  std::vector<std::string> out;
  ShredEnumeration e;
  while (auto id = e.Next(PortableTypeInfo)) out.push_back(GetField(id->originalPath) + " -> " + GetField(id->storedPath));
  return out;
}

Audit TakeAudit() {
  Audit a;
  // C: holds no test item, only a store; under Wine it is also the
  // prefix's Windows folder, far too big to read through on every run.
  for (const char* root : {"C:\\VAPORIZE\\", "D:\\", "E:\\"}) Walk(root, a);
  ShredEnumeration items;
  while (auto id = items.Next(PortableTypeInfo))
    a.shown.push_back({GetField(id->originalPath), GetField(id->storedPath)});
  for (char d : GetFixedDrives()) {
    std::vector<DirEntry> entries;
    if (!Plat().ListDirectory(StoreDirOf(d), entries)) continue;
    for (const auto& e : entries) {
      if (e.name == kIndexName || e.name == kDesktopIniName) continue;
      std::string path = StoreDirOf(d) + "\\" + e.name;
      if (IsStoreTemporary(e.name)) {
        a.temporaries.push_back(path);
        continue;
      }
      a.storeEntries.push_back(path);
      if (!a.ShownAt(path)) a.unshownStoreEntries.push_back(path);
    }
  }
  return a;
}

}  // namespace vz::test
