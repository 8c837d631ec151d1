// A platform held in memory for fuzzing: drive D: is the one fixed drive,
// files and folders live in maps, nothing touches the disk and nothing
// fails, so every answer the code gets is exact.
#pragma once

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
  bool SetAttributes(const std::string& path, std::uint32_t) override { return GetAttributes(path).has_value(); }
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
  bool MakeDirectory(const std::string& path) override {
    return !GetAttributes(path) && AddFolder(path);
  }
  bool SetWriteTime(const std::string& path, const CivilTime&) override { return GetAttributes(path).has_value(); }
  bool CreateEmptyFile(const std::string& path) override {
    return !GetAttributes(path) && AddFile(path);
  }
  std::optional<std::string> ReadWholeFile(const std::string& path) override {
    if (auto* c = Content(path)) return *c;
    return std::nullopt;
  }
  bool ReplaceFileContents(const std::string& path, const std::string& content) override {
    if (!AddFile(path, content)) return false;
    ++replacements;
    return true;
  }
  bool WriteIniString(const std::string& path, const std::string&, const std::string&, const std::string&) override {
    if (!Content(path)) AddFile(path);
    return true;
  }
  std::unique_ptr<File> OpenExclusive(const std::string&) override { return nullptr; }
  std::unique_ptr<File> OpenSharedWrite(const std::string&, bool) override { return nullptr; }
  std::unique_ptr<File> OpenAppend(const std::string&) override { return nullptr; }
  bool MoveItem(const std::string&, const std::string&) override { return false; }
  bool RemoveFile(const std::string& path) override { return files_.erase(ToUpper(path)) == 1; }
  bool DeleteItem(const std::string& path) override { return RemoveFile(path); }
  bool RemoveEmptyDirectory(const std::string&) override { return false; }
  bool RemoveLink(const std::string&) override { return false; }
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
