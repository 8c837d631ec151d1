// Registry access for registration and the icon state: keys under the
// machine-wide roots, class id texts, and the module's own paths.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "store/clsids.h"

namespace vz::win32 {

// A failure that ends a registration step; what() is the text the user sees.
struct ShellError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
constexpr const char* kRegistryEntryError = "Error creating system registry entry";
constexpr const char* kMachineWideKeptText =
    "\"Send to Vaporizer\" no longer shows in your context menus, but it stays registered for the other users of "
    "this computer: removing it for everyone needs an administrator";

// The system's message for an error code, without the line break it ends in.
std::string SystemMessage(DWORD code);

GUID ToGuid(const ClassId& id);
// "{5B7C1E2A-8F43-...}": braces, upper-case digits.
std::string ClsidText(const ClassId& id);

// An open key, closed when destroyed.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(RegKey&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  RegKey& operator=(RegKey&& o) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens or creates (with every missing parent) for reading, writing and
  // creating subkeys, in the given registry view (0: the caller's own); the
  // result of the call.
  LONG Create(HKEY root, const std::string& path, REGSAM view = 0);
  LONG Open(HKEY root, const std::string& path, REGSAM access);
  void Close();
  HKEY Get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

  // A string value with its terminating NUL; name "" is the default value.
  LONG SetString(const std::string& name, const std::string& value);
  LONG SetBinary(const std::string& name, const void* data, DWORD size);
  // The value as text when it is a string; "" when missing or not a string.
  std::string ReadString(const std::string& name) const;

 private:
  HKEY h_ = nullptr;
};

// Creates the key and sets one string value; throws ShellError with the
// registry-entry text when either fails. TryWriteString answers false.
void WriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value);
bool TryWriteString(HKEY root, const std::string& path, const std::string& name, const std::string& value);

// The module's full file path, and its short (8.3) form: the full path when
// the short form cannot be had or is longer than MAX_PATH.
std::string ModuleFilePath();
std::string ShortPathOf(const std::string& path);
// The server path written for a class: the short form when the full path
// holds a blank, else the full path.
std::string ServerPathOf(const std::string& path);

// Class registrations are named by their root: Software\Classes under
// HKEY_LOCAL_MACHINE (every user) or HKEY_CURRENT_USER (this user). Once a
// user's key exists, HKEY_CLASSES_ROOT shows it in place of the machine's
// and even writes into it, so neither reads nor writes go through it.
std::string ClassesKey(const std::string& path);  // "Software\Classes\" + path

// CLSID\{folder} and its DefaultIcon key, below a Software\Classes key.
std::string FolderClassKey();
std::string FolderIconKey();
// HKEY_CURRENT_USER: Software\Microsoft\Windows\CurrentVersion\Explorer\
// CLSID\{folder}, where the user's own icon location for the desktop item
// lives (DefaultIcon below it), as the desktop icon settings keep a user's
// icons for the system's own items. Never below Software\Classes: a user's
// key there would hide the machine's class key in HKEY_CLASSES_ROOT.
std::string UserFolderExplorerKey();
std::string UserFolderIconKey();
// Removes the user's own Software\Classes\CLSID\{folder} that earlier
// releases wrote for the icon, in both registry views; what the user put
// there besides DefaultIcon keeps the key.
void RemoveUserClassKey();

}  // namespace vz::win32
