// A platform that forwards to the real one and makes the n-th call of one
// kind fail: once (a passing hiccup), or from then on (a device that went
// away, a full disk). A failing write that carries data writes the first
// half of it before it fails, as a write cut short by a full disk does.
//
//   FaultPlatform faults(FaultKind::Move, 3, FaultMode::Once);
//   { ScopedPlatform use(faults); ... code under test ... }
//   faults.Hit()  ->  whether the third move was reached
//
// In crash mode the process dies, as if killed, just before its n-th change
// (a write, flush, move, delete, creation or truncation); a data write it
// dies in leaves its first half, as a write cut off by the kill would.
//
//   FaultPlatform crash = FaultPlatform::CrashAt(5);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vz::test {

enum class FaultKind {
  Open,    // opening or creating a file, a folder or a named stream, reading a whole file
  Write,   // writing content or metadata (times, attributes), making folders
  Flush,   // flushing a file to the device
  Move,    // moving a file or a folder
  Delete,  // removing a file, a folder or a link
  Search,  // asking what is there: attributes, entries, listings, sizes, named streams
};
enum class FaultMode { Once, FromThenOn, Crash };

// Ends the process at once, the way a kill does: nothing else runs.
[[noreturn]] void DieNow();

const char* KindName(FaultKind k);
const char* ModeName(FaultMode m);
constexpr FaultKind kAllKinds[] = {FaultKind::Open, FaultKind::Write,  FaultKind::Flush,
                                   FaultKind::Move, FaultKind::Delete, FaultKind::Search};

class FaultPlatform : public Platform {
 public:
  // `onlyOp`, when given, narrows the kind to calls of that one method
  // ("Append", "GetAttributes").
  FaultPlatform(FaultKind kind, int n, FaultMode mode, std::string onlyOp = {}, Platform& real = NativePlatform())
      : kind_(kind), n_(n), mode_(mode), onlyOp_(std::move(onlyOp)), real_(real) {}

  static FaultPlatform CrashAt(int n) { return FaultPlatform(FaultKind::Write, n, FaultMode::Crash); }

  // Calls of the chosen kind seen so far, failed ones included.
  int Calls() const { return calls_; }
  bool Hit() const { return !failed_.empty(); }
  // "MoveItem D:\Work\a.txt" for every call that was made to fail.
  const std::vector<std::string>& Failed() const { return failed_; }

  std::uint32_t LogicalDriveMask() override { return real_.LogicalDriveMask(); }
  DriveType DriveTypeOf(char letter) override { return real_.DriveTypeOf(letter); }

  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin origin, std::string* why) override {
    return real_.ResolvePath(path, origin, why);
  }
  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    if (Fail(FaultKind::Search, "GetAttributes", path)) return std::nullopt;
    return real_.GetAttributes(path);
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    return !Fail(FaultKind::Write, "SetAttributes", path) && real_.SetAttributes(path, attributes);
  }
  std::optional<DirEntry> FindEntry(const std::string& path) override {
    if (Fail(FaultKind::Search, "FindEntry", path)) return std::nullopt;
    return real_.FindEntry(path);
  }
  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    return !Fail(FaultKind::Search, "ListDirectory", dir) && real_.ListDirectory(dir, out);
  }
  std::uint32_t LinkCount(const std::string& path) override {
    return Fail(FaultKind::Search, "LinkCount", path) ? 0 : real_.LinkCount(path);
  }
  bool MakeDirectory(const std::string& path) override {
    return !Fail(FaultKind::Write, "MakeDirectory", path) && real_.MakeDirectory(path);
  }
  bool SetWriteTime(const std::string& path, const CivilTime& written) override {
    return !Fail(FaultKind::Write, "SetWriteTime", path) && real_.SetWriteTime(path, written);
  }
  bool IgnoresCase(const std::string& dir) override { return real_.IgnoresCase(dir); }

  bool CreateEmptyFile(const std::string& path) override {
    return !Fail(FaultKind::Open, "CreateEmptyFile", path) && real_.CreateEmptyFile(path);
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    if (Fail(FaultKind::Open, "ReadWholeFile", path)) return std::nullopt;
    return real_.ReadWholeFile(path);
  }
  // Promised to be all or nothing, so a failure changes nothing.
  bool ReplaceFileContents(const std::string& path, const std::string& content) override {
    return !Fail(FaultKind::Write, "ReplaceFileContents", path) && real_.ReplaceFileContents(path, content);
  }
  bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value) override {
    return !Fail(FaultKind::Write, "WriteIniString", path) && real_.WriteIniString(path, section, key, value);
  }

  std::unique_ptr<File> OpenExclusive(const std::string& path) override {
    if (Fail(FaultKind::Open, "OpenExclusive", path)) return nullptr;
    return Wrap(real_.OpenExclusive(path), path);
  }
  std::unique_ptr<File> OpenExclusiveReadBack(const std::string& path) override {
    if (Fail(FaultKind::Open, "OpenExclusive", path)) return nullptr;
    return Wrap(real_.OpenExclusiveReadBack(path), path);
  }
  std::string TrimVolume(const std::string& path, const std::vector<ByteRange>& ranges) override {
    return real_.TrimVolume(path, ranges);
  }
  std::unique_ptr<File> OpenSharedWrite(const std::string& path, bool truncate) override {
    if (Fail(FaultKind::Open, "OpenSharedWrite", path)) return nullptr;
    if (truncate && Fail(FaultKind::Write, "OpenSharedWrite+truncate", path)) return nullptr;
    return Wrap(real_.OpenSharedWrite(path, truncate), path);
  }
  std::unique_ptr<File> OpenAppend(const std::string& path) override {
    if (Fail(FaultKind::Open, "OpenAppend", path)) return nullptr;
    return Wrap(real_.OpenAppend(path), path);
  }
  std::unique_ptr<File> OpenFolder(const std::string& path) override {
    if (Fail(FaultKind::Open, "OpenFolder", path)) return nullptr;
    return Wrap(real_.OpenFolder(path), path);
  }

  bool MoveItem(const std::string& from, const std::string& to) override {
    return !Fail(FaultKind::Move, "MoveItem", from) && real_.MoveItem(from, to);
  }
  std::unique_ptr<StoreLock> LockStore(const std::string& storeDir, int waitMs, bool* busy) override {
    return real_.LockStore(storeDir, waitMs, busy);
  }
  bool RemoveFile(const std::string& path) override {
    return !Fail(FaultKind::Delete, "RemoveFile", path) && real_.RemoveFile(path);
  }
  bool DeleteItem(const std::string& path) override {
    return !Fail(FaultKind::Delete, "DeleteItem", path) && real_.DeleteItem(path);
  }
  bool RemoveEmptyDirectory(const std::string& path) override {
    return !Fail(FaultKind::Delete, "RemoveEmptyDirectory", path) && real_.RemoveEmptyDirectory(path);
  }
  bool RemoveLink(const std::string& path) override {
    return !Fail(FaultKind::Delete, "RemoveLink", path) && real_.RemoveLink(path);
  }

  CivilTime LocalNow() override { return real_.LocalNow(); }
  CivilTime ToLocal(const CivilTime& raw) override { return real_.ToLocal(raw); }
  std::optional<std::string> FormatDateTime(const CivilTime& t, DateStyle style) override {
    return real_.FormatDateTime(t, style);
  }

  // The settings are not what is on trial here.
  bool KvOpenKey(const std::string& key, bool create) override { return real_.KvOpenKey(key, create); }
  KvValue KvRead(const std::string& key, const std::string& name) override { return real_.KvRead(key, name); }
  bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) override {
    return real_.KvWriteDword(key, name, value);
  }
  bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) override {
    return real_.KvWriteString(key, name, value);
  }
  void UpdateIcon() override {}

 private:
  class FaultFile : public File {
   public:
    FaultFile(FaultPlatform& owner, std::string path, std::unique_ptr<File> real)
        : owner_(owner), path_(std::move(path)), real_(std::move(real)) {}
    std::int64_t Size() override { return owner_.Fail(FaultKind::Search, "Size", path_) ? -1 : real_->Size(); }
    bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
      if (owner_.Fail(FaultKind::Write, "WriteAt", path_, true)) {
        real_->WriteAt(offset, data, n / 2);
        owner_.DieIfCrashing();
        return false;
      }
      return real_->WriteAt(offset, data, n);
    }
    bool Append(const std::string& data) override {
      if (owner_.Fail(FaultKind::Write, "Append", path_, true)) {
        real_->Append(data.substr(0, data.size() / 2));
        owner_.DieIfCrashing();
        return false;
      }
      return real_->Append(data);
    }
    bool Flush() override { return !owner_.Fail(FaultKind::Flush, "Flush", path_) && real_->Flush(); }
    std::int64_t ReadBack(std::int64_t offset, void* buffer, std::size_t n, std::string* why) override {
      return real_->ReadBack(offset, buffer, n, why);
    }
    std::vector<ByteRange> Extents() override { return real_->Extents(); }
    std::string Discard() override { return real_->Discard(); }
    bool SetTimes(const CivilTime* c, const CivilTime* a, const CivilTime* w) override {
      return !owner_.Fail(FaultKind::Write, "SetTimes", path_) && real_->SetTimes(c, a, w);
    }
    std::optional<std::vector<std::string>> StreamNames() override {
      if (owner_.Fail(FaultKind::Search, "StreamNames", path_)) return std::nullopt;
      return real_->StreamNames();
    }
    std::unique_ptr<File> OpenStream(const std::string& name) override {
      if (owner_.Fail(FaultKind::Open, "OpenStream", path_ + ":" + name)) return nullptr;
      return owner_.Wrap(real_->OpenStream(name), path_ + ":" + name);
    }

   private:
    FaultPlatform& owner_;
    std::string path_;
    std::unique_ptr<File> real_;
  };

  std::unique_ptr<File> Wrap(std::unique_ptr<File> f, const std::string& path) {
    if (!f) return nullptr;
    return std::make_unique<FaultFile>(*this, path, std::move(f));
  }

  void DieIfCrashing() {
    if (mode_ == FaultMode::Crash) DieNow();
  }

  bool Fail(FaultKind kind, const char* op, const std::string& path, bool dataWrite = false) {
    if (mode_ == FaultMode::Crash) {
      bool change = kind == FaultKind::Write || kind == FaultKind::Flush || kind == FaultKind::Move ||
                    kind == FaultKind::Delete || std::string(op) == "CreateEmptyFile";
      if (!change || ++calls_ != n_) return false;
      if (!dataWrite) DieNow();
      return true;
    }
    if (kind != kind_ || (!onlyOp_.empty() && onlyOp_ != op)) return false;
    int call = ++calls_;
    bool fail = mode_ == FaultMode::Once ? call == n_ : call >= n_;
    if (fail) failed_.push_back(std::string(op) + " " + path);
    return fail;
  }

  FaultKind kind_;
  int n_;
  FaultMode mode_;
  std::string onlyOp_;
  Platform& real_;
  int calls_ = 0;
  std::vector<std::string> failed_;
};

inline const char* KindName(FaultKind k) {
  switch (k) {
    case FaultKind::Open: return "open";
    case FaultKind::Write: return "write";
    case FaultKind::Flush: return "flush";
    case FaultKind::Move: return "move";
    case FaultKind::Delete: return "delete";
    case FaultKind::Search: return "search";
  }
  return "?";
}
inline const char* ModeName(FaultMode m) {
  return m == FaultMode::Once ? "once" : m == FaultMode::FromThenOn ? "from then on" : "crash";
}

}  // namespace vz::test
