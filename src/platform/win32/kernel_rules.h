// Where the handles meet the kernel: every open, close, rename, link and
// delete of handles_win32.cpp is told here first. Nothing is installed in
// the program; the test programs put in a strict model of the file
// system's rules, which refuses with Windows' own status what Windows
// refuses and Wine lets through.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <string>

namespace vz::win32 {

class KernelRules {
 public:
  virtual ~KernelRules() = default;
  // A handle the system has just opened (relative to `root`, null for a
  // full path) with the access and sharing asked. The status Windows would
  // have given instead, or 0: on a failure the caller closes `h`.
  virtual NTSTATUS Opened(HANDLE h, HANDLE root, ACCESS_MASK access, ULONG share) = 0;
  // Just before `h` is closed.
  virtual void Closing(HANDLE h) = 0;
  // Before `h` is renamed (or given a second name, `link`) into the folder
  // `dir`: the status Windows would give, or 0.
  virtual NTSTATUS Renaming(HANDLE h, HANDLE dir, bool link) = 0;
  // Before `h` is marked for deletion: `flags` of FILE_DISPOSITION_INFO_EX,
  // `ex` when asked in that form. The status Windows would give, or 0;
  // *done when the rules carried it out themselves, as Windows would where
  // the system underneath cannot.
  virtual NTSTATUS Deleting(HANDLE h, ULONG flags, bool ex, bool* done) = 0;
  // After the system took that mark.
  virtual void Deleted(HANDLE h, ULONG flags, bool ex) = 0;
  // The attributes of the file `index` of volume `volume` as Windows would
  // show them (test doubles for what the drive cannot hold: reparse points,
  // cloud files, a read-only mark), and its reparse tag in *tag (left 0
  // for none).
  virtual DWORD Attributes(DWORD volume, ULONGLONG index, DWORD attributes, DWORD* tag) = 0;
  // The attributes that were set on `h`.
  virtual void AttributesSet(HANDLE h, DWORD attributes) = 0;
};

// Null in the program.
KernelRules* Rules();
void SetKernelRules(KernelRules* rules);

}  // namespace vz::win32
