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
#include "support/forwarding_platform.h"

namespace vz::test {

struct Call {
  std::string op;    // the operation's name (see ForwardingPlatform::Refuse)
  std::string path;  // the path it acts on (for file methods the path the file was opened by;
                     // for the key-value store the value's name)
  std::int64_t offset = 0;  // WriteAt, StartWriteBack
  std::size_t size = 0;     // WriteAt, Append, StartWriteBack
  CivilTime created, accessed, written;  // SetTimes; zero fields where null was passed
};

class RecordingPlatform : public ForwardingPlatform {
 public:
  explicit RecordingPlatform(Platform& real = NativePlatform()) : ForwardingPlatform(real) {}

  std::vector<Call> calls;
  // First and last byte of every block written to a virtual file.
  std::vector<unsigned char> virtualBytes;

  // Makes calls of `op` fail whose path contains `pathPart` (any letter
  // case; empty matches every path), after letting `skip` of them succeed.
  void FailOn(const std::string& op, const std::string& pathPart = "", int skip = 0) {
    rules_.push_back({op, pathPart, skip});
  }

  // The link at `path` points at `target` (a folder when `folder`). As on a
  // real system, a path through the link reaches the target, while a walk
  // by handles stops at it; only its own removal removes the link.
  void AddFakeLink(const std::string& path, const std::string& target, bool folder) {
    links_.push_back(
        {WithoutTrailingBackslash(path), WithoutTrailingBackslash(target), folder, FakeId(WithoutTrailingBackslash(path))});
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

  // The names of the operations on a path containing `pathPart`, in order.
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

  // What paths show: a link is followed where a path runs through it.
  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    if (Refuse("GetAttributes", path)) return std::nullopt;
    if (const Link* l = FindLink(path)) return LinkAttributes(*l);
    if (IsVirtual(path)) return std::uint32_t{kAttrArchive};
    return real_.GetAttributes(Resolve(path));
  }
  std::optional<DirEntry> FindEntry(const std::string& path) override {
    if (Refuse("FindEntry", path)) return std::nullopt;
    if (const Link* l = FindLink(path)) return LinkEntry(*l);
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
    if (Refuse("ListDirectory", dir) || !real_.ListDirectory(Resolve(dir), out)) return false;
    FakeEntries(dir, out);
    return true;
  }
  std::uint32_t LinkCount(const std::string& path) override {
    if (Refuse("LinkCount", path)) return 0;
    if (FindLink(path) || IsVirtual(path)) return 1;
    return real_.LinkCount(Resolve(path));
  }
  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    if (Refuse("SetWriteTime", path) || FindLink(path) || IsVirtual(path)) return false;
    return real_.SetWriteTime(Resolve(path), written);
  }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>& ranges) override {
    Refuse("TrimVolume", path);
    trimRanges.push_back(ranges.size());
    return trimVolumeAnswer;
  }

  std::optional<NodeInfo> StatPath(const std::string& path) override {
    if (auto fake = FakeStat(WithoutTrailingBackslash(path))) return fake;
    return ForwardingPlatform::StatPath(path);
  }
  // The answer of IgnoresCase when set; else the real one.
  std::function<bool(const std::string& dir)> ignoresCase;
  bool IgnoresCase(const std::string& dir) override {
    Refuse("IgnoresCase", dir);
    return ignoresCase ? ignoresCase(dir) : real_.IgnoresCase(Resolve(dir));
  }
  // A walk by handles never passes a link.
  std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) override {
    for (const auto& l : links_)
      if (EqualsNoCase(WithoutTrailingBackslash(path), l.path) || StartsWithNoCase(path, l.path + "\\")) {
        if (why) *why = l.path + " is a link, not a folder";
        Refuse("OpenFolderPath", path);  // noted
        return nullptr;
      }
    return ForwardingPlatform::OpenFolder(path, why);
  }

  bool Refuse(const std::string& op, const std::string& path, std::int64_t offset = 0,
              std::size_t size = 0) override {
    Call c;
    c.op = op;
    c.path = path;
    c.offset = offset;
    c.size = size;
    calls.push_back(std::move(c));
    return Failing(op, path);
  }
  bool RefuseTimes(const std::string& path, const CivilTime* cr, const CivilTime* ac, const CivilTime* wr) override {
    RecordTimes(path, cr, ac, wr);
    return Failing("SetTimes", path);
  }

  // A rename takes the links inside a folder with it.
  void Moved(const std::string& from, const std::string& to) override {
    for (auto& l : links_)
      if (StartsWithNoCase(l.path, from + "\\")) l.path = to + l.path.substr(from.size());
  }

  std::optional<NodeInfo> FakeStat(const std::string& path) override {
    if (const Link* l = FindLink(path)) {
      NodeInfo i;
      i.kind = NodeKind::Link;
      i.id = l->id;
      i.attributes = LinkAttributes(*l);
      return i;
    }
    if (IsVirtual(path)) {
      NodeInfo i;
      i.kind = NodeKind::File;
      i.id = FakeId(path);
      i.attributes = kAttrArchive;
      i.size = virtual_[ToUpper(path)];
      return i;
    }
    return std::nullopt;
  }
  void FakeEntries(const std::string& folder, std::vector<DirEntry>& out) override {
    for (const auto& l : links_)
      if (EqualsNoCase(FolderPart(l.path), WithTrailingBackslash(folder))) out.push_back(LinkEntry(l));
  }
  std::string FakeRefusal(const std::string& path) override { return FindLink(path) ? "is a link" : ""; }
  std::unique_ptr<Node> FakeNode(const std::string& path) override {
    if (FindLink(path) || IsVirtual(path)) return std::make_unique<FakeNodeOf<Node>>(*this, path);
    return nullptr;
  }
  std::unique_ptr<File> FakeFile(const std::string& path) override {
    if (IsVirtual(path)) return std::make_unique<VirtualFile>(*this, path);
    return nullptr;
  }

 private:
  struct Rule {
    std::string op, pathPart;
    int skip;
  };
  struct Link {
    std::string path, target;
    bool folder;
    FileId id;  // kept when the link is moved, as a real one's is
  };

  // A fake link or a virtual file held as itself: asked about, moved and
  // deleted here.
  template <class Base>
  class FakeNodeOf : public Base {
   public:
    FakeNodeOf(RecordingPlatform& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    std::optional<NodeInfo> Info() override { return owner_.FakeStat(path_); }
    bool Delete() override {
      if (owner_.Refuse("Delete", path_)) return false;
      return owner_.EraseLink(path_) || owner_.virtual_.erase(ToUpper(path_)) == 1;
    }
    bool MoveTo(Folder& to, const std::string& name, bool) override {
      if (owner_.Refuse("MoveTo", path_)) return false;
      std::string dest = WithTrailingBackslash(to.Path()) + name;
      if (owner_.FakeStat(dest) || owner_.real_.StatPath(dest)) return false;
      for (auto& l : owner_.links_)
        if (EqualsNoCase(l.path, path_)) l.path = dest;
      auto v = owner_.virtual_.find(ToUpper(path_));
      if (v != owner_.virtual_.end()) {
        owner_.virtual_[ToUpper(dest)] = v->second;
        owner_.virtual_.erase(ToUpper(path_));
      }
      path_ = dest;
      return true;
    }
    std::string Path() const override { return path_; }

   protected:
    RecordingPlatform& owner_;
    std::string path_;
  };

  // A file without content: every write is checked against its size and
  // recorded; the first and last byte of each block are kept for checks.
  class VirtualFile : public FakeNodeOf<File> {
   public:
    VirtualFile(RecordingPlatform& owner, std::string path) : FakeNodeOf<File>(owner, std::move(path)) {}
    std::int64_t Size() override {
      if (owner_.Refuse("Size", path_)) return -1;
      auto it = owner_.virtual_.find(ToUpper(path_));
      return it == owner_.virtual_.end() ? -1 : it->second;
    }
    bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
      if (owner_.Refuse("WriteAt", path_, offset, n)) return false;
      if (n > 0) {
        const auto* p = static_cast<const unsigned char*>(data);
        owner_.virtualBytes.push_back(p[0]);
        owner_.virtualBytes.push_back(p[n - 1]);
      }
      return true;
    }
    bool Append(const std::string& data) override {
      return !owner_.Refuse("Append", path_, -1, data.size());
    }
    bool Flush() override { return !owner_.Refuse("Flush", path_); }
    bool StartWriteBack(std::int64_t offset, std::int64_t length) override {
      return !owner_.Refuse("StartWriteBack", path_, offset, static_cast<std::size_t>(length));
    }
    bool SetTimes(const CivilTime* c, const CivilTime* a, const CivilTime* w) override {
      return !owner_.RefuseTimes(path_, c, a, w);
    }
    bool Truncate(std::int64_t size) override {
      if (owner_.Refuse("Truncate", path_)) return false;
      owner_.virtual_[ToUpper(path_)] = size;
      return true;
    }
    std::optional<std::vector<std::string>> StreamNames() override { return owner_.StreamNamesOf(path_, nullptr); }
    std::unique_ptr<File> OpenStream(const std::string& name) override {
      return owner_.OpenStreamOf(path_, name, nullptr);
    }
  };

  void RecordTimes(const std::string& path, const CivilTime* cr, const CivilTime* ac, const CivilTime* wr) {
    Call c;
    c.op = "SetTimes";
    c.path = path;
    if (cr) c.created = *cr;
    if (ac) c.accessed = *ac;
    if (wr) c.written = *wr;
    calls.push_back(std::move(c));
  }
  static bool Contains(const std::string& s, const std::string& part) {
    return part.empty() || ToUpper(s).find(ToUpper(part)) != std::string::npos;
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

  // A device that gives back other bytes than it was given
  // ("ReadBack+differ"); Discard as a system that passes freed blocks on at
  // once where discardReaches.
  std::int64_t ReadBackOf(const std::string& path, File& real, std::int64_t offset, void* buffer, std::size_t n,
                          std::string* why) override {
    std::int64_t got = ForwardingPlatform::ReadBackOf(path, real, offset, buffer, n, why);
    if (got > 0 && Failing("ReadBack+differ", path)) static_cast<unsigned char*>(buffer)[got - 1] ^= 0x5A;
    return got;
  }
  std::string DiscardOf(const std::string& path, File& real) override {
    if (Refuse("Discard", path)) return "failing by test";
    return discardReaches ? std::string() : real.Discard();
  }

  // The streams the system lists for a file opened by `path`, then the ones
  // added here.
  std::optional<std::vector<std::string>> StreamNamesOf(const std::string& path, File* real) override {
    if (Refuse("StreamNames", path)) return std::nullopt;
    auto names = real ? real->StreamNames() : std::vector<std::string>{};
    auto it = streams_.find(ToUpper(path));
    if (names && it != streams_.end()) names->insert(names->end(), it->second.begin(), it->second.end());
    return names;
  }
  std::unique_ptr<File> OpenStreamOf(const std::string& path, const std::string& name, File* real) override {
    const std::string stream = path + ":" + name;
    if (Refuse("OpenStream", stream)) return nullptr;
    if (IsVirtual(stream)) return std::make_unique<VirtualFile>(*this, stream);
    return real ? Wrap(real->OpenStream(name)) : nullptr;
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
  static DirEntry LinkEntry(const Link& l) {
    DirEntry e;
    e.name = FileNamePart(l.path);
    e.attributes = LinkAttributes(l);
    e.kind = NodeKind::Link;
    e.id = l.id;
    return e;
  }
  static FileId FakeId(const std::string& path) {
    return {0xFA4E, static_cast<std::uint64_t>(std::hash<std::string>{}(ToUpper(path)))};
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

  std::vector<Rule> rules_;
  std::vector<Link> links_;
  std::map<std::string, std::int64_t> virtual_;
  std::map<std::string, std::vector<std::string>> streams_;  // upper-case path -> names added
};

}  // namespace vz::test
