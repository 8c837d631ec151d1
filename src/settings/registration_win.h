// What registration writes into the registry and unregistration removes:
// the class keys, the folder's place on the desktop, its attributes, icons
// and handler keys, the approval list, and the handler on files and folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/registry_win.h"
#include "store/clsids.h"

namespace vz::win32 {

enum class Threading { Single, Apartment };

// One class of the module's server.
struct ServerClass {
  const ClassId* id;
  const char* description;
  Threading threading;
  HRESULT (*create)(REFIID riid, void** ppv);
  // Extra registration after the common one, and extra unregistration after
  // the common one; null for none. Both throw ShellError on failure.
  void (*registerExtras)();
  void (*unregisterExtras)();
};

// The class key with its description and the server path (with
// "ThreadingModel" = "Apartment" unless the class is single-threaded).
void RegisterClassCommon(const ServerClass& c);
// Deletes CLSID\{id}\InprocServer32 and CLSID\{id}; results ignored, so a
// class key that still has other subkeys stays.
void UnregisterClassCommon(const ServerClass& c);

// The namespace folder's rows after its class key, the event source, then
// the file handler, the Send To shortcut and the icon refresh, and their
// undoing. A folder that the desktop does not list is a warning in the run's
// notes, not a failure. Unregistration tries every step and notes each that
// it could not do; it throws at its end when something stays or nothing was
// registered.
void RegisterNamespaceFolder();
void UnregisterNamespaceFolder();

// The notes of the registration or unregistration run in progress, or of
// the last one in this process: warnings, and steps that were not done.
void ClearRegistrationNotes();
void AddRegistrationNote(const std::string& line);
const std::vector<std::string>& RegistrationNotes();
constexpr const char* kNotOnDesktopWarning =
    "warning: the desktop does not list the Vaporizer folder (its icons hidden by a policy, or no desktop on this "
    "system): the folder is registered, and shows wherever the desktop shows it";

// The shell's approval list under HKEY_LOCAL_MACHINE: the key the shell
// reads on every platform of the NT line.
constexpr const char* kApprovalKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr const char* kNamespaceKeyPrefix = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\Namespace\\";

// The event source "Vaporizer" of the Application log, with this module as
// its message file (platform/win32/event_log.h); throws ShellError when the
// key cannot be written. Its removal ignores failures.
void AddEventSource();
void RemoveEventSource();

// Turning the handler off removed it from the user's classes but not from
// the machine's (a standard user after a machine-wide install): the item
// stays for other users, and for this one the setting alone hides it.
struct MachineWideKept : ShellError {
  using ShellError::ShellError;
};

// Registers (true) or removes (false) the file context-menu handler for all
// files ("*") and all folders ("Folder"). On: in the machine's classes, or
// in the user's when the machine's cannot be written; throws ShellError with
// the registry-entry text when neither can. Off: removes both, and throws
// MachineWideKept, saying why, when the machine's keys stay.
void SetFileMenuRegistration(bool on);
std::string FileMenuHandlerKey(const char* root);

}  // namespace vz::win32
