// The medium under a path on Windows: the volume's file system, the storage
// queries that any user may send to its device, and the shadow copy store
// where it can be seen.
#include <windows.h>
#include <winioctl.h>

#include <string>

#include "platform/medium.h"
#include "platform/win32/wide.h"

namespace vz {
namespace {

std::string ErrorText(DWORD e) { return "error " + std::to_string(e); }

// Sends one standard property query; the raw reply, or nullopt and why.
std::optional<std::string> QueryProperty(HANDLE device, STORAGE_PROPERTY_ID id, std::string* why) {
  STORAGE_PROPERTY_QUERY q{};
  q.PropertyId = id;
  q.QueryType = PropertyStandardQuery;
  char reply[1024] = {};
  DWORD got = 0;
  if (!DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &q, sizeof q, reply, sizeof reply, &got, nullptr)) {
    *why = "failed with " + ErrorText(GetLastError());
    return std::nullopt;
  }
  return std::string(reply, got);
}

// Shadow copies keep their differences in files named after the shadow
// copy provider's id in System Volume Information, which only
// administrators may list.
void LookForShadowCopies(const std::wstring& root, WindowsVolumeAnswers& a) {
  const std::string folder = a.root + "System Volume Information";
  WIN32_FIND_DATAW fd{};
  HANDLE h = FindFirstFileW((root + L"System Volume Information\\*{3808876b-c176-4e48-b7ae-04046e6cc752}").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    FindClose(h);
    a.shadowCopies = Answer::Yes;
    a.shadowEvidence = folder + " holds a shadow copy store (" + win32::Narrow(fd.cFileName) + ")";
    return;
  }
  DWORD e = GetLastError();
  if (e == ERROR_FILE_NOT_FOUND || e == ERROR_NO_MORE_FILES) {
    a.shadowCopies = Answer::No;
    a.shadowEvidence = folder + " holds no shadow copy store";
  } else if (e == ERROR_PATH_NOT_FOUND) {
    a.shadowCopies = Answer::No;
    a.shadowEvidence = "there is no " + folder + ", where shadow copies keep their store";
  } else if (e == ERROR_ACCESS_DENIED) {
    a.shadowEvidence = folder + " may be listed by administrators only";
  } else {
    a.shadowEvidence = folder + " could not be listed: " + ErrorText(e);
  }
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

MediumFacts NativeMediumOf(const std::string& path) {
  // A drive without a disk must not ask the user to insert one. The mode is
  // this thread's alone: the process's would change every thread of the
  // program that loaded the module (Explorer) while the probe runs.
  DWORD oldMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  WindowsVolumeAnswers a;
  a.wine = UnderWine();
  std::wstring wpath = win32::Widen(path);
  wchar_t rootBuf[MAX_PATH + 1] = {};
  std::wstring root = GetVolumePathNameW(wpath.c_str(), rootBuf, MAX_PATH) ? rootBuf : wpath.substr(0, 3);
  a.root = win32::Narrow(root);
  a.driveType = static_cast<DriveType>(GetDriveTypeW(root.c_str()));
  wchar_t fsName[MAX_PATH + 1] = {};
  DWORD flags = 0;
  DWORD serial = 0;
  if (GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, &flags, fsName, MAX_PATH + 1)) {
    a.fsName = win32::Narrow(fsName);
    a.serial = serial;
    a.fsFlags = flags;
  } else {
    a.fsError = ErrorText(GetLastError());
  }
  // The volume's device: \\.\C: for a drive letter, the volume's own name
  // for a volume mounted on a folder.
  std::wstring device;
  wchar_t volume[64] = {};
  if (root.size() == 3 && root[1] == L':') device = L"\\\\.\\" + root.substr(0, 2);
  else if (GetVolumeNameForVolumeMountPointW(root.c_str(), volume, 64) && volume[0]) device = volume;
  if (!device.empty() && device.back() == L'\\') device.pop_back();
  a.devicePath = device.empty() ? "(none)" : win32::Narrow(device);
  // No access rights are needed for storage property queries.
  HANDLE h = device.empty() ? INVALID_HANDLE_VALUE
                            : CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    a.deviceError = a.seekPenaltyError = a.trimError =
        "the device could not be opened" + (device.empty() ? std::string() : ": " + ErrorText(GetLastError()));
  } else {
    a.deviceDescriptor = QueryProperty(h, StorageDeviceProperty, &a.deviceError);
    a.seekPenalty = QueryProperty(h, StorageDeviceSeekPenaltyProperty, &a.seekPenaltyError);
    a.trim = QueryProperty(h, StorageDeviceTrimProperty, &a.trimError);
    CloseHandle(h);
  }
  LookForShadowCopies(root, a);
  SetThreadErrorMode(oldMode, nullptr);
  return WindowsMediumFacts(a);
}

FileStorage NativeFileStorageOf(const std::string& path) {
  // In the same form as every other call, so that a file deep in a tree or
  // with a name Win32 rewrites is the one asked about.
  DWORD attrs = GetFileAttributesW(win32::SystemPath(path).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return {std::nullopt, "GetFileAttributesW failed: " + ErrorText(GetLastError())};
  return FileStorageFromAttributes(attrs);
}

}  // namespace vz
