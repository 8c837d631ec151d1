// The kernel calls of the handles (handles_win32.cpp), each told to the
// rules where test programs put some in (kernel_rules.h): opens relative
// to a folder's handle, closes, and renames, links and deletes through a
// handle, with Windows' refusals in a report's words.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <optional>
#include <string>

#include "platform/platform.h"

#ifndef STATUS_OBJECT_NAME_COLLISION
#define STATUS_OBJECT_NAME_COLLISION ((NTSTATUS)0xC0000035L)
#endif
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_OBJECT_PATH_NOT_FOUND
#define STATUS_OBJECT_PATH_NOT_FOUND ((NTSTATUS)0xC000003AL)
#endif
#ifndef STATUS_NOT_A_DIRECTORY
#define STATUS_NOT_A_DIRECTORY ((NTSTATUS)0xC0000103L)
#endif
#ifndef STATUS_FILE_IS_A_DIRECTORY
#define STATUS_FILE_IS_A_DIRECTORY ((NTSTATUS)0xC00000BAL)
#endif
#ifndef STATUS_SHARING_VIOLATION
#define STATUS_SHARING_VIOLATION ((NTSTATUS)0xC0000043L)
#endif
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#ifndef STATUS_DIRECTORY_NOT_EMPTY
#define STATUS_DIRECTORY_NOT_EMPTY ((NTSTATUS)0xC0000101L)
#endif
#ifndef STATUS_DELETE_PENDING
#define STATUS_DELETE_PENDING ((NTSTATUS)0xC0000056L)
#endif
#ifndef STATUS_CANNOT_DELETE
#define STATUS_CANNOT_DELETE ((NTSTATUS)0xC0000121L)
#endif

namespace vz::win32 {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Every handle of the layer is closed here, so that the rules see it go.
void Close(HANDLE h);
// A handle opened without the rules' knowledge (a full path, a duplicate)
// is told to them; refused, it is closed and INVALID_HANDLE_VALUE comes back.
HANDLE Tracked(HANDLE h, HANDLE root, ACCESS_MASK access, ULONG share);
// NtCreateFile of `name` relative to the folder handle `root`.
NTSTATUS RelOpen(HANDLE root, const std::string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                 ULONG options, HANDLE* out);
// Why an open failed, after the path in a message.
std::string StatusText(NTSTATUS st);
// Why a rename, link or delete through a handle was refused.
std::string ChangeRefusal(NTSTATUS st);
std::optional<NodeInfo> InfoOf(HANDLE h);
bool SetAttributesOf(HANDLE h, std::uint32_t attributes);
bool DeleteByHandle(HANDLE h, const std::string& path, std::string* why);
bool NameByHandle(HANDLE h, HANDLE to, const std::string& toPath, const std::string& name, bool replace,
                  const std::string& path, bool link, std::string* why);

}  // namespace vz::win32
