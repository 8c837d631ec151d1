// A strict model of the rules Windows' I/O manager and NTFS apply to open
// handles, put between the platform layer and Wine in the Windows test
// programs (platform/win32/kernel_rules.h). Wine enforces share modes
// between ordinary opens and little else; the model keeps every open
// handle (file identity, granted access, sharing, delete disposition) and
// refuses, with Windows' own status, what Windows refuses:
//  - sharing as the I/O manager weighs it, the open of a rename's or a
//    link's target folder included, in its strictest form (it shares
//    reading and writing only);
//  - a rename or a delete through a handle without DELETE access;
//  - a name deleted the classic way stays until its last handle closes: a
//    new open of it fails, its folder is not empty;
//  - a read-only file is neither written nor deleted.
// Files are told apart by identity, so names match in any letter case, as
// they do on Windows. Per-path doubles stand in for what Wine's drives
// cannot hold: reparse points of each kind, cloud files, the read-only
// attribute.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/win32/kernel_rules.h"

namespace vz::test {

class NtfsModel : public win32::KernelRules {
 public:
  // The model of the running test program (installed by its main), or null.
  static NtfsModel* Active();

  // Whether FILE_DISPOSITION_INFORMATION_EX is known (Windows 10 1709 and
  // later); without it the system refuses it as an unknown class.
  void SetPosixDelete(bool known) { posixDelete_ = known; }
  bool PosixDelete() const { return posixDelete_; }
  // What the file or folder at `path` shows besides its own attributes (a
  // reparse point with its tag, cloud attributes, FILE_ATTRIBUTE_READONLY),
  // until it is gone or Forget is called. False when the path cannot be
  // opened.
  bool Stand(const std::string& path, DWORD attributes, DWORD tag = 0);
  void Forget();
  // A handle of another program: opened by path with that access and
  // sharing, weighed like every other (the status of a refusal in *status).
  HANDLE Hold(const std::string& path, ACCESS_MASK access, ULONG share, NTSTATUS* status = nullptr);
  void Release(HANDLE h);

  NTSTATUS Opened(HANDLE h, HANDLE root, ACCESS_MASK access, ULONG share) override;
  void Closing(HANDLE h) override;
  NTSTATUS Renaming(HANDLE h, HANDLE dir, bool link) override;
  NTSTATUS Deleting(HANDLE h, ULONG flags, bool ex, bool* done) override;
  // The check alone.
  NTSTATUS Deleting(HANDLE h, ULONG flags, bool ex);
  void Deleted(HANDLE h, ULONG flags, bool ex) override;
  DWORD Attributes(DWORD volume, ULONGLONG index, DWORD attributes, DWORD* tag) override;
  void AttributesSet(HANDLE h, DWORD attributes) override;

 private:
  using Key = std::pair<DWORD, ULONGLONG>;  // volume serial, file index
  struct Open {
    Key id;
    ACCESS_MASK access = 0;  // generic rights mapped to the file's own
    ULONG share = 0;
  };
  struct State {
    std::vector<HANDLE> handles;
    Key parent{};
    bool folder = false;
    bool deletePending = false;  // classic disposition: the name stays
  };
  struct Double {
    DWORD attributes = 0;
    DWORD tag = 0;
  };
  static bool IdentityOf(HANDLE h, Key* id, bool* folder);
  NTSTATUS ShareCheck(const Key& id, ACCESS_MASK access, ULONG share) const;
  bool PosixDeleteByHand(HANDLE h);

  std::mutex m_;
  bool posixDelete_ = true;
  std::unordered_map<HANDLE, Open> opens_;
  std::map<Key, State> files_;
  std::map<Key, Double> doubles_;
};

}  // namespace vz::test
