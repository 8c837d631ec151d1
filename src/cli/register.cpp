#include "cli/register.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <iostream>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/schedule.h"
#include "platform/win32/wide.h"
#include "store/clsids.h"
#include "store/store.h"

namespace vz::cli {
namespace {

const std::string kFolderClassKey = std::string("Software\\Classes\\CLSID\\") + kClsidVaporizerFolderText;

std::string HexCode(unsigned long code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", code);
  return buf;
}

// Vaporizer.dll beside this program.
std::string DllBesideProgram() {
  std::wstring path(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  if (n == 0 || n >= path.size()) return {};  // never a bare name, which the current folder would supply
  std::string s = win32::Narrow(path.substr(0, n));
  return s.substr(0, s.find_last_of('\\') + 1) + "Vaporizer.dll";
}

// Loads the module by its full path (never through the search path) and
// calls one of its two registration exports, as regsvr32 does.
int CallServerExport(const std::string& given, const char* name, const char* done, const char* why) {
  // As long as the system allows: a path past 259 characters is asked and
  // loaded in the long form.
  const std::wstring w = win32::Widen(given);
  DWORD n = given.empty() ? 0 : GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  std::wstring wide(n, L'\0');
  if (n > 0) n = GetFullPathNameW(w.c_str(), n, &wide[0], nullptr);
  wide.resize(n < wide.size() ? n : 0);
  const std::string full = win32::Narrow(wide);
  const std::wstring system = win32::SystemPath(full);
  DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(system.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::cerr << "vaporizer: " << (given.empty() ? "Vaporizer.dll beside the program" : given) << ": no such file\n";
    return 1;
  }
  HMODULE module = LoadLibraryExW(system.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    std::cerr << "vaporizer: " << full << ": cannot be loaded (error " << GetLastError()
              << "; a 32-bit module needs the 32-bit program and a 64-bit one the 64-bit program)\n";
    return 1;
  }
  using ServerExport = HRESULT(WINAPI*)();
  auto call = reinterpret_cast<ServerExport>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (!call) {
    std::cerr << "vaporizer: " << full << " has no " << name << "\n";
    return 1;
  }
  HRESULT hr = call();
  // What the run noted (a warning, a step it could not do), one line each;
  // a module of an earlier version has no notes to give.
  using ReportExport = INT32(WINAPI*)(wchar_t*, INT32);
  if (auto report = reinterpret_cast<ReportExport>(reinterpret_cast<void*>(GetProcAddress(module, "RegistrationReportW")))) {
    INT32 length = report(nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    if (length > 0 && report(&text[0], length + 1) == length) {
      text.resize(static_cast<std::size_t>(length));
      for (std::size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1)
        std::cerr << "vaporizer: " << win32::Narrow(text.substr(at, end - at)) << "\n";
    }
  }
  if (FAILED(hr)) {
    std::cerr << "vaporizer: " << name << " of " << full << " failed (" << HexCode(static_cast<unsigned long>(hr))
              << "): " << why << "\n";
    return 1;
  }
  std::cout << done << ": " << full << "\n";
  return 0;
}

// "{5B7C1E2C-...}", as registration writes a class id.
std::string ClassText(const ClassId& id) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2, id.data3,
                id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
  return buf;
}

bool KeyIsEmpty(HKEY root, const std::string& path) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  DWORD subkeys = 1, values = 1;
  LONG rc = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

// Deletes the key and then each parent while it holds nothing, up to the
// ancestor `keep`, which stays.
void RemoveEmptyChain(HKEY root, std::string path, const std::string& keep) {
  while (path.size() > keep.size() && KeyIsEmpty(root, path) && RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS)
    path.erase(path.find_last_of('\\'));
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// The approval list under the key the shell reads, and under the
// "WindowsNT" spelling that earlier releases wrote theirs to, with the key
// each stops at when emptied.
struct ApprovalKey {
  const char* path;
  const char* keep;
};
constexpr ApprovalKey kApprovalKeys[] = {
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
    {"SOFTWARE\\Microsoft\\WindowsNT\\CurrentVersion\\Shell Extensions\\Approved", "SOFTWARE\\Microsoft"},
};

// What unregistration leaves by design: the folder's class key keeps the
// subkeys that a plain key deletion cannot take, and the approval key and
// the handler keys' parents stay. Removed only once no server is
// registered for the class, and only where they hold nothing else.
void RemoveUnregisteredLeftovers() {
  const bool registered = KeyExists(HKEY_LOCAL_MACHINE, kFolderClassKey + "\\InprocServer32");
  if (!registered) RegDeleteTreeA(HKEY_LOCAL_MACHINE, kFolderClassKey.c_str());
  for (const ApprovalKey& approval : kApprovalKeys) {
    HKEY h = nullptr;
    if (!registered &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, approval.path, 0, KEY_SET_VALUE, &h) == ERROR_SUCCESS) {
      for (const char* id : {kClsidVaporizerFolderText, kClsidVaporizerMenuText, kClsidShredFileMenuText,
                             kClsidVaporizerPropText})
        RegDeleteValueA(h, id);
      RegCloseKey(h);
    }
    RemoveEmptyChain(HKEY_LOCAL_MACHINE, approval.path, approval.keep);
  }
  for (const char* type : {"*", "Folder"}) {
    RemoveEmptyChain(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + type + "\\ShellEx\\ContextMenuHandlers",
                     "Software\\Classes");
  }
}

// A store folder that holds nothing but its own two files: this account's
// store, and then the drive's, once no account has a store there.
void RemoveStoreIfEmpty(const std::string& dir) {
  // A link in the store's place leads elsewhere: leave it.
  auto self = Plat().FindEntry(dir);
  std::vector<DirEntry> entries;
  if (!self || (self->attributes & kAttrReparsePoint) || !Plat().ListDirectory(dir, entries)) return;
  for (const DirEntry& e : entries) {
    std::string name = ToUpper(e.name);
    if ((name != "DESKTOP.INI" && name != "INFO.SHR") || (e.attributes & (kAttrDirectory | kAttrReparsePoint))) return;
    if (name == "INFO.SHR" && e.size != 0) return;
  }
  for (const DirEntry& e : entries) {
    std::string file = dir + "\\" + e.name;
    Plat().SetAttributes(file, kAttrNormal);
    Plat().RemoveFile(file);
  }
  Plat().SetAttributes(dir, kAttrNormal);
  if (Plat().RemoveEmptyDirectory(dir)) std::cout << "removed: " << dir << "\n";
}

void RemoveSendToShortcut() {
  wchar_t sendTo[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, sendTo) == S_OK && sendTo[0]) {
    std::wstring link = std::wstring(sendTo) + L"\\Vaporizer.lnk";
    DWORD attributes = GetFileAttributesW(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(link.c_str());
  }
}

// What Vaporizer keeps for the user who runs this, and the stores that hold
// nothing. Stores that still hold items stay: they are the user's files.
int CleanUp() {
  // A scheduled emptying would start a program that is no longer there.
  std::string why;
  SwitchEmptyingSchedule(false, {}, &why);
  RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer");
  RemoveEmptyChain(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft", "SOFTWARE");
  // The icon state that the shell wrote for this user: where earlier
  // releases kept it (in both views), and where it lives now.
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY classes = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", 0, KEY_ALL_ACCESS | view, &classes) ==
        ERROR_SUCCESS) {
      RegDeleteTreeA(classes, kClsidVaporizerFolderText);
      RegCloseKey(classes);
    }
  }
  RemoveEmptyChain(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", "Software");
  RegDeleteTreeA(HKEY_CURRENT_USER,
                 (std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID\\") + kClsidVaporizerFolderText)
                     .c_str());
  // Made by the first icon state written, where the system had none.
  RemoveEmptyChain(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CLSID",
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
  RemoveSendToShortcut();
  for (char d : GetFixedDrives()) {
    RemoveStoreIfEmpty(StoreDirOf(d));
    RemoveStoreIfEmpty(SharedStoreDirOf(d));
  }
  return 0;
}

}  // namespace

RegistrationCommands::RegistrationCommands(CLI::App& app) {
  register_ = app.add_subcommand("register", "register the Explorer extension Vaporizer.dll, as regsvr32 does");
  register_->add_option("DLL", dll_, "the module to register (default: Vaporizer.dll beside this program)");
  register_->add_option("--file-menu", fileMenu_, "0: then take \"Send to Vaporizer\" off every file's menu again")
      ->check(CLI::Range(0, 1));
  register_->add_option("--send-to", sendTo_, "0: then take away the Send To entry that registration made")
      ->check(CLI::Range(0, 1));
  unregister_ = app.add_subcommand("unregister", "unregister the Explorer extension, and remove what it leaves");
  auto* dll = unregister_->add_option("DLL", dll_, "the module to unregister (default: Vaporizer.dll beside this program)");
  unregister_
      ->add_flag("--clean-up", cleanUp_,
                 "instead: remove this user's settings, folder icon state, Send To shortcut and scheduled "
                 "emptying, and every store that holds nothing")
      ->excludes(dll);
}

std::optional<int> RegistrationCommands::Run() const {
  const std::string dll = dll_.empty() ? DllBesideProgram() : dll_;
  if (register_->parsed()) {
    int rc = CallServerExport(dll, "DllRegisterServer", "registered",
                              "it writes to HKEY_LOCAL_MACHINE, so run it as an administrator");
    // The module registers every entry; the installer's choice takes one
    // away again, as a user's setting would.
    if (rc == 0 && !fileMenu_) {
      for (const char* type : {"*", "Folder"})
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + type + "\\ShellEx\\ContextMenuHandlers\\" +
                                           ClassText(kClsidShredFileMenu)).c_str());
    }
    if (rc == 0 && !sendTo_) RemoveSendToShortcut();
    return rc;
  }
  if (!unregister_->parsed()) return std::nullopt;
  if (cleanUp_) return CleanUp();
  int rc = CallServerExport(dll, "DllUnregisterServer", "unregistered",
                            "not registered, or no right to write to HKEY_LOCAL_MACHINE (run it as an administrator)");
  RemoveUnregisteredLeftovers();
  return rc;
}

}  // namespace vz::cli

#else

namespace vz::cli {
RegistrationCommands::RegistrationCommands(CLI::App&) {}
std::optional<int> RegistrationCommands::Run() const { return std::nullopt; }
}  // namespace vz::cli

#endif
