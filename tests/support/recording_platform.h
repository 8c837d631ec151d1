// A platform for tests that forwards to the real one and can record calls,
// make chosen calls fail, pretend that a path is a link, and stand in a
// huge file that never touches the disk.
//
//   RecordingPlatform rec;
//   ScopedPlatform use(rec);
//   rec.FailOn("Flush", "a.txt");        // every Flush of a file whose path holds "a.txt"
//   rec.FailOn("WriteAt", "", 2);        // the third and later writes
//   rec.AddFakeLink(D("s\\ln"), D("outside"), true);
//   rec.AddStream(D("a.txt"), "Zone.Identifier", 26);  // a named stream of a file or folder
//   ... code under test ...
//   rec.Ops("a.txt")  ->  {"OpenExclusive", "Size", "WriteAt", ..., "Flush", ...}
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/medium.h"
#include "platform/platform.h"

namespace vz::test {

struct Call {
  std::string op;    // the method's name; OpenSharedWrite with truncation is "OpenSharedWrite+truncate"
  std::string path;  // the path it was given (for file methods the path the file was opened by;
                     // for the key-value store the value's name)
  std::int64_t offset = 0;  // WriteAt, StartWriteBack
  std::size_t size = 0;     // WriteAt, Append, StartWriteBack
  CivilTime created, accessed, written;  // SetTimes; zero fields where null was passed
};

class RecordingPlatform : public Platform {
 public:
  explicit RecordingPlatform(Platform& real = NativePlatform()) : real_(real) {}

  std::vector<Call> calls;

  // Makes calls of `op` fail whose path contains `pathPart` (any letter
  // case; empty matches every path), after letting `skip` of them succeed.
  void FailOn(const std::string& op, const std::string& pathPart = "", int skip = 0) {
    rules_.push_back({op, pathPart, skip});
  }

  // The link at `path` points at `target` (a folder when `folder`). As on a
  // real system, opening or listing through the link reaches the target;
  // only the link operations remove the link itself.
  void AddFakeLink(const std::string& path, const std::string& target, bool folder) {
    links_.push_back({WithoutTrailingBackslash(path), WithoutTrailingBackslash(target), folder});
  }
  bool FakeLinkExists(const std::string& path) const { return FindLink(path) != nullptr; }

  // What TrimVolume answers (it never reaches the real volume here); each
  // call is recorded with the number of ranges it was given.
  std::string trimVolumeAnswer;
  std::vector<std::size_t> trimRanges;
  // Discard answers as a system that passes freed blocks on to the device
  // at once, without asking the real one.
  bool discardReaches = false;
  // The medium the test describes in place of the real one.
  std::optional<MediumFacts> medium;
  MediumFacts MediumOf(const std::string& path) override { return medium ? *medium : real_.MediumOf(path); }

  // A file of `size` bytes that exists only here: openable, writable (the
  // writes are recorded, not kept) and removable.
  void AddVirtualFile(const std::string& path, std::int64_t size) { virtual_[ToUpper(path)] = size; }

  // A named stream of `size` bytes of a file or folder, beside any the
  // system lists: it is a virtual file under "path:name".
  void AddStream(const std::string& path, const std::string& name, std::int64_t size) {
    streams_[ToUpper(path)].push_back(name);
    AddVirtualFile(path + ":" + name, size);
  }

  // The names of the methods called on a path containing `pathPart`, in order.
  std::vector<std::string> Ops(const std::string& pathPart) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (Contains(c.path, pathPart)) out.push_back(c.op);
    return out;
  }
  std::size_t Count(const std::string& op, const std::string& pathPart = "") const {
    return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) {
      return c.op == op && Contains(c.path, pathPart);
    }));
  }
  std::vector<Call> CallsOf(const std::string& op, const std::string& pathPart = "") const {
    std::vector<Call> out;
    for (const auto& c : calls)
      if (c.op == op && Contains(c.path, pathPart)) out.push_back(c);
    return out;
  }

  // Volumes.
  std::uint32_t LogicalDriveMask() override { return real_.LogicalDriveMask(); }
  DriveType DriveTypeOf(char letter) override { return real_.DriveTypeOf(letter); }

  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin origin, std::string* why) override {
    return real_.ResolvePath(path, origin, why);
  }

  // Attributes and directory search.
  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    Record("GetAttributes", path);
    if (Failing("GetAttributes", path)) return std::nullopt;
    if (const Link* l = FindLink(path)) return LinkAttributes(*l);
    if (IsVirtual(path)) return std::uint32_t{kAttrArchive};
    return real_.GetAttributes(Resolve(path));
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    Record("SetAttributes", path);
    if (Failing("SetAttributes", path)) return false;
    if (FindLink(path)) return true;
    return real_.SetAttributes(Resolve(path), attributes);
  }
  std::optional<DirEntry> FindEntry(const std::string& path) override {
    Record("FindEntry", path);
    if (Failing("FindEntry", path)) return std::nullopt;
    if (const Link* l = FindLink(path)) {
      DirEntry e;
      e.name = FileNamePart(l->path);
      e.attributes = LinkAttributes(*l);
      return e;
    }
    if (IsVirtual(path)) {
      DirEntry e;
      e.name = FileNamePart(path);
      e.attributes = kAttrArchive;
      e.size = virtual_[ToUpper(path)];
      return e;
    }
    auto e = real_.FindEntry(Resolve(path));
    if (e) e->name = FileNamePart(WithoutTrailingBackslash(path));
    return e;
  }
  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    Record("ListDirectory", dir);
    if (Failing("ListDirectory", dir)) return false;
    if (!real_.ListDirectory(Resolve(dir), out)) return false;
    for (const auto& l : links_) {
      if (!EqualsNoCase(FolderPart(l.path), WithTrailingBackslash(dir))) continue;
      DirEntry e;
      e.name = FileNamePart(l.path);
      e.attributes = LinkAttributes(l);
      out.push_back(e);
    }
    return true;
  }
  std::uint32_t LinkCount(const std::string& path) override {
    Record("LinkCount", path);
    if (FindLink(path) || IsVirtual(path)) return 1;
    return real_.LinkCount(Resolve(path));
  }
  // The answer of IgnoresCase when set; else the real one.
  std::function<bool(const std::string& dir)> ignoresCase;
  bool IgnoresCase(const std::string& dir) override {
    Record("IgnoresCase", dir);
    return ignoresCase ? ignoresCase(dir) : real_.IgnoresCase(Resolve(dir));
  }
  bool MakeDirectory(const std::string& path) override {
    Record("MakeDirectory", path);
    return !Failing("MakeDirectory", path) && real_.MakeDirectory(Resolve(path));
  }
  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    Record("SetWriteTime", path);
    if (FindLink(path)) return false;
    return !Failing("SetWriteTime", path) && !IsVirtual(path) && real_.SetWriteTime(Resolve(path), written);
  }

  // Whole files.
  bool CreateEmptyFile(const std::string& path) override {
    Record("CreateEmptyFile", path);
    return !Failing("CreateEmptyFile", path) && real_.CreateEmptyFile(Resolve(path));
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    Record("ReadWholeFile", path);
    if (Failing("ReadWholeFile", path)) return std::nullopt;
    return real_.ReadWholeFile(Resolve(path));
  }
  bool ReplaceFileContents(const std::string& path, const std::string& content) override {
    Record("ReplaceFileContents", path);
    return !Failing("ReplaceFileContents", path) && real_.ReplaceFileContents(Resolve(path), content);
  }
  bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) override {
    Record("WriteIniString", path);
    return !Failing("WriteIniString", path) && real_.WriteIniString(Resolve(path), section, key, value);
  }

  // Handles.
  std::unique_ptr<File> OpenExclusive(const std::string& path) override {
    Record("OpenExclusive", path);
    if (Failing("OpenExclusive", path)) return nullptr;
    if (IsVirtual(path)) return std::make_unique<VirtualFile>(*this, path, virtual_[ToUpper(path)]);
    return Wrap(real_.OpenExclusive(Resolve(path)), path);
  }
  std::unique_ptr<File> OpenExclusiveReadBack(const std::string& path) override {
    Record("OpenExclusiveReadBack", path);
    if (Failing("OpenExclusive", path)) return nullptr;
    if (IsVirtual(path)) return std::make_unique<VirtualFile>(*this, path, virtual_[ToUpper(path)]);
    return Wrap(real_.OpenExclusiveReadBack(Resolve(path)), path);
  }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>& ranges) override {
    Record("TrimVolume", path);
    trimRanges.push_back(ranges.size());
    return trimVolumeAnswer;
  }
  std::unique_ptr<File> OpenSharedWrite(const std::string& path, bool truncate) override {
    std::string op = truncate ? "OpenSharedWrite+truncate" : "OpenSharedWrite";
    Record(op, path);
    if (Failing(op, path)) return nullptr;
    if (IsVirtual(path)) {
      if (truncate) virtual_[ToUpper(path)] = 0;
      return std::make_unique<VirtualFile>(*this, path, virtual_[ToUpper(path)]);
    }
    return Wrap(real_.OpenSharedWrite(Resolve(path), truncate), path);
  }
  std::unique_ptr<File> OpenAppend(const std::string& path) override {
    Record("OpenAppend", path);
    if (Failing("OpenAppend", path)) return nullptr;
    return Wrap(real_.OpenAppend(Resolve(path)), path);
  }
  std::unique_ptr<File> OpenFolder(const std::string& path) override {
    Record("OpenFolder", path);
    if (Failing("OpenFolder", path)) return nullptr;
    return Wrap(real_.OpenFolder(Resolve(path)), path);
  }

  bool MoveItem(const std::string& from, const std::string& to) override {
    Record("MoveItem", from);
    if (Failing("MoveItem", from)) return false;
    // A rename takes a link itself, never what it points at, and the links
    // inside a folder go with it.
    if (FindLink(from) ? (FindLink(to) || real_.GetAttributes(Resolve(to)))
                       : !real_.MoveItem(Resolve(from), Resolve(to)))
      return false;
    const std::string base = WithoutTrailingBackslash(from);
    for (auto& l : links_)
      if (EqualsNoCase(l.path, base) || StartsWithNoCase(l.path, base + "\\"))
        l.path = WithoutTrailingBackslash(to) + l.path.substr(base.size());
    return true;
  }
  std::unique_ptr<StoreLock> LockStore(const std::string& storeDir, int waitMs, bool* busy) override {
    Record("LockStore", storeDir);
    if (Failing("LockStore", storeDir)) {
      if (busy) *busy = true;
      return nullptr;
    }
    return real_.LockStore(storeDir, waitMs, busy);
  }
  bool RemoveFile(const std::string& path) override {
    Record("RemoveFile", path);
    if (Failing("RemoveFile", path)) return false;
    if (const Link* l = FindLink(path)) return !l->folder && EraseLink(path);
    if (IsVirtual(path)) return virtual_.erase(ToUpper(path)) == 1;
    return real_.RemoveFile(Resolve(path));
  }
  // Follows a link to a folder and deletes what is behind it, as a careless
  // recursive delete would.
  bool DeleteItem(const std::string& path) override {
    Record("DeleteItem", path);
    if (Failing("DeleteItem", path)) return false;
    if (const Link* l = FindLink(path)) {
      std::string target = l->target;
      EraseLink(path);
      return real_.DeleteItem(target);
    }
    return real_.DeleteItem(Resolve(path));
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    Record("RemoveEmptyDirectory", path);
    if (Failing("RemoveEmptyDirectory", path)) return false;
    if (FindLink(path)) return EraseLink(path);
    // The links inside are entries too.
    for (const auto& l : links_)
      if (EqualsNoCase(FolderPart(l.path), WithTrailingBackslash(path))) return false;
    return real_.RemoveEmptyDirectory(Resolve(path));
  }
  bool RemoveLink(const std::string& path) override {
    Record("RemoveLink", path);
    if (Failing("RemoveLink", path)) return false;
    if (FindLink(path)) return EraseLink(path);
    return real_.RemoveLink(Resolve(path));
  }

  CivilTime LocalNow() override { return real_.LocalNow(); }
  CivilTime ToLocal(const CivilTime& raw) override { return real_.ToLocal(raw); }

  bool KvOpenKey(const std::string& key, bool create) override {
    Record(create ? "KvOpenKey+create" : "KvOpenKey", key);
    return !Failing(create ? "KvOpenKey+create" : "KvOpenKey", key) && real_.KvOpenKey(key, create);
  }
  KvValue KvRead(const std::string& key, const std::string& name) override {
    Record("KvRead", name);
    if (Failing("KvRead", name)) return {};
    return real_.KvRead(key, name);
  }
  bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    Record("KvWriteDword", name);
    return !Failing("KvWriteDword", name) && real_.KvWriteDword(key, name, value);
  }
  bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) override {
    Record("KvWriteString", name);
    return !Failing("KvWriteString", name) && real_.KvWriteString(key, name, value);
  }

  void UpdateIcon() override {
    Record("UpdateIcon", "");
    real_.UpdateIcon();
  }

 private:
  struct Rule {
    std::string op, pathPart;
    int skip;
  };
  struct Link {
    std::string path, target;
    bool folder;
  };

  // A file opened through this platform: its calls are recorded under the
  // path it was opened by.
  class RecordingFile : public File {
   public:
    RecordingFile(RecordingPlatform& owner, std::string path, std::unique_ptr<File> real)
        : owner_(owner), path_(std::move(path)), real_(std::move(real)) {}
    std::int64_t Size() override {
      owner_.Record("Size", path_);
      return owner_.Failing("Size", path_) ? -1 : real_->Size();
    }
    bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
      owner_.RecordWrite(path_, offset, n);
      return !owner_.Failing("WriteAt", path_) && real_->WriteAt(offset, data, n);
    }
    bool Append(const std::string& data) override {
      owner_.RecordWrite(path_, -1, data.size(), "Append");
      return !owner_.Failing("Append", path_) && real_->Append(data);
    }
    bool Flush() override {
      owner_.Record("Flush", path_);
      return !owner_.Failing("Flush", path_) && real_->Flush();
    }
    bool StartWriteBack(std::int64_t offset, std::int64_t length) override {
      owner_.RecordWrite(path_, offset, static_cast<std::size_t>(length), "StartWriteBack");
      return !owner_.Failing("StartWriteBack", path_) && real_->StartWriteBack(offset, length);
    }
    bool BypassCache() override { return real_->BypassCache(); }
    std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
      owner_.Record("ReadBack", path_);
      if (owner_.Failing("ReadBack", path_)) {
        if (why) *why = "failing by test";
        return -1;
      }
      std::int64_t got = real_->ReadBack(offset, buffer, n, why);
      // A device that gives back other bytes than it was given.
      if (got > 0 && owner_.Failing("ReadBack+differ", path_)) static_cast<unsigned char*>(buffer)[got - 1] ^= 0x5A;
      return got;
    }
    std::vector<ByteRange> Extents() override { return real_->Extents(); }
    std::string Discard() override {
      owner_.Record("Discard", path_);
      if (owner_.Failing("Discard", path_)) return "failing by test";
      return owner_.discardReaches ? std::string() : real_->Discard();
    }
    bool SetTimes(const CivilTime* c, const CivilTime* a, const CivilTime* w) override {
      owner_.RecordTimes(path_, c, a, w);
      return !owner_.Failing("SetTimes", path_) && real_->SetTimes(c, a, w);
    }
    std::optional<std::vector<std::string>> StreamNames() override { return owner_.StreamNamesOf(path_, real_.get()); }
    std::unique_ptr<File> OpenStream(const std::string& name) override {
      return owner_.OpenStreamOf(path_, name, real_.get());
    }

   private:
    RecordingPlatform& owner_;
    std::string path_;
    std::unique_ptr<File> real_;
  };

  // A file without content: every write is checked against its size and
  // recorded; the first and last byte of each block are kept for checks.
  class VirtualFile : public File {
   public:
    VirtualFile(RecordingPlatform& owner, std::string path, std::int64_t size)
        : owner_(owner), path_(std::move(path)), size_(size) {}
    std::int64_t Size() override {
      owner_.Record("Size", path_);
      return owner_.Failing("Size", path_) ? -1 : size_;
    }
    bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
      owner_.RecordWrite(path_, offset, n);
      if (owner_.Failing("WriteAt", path_)) return false;
      if (n > 0) {
        const auto* p = static_cast<const unsigned char*>(data);
        owner_.virtualBytes.push_back(p[0]);
        owner_.virtualBytes.push_back(p[n - 1]);
      }
      return true;
    }
    bool Append(const std::string& data) override {
      owner_.RecordWrite(path_, -1, data.size(), "Append");
      return !owner_.Failing("Append", path_);
    }
    bool Flush() override {
      owner_.Record("Flush", path_);
      return !owner_.Failing("Flush", path_);
    }
    bool StartWriteBack(std::int64_t offset, std::int64_t length) override {
      owner_.RecordWrite(path_, offset, static_cast<std::size_t>(length), "StartWriteBack");
      return !owner_.Failing("StartWriteBack", path_);
    }
    bool SetTimes(const CivilTime* c, const CivilTime* a, const CivilTime* w) override {
      owner_.RecordTimes(path_, c, a, w);
      return !owner_.Failing("SetTimes", path_);
    }
    std::optional<std::vector<std::string>> StreamNames() override { return owner_.StreamNamesOf(path_, nullptr); }
    std::unique_ptr<File> OpenStream(const std::string& name) override {
      return owner_.OpenStreamOf(path_, name, nullptr);
    }

   private:
    RecordingPlatform& owner_;
    std::string path_;
    std::int64_t size_;
  };

 public:
  // First and last byte of every block written to a virtual file.
  std::vector<unsigned char> virtualBytes;

 private:
  static bool Contains(const std::string& s, const std::string& part) {
    return part.empty() || ToUpper(s).find(ToUpper(part)) != std::string::npos;
  }

  void Record(const std::string& op, const std::string& path) {
    Call c;
    c.op = op;
    c.path = path;
    calls.push_back(std::move(c));
  }
  void RecordWrite(const std::string& path, std::int64_t offset, std::size_t n, const char* op = "WriteAt") {
    Call c;
    c.op = op;
    c.path = path;
    c.offset = offset;
    c.size = n;
    calls.push_back(std::move(c));
  }
  void RecordTimes(const std::string& path, const CivilTime* cr, const CivilTime* ac, const CivilTime* wr) {
    Call c;
    c.op = "SetTimes";
    c.path = path;
    if (cr) c.created = *cr;
    if (ac) c.accessed = *ac;
    if (wr) c.written = *wr;
    calls.push_back(std::move(c));
  }

  bool Failing(const std::string& op, const std::string& path) {
    for (auto& r : rules_) {
      if (r.op != op || !Contains(path, r.pathPart)) continue;
      if (r.skip > 0) {
        --r.skip;
        return false;
      }
      return true;
    }
    return false;
  }

  // The streams the system lists for a file opened by `path`, then the ones
  // added here.
  std::optional<std::vector<std::string>> StreamNamesOf(const std::string& path, File* real) {
    Record("StreamNames", path);
    if (Failing("StreamNames", path)) return std::nullopt;
    auto names = real ? real->StreamNames() : std::vector<std::string>{};
    auto it = streams_.find(ToUpper(path));
    if (names && it != streams_.end()) names->insert(names->end(), it->second.begin(), it->second.end());
    return names;
  }
  std::unique_ptr<File> OpenStreamOf(const std::string& path, const std::string& name, File* real) {
    const std::string stream = path + ":" + name;
    Record("OpenStream", stream);
    if (Failing("OpenStream", stream)) return nullptr;
    if (IsVirtual(stream)) return std::make_unique<VirtualFile>(*this, stream, virtual_[ToUpper(stream)]);
    return real ? Wrap(real->OpenStream(name), stream) : nullptr;
  }

  std::unique_ptr<File> Wrap(std::unique_ptr<File> f, const std::string& path) {
    if (!f) return nullptr;
    return std::make_unique<RecordingFile>(*this, path, std::move(f));
  }

  const Link* FindLink(const std::string& path) const {
    std::string p = WithoutTrailingBackslash(path);
    for (const auto& l : links_)
      if (EqualsNoCase(l.path, p)) return &l;
    return nullptr;
  }
  bool EraseLink(const std::string& path) {
    std::string p = WithoutTrailingBackslash(path);
    auto it = std::find_if(links_.begin(), links_.end(), [&](const Link& l) { return EqualsNoCase(l.path, p); });
    if (it == links_.end()) return false;
    links_.erase(it);
    return true;
  }
  static std::uint32_t LinkAttributes(const Link& l) {
    return kAttrReparsePoint | (l.folder ? std::uint32_t{kAttrDirectory} : std::uint32_t{kAttrArchive});
  }
  // A path through a link names the same thing beneath its target; the
  // link itself, given as a path of its own, is followed to its target too
  // (as opening a link by name does).
  std::string Resolve(const std::string& path) const {
    for (const auto& l : links_) {
      if (EqualsNoCase(WithoutTrailingBackslash(path), l.path))
        return l.target + (path.size() > l.path.size() ? "\\" : "");
      std::string prefix = l.path + "\\";
      if (StartsWithNoCase(path, prefix)) return l.target + "\\" + path.substr(prefix.size());
    }
    return path;
  }
  bool IsVirtual(const std::string& path) const { return virtual_.count(ToUpper(path)) != 0; }

  Platform& real_;
  std::vector<Rule> rules_;
  std::vector<Link> links_;
  std::map<std::string, std::int64_t> virtual_;
  std::map<std::string, std::vector<std::string>> streams_;  // upper-case path -> names added
};

}  // namespace vz::test
