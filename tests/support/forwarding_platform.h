// The common ground of the test platforms: every operation forwards to a
// real platform, and every handle it hands out (folders, files, nodes) is
// wrapped so that each of their operations passes through Refuse first. A
// test platform overrides Refuse to record calls or make chosen ones fail,
// and the Open hooks to stand things in that the disk does not hold.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/medium.h"
#include "platform/platform.h"

namespace vz::test {

class ForwardingPlatform : public Platform {
 public:
  explicit ForwardingPlatform(Platform& real) : real_(real) {}

  std::uint32_t LogicalDriveMask() override { return real_.LogicalDriveMask(); }
  DriveType DriveTypeOf(char letter) override { return real_.DriveTypeOf(letter); }
  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin origin, std::string* why) override {
    return real_.ResolvePath(path, origin, why);
  }
  std::optional<std::string> ToCodePage(const std::string& text) override { return real_.ToCodePage(text); }
  std::string FromCodePage(const std::string& bytes) override { return real_.FromCodePage(bytes); }
  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    if (Refuse("GetAttributes", path)) return std::nullopt;
    return real_.GetAttributes(path);
  }
  std::optional<DirEntry> FindEntry(const std::string& path) override {
    if (Refuse("FindEntry", path)) return std::nullopt;
    return real_.FindEntry(path);
  }
  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    return !Refuse("ListDirectory", dir) && real_.ListDirectory(dir, out);
  }
  std::uint32_t LinkCount(const std::string& path) override {
    return Refuse("LinkCount", path) ? 0 : real_.LinkCount(path);
  }
  bool IgnoresCase(const std::string& dir) override {
    Refuse("IgnoresCase", dir);  // a question: never made to fail
    return real_.IgnoresCase(dir);
  }
  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    return !RefuseTimes(path, nullptr, nullptr, &written) && real_.SetWriteTime(path, written);
  }
  std::optional<NodeInfo> StatPath(const std::string& path) override {
    if (Refuse("StatPath", path)) return std::nullopt;
    return real_.StatPath(path);
  }
  std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) override {
    if (Refuse("OpenFolderPath", path)) return Refused(why, path);
    auto f = real_.OpenFolder(path, why);
    return f ? Wrap(std::move(f)) : nullptr;
  }
  std::vector<std::pair<char, FileId>> VolumeRoots() override { return real_.VolumeRoots(); }
  std::vector<bool> FlushFiles(const std::vector<File*>& files) override;
  std::unique_ptr<StoreLock> LockStore(const std::string& storeDir, int waitMs, bool* busy) override {
    if (Refuse("LockStore", storeDir)) {
      if (busy) *busy = true;
      return nullptr;
    }
    return real_.LockStore(storeDir, waitMs, busy);
  }
  CivilTime LocalNow() override { return real_.LocalNow(); }
  CivilTime ToLocal(const CivilTime& raw) override { return real_.ToLocal(raw); }
  std::optional<std::string> FormatDateTime(const CivilTime& t, DateStyle style) override {
    return real_.FormatDateTime(t, style);
  }
  bool KvOpenKey(const std::string& key, bool create) override {
    return !Refuse(create ? "KvOpenKey+create" : "KvOpenKey", key) && real_.KvOpenKey(key, create);
  }
  KvValue KvRead(const std::string& key, const std::string& name) override {
    if (Refuse("KvRead", name)) return {};
    return real_.KvRead(key, name);
  }
  bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    return !Refuse("KvWriteDword", name) && real_.KvWriteDword(key, name, value);
  }
  bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) override {
    return !Refuse("KvWriteString", name) && real_.KvWriteString(key, name, value);
  }
  void UpdateIcon() override {
    if (!Refuse("UpdateIcon", "")) real_.UpdateIcon();
  }
  MediumFacts MediumOf(const std::string& path) override;
  FileStorage FileStorageOf(const std::string& path) override;
  FileStorage OpenFileStorageOf(File& file, const std::string& path) override;

  // True to make the operation `op` on `path` fail (or, for a test that
  // records, only to note it). Handles' operations come here with the path
  // of what they act on: "OpenFolder", "OpenExclusive", "OpenSharedWrite",
  // "OpenAppend", "OpenRead", "OpenNode", "CreateNew", "MakeFolder",
  // "List", "Stat", "Info", "SetAttributes", "MoveTo", "Delete" and the
  // File methods by their names.
  // Writes come with their offset (-1 for an append) and size.
  virtual bool Refuse(const std::string& /*op*/, const std::string& /*path*/, std::int64_t /*offset*/ = 0,
                      std::size_t /*size*/ = 0) {
    return false;
  }
  virtual bool RefuseTimes(const std::string& path, const CivilTime*, const CivilTime*, const CivilTime*) {
    return Refuse("SetTimes", path);
  }
  // The named streams of a file or folder opened by `path`, and one of them
  // opened: what `real` (null for a fake) has, unless refused.
  virtual std::optional<std::vector<std::string>> StreamNamesOf(const std::string& path, File* real) {
    if (Refuse("StreamNames", path)) return std::nullopt;
    return real ? real->StreamNames() : std::vector<std::string>{};
  }
  virtual std::unique_ptr<File> OpenStreamOf(const std::string& path, const std::string& name, File* real) {
    if (Refuse("OpenStream", path + ":" + name) || !real) return nullptr;
    auto f = real->OpenStream(name);
    return f ? Wrap(std::move(f)) : nullptr;
  }
  // A read past the caches and the handing back of a file's blocks, as
  // `real` does them unless refused.
  virtual std::int64_t ReadBackOf(const std::string& path, File& real, std::int64_t offset, void* buffer,
                                  std::size_t n, std::string* why) {
    if (Refuse("ReadBack", path)) {
      if (why) *why = "failing by test";
      return -1;
    }
    return real.ReadBack(offset, buffer, n, why);
  }
  virtual std::string DiscardOf(const std::string& path, File& real) {
    return Refuse("Discard", path) ? "failing by test" : real.Discard();
  }
  std::string HoldersOf(const std::string& path) override { return real_.HoldersOf(path); }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>& ranges) override {
    return real_.TrimVolume(path, ranges);
  }
  // A data write that Refuse failed: what it leaves behind (nothing here).
  virtual void RefusedWrite(File& /*real*/, std::int64_t /*offset*/, const void* /*data*/, std::size_t /*n*/) {}

  // A real move that went through: fakes beneath `from` go with it.
  virtual void Moved(const std::string& /*from*/, const std::string& /*to*/) {}

  // What stands in a folder at `path` instead of what the disk holds, for
  // test platforms that fake things. Null: the real entry.
  virtual std::unique_ptr<Node> FakeNode(const std::string& /*path*/) { return nullptr; }
  virtual std::optional<NodeInfo> FakeStat(const std::string& /*path*/) { return std::nullopt; }
  virtual std::unique_ptr<File> FakeFile(const std::string& /*path*/) { return nullptr; }
  virtual void FakeEntries(const std::string& /*folder*/, std::vector<DirEntry>& /*out*/) {}
  // Why opening `path` as a folder is refused though the disk would take it
  // (a fake link); empty to go on.
  virtual std::string FakeRefusal(const std::string& /*path*/) { return {}; }

  std::unique_ptr<Folder> Wrap(std::unique_ptr<Folder> f);
  std::unique_ptr<File> Wrap(std::unique_ptr<File> f);
  std::unique_ptr<Node> Wrap(std::unique_ptr<Node> n);

 protected:
  static std::unique_ptr<Folder> Refused(std::string* why, const std::string& path) {
    if (why) *why = path + " could not be opened (a test made it fail)";
    return nullptr;
  }
  Platform& real_;
};

// A node of the real platform seen through a forwarding one.
template <class Base>
class Forwarded : public Base {
 public:
  Forwarded(ForwardingPlatform& owner, std::unique_ptr<Base> real) : owner_(owner), real_(std::move(real)) {}
  Base& Real() { return *real_; }
  std::optional<NodeInfo> Info() override {
    if (owner_.Refuse("Info", Path())) return std::nullopt;
    return real_->Info();
  }
  bool SetAttributes(std::uint32_t a) override { return !owner_.Refuse("SetAttributes", Path()) && real_->SetAttributes(a); }
  bool MoveTo(Folder& to, const std::string& name, bool replace) override;
  bool ExchangeWith(const std::string& name) override {
    return !owner_.Refuse("ExchangeWith", Path()) && real_->ExchangeWith(name);
  }
  bool LinkAs(Folder& to, const std::string& name) override;
  bool Delete() override { return !owner_.Refuse("Delete", Path()) && real_->Delete(); }
  std::string Path() const override { return real_->Path(); }
  std::string LastError() override { return real_->LastError(); }

 protected:
  ForwardingPlatform& owner_;
  std::unique_ptr<Base> real_;
};

class ForwardedFolder : public Forwarded<Folder> {
 public:
  using Forwarded<Folder>::Forwarded;
  bool List(std::vector<DirEntry>& out) override {
    if (owner_.Refuse("List", Path()) || !real_->List(out)) return false;
    owner_.FakeEntries(Path(), out);
    return true;
  }
  std::optional<NodeInfo> Stat(const std::string& name) override {
    const std::string path = Child(name);
    if (owner_.Refuse("Stat", path)) return std::nullopt;
    if (auto fake = owner_.FakeStat(path)) return fake;
    return real_->Stat(name);
  }
  std::unique_ptr<Folder> OpenFolder(const std::string& name, std::string* why) override {
    const std::string path = Child(name);
    if (owner_.Refuse("OpenFolder", path)) return Fail<Folder>(why, path);
    std::string refusal = owner_.FakeRefusal(path);
    if (!refusal.empty()) return Fail<Folder>(why, path + " " + refusal, false);
    auto f = real_->OpenFolder(name, why);
    return f ? owner_.Wrap(std::move(f)) : nullptr;
  }
  std::unique_ptr<File> OpenFile(const std::string& name, FileAccess access, std::string* why) override {
    const std::string path = Child(name);
    static const char* const kOps[] = {"OpenRead", "OpenSharedWrite", "OpenExclusive", "OpenAppend", "OpenExclusive"};
    if (access == FileAccess::ExclusiveReadBack) owner_.Refuse("OpenExclusiveReadBack", path);  // noted
    if (owner_.Refuse(kOps[static_cast<int>(access)], path)) return Fail<File>(why, path);
    if (auto fake = owner_.FakeFile(path)) return fake;
    std::string refusal = owner_.FakeRefusal(path);
    if (!refusal.empty()) return Fail<File>(why, path + " " + refusal, false);
    auto f = real_->OpenFile(name, access, why);
    return f ? owner_.Wrap(std::move(f)) : nullptr;
  }
  std::unique_ptr<Node> OpenNode(const std::string& name, std::string* why) override {
    const std::string path = Child(name);
    if (owner_.Refuse("OpenNode", path)) return Fail<Node>(why, path);
    if (auto fake = owner_.FakeNode(path)) return fake;
    auto n = real_->OpenNode(name, why);
    return n ? owner_.Wrap(std::move(n)) : nullptr;
  }
  std::unique_ptr<File> CreateNew(const std::string& name, std::string* why) override {
    const std::string path = Child(name);
    if (owner_.Refuse("CreateNew", path)) return Fail<File>(why, path);
    auto f = real_->CreateNew(name, why);
    return f ? owner_.Wrap(std::move(f)) : nullptr;
  }
  std::unique_ptr<Folder> MakeFolder(const std::string& name, std::string* why) override {
    const std::string path = Child(name);
    if (owner_.Refuse("MakeFolder", path)) return Fail<Folder>(why, path);
    auto f = real_->MakeFolder(name, why);
    return f ? owner_.Wrap(std::move(f)) : nullptr;
  }
  std::unique_ptr<File> OwnStreams() override;

 private:
  std::string Child(const std::string& name) const {
    std::string p = Path();
    return (p.empty() || p.back() == '\\' ? p : p + "\\") + name;
  }
  template <class T>
  static std::unique_ptr<T> Fail(std::string* why, const std::string& text, bool injected = true) {
    if (why) *why = injected ? text + " could not be opened (a test made it fail)" : text;
    return nullptr;
  }
};

class ForwardedFile : public Forwarded<File> {
 public:
  using Forwarded<File>::Forwarded;
  std::int64_t Size() override { return owner_.Refuse("Size", Path()) ? -1 : real_->Size(); }
  bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
    if (owner_.Refuse("WriteAt", Path(), offset, n)) {
      owner_.RefusedWrite(*real_, offset, data, n);
      return false;
    }
    return real_->WriteAt(offset, data, n);
  }
  bool Append(const std::string& data) override {
    if (owner_.Refuse("Append", Path(), -1, data.size())) {
      owner_.RefusedWrite(*real_, -1, data.data(), data.size());
      return false;
    }
    return real_->Append(data);
  }
  bool Flush() override { return !owner_.Refuse("Flush", Path()) && real_->Flush(); }
  bool StartWriteBack(std::int64_t offset, std::int64_t length) override {
    return !owner_.Refuse("StartWriteBack", Path(), offset, static_cast<std::size_t>(length)) &&
           real_->StartWriteBack(offset, length);
  }
  bool BypassCache() override { return real_->BypassCache(); }
  bool SetTimes(const CivilTime* c, const CivilTime* a, const CivilTime* w) override {
    return !owner_.RefuseTimes(Path(), c, a, w) && real_->SetTimes(c, a, w);
  }
  std::int64_t ReadAt(std::int64_t offset, void* data, std::size_t n) override {
    return owner_.Refuse("ReadAt", Path()) ? -1 : real_->ReadAt(offset, data, n);
  }
  bool Truncate(std::int64_t size) override { return !owner_.Refuse("Truncate", Path()) && real_->Truncate(size); }
  std::vector<std::pair<std::int64_t, std::int64_t>> DataRanges() override { return real_->DataRanges(); }
  std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
    return owner_.ReadBackOf(Path(), *real_, offset, buffer, n, why);
  }
  std::vector<ByteRange> Extents() override {
    owner_.Refuse("Extents", Path());  // noted: asking may write the file's pages out first
    return real_->Extents();
  }
  std::string Discard() override { return owner_.DiscardOf(Path(), *real_); }
  bool ZeroAndRelease() override { return real_->ZeroAndRelease(); }
  bool KeptWhenReplaced() override { return !owner_.Refuse("KeptWhenReplaced", Path()) && real_->KeptWhenReplaced(); }
  std::optional<std::vector<std::string>> StreamNames() override { return owner_.StreamNamesOf(Path(), real_.get()); }
  std::unique_ptr<File> OpenStream(const std::string& name) override {
    return owner_.OpenStreamOf(Path(), name, real_.get());
  }
};

// A folder's own streams, named by the folder's path.
class ForwardedFolderStreams : public ForwardedFile {
 public:
  ForwardedFolderStreams(ForwardingPlatform& owner, std::unique_ptr<File> real, std::string path)
      : ForwardedFile(owner, std::move(real)), path_(std::move(path)) {}
  std::string Path() const override { return path_; }

 private:
  std::string path_;
};

inline std::unique_ptr<File> ForwardedFolder::OwnStreams() {
  if (owner_.Refuse("OpenFolderStreams", Path())) return nullptr;
  auto f = real_->OwnStreams();
  return f ? std::make_unique<ForwardedFolderStreams>(owner_, std::move(f), Path()) : nullptr;
}

template <class Base>
bool Forwarded<Base>::MoveTo(Folder& to, const std::string& name, bool replace) {
  if (owner_.Refuse("MoveTo", Path())) return false;
  auto* dest = dynamic_cast<ForwardedFolder*>(&to);
  const std::string from = Path();
  if (!real_->MoveTo(dest ? dest->Real() : to, name, replace)) return false;
  owner_.Moved(from, Path());
  return true;
}

template <class Base>
bool Forwarded<Base>::LinkAs(Folder& to, const std::string& name) {
  auto* dest = dynamic_cast<ForwardedFolder*>(&to);
  return !owner_.Refuse("LinkAs", Path()) && real_->LinkAs(dest ? dest->Real() : to, name);
}

inline std::unique_ptr<Folder> ForwardingPlatform::Wrap(std::unique_ptr<Folder> f) {
  return std::make_unique<ForwardedFolder>(*this, std::move(f));
}
inline std::unique_ptr<File> ForwardingPlatform::Wrap(std::unique_ptr<File> f) {
  return std::make_unique<ForwardedFile>(*this, std::move(f));
}
inline std::unique_ptr<Node> ForwardingPlatform::Wrap(std::unique_ptr<Node> n) {
  return std::make_unique<Forwarded<Node>>(*this, std::move(n));
}

inline MediumFacts ForwardingPlatform::MediumOf(const std::string& path) { return real_.MediumOf(path); }
inline FileStorage ForwardingPlatform::FileStorageOf(const std::string& path) { return real_.FileStorageOf(path); }
inline FileStorage ForwardingPlatform::OpenFileStorageOf(File& file, const std::string& path) {
  auto* f = dynamic_cast<ForwardedFile*>(&file);
  return f ? real_.OpenFileStorageOf(f->Real(), path) : FileStorageOf(path);
}

inline std::vector<bool> ForwardingPlatform::FlushFiles(const std::vector<File*>& files) {
  // Each file's flush passes through Refuse on its own; the real platform
  // then flushes the real files together.
  std::vector<bool> ok(files.size(), false);
  std::vector<File*> real;
  std::vector<std::size_t> where;
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto* f = dynamic_cast<ForwardedFile*>(files[i]);
    if (!f) {
      ok[i] = files[i]->Flush();
    } else if (!Refuse("Flush", f->Path())) {
      real.push_back(&f->Real());
      where.push_back(i);
    }
  }
  std::vector<bool> done = real_.FlushFiles(real);
  for (std::size_t k = 0; k < where.size(); ++k) ok[where[k]] = done[k];
  return ok;
}

}  // namespace vz::test
