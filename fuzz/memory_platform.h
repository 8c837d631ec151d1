// A platform held in memory for fuzzing: drive D: is the one fixed drive,
// files and folders live in maps, nothing touches the disk and nothing
// fails, so every answer the code gets is exact.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/drive_path.h"
#include "common/text.h"
#include "platform/platform.h"

namespace vz::fuzz {

class MemoryPlatform : public Platform {
 public:
  // False, and nothing added, where a file stands in the way of a folder.
  bool AddFile(const std::string& path, std::string content = {}) {
    if (IsFolder(path) || !ParentsFree(path)) return false;
    files_[ToUpper(path)] = {path, std::move(content)};
    AddParents(path);
    return true;
  }
  bool AddFolder(const std::string& path) {
    std::string p = WithoutTrailingBackslash(path);
    if (files_.count(ToUpper(p)) || !ParentsFree(p)) return false;
    folders_[ToUpper(p)] = p;
    AddParents(p);
    return true;
  }
  const std::string* Content(const std::string& path) const {
    auto it = files_.find(ToUpper(path));
    return it == files_.end() ? nullptr : &it->second.content;
  }

  std::uint32_t LogicalDriveMask() override { return 1u << ('D' - 'A'); }
  DriveType DriveTypeOf(char letter) override {
    return ToUpperChar(letter) == 'D' ? DriveType::Fixed : DriveType::NoRootDir;
  }
  // Paths are taken as written: only full, plain ones.
  std::optional<std::string> ResolvePath(const std::string& path, PathOrigin, std::string* why) override {
    if (IsDriveRoot(path)) return std::string(1, path[0]) + ":\\";
    if (IsPlainFullPath(path)) return WithoutTrailingBackslash(path);
    if (why) *why = "not a plain full path";
    return std::nullopt;
  }
  std::optional<std::uint32_t> GetAttributes(const std::string& path) override {
    if (files_.count(ToUpper(path))) return std::uint32_t{kAttrArchive};
    if (IsFolder(path)) return std::uint32_t{kAttrDirectory};
    return std::nullopt;
  }
  std::optional<DirEntry> FindEntry(const std::string& path) override {
    auto a = GetAttributes(path);
    if (!a) return std::nullopt;
    DirEntry e;
    e.name = FileNamePart(WithoutTrailingBackslash(path));
    e.attributes = *a;
    if (auto* c = Content(path)) e.size = static_cast<std::int64_t>(c->size());
    return e;
  }
  bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) override {
    if (!IsFolder(dir)) return false;
    std::string prefix = ToUpper(WithTrailingBackslash(dir));
    auto add = [&](const std::string& key, const std::string& path, std::uint32_t attrs) {
      if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) return;
      if (key.find('\\', prefix.size()) != std::string::npos) return;
      DirEntry e;
      e.name = path.substr(prefix.size());
      e.attributes = attrs;
      out.push_back(e);
    };
    for (const auto& f : files_) add(f.first, f.second.path, kAttrArchive);
    for (const auto& d : folders_) add(d.first, d.second, kAttrDirectory);
    return true;
  }
  std::uint32_t LinkCount(const std::string& path) override { return GetAttributes(path) ? 1 : 0; }
  bool IgnoresCase(const std::string&) override { return true; }  // names are kept in upper case
  // Everything here is this account's, and nobody else's.
  std::optional<Ownership> OwnershipOf(const std::string& path) override {
    Ownership o;
    o.folder = IsFolder(path);
    if (!o.folder && !Content(path)) return std::nullopt;
    o.owner = AccountName();
    o.ownerTrusted = true;
    return o;
  }
  std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) override {
    std::string p = WithoutTrailingBackslash(path);
    if (IsDriveRoot(path)) p = std::string(1, path[0]) + ":\\";
    if (!IsFolder(p)) {
      if (why) *why = path + " is not a folder";
      return nullptr;
    }
    return std::make_unique<MemoryFolder>(*this, p);
  }
  bool SetWriteTime(const std::string& path, const CivilTime&) override { return GetAttributes(path).has_value(); }
  CivilTime LocalNow() override { return {2024, 5, 6, 7, 8, 10}; }
  CivilTime ToLocal(const CivilTime& raw) override { return raw; }
  bool KvOpenKey(const std::string&, bool) override { return false; }
  KvValue KvRead(const std::string&, const std::string&) override { return {}; }
  bool KvWriteDword(const std::string&, const std::string&, std::uint32_t) override { return false; }
  bool KvWriteString(const std::string&, const std::string&, const std::string&) override { return false; }
  void UpdateIcon() override {}

  int replacements = 0;

 private:
  struct Entry {
    std::string path, content;
  };
  static FileId IdOf(const std::string& path) { return {0xD, std::hash<std::string>{}(ToUpper(path))}; }

  // Files and folders held by their paths: nothing here changes underneath.
  class MemoryNode : public File {
   public:
    MemoryNode(MemoryPlatform& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    std::optional<NodeInfo> Info() override {
      auto a = owner_.GetAttributes(path_);
      if (!a) return std::nullopt;
      NodeInfo i;
      i.kind = (*a & kAttrDirectory) ? NodeKind::Folder : NodeKind::File;
      i.id = IdOf(path_);
      i.attributes = *a;
      i.size = Size();
      return i;
    }
    bool SetAttributes(std::uint32_t) override { return owner_.GetAttributes(path_).has_value(); }
    bool MoveTo(Folder& to, const std::string& name, bool replace) override {
      const std::string dest = WithTrailingBackslash(to.Path()) + name;
      auto* c = owner_.Content(path_);
      if (!c || (!replace && owner_.GetAttributes(dest))) return false;
      std::string content = *c;
      owner_.files_.erase(ToUpper(path_));
      if (!owner_.AddFile(dest, content)) return false;
      if (replace) ++owner_.replacements;
      path_ = dest;
      return true;
    }
    bool Delete() override { return owner_.files_.erase(ToUpper(path_)) == 1; }
    std::string Path() const override { return path_; }
    std::int64_t Size() override {
      auto* c = owner_.Content(path_);
      return c ? static_cast<std::int64_t>(c->size()) : 0;
    }
    bool WriteAt(std::int64_t offset, const void* data, std::size_t n) override {
      auto it = owner_.files_.find(ToUpper(path_));
      if (it == owner_.files_.end() || offset < 0) return false;
      std::string& c = it->second.content;
      if (c.size() < static_cast<std::size_t>(offset) + n) c.resize(static_cast<std::size_t>(offset) + n);
      c.replace(static_cast<std::size_t>(offset), n, static_cast<const char*>(data), n);
      return true;
    }
    bool Append(const std::string& data) override { return WriteAt(Size(), data.data(), data.size()); }
    bool Flush() override { return true; }
    bool SetTimes(const CivilTime*, const CivilTime*, const CivilTime*) override { return true; }
    std::int64_t ReadAt(std::int64_t offset, void* data, std::size_t n) override {
      auto* c = owner_.Content(path_);
      if (!c || offset < 0) return -1;
      if (static_cast<std::size_t>(offset) >= c->size()) return 0;
      std::size_t k = std::min(n, c->size() - static_cast<std::size_t>(offset));
      std::memcpy(data, c->data() + offset, k);
      return static_cast<std::int64_t>(k);
    }
    bool Truncate(std::int64_t size) override {
      auto it = owner_.files_.find(ToUpper(path_));
      if (it == owner_.files_.end() || size < 0) return false;
      it->second.content.resize(static_cast<std::size_t>(size));
      return true;
    }

   private:
    MemoryPlatform& owner_;
    std::string path_;
  };

  class MemoryFolder : public Folder {
   public:
    MemoryFolder(MemoryPlatform& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    std::optional<NodeInfo> Info() override {
      NodeInfo i;
      i.kind = NodeKind::Folder;
      i.id = IdOf(path_);
      i.attributes = kAttrDirectory;
      return i;
    }
    std::string Path() const override { return path_; }
    bool List(std::vector<DirEntry>& out) override {
      std::size_t first = out.size();
      if (!owner_.ListDirectory(path_, out)) return false;
      for (std::size_t i = first; i < out.size(); ++i) {
        out[i].kind = (out[i].attributes & kAttrDirectory) ? NodeKind::Folder : NodeKind::File;
        out[i].id = IdOf(Child(out[i].name));
      }
      return true;
    }
    std::optional<NodeInfo> Stat(const std::string& name) override {
      if (!BadNodeName(name).empty()) return std::nullopt;
      return MemoryNode(owner_, Child(name)).Info();
    }
    std::unique_ptr<Folder> OpenFolder(const std::string& name, std::string* why) override {
      if (!BadNodeName(name).empty()) return nullptr;
      return owner_.OpenFolder(Child(name), why);
    }
    std::unique_ptr<File> OpenFile(const std::string& name, FileAccess, std::string* why) override {
      if (!BadNodeName(name).empty() || !owner_.Content(Child(name))) {
        if (why) *why = Child(name) + " is no file";
        return nullptr;
      }
      return std::make_unique<MemoryNode>(owner_, Child(name));
    }
    std::unique_ptr<Node> OpenNode(const std::string& name, std::string*) override {
      if (!BadNodeName(name).empty() || !owner_.GetAttributes(Child(name))) return nullptr;
      return std::make_unique<MemoryNode>(owner_, Child(name));
    }
    std::unique_ptr<File> CreateNew(const std::string& name, std::string*) override {
      if (!BadNodeName(name).empty() || owner_.GetAttributes(Child(name)) || !owner_.AddFile(Child(name))) return nullptr;
      return std::make_unique<MemoryNode>(owner_, Child(name));
    }
    std::unique_ptr<Folder> MakeFolder(const std::string& name, std::string* why) override {
      if (!BadNodeName(name).empty() || owner_.GetAttributes(Child(name)) || !owner_.AddFolder(Child(name))) return nullptr;
      return owner_.OpenFolder(Child(name), why);
    }

   private:
    std::string Child(const std::string& name) const { return WithTrailingBackslash(path_) + name; }
    MemoryPlatform& owner_;
    std::string path_;
  };

  bool IsFolder(const std::string& path) const {
    std::string p = WithoutTrailingBackslash(path);
    if (p.size() == 2 && p[1] == ':') return ToUpperChar(p[0]) == 'D';  // the drive's root
    return folders_.count(ToUpper(p)) != 0;
  }
  bool ParentsFree(const std::string& path) const {
    for (std::string f = WithoutTrailingBackslash(FolderPart(path)); f.size() > 2;
         f = WithoutTrailingBackslash(FolderPart(f)))
      if (files_.count(ToUpper(f))) return false;
    return true;
  }
  void AddParents(const std::string& path) {
    for (std::string f = WithoutTrailingBackslash(FolderPart(path)); f.size() > 2;
         f = WithoutTrailingBackslash(FolderPart(f)))
      folders_.emplace(ToUpper(f), f);
  }
  std::map<std::string, Entry> files_;
  std::map<std::string, std::string> folders_;
};

}  // namespace vz::fuzz
