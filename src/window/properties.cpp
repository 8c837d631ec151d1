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
  // A stored link to a folder is not walked either: it would count
  // whatever it points at, perhaps a whole drive.
  auto start = Plat().FindEntry(folder);
  if (start && IsLink(start->attributes)) return c;

  std::vector<std::string> folders{WithTrailingBackslash(folder)};
  for (std::size_t i = 0; i < folders.size(); ++i) {
    std::vector<DirEntry> entries;
    if (!Plat().ListDirectory(folders[i], entries)) continue;
    for (const auto& e : entries) {
      if (e.name == "." || e.name == "..") continue;
      if (IsLink(e.attributes)) {
        ++c.files;
      } else if (e.attributes & kAttrDirectory) {
        folders.push_back(folders[i] + e.name + "\\");
      } else {
        ++c.files;
        if (e.size > 0) c.bytes += e.size;
      }
    }
  }
  c.folders = static_cast<std::int64_t>(folders.size()) - 1;
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
