// The POSIX volume table: single drive letters mapped onto directories, each
// with a drive type, so that the system's paths (C:\Work\a.txt) name real
// files.
//
// Without VAPORIZER_VOLUMES, C: is the user's home folder and every mounted
// file system that holds user files is a drive of its own (from
// /proc/self/mountinfo): fixed, removable, network, cdrom or ramdisk. A
// drive keeps its letter across runs and remounts: a store records its
// letter, drives with a store take theirs first, a drive whose store was
// seen before keeps its letter while it is not mounted, and the others get
// theirs in the order of their mount points.
//
// VAPORIZER_VOLUMES ("C=/home/me;E=/media/usb:removable") replaces all of
// it with the table it gives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vz::posix {

// The store folder's name at a volume's root: the POSIX form of "hidden".
constexpr const char* kStoreHostName = ".VAPORIZE";

// What made a volume a drive.
enum class Origin {
  Table,  // VAPORIZER_VOLUMES or SetVolumes: a fixed drive has its store, as the table says
  Home,   // the user's home folder
  Mount,  // a mounted file system
};

struct Volume {
  char letter = 'C';  // upper case
  std::string root;   // absolute, no trailing slash (except "/")
  DriveType type = DriveType::Fixed;
  Origin origin = Origin::Table;
  std::string kindWhy;   // what told its type: "your home folder", "ext4 from /dev/sda1: on sda1, ..."
  bool readOnly = false;
  bool holdsHome = false;  // the mount that the home folder lies on
  // Where else the same file system is mounted (bind mounts, the same
  // device twice): no drive of their own.
  std::vector<std::string> alsoAt;
  // The file system's device as the mount table names it ("7:1"): a drive
  // whose store no mount shows keeps the letter remembered for it.
  std::string device;
  // Filled when the table is made: why this user keeps no store on this
  // fixed drive (empty when a store is there or may be made), and the letter
  // its store's records are written under (0: its own).
  std::string noStore;
  char indexLetter = 0;
};

// A drive whose store was seen before, not mounted now: its letter stays
// its own.
struct AbsentDrive {
  char letter;
  std::string lastRoot;
};

// Parses a table; on a malformed entry returns nullopt and says why.
std::optional<std::vector<Volume>> ParseVolumes(const std::string& table, std::string* error);

// The table in force: the one set by SetVolumes, else the environment's,
// else the mounts.
const std::vector<Volume>& Volumes();
void SetVolumes(std::vector<Volume> volumes);
// Drops a table set by SetVolumes, so the environment is read again.
void ResetVolumes();
// Why the environment's table was refused, if it was.
std::string VolumeTableError();
// Drives of the mounts that are not mounted now, and mounts left without a
// letter (all 26 in use), by mount point.
const std::vector<AbsentDrive>& AbsentDrives();
const std::vector<std::string>& UnletteredMounts();

// Where this user's store on a fixed drive lies (a host path), or nullopt
// with the reason in *why: the one place that decides it. Every drive's
// store folder .VAPORIZE holds one store per user, .VAPORIZE/<user id>:
// the home folder's and a given table's drive's at their root; another
// mounted drive's at its top when the user may make the store folder there
// or it is the user's own or the shared, sticky form (1777), but none on
// the mount that holds the home folder, whose store is the home's.
std::optional<std::string> UserStoreOf(const Volume& v, std::string* why);

// Why the original paths that this user's store on a drive records may
// stay readable in freed blocks after the index is written over (the file
// system writes new versions elsewhere); empty where it writes them over in
// place, and for drives without a store.
std::string RecordedNamesMayRemain(char letter);

// Whether the drive keeps the items sent from it in a store for this user
// (Platform::CarriesStore); when not, *why says so with the drive's name
// and root.
bool CarriesStore(char letter, std::string* why);

// The mapping between the two forms is one-to-one. The store directory at
// a volume's root is kept under a dot name, the POSIX form of "hidden":
// C:\VAPORIZE\C1.doc is /home/me/.VAPORIZE/C1.doc. A real folder at a
// volume's root named VAPORIZE in any letter case is no store and has no
// system form, nor has a path inside a volume nested in another under the
// outer volume's letter, nor a path inside a mount that is no drive.

// The host path of a system path; nullopt outside every volume, for "." and
// ".." names and for names that a POSIX name cannot carry.
std::optional<std::string> ToHostPath(const std::string& systemPath);
// /home/me/Work/a.txt -> C:\Work\a.txt; nullopt, with the reason in *why,
// outside every volume and for names that the system's form cannot carry.
std::optional<std::string> ToSystemPath(const std::string& hostPath, std::string* why = nullptr);

// An absolute host path as the system resolves it: every name but the last
// through the real folders (links followed, ".." after the real parent),
// the last as it is, so that a link given by name is the link; a last name
// of "." or ".." is resolved too.
std::optional<std::string> ResolveHostPath(const std::string& hostPath, std::string* why);
// The same for a full path in the system's form.
std::optional<std::string> ResolveSystemPath(const std::string& systemPath, std::string* why);

// While one lives (on this thread), every folder that paths are resolved
// through is resolved once: many arguments in one folder cost one
// resolution of it. For paths resolved together, at one moment; what is
// acted on is then opened name by name without following a link, so a
// folder that changed meanwhile is refused there.
class ResolveOnce {
 public:
  ResolveOnce();
  ~ResolveOnce();
  ResolveOnce(const ResolveOnce&) = delete;
  ResolveOnce& operator=(const ResolveOnce&) = delete;

 private:
  ResolveOnce* outer_;
};

}  // namespace vz::posix
