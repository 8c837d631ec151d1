#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "common/drive_path.h"
#include "common/text.h"

namespace vz {
namespace {
Platform* g_current = nullptr;
RaceHook g_raceHook;
}  // namespace

void SetRaceHook(RaceHook hook) { g_raceHook = std::move(hook); }
void RaceStep(const char* step, const std::string& path) {
  if (g_raceHook) g_raceHook(step, path);
}

std::string BadNodeName(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (name == "." || name == "..") return "\"" + name + "\" is no name of its own";
  if (name.find('\0') != std::string::npos) return "the name holds a NUL character";
#ifdef _WIN32
  if (name.find_first_of("\\/:") != std::string::npos) return "the name holds a separator or a colon";
#else
  if (name.find('/') != std::string::npos) return "the name holds a slash";
#endif
  return {};
}

std::vector<std::pair<std::int64_t, std::int64_t>> File::DataRanges() {
  std::int64_t size = Size();
  if (size <= 0) return {};
  return {{0, size}};
}

Platform& Plat() { return g_current ? *g_current : NativePlatform(); }

ScopedPlatform::ScopedPlatform(Platform& p) : previous_(g_current) { g_current = &p; }
ScopedPlatform::~ScopedPlatform() { g_current = previous_; }

namespace {

// A folder on a system that keeps no named streams: nothing to reach.
class StreamlessFolder : public File {
 public:
  std::int64_t Size() override { return -1; }
  bool WriteAt(std::int64_t, const void*, std::size_t) override { return false; }
  bool Append(const std::string&) override { return false; }
  bool Flush() override { return true; }
  bool SetTimes(const CivilTime*, const CivilTime*, const CivilTime*) override { return false; }
};

}  // namespace

std::unique_ptr<File> Folder::OwnStreams() { return std::make_unique<StreamlessFolder>(); }

std::unique_ptr<File> Platform::OpenFolderStreams(const std::string& path) {
  std::string why;
  auto folder = OpenFolder(path, &why);
  return folder ? folder->OwnStreams() : nullptr;
}

std::vector<bool> Platform::FlushFiles(const std::vector<File*>& files) {
  std::vector<bool> ok(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) ok[i] = files[i]->Flush();
  return ok;
}

// Flushes waiting together share one journal commit and one flush of the
// device's cache; a handful of them in flight is enough for that.
constexpr std::size_t kFlushThreads = 16;

std::vector<bool> FlushTogether(std::size_t n, const std::function<bool(std::size_t)>& flush) {
  std::vector<char> ok(n, 0);  // not vector<bool>: threads write neighbouring elements
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < n;) ok[i] = flush(i) ? 1 : 0;
  };
  std::vector<std::thread> pool;
  const std::size_t helpers = std::min(kFlushThreads, n) - (n > 0 ? 1 : 0);
  for (std::size_t t = 0; t < helpers; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // fewer threads: the work is still done, by those there are
    }
  }
  work();
  for (auto& t : pool) t.join();
  return std::vector<bool>(ok.begin(), ok.end());
}

std::string DriveTypeName(DriveType t) {
  switch (t) {
    case DriveType::Fixed: return "fixed";
    case DriveType::Removable: return "removable";
    case DriveType::Remote: return "network";
    case DriveType::CdRom: return "cdrom";
    case DriveType::RamDisk: return "ramdisk";
    case DriveType::NoRootDir: return "missing";
    default: return "unknown";
  }
}

namespace {

// "X:\a\b" -> "X:\a" and "b"; false for a drive's root or no full path.
bool SplitPath(const std::string& path, std::string* parent, std::string* name) {
  std::string p = WithoutTrailingBackslash(path);
  if (!HasDrivePrefix(p) || IsDriveRoot(p)) return false;
  std::size_t cut = p.find_last_of('\\');
  *name = p.substr(cut + 1);
  *parent = cut <= 2 ? p.substr(0, 3) : p.substr(0, cut);
  return !name->empty();
}


// Empties a held folder: files and links as themselves, folders by the
// same road. False when anything stays.
bool EmptyFolder(Folder& f) {
  std::vector<DirEntry> entries;
  if (!f.List(entries)) return false;
  bool all = true;
  for (const auto& e : entries) {
    std::string why;
    if (e.kind == NodeKind::Folder) {
      auto sub = f.OpenFolder(e.name, &why);
      if (!sub || !EmptyFolder(*sub) || !DeleteNode(*sub)) all = false;
      continue;
    }
    auto n = f.OpenNode(e.name, &why);
    if (!n || !DeleteNode(*n)) all = false;
  }
  return all;
}

// A temporary name beside `name`, never one a stored item gets.
std::string TemporaryName(const std::string& name, int attempt) {
  static std::atomic<unsigned> counter{0};
  unsigned long long bits = static_cast<unsigned long long>(
                                std::chrono::steady_clock::now().time_since_epoch().count()) ^
                            (static_cast<unsigned long long>(counter++) << 32) ^ static_cast<unsigned>(attempt);
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix += kChars[bits % 36];
    bits /= 36;
  }
  return name + ".~" + suffix;
}

}  // namespace

bool ListedAbsent(Folder& folder, const std::string& name) {
  std::vector<DirEntry> entries;
  if (!folder.List(entries)) return false;
  for (const auto& e : entries)
    if (e.name == name) return false;
  return true;
}

bool ConfirmedAbsent(const std::string& path) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;  // a drive's root is never missing
  auto folder = Plat().OpenFolder(parent, &why);
  return folder ? ListedAbsent(*folder, name) : ConfirmedAbsent(parent);
}

bool DeleteNode(Node& n) {
  if (n.Delete()) return true;
  auto info = n.Info();
  if (!info || !(info->attributes & kAttrReadOnly) || info->kind == NodeKind::Link) return false;
  if (!n.SetAttributes(info->attributes & ~std::uint32_t{kAttrReadOnly})) return false;
  if (n.Delete()) return true;
  n.SetAttributes(info->attributes);
  return false;
}

std::unique_ptr<Folder> OpenFolderMaking(const std::string& path, std::string* why) {
  Platform& p = Plat();
  if (auto f = p.OpenFolder(path, why)) return f;
  std::string parentPath, name;
  if (p.StatPath(path) || !SplitPath(path, &parentPath, &name)) return nullptr;
  auto parent = OpenFolderMaking(parentPath, why);
  if (!parent) return nullptr;
  if (auto made = parent->MakeFolder(name, why)) return made;
  return parent->OpenFolder(name, why);  // made by someone else meanwhile
}

std::unique_ptr<Folder> OpenParent(const std::string& path, std::string* name, std::string* why) {
  std::string parent;
  if (!SplitPath(path, &parent, name)) {
    if (why) *why = "it has no folder above it";
    return nullptr;
  }
  return Plat().OpenFolder(parent, why);
}

std::vector<std::optional<std::string>> Platform::ResolvePaths(const std::vector<std::string>& paths,
                                                                PathOrigin origin, std::vector<std::string>& whys) {
  std::vector<std::optional<std::string>> out;
  whys.assign(paths.size(), std::string());
  for (std::size_t i = 0; i < paths.size(); ++i) out.push_back(ResolvePath(paths[i], origin, &whys[i]));
  return out;
}

std::optional<NodeInfo> Platform::StatPath(const std::string& path) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) {
    auto root = OpenFolder(path, &why);
    return root ? root->Info() : std::nullopt;
  }
  auto f = OpenFolder(parent, &why);
  return f ? f->Stat(name) : std::nullopt;
}

namespace {

// The node a path names, opened from the folder that holds it.
std::unique_ptr<Node> OpenPathNode(Platform& p, const std::string& path, std::string* why = nullptr) {
  std::string parent, name, ignored;
  if (!why) why = &ignored;
  if (!SplitPath(path, &parent, &name)) return nullptr;
  auto f = p.OpenFolder(parent, why);
  return f ? f->OpenNode(name, why) : nullptr;
}

std::unique_ptr<File> OpenPathFile(Platform& p, const std::string& path, FileAccess access) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return nullptr;
  auto f = p.OpenFolder(parent, &why);
  return f ? f->OpenFile(name, access, &why) : nullptr;
}

}  // namespace

std::string Platform::ShownPath(const std::string& path) {
  std::string shown = path;
  if (shown.size() >= 2 && shown[1] == ':') shown[0] = ToUpperChar(shown[0]);
  return shown;
}

bool Platform::SetAttributes(const std::string& path, std::uint32_t attributes) {
  auto n = OpenPathNode(*this, path);
  return n && n->SetAttributes(attributes);
}

bool Platform::MakeDirectory(const std::string& path) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;
  auto f = OpenFolder(parent, &why);
  return f && f->MakeFolder(name, &why) != nullptr;
}

bool Platform::CreateEmptyFile(const std::string& path) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;
  auto f = OpenFolder(parent, &why);
  return f && f->CreateNew(name, &why) != nullptr;
}

std::optional<std::string> ReadFileIn(Folder& folder, const std::string& name, std::size_t limit, std::string* why) {
  auto file = folder.OpenFile(name, FileAccess::Read, why);
  if (!file) return std::nullopt;
  std::string text;
  char buf[65536];
  for (;;) {
    std::int64_t n = file->ReadAt(static_cast<std::int64_t>(text.size()), buf, sizeof buf);
    if (n < 0) {
      if (why) *why = file->Path() + " cannot be read (" + file->LastError() + ")";
      return std::nullopt;
    }
    if (n == 0) break;
    if (text.size() + static_cast<std::size_t>(n) > limit) {
      if (why) *why = file->Path() + " is larger than " + std::to_string(limit) + " bytes";
      return std::nullopt;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

namespace {

// Zeros over a file's whole content, to the device.
bool WriteZerosOver(File& file) {
  const std::int64_t size = file.Size();
  if (size < 0) return false;
  static const char zeros[65536] = {};
  for (std::int64_t at = 0; at < size; at += static_cast<std::int64_t>(sizeof zeros))
    if (!file.WriteAt(at, zeros, static_cast<std::size_t>(std::min<std::int64_t>(size - at, sizeof zeros))))
      return false;
  return file.Flush();
}

// Where a replace of `name` keeps the old file for a moment on a volume
// without second names; also the form that earlier versions left.
bool IsAsideName(const std::string& entry, const std::string& name) {
  const std::string aside = name + ".old";
  return entry.size() >= aside.size() && StartsWithNoCase(entry, aside) &&
         (entry.size() == aside.size() || StartsWithNoCase(entry.substr(aside.size()), ".~"));
}

// The old content of a replaced file, which `temp` alone holds now: written
// over and deleted, once the name is seen to hold that very file. Anything
// else there is left to FinishReplaceIn.
void DestroyReplaced(Folder& folder, const std::string& temp, const FileId& id) {
  std::string why;
  auto old = folder.OpenFile(temp, FileAccess::Exclusive, &why);
  auto info = old ? old->Info() : std::nullopt;
  if (!info || info->id != id) return;
  // Another name given meanwhile keeps showing it. What could not be
  // written over stays for FinishReplaceIn to try again.
  if (info->links > 1 || WriteZerosOver(*old)) DeleteNode(*old);
}

enum class Road { Done, Failed, Untried };

// Puts `fresh`, written and flushed under `temp`, in the place of `name`,
// a file of one name whose identity is `oldId`, so that the old content can
// be written over before its blocks are freed. Untried: nothing changed,
// and the caller renames over the name as before.
Road ReplaceWritingOver(Folder& folder, const std::string& name, File& fresh, const std::string& temp,
                        const FileId& oldId) {
  // Exchanged in one step where the system can: the temporary name then
  // holds the old content.
  if (fresh.ExchangeWith(name)) {
    DestroyReplaced(folder, temp, oldId);
    return Road::Done;
  }
  // Where the system lets the old file be held through the rename (POSIX
  // but FUSE), it is written over through that handle. Only read here: the
  // name is never written in place.
  std::string why;
  auto read = folder.OpenFile(name, FileAccess::Read, &why);
  auto info = read ? read->Info() : std::nullopt;
  if (!info || info->id != oldId) return Road::Untried;
  if (read->KeptWhenReplaced()) {
    if (!fresh.MoveTo(folder, name, true)) return Road::Failed;
    read->ZeroAndRelease();
    return Road::Done;
  }
  read.reset();
  // Windows renames over no file held open, so the old file is reached
  // afterwards through a second name given by its handle before.
  auto held = folder.OpenNode(name, &why);
  info = held ? held->Info() : std::nullopt;
  if (!info || info->id != oldId) return Road::Untried;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string second = TemporaryName(name, attempt);
    if (!held->LinkAs(folder, second)) {
      if (folder.Stat(second)) continue;  // the name was taken
      break;
    }
    held.reset();
    if (fresh.MoveTo(folder, name, true)) {
      DestroyReplaced(folder, second, oldId);
      return Road::Done;
    }
    // The old file keeps its name; only the second one goes.
    auto extra = folder.OpenNode(second, &why);
    auto got = extra ? extra->Info() : std::nullopt;
    if (got && got->id == oldId) extra->Delete();
    return Road::Failed;
  }
  held.reset();
  // A volume without second names (FAT): the old file goes aside by its
  // handle until the new one has its name, and back when that fails. Cut
  // short in between, FinishReplaceIn puts it back.
  auto old = folder.OpenFile(name, FileAccess::Exclusive, &why);
  info = old ? old->Info() : std::nullopt;
  if (!info || info->id != oldId) return Road::Untried;
  std::string aside;
  for (int attempt = 0; attempt < 16 && aside.empty(); ++attempt) {
    const std::string to = TemporaryName(name + ".old", attempt);
    if (old->MoveTo(folder, to)) aside = to;
    else if (!folder.Stat(to)) return Road::Untried;
  }
  if (aside.empty()) return Road::Untried;
  // Let go before the names change again, and reached anew by its own
  // name: a FUSE file system reached through Wine writes through a handle
  // held across renames into whatever holds its first name by then.
  old.reset();
  if (!fresh.MoveTo(folder, name)) {
    auto back = folder.OpenNode(aside, &why);
    info = back ? back->Info() : std::nullopt;
    if (info && info->id == oldId) back->MoveTo(folder, name);
    return Road::Failed;
  }
  DestroyReplaced(folder, aside, oldId);
  return Road::Done;
}

}  // namespace

bool ReplaceFileIn(Folder& folder, const std::string& name, const std::string& content) {
  std::string why;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string temp = TemporaryName(name, attempt);
    auto file = folder.CreateNew(temp, &why);
    if (!file) {
      if (folder.Stat(temp)) continue;  // the name was taken
      return false;
    }
    bool ok = (content.empty() || file->WriteAt(0, content.data(), content.size())) && file->Flush();
    // The name itself is never written in place. A file with other names
    // keeps its content: they still show it.
    auto info = ok ? folder.Stat(name) : std::nullopt;
    if (info && info->kind == NodeKind::File && info->links == 1) {
      const Road road = ReplaceWritingOver(folder, name, *file, temp, info->id);
      if (road == Road::Done) return true;
      if (road == Road::Failed) {
        file->Delete();
        return false;
      }
    }
    ok = ok && file->MoveTo(folder, name, true);
    if (!ok) file->Delete();
    return ok;
  }
  return false;
}

void FinishReplaceIn(Folder& folder, const std::string& name) {
  std::vector<DirEntry> entries;
  if (!folder.List(entries)) return;
  bool missing = std::none_of(entries.begin(), entries.end(), [&](const DirEntry& e) { return e.name == name; });
  for (const auto& e : entries) {
    if (e.kind != NodeKind::File || e.name.size() <= name.size() + 1 || !StartsWithNoCase(e.name, name + ".")) continue;
    std::string why;
    auto file = folder.OpenFile(e.name, FileAccess::Exclusive, &why);
    if (!file) continue;
    if (missing && IsAsideName(e.name, name) && file->MoveTo(folder, name)) {
      missing = false;
      continue;
    }
    auto info = file->Info();
    if (info && info->links == 1) WriteZerosOver(*file);
    DeleteNode(*file);
  }
}

bool WriteIniIn(Folder& folder, const std::string& name, const std::string& section, const std::string& key,
                const std::string& value) {
  std::string text = ReadFileIn(folder, name, std::size_t{1} << 20).value_or("");
  std::vector<std::string> lines = SplitLines(text);
  std::string header = "[" + section + "]";
  std::size_t sec = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (EqualsNoCase(Trim(lines[i]), header)) {
      sec = i;
      break;
    }
  std::string entry = key + "=" + value;
  if (sec == lines.size()) {
    lines.push_back(header);
    lines.push_back(entry);
  } else {
    std::size_t i = sec + 1;
    bool done = false;
    for (; i < lines.size() && !(Trim(lines[i]).size() && Trim(lines[i])[0] == '['); ++i) {
      std::string l = Trim(lines[i]);
      auto eq = l.find('=');
      if (eq != std::string::npos && EqualsNoCase(Trim(l.substr(0, eq)), key)) {
        lines[i] = entry;
        done = true;
        break;
      }
    }
    if (!done) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), entry);
  }
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  if (out == text) return true;
  // A read-only file would refuse to be replaced; the new one gets the
  // old one's attributes.
  std::string why;
  auto old = folder.OpenNode(name, &why);
  auto attrs = old ? old->Info() : std::nullopt;
  if (attrs && attrs->kind != NodeKind::File) return false;
  if (attrs && (attrs->attributes & kAttrReadOnly)) old->SetAttributes(attrs->attributes & ~std::uint32_t{kAttrReadOnly});
  old.reset();
  bool ok = ReplaceFileIn(folder, name, out);
  if (attrs)
    if (auto now = folder.OpenNode(name, &why)) now->SetAttributes(attrs->attributes);
  return ok;
}

std::optional<std::string> Platform::ReadWholeFile(const std::string& path, std::size_t limit) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return std::nullopt;
  auto folder = OpenFolder(parent, &why);
  return folder ? ReadFileIn(*folder, name, limit, &why) : std::nullopt;
}

bool Platform::ReplaceFileContents(const std::string& path, const std::string& content) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;
  auto folder = OpenFolder(parent, &why);
  return folder && ReplaceFileIn(*folder, name, content);
}

bool Platform::WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& value) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;
  auto folder = OpenFolder(parent, &why);
  return folder && WriteIniIn(*folder, name, section, key, value);
}

std::unique_ptr<File> Platform::OpenExclusive(const std::string& path) {
  return OpenPathFile(*this, path, FileAccess::Exclusive);
}

std::unique_ptr<File> Platform::OpenExclusiveReadBack(const std::string& path) {
  return OpenPathFile(*this, path, FileAccess::ExclusiveReadBack);
}

std::unique_ptr<File> Platform::OpenSharedWrite(const std::string& path, bool truncate) {
  auto f = OpenPathFile(*this, path, FileAccess::Write);
  if (f && truncate && !f->Truncate(0)) return nullptr;
  return f;
}

std::unique_ptr<File> Platform::OpenAppend(const std::string& path) {
  return OpenPathFile(*this, path, FileAccess::Append);
}

bool Platform::MoveItem(const std::string& from, const std::string& to) {
  std::string why, toParent, toName;
  auto node = OpenPathNode(*this, from, &why);
  if (!node || !SplitPath(to, &toParent, &toName)) return false;
  auto dest = OpenFolder(toParent, &why);
  if (!dest) {
    // The folders above the destination are made only when missing (a
    // restore to a folder that is gone), not before every move.
    if (StatPath(toParent)) return false;
    dest = OpenFolderMaking(toParent, &why);
    if (!dest) return false;
  }
  return node->MoveTo(*dest, toName);
}

bool Platform::RemoveFile(const std::string& path) {
  auto n = OpenPathNode(*this, path);
  if (!n) return false;
  auto info = n->Info();
  return info && info->kind != NodeKind::Folder && n->Delete();
}

bool Platform::DeleteItem(const std::string& path) {
  std::string parent, name, why;
  if (!SplitPath(path, &parent, &name)) return false;
  auto f = OpenFolder(parent, &why);
  auto info = f ? f->Stat(name) : std::nullopt;
  if (!info) return false;
  if (info->kind == NodeKind::Folder) {
    auto sub = f->OpenFolder(name, &why);
    return sub && EmptyFolder(*sub) && DeleteNode(*sub);
  }
  auto n = f->OpenNode(name, &why);
  return n && DeleteNode(*n);
}

bool Platform::RemoveEmptyDirectory(const std::string& path) {
  auto n = OpenPathNode(*this, path);
  if (!n) return false;
  auto info = n->Info();
  return info && (info->kind == NodeKind::Folder || info->kind == NodeKind::Link) && n->Delete();
}

bool Platform::RemoveLink(const std::string& path) {
  auto n = OpenPathNode(*this, path);
  if (!n) return false;
  auto info = n->Info();
  return info && info->kind == NodeKind::Link && n->Delete();
}

namespace {
const char* const kMountInside = "another file system or a bind mount is mounted inside it";
}  // namespace

std::string ForeignEntry(const DirEntry& found, const NodeInfo& top, const std::vector<std::pair<char, FileId>>& roots) {
  for (const auto& [letter, id] : roots)
    if (id == found.id) return std::string("it holds the root of drive ") + letter + ": and its Vaporizer store";
  if (found.mountRoot || (found.mount && top.mount && found.mount != top.mount)) return kMountInside;
  // Files of some file systems (overlays) show the device of the layer
  // they come from: only a folder tells its file system by its device.
  if (found.kind == NodeKind::Folder && found.id.volume != top.id.volume) return kMountInside;
  return {};
}

std::string MountedItem(const NodeInfo& item) {
  if (item.mountRoot)
    return "it is a mount point (another file system or a bind mount is mounted on it)";
  return {};
}

std::string ForeignInside(Folder& folder) {
  auto top = folder.Info();
  if (!top) return "it cannot be read";
  const auto roots = Plat().VolumeRoots();
  // Depth first, one open folder per level.
  std::vector<std::unique_ptr<Folder>> stack;
  std::vector<std::vector<DirEntry>> pending(1);
  if (!folder.List(pending[0])) return "it cannot be listed";
  Folder* at = &folder;
  while (!pending.empty()) {
    if (pending.back().empty()) {
      pending.pop_back();
      if (!stack.empty()) stack.pop_back();
      at = stack.empty() ? &folder : stack.back().get();
      continue;
    }
    DirEntry e = std::move(pending.back().back());
    pending.back().pop_back();
    std::string why = ForeignEntry(e, *top, roots);
    if (!why.empty()) return why;
    if (e.kind != NodeKind::Folder) continue;
    auto sub = at->OpenFolder(e.name, &why);
    if (!sub) continue;  // what cannot be opened is not walked; the move takes it as it is
    std::vector<DirEntry> inside;
    sub->List(inside);
    stack.push_back(std::move(sub));
    pending.push_back(std::move(inside));
    at = stack.back().get();
  }
  return {};
}

std::string HexOf(const std::uint8_t* bytes, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

bool Exists(const std::string& path) { return Plat().GetAttributes(path).has_value(); }
bool FileExists(const std::string& path) {
  auto a = Plat().GetAttributes(path);
  return a && !(*a & kAttrDirectory);
}
bool DirectoryExists(const std::string& path) {
  auto a = Plat().GetAttributes(path);
  return a && (*a & kAttrDirectory);
}

}  // namespace vz
