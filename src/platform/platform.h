// The one door from the portable core to the operating system. Paths are in
// the system's form (C:\Work\a.txt) on every platform; the POSIX layer maps
// drive letters onto directories. Text is UTF-8 on Windows (the layer
// speaks the system's wide functions) and the bytes given on POSIX. Every operation reports failure as a whole
// and never throws.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/dostime.h"

namespace vz {

struct MediumFacts;  // platform/medium.h
struct FileStorage;
struct LogRecord;  // platform/system_log.h

// A range of bytes: where it starts and how long it is.
struct ByteRange {
  std::int64_t offset = 0;
  std::int64_t length = 0;
};

enum Attribute : std::uint32_t {
  kAttrReadOnly = 0x1,
  kAttrHidden = 0x2,
  kAttrSystem = 0x4,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
  kAttrReparsePoint = 0x400,  // junctions and symbolic links
};

// Where a path comes from, which decides how it is read.
enum class PathOrigin {
  Typed,   // written by someone: a command's argument, a caller's buffer
  Listed,  // from a listing: the shell's selection, a drop, a record, a folder walk
};

// The four forms in which a date or a time of day is shown to the user.
enum class DateStyle { LongDate, LongTime, ShortDate, ShortTime };

enum class DriveType { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };
// "fixed", "removable", "network", "cdrom", "ramdisk", "missing" or "unknown".
std::string DriveTypeName(DriveType t);

// What a file or a folder is, whatever names it has: on POSIX its device
// and inode, on Windows its volume's serial number and its file index. A
// name that holds another identity now holds something else.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  friend bool operator==(const FileId& a, const FileId& b) { return a.volume == b.volume && a.file == b.file; }
  friend bool operator!=(const FileId& a, const FileId& b) { return !(a == b); }
};

// Links are junctions, symbolic links and every other reparse point;
// Other is what is neither file, folder nor link (a pipe, a device).
enum class NodeKind { File, Folder, Link, Other };

struct DirEntry {
  std::string name;
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  NodeKind kind = NodeKind::File;
  FileId id;  // where the listing tells it; zero otherwise
  // Calendar fields of the file times: on Windows those of the raw file
  // time, without zone conversion; on POSIX, where a file time is an
  // instant, its local time.
  CivilTime created, accessed, written;
  // The mount it is seen through (on Linux the mount id; 0 where the
  // system does not tell), and whether it is the root of a mount: a folder
  // or a file on which a file system, or a bind mount of any folder or
  // file, is mounted, whatever any drive table says.
  std::uint64_t mount = 0;
  bool mountRoot = false;
};

// One name in a folder as it is, never followed.
struct NodeInfo {
  NodeKind kind = NodeKind::Other;
  FileId id;
  std::uint32_t attributes = 0;  // links carry kAttrReparsePoint
  std::int64_t size = 0;         // of a file; 0 otherwise
  std::uint32_t links = 1;       // names of a file
  std::uint64_t mount = 0;       // as DirEntry::mount
  bool mountRoot = false;        // as DirEntry::mountRoot
  // Why another user could change it (on POSIX: it belongs to another
  // user, or others may write to it); empty where nobody else can, or
  // where the system does not tell.
  std::string sharedWith;
};

class Folder;

// Something held open: a file, a folder, or a link itself. Its operations
// act on the very thing that was opened and checked, never on whatever its
// name holds by then: on Windows through the handle itself, on POSIX on
// its name in the folder it was opened from, held open too, once the name
// is seen to hold it still.
class Node {
 public:
  virtual ~Node() = default;
  virtual std::optional<NodeInfo> Info() { return std::nullopt; }
  virtual bool SetAttributes(std::uint32_t /*attributes*/) { return false; }
  // Renames it into `to`, a folder on the same volume, as `name`. Never
  // replaces unless `replace` (the store's own files), even what appeared a
  // moment before. False, and nothing changed, on failure or when its name
  // no longer holds it.
  virtual bool MoveTo(Folder& /*to*/, const std::string& /*name*/, bool /*replace*/ = false) { return false; }
  // Swaps names with `name`, a file in the folder it lies in, in one step:
  // it goes by that name from then on, and what the name held goes by its
  // old one. False, and nothing changed, where the system cannot or when
  // its own name no longer holds it.
  virtual bool ExchangeWith(const std::string& /*name*/) { return false; }
  // Gives it a second name, `name` in `to` (a folder on the same volume),
  // never replacing anything. False where the volume keeps no second names
  // (FAT) or the system refuses.
  virtual bool LinkAs(Folder& /*to*/, const std::string& /*name*/) { return false; }
  // Deletes it: a file or a link (never what the link points at), a folder
  // only when it is empty.
  virtual bool Delete() { return false; }
  // The path it was opened by, in the system's form, for messages.
  virtual std::string Path() const { return {}; }
  // Keeps its own access and write times beside it, where nothing else
  // reads them (on POSIX an extended attribute that earlier versions never
  // look at), for TakeBackOwnTimes. False where the system keeps no such
  // place, or it is a link.
  virtual bool KeepOwnTimes() { return false; }
  // Sets the times KeepOwnTimes kept and forgets them. False when none
  // were kept: its times stay as they are.
  virtual bool TakeBackOwnTimes() { return false; }
  // Why the last operation on it failed, in the system's words ("it is in
  // use by another program (Notepad)"); empty where it does not say.
  virtual std::string LastError() { return {}; }
};

// An open file. Closed when destroyed.
class File : public Node {
 public:
  virtual std::int64_t Size() = 0;                 // -1 on failure
  virtual bool WriteAt(std::int64_t offset, const void* data, std::size_t n) = 0;
  virtual bool Append(const std::string& data) = 0;  // one write, at the end
  virtual bool Flush() = 0;                        // to the device
  // Starts writing a range to the device without waiting for it, so that a
  // long write and its final Flush overlap. Only a request: Flush still
  // decides. False where the system takes no such request.
  virtual bool StartWriteBack(std::int64_t /*offset*/, std::int64_t /*length*/) { return false; }
  // Asks that later writes go straight to the device, around the system's
  // cache, where they allow it (whole pages, from a page-aligned buffer):
  // a long write then costs no copying and no cache upkeep. Only a wish:
  // every write works the same either way, and Flush is still needed.
  // False where the system takes no such wish.
  virtual bool BypassCache() { return false; }
  // Reads n bytes at offset from the device itself, past the system's
  // caches, into a page-aligned buffer (n a multiple of 4096; at the end
  // of the file fewer come back). The bytes read, or -1 with *why. Only a
  // file opened by OpenExclusiveReadBack can be read so on every system.
  virtual std::int64_t ReadBack(std::int64_t /*offset*/, void* /*buffer*/, std::size_t /*n*/, std::string* why) {
    if (why) *why = "the system offers no read past its caches here";
    return -1;
  }
  // Where the file's blocks lie on its volume, in the form the volume's
  // trim takes (TrimVolume); empty when the system does not say.
  virtual std::vector<ByteRange> Extents() { return {}; }
  // Hands the file's blocks back, its size kept: on Linux a hole punched
  // over the whole file (the file system passes it on to the device where
  // it is mounted with discard), on Windows FSCTL_FILE_LEVEL_TRIM over it.
  // Empty when done; else why not.
  virtual std::string Discard() { return "the system takes no such request here"; }
  // Writes zeros over its whole content to the device, then hands its
  // blocks back, through this very file even where it was opened only for
  // reading (a file no name holds any more). False where it cannot.
  virtual bool ZeroAndRelease() { return false; }
  // Whether ZeroAndRelease still reaches its own blocks once a rename has
  // put another file in its place: not on Windows, which renames over no
  // file held open, nor on FUSE file systems, which may free its blocks
  // when its name goes.
  virtual bool KeptWhenReplaced() { return false; }
  // Null leaves that time alone. Fields in the form of a DirEntry's times.
  virtual bool SetTimes(const CivilTime* created, const CivilTime* accessed,
                        const CivilTime* written) = 0;
  // Bytes read at an offset; -1 on failure, fewer at the end of the file.
  virtual std::int64_t ReadAt(std::int64_t /*offset*/, void* /*data*/, std::size_t /*n*/) { return -1; }
  // Cuts the file (or extends it with a hole) to `size` bytes.
  virtual bool Truncate(std::int64_t /*size*/) { return false; }
  // The ranges (offset, length), in order, that hold the file's data: the
  // holes of a sparse file, which hold none, are left out. The whole file
  // where the system cannot tell.
  virtual std::vector<std::pair<std::int64_t, std::int64_t>> DataRanges();

  // Named data streams: content that a file or a folder keeps beside its
  // own (on Windows a download's "Zone.Identifier" with the addresses it
  // came from, or whole documents that programs keep there). Their names
  // ("Zone.Identifier"), as this very handle's file lists them; empty where
  // the file system keeps none; nullopt when they could not be listed.
  virtual std::optional<std::vector<std::string>> StreamNames() { return std::vector<std::string>{}; }
  // One of them opened like OpenExclusive, relative to this very handle, so
  // that it is the stream of the file that was checked. Null on failure.
  virtual std::unique_ptr<File> OpenStream(const std::string& /*name*/) { return nullptr; }
};

// What an open file may do. Read: read, shared with readers and writers.
// Write: write, shared with other writers. Exclusive: read and write, no
// sharing (nobody else may read or write it meanwhile). Append: write at
// the end only, shared. ExclusiveReadBack: as Exclusive, for passes that
// are then read back past the caches (File::ReadBack); on Windows other
// readers are let in beside it, as only a handle of their own bypasses
// the caches there.
enum class FileAccess { Read, Write, Exclusive, Append, ExclusiveReadBack };

// An open folder, and the one way to what lies in it: every operation
// takes one name in it (never a path, "." or ".."), and none follows a
// link.
class Folder : public Node {
 public:
  // Every entry, hidden ones included, without "." and "..": names as the
  // system holds them (on POSIX any bytes, a backslash included).
  virtual bool List(std::vector<DirEntry>& out) = 0;
  virtual std::optional<NodeInfo> Stat(const std::string& name) = 0;
  // A folder in it; a link or anything else than a folder is refused.
  virtual std::unique_ptr<Folder> OpenFolder(const std::string& name, std::string* why) = 0;
  // A regular file in it, never through a link; a read-only one (the
  // attribute on Windows, no write permission for its owner on POSIX) is
  // refused for writing, as Windows refuses it even to an administrator.
  virtual std::unique_ptr<File> OpenFile(const std::string& name, FileAccess access, std::string* why) = 0;
  // Whatever the name holds, a link as itself.
  virtual std::unique_ptr<Node> OpenNode(const std::string& name, std::string* why) = 0;
  // New ones; refused when the name is taken.
  virtual std::unique_ptr<File> CreateNew(const std::string& name, std::string* why) = 0;
  virtual std::unique_ptr<Folder> MakeFolder(const std::string& name, std::string* why) = 0;
  // The folder itself, only to reach its named streams (File::StreamNames,
  // File::OpenStream) relative to this very handle: its size and writes
  // fail. Here one without any; null when it cannot be had.
  virtual std::unique_ptr<File> OwnStreams();
};

// True only when a listing of the folder could be had and lacks the name:
// a failed question proves nothing (access denied, a passing device
// error), and taking a thing for gone when it is not would hide it.
bool ListedAbsent(Folder& folder, const std::string& name);
// The same for a full path: the nearest folder above it that can be opened
// is listed.
bool ConfirmedAbsent(const std::string& path);

// Deletes what a node holds, clearing a read-only attribute that would
// refuse it (Windows refuses to delete a read-only file); a link never
// loses an attribute of what it points at.
bool DeleteNode(Node& n);

// Why a name cannot be one name in a folder ("", ".", "..", a separator,
// on Windows a colon, which names a stream); empty when it can.
std::string BadNodeName(const std::string& name);

// Test hook: between each check and the act that relies on it, the core
// and the platform layers name the step here (with the path concerned).
// A test puts in a callback that changes the files at a chosen step, as
// another program could; nothing is called without one.
using RaceHook = std::function<void(const char* step, const std::string& path)>;
void SetRaceHook(RaceHook hook);
void RaceStep(const char* step, const std::string& path);

// Held while one process reads, changes or moves things into or out of a
// store. The system lets go of it when its holder dies, so a crash never
// leaves a store locked.
class StoreLock {
 public:
  virtual ~StoreLock() = default;
};

// A value of the per-user key-value store, with registry semantics.
enum class KvType { Missing, Dword, String, Other };
struct KvValue {
  KvType type = KvType::Missing;
  std::uint32_t dword = 0;
  std::string text;
};

// What a file's or a folder's permissions let other accounts do with it:
// the thing itself, never what a link points at.
struct Ownership {
  bool folder = false;
  bool link = false;  // a symbolic link, junction or other reparse point
  // Neither a folder nor a regular file: a device, a pipe, a socket. Reading
  // one may never end.
  bool special = false;
  // The owner: a SID on Windows ("S-1-5-21-..."), a user id on POSIX.
  std::string owner;
  // The owner is this account, or on Windows also SYSTEM or the
  // Administrators, who may do anything there anyway (an elevated program
  // makes what it creates theirs).
  bool ownerTrusted = false;
  // Why another account could change it: write to it, add to a folder,
  // change its permissions. Empty when none can.
  std::string othersMayWrite;
  // Why another account could read it or list or enter a folder.
  std::string othersMayRead;
  // Why another account than the owner could rename or remove what a
  // folder holds.
  std::string othersMayRemove;
};

// Machine policy as the system keeps it: named values with the registry's
// semantics, from the places an administrator sets them, strongest first.
// Which names mean what is the core's (settings/policy.h).
struct PolicySource {
  std::string name;  // where they were set: "HKLM\Software\Policies\Vaporizer", "/etc/vaporizer/policy.json"
  std::vector<std::pair<std::string, KvValue>> values;
};
struct PolicyRead {
  std::vector<PolicySource> sources;
  std::vector<std::string> warnings;  // places ignored, and why
};

class Platform {
 public:
  virtual ~Platform() = default;

  // A path in the system's form as the user knows it, for messages: on
  // POSIX its real path where it has one; elsewhere the path itself, its
  // drive letter in upper case.
  virtual std::string ShownPath(const std::string& path);

  // Volumes: bit n of the mask stands for drive letter 'A' + n.
  virtual std::uint32_t LogicalDriveMask() = 0;
  virtual DriveType DriveTypeOf(char letter) = 0;
  // Whether the items of a drive are kept in a store there for this user:
  // on fixed drives. When not, *why may tell the user why (said with the
  // caution question); it stays empty where the drive's type says it all.
  virtual bool CarriesStore(char letter, std::string* why) {
    (void)why;
    return DriveTypeOf(letter) == DriveType::Fixed;
  }
  // The letter under which the records of a drive's index are written: its
  // own, unless the store keeps the letter the drive had when the store was
  // made and the drive goes by another now. Its records are then read and
  // written under the store's letter, so they hold whatever the drive is
  // called.
  virtual char IndexLetter(char drive) { return drive; }

  // The path as the system itself resolves it when it is opened, in full.
  // A typed path is read the way the system reads a path it is given: on
  // Windows as GetFullPathName does (".." taken off as text, short names
  // made long), and one whose Win32 reading names another item than the
  // one written (dots and blanks at a name's end, which Win32 drops; a
  // device's name such as AUX.c) is refused with both forms in *why. A
  // listed path names exactly the entry that was listed, dots, blanks and
  // all. On POSIX ".." goes after the real parent folder, every name but
  // the last through the links on the way, whatever the origin. Only a full
  // path on a drive ("X:\...") is taken: anything else would be resolved
  // against some current folder. nullopt, with the reason in *why, for what
  // the system would not open as the one item it names (on Windows also
  // text that is no UTF-8 and a path past the system's own limit of 32767
  // characters).
  virtual std::optional<std::string> ResolvePath(const std::string& path, PathOrigin origin, std::string* why) = 0;
  // Many paths at once, as ResolvePath resolves each (whys[i] says why
  // paths[i] has none): a folder that several of them pass through is
  // resolved once for all of them.
  virtual std::vector<std::optional<std::string>> ResolvePaths(const std::vector<std::string>& paths, PathOrigin origin,
                                                               std::vector<std::string>& whys);

  // Index lines are written in the system's own single-byte code page
  // wherever that holds them: the ANSI code page on Windows, in which
  // earlier index files were written; on POSIX, where names are bytes, the
  // bytes themselves. The text's bytes in that code page, character for
  // character, or nullopt where a character has no exact form there.
  virtual std::optional<std::string> ToCodePage(const std::string& text) { return text; }
  // Text of that code page as the core's text (UTF-8 on Windows).
  virtual std::string FromCodePage(const std::string& bytes) { return bytes; }

  // What a path shows: attributes, directory entries. Nothing here acts on
  // what it finds; every change goes through the handles below.
  virtual std::optional<std::uint32_t> GetAttributes(const std::string& path) = 0;
  // The entry of the path itself (no wildcard); links are not followed.
  virtual std::optional<DirEntry> FindEntry(const std::string& path) = 0;
  // Every entry of a directory, hidden and system ones included, without
  // "." and ".."; false when the directory cannot be listed.
  virtual bool ListDirectory(const std::string& dir, std::vector<DirEntry>& out) = 0;
  // Number of names the file has; 0 when unknown.
  virtual std::uint32_t LinkCount(const std::string& path) = 0;
  // What the path's last name holds now, never followed; nullopt when
  // nothing is there or it cannot be asked. By default through OpenFolder.
  virtual std::optional<NodeInfo> StatPath(const std::string& path);
  // Only what StatPath says of the identity of what the path's last name
  // holds, never followed; the one question where nothing else is needed.
  virtual std::optional<FileId> IdentityOf(const std::string& path) {
    auto info = StatPath(path);
    return info ? std::optional<FileId>(info->id) : std::nullopt;
  }
  // Sets the last-write time of a file or a folder itself (its contents
  // keep theirs), read-only or not, in the form of a DirEntry's times. A
  // link is left alone: false.
  virtual bool SetWriteTime(const std::string& path, const CivilTime& written) = 0;
  // Whether the system finds the names in the folder `dir` without regard
  // to letter case: on Windows every folder but one marked case-sensitive;
  // on POSIX a FAT or exFAT volume and a casefolded folder. A missing
  // folder is answered by the nearest one above it. False when it cannot
  // be told: a name is then matched only as it is.
  virtual bool IgnoresCase(const std::string& dir) = 0;
  // The programs that hold the file at `path` open ("Notepad, Word"), as
  // the system can tell; empty where it cannot.
  virtual std::string HoldersOf(const std::string& /*path*/) { return {}; }

  // The folder at a full path on a drive ("X:\..."), opened from the
  // drive's root one name at a time, never through a link: a link, or
  // anything but a folder, on the way refuses it, and *why says which.
  virtual std::unique_ptr<Folder> OpenFolder(const std::string& path, std::string* why) = 0;
  // The identity of every drive's root folder, by drive letter: a folder
  // that holds one holds another drive, and is never taken whole.
  virtual std::vector<std::pair<char, FileId>> VolumeRoots() { return {}; }

  // Whole files and single changes, built on the handles: each walks to
  // the folder that holds the path's last name and acts there.
  bool SetAttributes(const std::string& path, std::uint32_t attributes);
  bool MakeDirectory(const std::string& path);
  bool CreateEmptyFile(const std::string& path);  // fails when it exists
  // A regular file's content, read without waiting for a writer (a pipe is
  // refused, never waited on); nullopt past `limit` bytes.
  std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit = kReadLimit);
  // Writes a new file beside the old one, flushes it and puts it in the old
  // one's place in one step: on failure the old file stays whole. The new
  // file's name while it is written begins with the old one's and ".~".
  bool ReplaceFileContents(const std::string& path, const std::string& content);
  bool WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                      const std::string& value);
  // Exclusive: read-write, no sharing, existing file only.
  std::unique_ptr<File> OpenExclusive(const std::string& path);
  // As OpenExclusive, for passes that are then read back (File::ReadBack).
  // On Windows, where the caches are bypassed only by a handle of its own,
  // other readers are let in beside that handle.
  std::unique_ptr<File> OpenExclusiveReadBack(const std::string& path);
  // Write access shared with other writers, existing file only; optionally
  // cut to zero length.
  std::unique_ptr<File> OpenSharedWrite(const std::string& path, bool truncate);
  // Existing file, for appending only.
  std::unique_ptr<File> OpenAppend(const std::string& path);
  // Moves a file or a folder tree to a full destination path on the same
  // volume, creating missing parent folders; asks nothing. Never replaces:
  // when the destination exists, even if it appeared a moment before, the
  // move fails and both stay as they were.
  bool MoveItem(const std::string& from, const std::string& to);
  bool RemoveFile(const std::string& path);
  // Deletes a file, or a folder with everything inside it, asking nothing;
  // links inside are removed as themselves, never followed.
  bool DeleteItem(const std::string& path);
  // Removes an empty folder, or a link (to a file or a folder) without
  // touching its target.
  bool RemoveEmptyDirectory(const std::string& path);
  bool RemoveLink(const std::string& path);

  // A folder (not a link), opened as OpenFolder opens it, only to reach
  // its named streams (Folder::OwnStreams); null when it cannot be opened.
  std::unique_ptr<File> OpenFolderStreams(const std::string& path);

  // Flushes many open files to the device at once: ok[i] tells whether
  // files[i] got there. Flushes issued together share the device's
  // write-back and the file system's journal, so a batch of them costs
  // about as much as one. Here one after another; the systems' own layers
  // issue them from a few threads for the files they opened.
  virtual std::vector<bool> FlushFiles(const std::vector<File*>& files);
  // How many files a batch holds open at most to flush them together. Where
  // one flush of a volume reaches every file on it (the POSIX layer), as
  // many as the process may keep open, so that a pass costs one flush per
  // volume; elsewhere a few hundred, past which a larger group saves little
  // (bench/vaporize_peers.sh).
  virtual std::size_t FlushGroupFiles() { return 256; }

  // The lock of a store folder ("X:\VAPORIZE\<account>", or the drive's
  // store folder itself, where the earlier layout kept its items): every
  // process and both builds of the module take the same one. Waits at most
  // waitMs. Null when it could
  // not be had; *busy then says whether another holder kept it that long.
  // Platforms without other processes to keep out hand out a lock at once.
  virtual std::unique_ptr<StoreLock> LockStore(const std::string& /*storeDir*/, int /*waitMs*/, bool* busy) {
    if (busy) *busy = false;
    return std::make_unique<StoreLock>();
  }

  // The most ReadWholeFile reads by default.
  static constexpr std::size_t kReadLimit = std::size_t{256} << 20;

  // Clock. Local wall-clock time; ToLocal turns the file-time fields of a
  // DirEntry into the local time they stand for.
  virtual CivilTime LocalNow() = 0;
  virtual CivilTime ToLocal(const CivilTime& raw) = 0;

  // The user's locale form of the date or the time of day in t; nullopt
  // where the system has no locale forms or cannot show that date (callers
  // then use a fixed form of their own).
  virtual std::optional<std::string> FormatDateTime(const CivilTime& /*t*/, DateStyle /*style*/) {
    return std::nullopt;
  }

  // Per-user key-value store (the registry's HKEY_CURRENT_USER on Windows).
  // Keys are paths such as "SOFTWARE\Orvel\Gearloft\Vaporizer\".
  virtual bool KvOpenKey(const std::string& key, bool create) = 0;
  virtual KvValue KvRead(const std::string& key, const std::string& name) = 0;
  virtual bool KvWriteDword(const std::string& key, const std::string& name, std::uint32_t value) = 0;
  virtual bool KvWriteString(const std::string& key, const std::string& name, const std::string& value) = 0;

  // Machine policy, read afresh. Windows: HKLM\Software\Policies\Vaporizer,
  // then HKCU\Software\Policies\Vaporizer (both writable by administrators
  // alone). Linux: /etc/vaporizer/policy.json, a JSON object, honoured only
  // when it and every folder above it belong to root and nobody else may
  // change them (a sticky folder of root's, as /tmp, counts as safe); else
  // ignored with a warning that says why. VAPORIZER_TEST_POLICY may name
  // one more file under the same rules, weaker than /etc's: it can add rules,
  // never take one away. By default the real system's answers.
  virtual PolicyRead ReadPolicy();

  // Writes the records to the system's log (platform/system_log.h), in
  // order. Empty when done; else why not. By default the real system's log.
  virtual std::string WriteSystemLog(const std::vector<LogRecord>& records);

  // Tells the desktop that the stores changed (folder icon and open windows).
  virtual void UpdateIcon() = 0;

  // Trims free space of the volume that holds the path, after the file
  // system has committed what was freed: the whole free space when `ranges`
  // is empty, else those ranges of it (as File::Extents gives them). Linux:
  // FITRIM, for root; Windows: the volume's retrim, for an administrator.
  // Empty when done; else why not.
  virtual std::string TrimVolume(const std::string& /*path*/, const std::vector<ByteRange>& /*ranges*/) {
    return "the system takes no such request here";
  }

  // What the medium under a path (the file system and device of its folder)
  // and one file's own flags tell about overwriting in place. The real
  // system's answers unless a test puts others in.
  virtual MediumFacts MediumOf(const std::string& path);
  virtual FileStorage FileStorageOf(const std::string& path);
  // The same for a file held open, asked through it where the system can;
  // `path` is what it was opened by.
  virtual FileStorage OpenFileStorageOf(File& file, const std::string& path);

  // Accounts. This account's own folder in a drive's store folder is
  // named by AccountName: its SID on Windows, its user id on POSIX. By
  // default the real system's answers, as for the medium.
  virtual std::string AccountName();
  // The permissions of a path's last name; nullopt when they cannot be read.
  virtual std::optional<Ownership> OwnershipOf(const std::string& path);
  // A new folder for this account alone, and everything made in it: on
  // Windows a protected access list granting full control to this account,
  // SYSTEM and the Administrators, inherited, and nothing to anybody else;
  // on POSIX mode 0700. False when the name is taken.
  virtual bool MakePrivateFolder(const std::string& path);
  // Takes from other accounts whatever an existing folder of this
  // account's lets them do, as MakePrivateFolder would have made it.
  virtual bool MakePrivate(const std::string& path);
  // A new store folder of a drive, hidden and system, in which every
  // account may make a folder of its own and nothing more: on Windows
  // ordinary users may add a folder and pass through, SYSTEM and the
  // Administrators have full control; on POSIX mode 1777 (sticky, as
  // /tmp) when root makes it, else 0700, the maker's own. False when the
  // name is taken.
  virtual bool MakeSharedFolder(const std::string& path);
};

// The platform the core talks to: the real one unless a test put another in.
Platform& Plat();
// The real platform of this build.
Platform& NativePlatform();

class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& p);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

// Runs flush(i) for i from 0 to n - 1 from a few threads at once and says
// which returned true; for the systems' layers.
std::vector<bool> FlushTogether(std::size_t n, const std::function<bool(std::size_t)>& flush);

// Whole files in a folder held open, as the path forms of Platform do them
// once they have walked to the folder. ReadFileIn reads a regular file
// without ever waiting for a writer, and refuses one past `limit` bytes.
std::optional<std::string> ReadFileIn(Folder& folder, const std::string& name, std::size_t limit,
                                      std::string* why = nullptr);
// Replaces a file as Platform::ReplaceFileContents does. The old file's
// content is written over in its own blocks before the file system frees
// them, unless another name still shows it. At every step the name holds
// the old content or the new one, except on a volume that can neither
// exchange two names nor give a file a second name (FAT on Windows): there
// the old file goes aside under the name and ".old.~" for a moment.
bool ReplaceFileIn(Folder& folder, const std::string& name, const std::string& content);
// Tidies what replaces of `name` cut short left in the folder: a file left
// aside goes back where the name is missing; the other temporary files of
// the name are written over and deleted. Only where no replace of the name
// is running.
void FinishReplaceIn(Folder& folder, const std::string& name);
bool WriteIniIn(Folder& folder, const std::string& name, const std::string& section, const std::string& key,
                const std::string& value);

// The folder at a path as OpenFolder opens it, with the missing folders on
// the way made where nothing else is in the way.
std::unique_ptr<Folder> OpenFolderMaking(const std::string& path, std::string* why);

// The folder that holds a path's last name, opened as OpenFolder opens
// it, and that name; null, with *why, when the path has no such folder.
std::unique_ptr<Folder> OpenParent(const std::string& path, std::string* name, std::string* why);

// Why something found at `found` inside an item whose own folder is `top`
// may not be taken with it: it is the root of a drive, or a mount (another
// file system, or a bind mount of any folder or file), told by the mount it
// is seen through, never by a drive table. Empty when it may. `roots` as
// VolumeRoots gives them.
std::string ForeignEntry(const DirEntry& found, const NodeInfo& top, const std::vector<std::pair<char, FileId>>& roots);
// Why an item itself may not be walked or sent: it is the root of a mount
// (what is mounted there is another place's). Empty when it may.
std::string MountedItem(const NodeInfo& item);
// The same for everything beneath a folder held open, walked by handles
// (never through a link): the first reason found, or empty.
std::string ForeignInside(Folder& folder);

// The system's cryptography (libcrypto on Linux, BCrypt on Windows).
using Digest = std::array<std::uint8_t, 32>;
std::optional<Digest> Sha256(const std::string& data);
std::optional<Digest> HmacSha256(const std::string& key, const std::string& data);
bool RandomBytes(void* out, std::size_t n);
// Lower-case hexadecimal.
std::string HexOf(const std::uint8_t* bytes, std::size_t n);
inline std::string HexOf(const Digest& d) { return HexOf(d.data(), d.size()); }

// The user's own files, outside every drive: paths as the host names them
// (on POSIX the path itself).
//
// The user's secret of 32 bytes, made at first use and readable by the user
// alone: $XDG_CONFIG_HOME/vaporizer/receipt.key with mode 0600 on Linux;
// on Windows %APPDATA%\Vaporizer\receipt.key, sealed for the user by DPAPI.
// nullopt, with *why, when it can be neither read nor made (with `make`
// false, when it is not there), or when others could read it.
std::optional<std::string> UserSecretKey(std::string* why, bool make = true);
// The folder that holds that key (made when missing): what is kept beside
// the key is the user's alone as the key is.
std::optional<std::string> UserKeyFolder(std::string* why);
// The folder where the program keeps the user's data (made when missing):
// $XDG_DATA_HOME/vaporizer on Linux, %APPDATA%\Vaporizer on Windows.
std::optional<std::string> UserDataFolder(std::string* why);
// Appends to a file, made (for the user alone) when missing: under an
// exclusive lock of the file, make() gets what it holds and returns the
// text to add, which reaches the device before the lock is let go.
bool AppendLocked(const std::string& hostPath, const std::function<std::string(const std::string& contents)>& make,
                  std::string* why);
std::optional<std::string> ReadUserFile(const std::string& hostPath, std::string* why);

// Convenience built on the operations above.
bool Exists(const std::string& path);          // file or directory
bool FileExists(const std::string& path);      // not a directory
bool DirectoryExists(const std::string& path);

}  // namespace vz
