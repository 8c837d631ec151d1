#include "window/properties.h"

#include "common/text.h"
#include "platform/platform.h"
#include "store/store.h"
#include "window/date_text.h"

namespace vz {
namespace {

bool IsLink(std::uint32_t attributes) { return (attributes & kAttrReparsePoint) != 0; }

void FillItem(const ShredItemId& id, PropertiesModel& m) {
  std::string original = Trim(GetField(id.originalPath));
  std::string stored = Trim(GetField(id.storedPath));
  m.hasIcon = true;
  m.iconIndex = id.iconIndex;
  m.fileName = FileNamePart(original);
  m.type = GetField(id.typeName);
  m.folder = FolderPart(original);
  m.msdosName = kNoneAvailable;
  m.created = m.changed = m.opened = kNotDefined;
  m.caption = "Properties: " + m.fileName;

  if (m.kind == PropertiesCase::Folder) {
    FolderContents c = CountFolderContents(stored);
    m.size = SizeText(c.bytes);
    m.showContents = true;
    m.contents = ContentsText(c.folders, c.files);
  } else {
    std::int64_t n = GetItemSize(stored);
    m.size = n < 0 ? std::string(kNotAvailable) : SizeText(n);
    m.showContents = false;
  }

  if (auto e = Plat().FindEntry(stored)) {
    m.changed = PropertyTimeText(e->written);
    m.created = PropertyTimeText(e->created);
    m.opened = PropertyTimeText(e->accessed);
    m.readOnly = e->attributes & kAttrReadOnly;
    m.archive = e->attributes & kAttrArchive;
    m.hidden = e->attributes & kAttrHidden;
    m.system = e->attributes & kAttrSystem;
  }
}

void FillGroup(const std::vector<ShredItemId>& selected, PropertiesModel& m) {
  FolderContents total;
  for (const auto& id : selected) {
    std::string stored = Trim(GetField(id.storedPath));
    if (IsDirectory(stored)) {
      FolderContents c = CountFolderContents(stored);
      total.bytes += c.bytes;
      total.files += c.files;
      total.folders += c.folders;
    } else {
      // A stored file that has vanished adds nothing.
      std::int64_t n = GetItemSize(stored);
      if (n > 0) total.bytes += n;
    }
  }
  m.caption = std::string("Properties: ") + kGroupOfObjects;
  m.fileName = kGroupOfObjects;
  m.type = kGroupType;
  m.folder = kNotApplicable;
  m.size = SizeText(total.bytes);
  m.showContents = true;
  m.contents = ContentsText(total.folders, total.files);
  m.msdosName = m.created = m.changed = m.opened = kNotApplicable;
}

}  // namespace

FolderContents CountFolderContents(const std::string& folder) {
  FolderContents c;
  // Each folder is opened from the one above it, never through a link: a
  // stored link to a folder is not walked either (it would count whatever
  // it points at, perhaps a whole drive), and no path grows with the depth.
  std::string why;
  auto top = Plat().OpenFolder(WithoutTrailingBackslash(folder), &why);
  if (!top) return c;
  struct Level {
    std::unique_ptr<Folder> at;
    std::vector<std::string> folders;  // still to enter
  };
  std::vector<Level> path;
  auto enter = [&](std::unique_ptr<Folder> f) {
    Level level{std::move(f), {}};
    std::vector<DirEntry> entries;
    if (level.at->List(entries))
      for (auto& e : entries) {
        if (e.kind == NodeKind::Folder) {
          ++c.folders;
          level.folders.push_back(std::move(e.name));
          continue;
        }
        ++c.files;
        if (e.kind == NodeKind::File && e.size > 0) c.bytes += e.size;
      }
    path.push_back(std::move(level));
  };
  enter(std::move(top));
  while (!path.empty()) {
    Level& level = path.back();
    if (level.folders.empty()) {
      path.pop_back();
      continue;
    }
    const std::string name = std::move(level.folders.back());
    level.folders.pop_back();
    if (auto sub = level.at->OpenFolder(name, &why)) enter(std::move(sub));
  }
  return c;
}

std::string SizeText(std::int64_t bytes) {
  std::int64_t k = bytes / 1024;
  if (k == 0) k = 1;
  return ToDecimal(k) + " KB (" + ToDecimal(bytes) + " bytes)";
}

std::string ContentsText(std::int64_t folders, std::int64_t files) {
  return ToDecimal(folders) + " folder(s), " + ToDecimal(files) + " file(s)";
}

std::string PropertyTimeText(const CivilTime& raw) {
  auto t = TruncateToDos(raw);
  if (!t) return kNotDefined;
  std::string date = DateTimeText(*t, DateStyle::ShortDate);
  std::string time = DateTimeText(*t, DateStyle::ShortTime);
  if (date.empty() || time.empty()) return kNotDefined;
  return date + " " + time;
}

PropertiesModel BuildPropertiesModel(const std::vector<ShredItemId>& selected) {
  PropertiesModel m;
  if (selected.empty()) {
    m.kind = PropertiesCase::Settings;
    return m;
  }
  if (selected.size() > 1) {
    m.kind = PropertiesCase::Group;
    FillGroup(selected, m);
    return m;
  }
  std::string stored = Trim(GetField(selected[0].storedPath));
  m.kind = IsDirectory(stored) ? PropertiesCase::Folder : PropertiesCase::File;
  FillItem(selected[0], m);
  return m;
}

}  // namespace vz
