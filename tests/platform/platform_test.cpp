#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "common/text.h"
#include "engine/link_support.h"
#include "platform/platform.h"
#include "support/drives.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/batch.h"
#include "store/send.h"
#include "store/store.h"
#include "support/scripted_ui.h"

#include "platform/posix/volumes.h"
#else
#include <windows.h>
#endif

namespace vz::test {
namespace {

class PlatformTest : public DrivesTest {};

TEST_F(PlatformTest, DrivesAndTheirTypes) {
  std::uint32_t mask = Plat().LogicalDriveMask();
  EXPECT_TRUE(mask & (1u << ('C' - 'A')));
  EXPECT_TRUE(mask & (1u << ('D' - 'A')));
  EXPECT_TRUE(mask & (1u << ('E' - 'A')));
  EXPECT_EQ(Plat().DriveTypeOf('D'), DriveType::Fixed);
  EXPECT_EQ(Plat().DriveTypeOf('d'), DriveType::Fixed);
  EXPECT_EQ(Plat().DriveTypeOf('E'), DriveType::Removable);
  EXPECT_EQ(Plat().DriveTypeOf('Q'), DriveType::NoRootDir);
}

TEST_F(PlatformTest, MoveCreatesMissingFolderChainAndNeverReplaces) {
  MakeFile(D("a.txt"), "content");
  ASSERT_TRUE(Plat().MoveItem(D("a.txt"), D("x\\y\\z\\b.txt")));
  EXPECT_FALSE(PathExists(D("a.txt")));
  EXPECT_EQ(Slurp(D("x\\y\\z\\b.txt")), "content");

  MakeFile(D("c.txt"), "other");
  EXPECT_FALSE(Plat().MoveItem(D("c.txt"), D("x\\y\\z\\b.txt")));
  EXPECT_EQ(Slurp(D("x\\y\\z\\b.txt")), "content");
  EXPECT_EQ(Slurp(D("c.txt")), "other");

  MakeFile(D("tree\\sub\\f.txt"), "deep");
  ASSERT_TRUE(Plat().MoveItem(D("tree"), D("moved\\tree2")));
  EXPECT_EQ(Slurp(D("moved\\tree2\\sub\\f.txt")), "deep");
  EXPECT_FALSE(Plat().MoveItem(D("missing.txt"), D("m.txt")));
}

// Moves that race for one destination: exactly one wins and the others fail
// with their items where they were, however the moves interleave. A check
// for the destination before a plain rename would let a later move replace
// the item an earlier one put there.
TEST_F(PlatformTest, MovesRacingForOneDestinationHaveExactlyOneWinner) {
  constexpr int kMovers = 6;
  // Threads cost far more on Windows, where the rename itself refuses to
  // replace; the POSIX layer needs more rounds for the race to show.
#ifdef _WIN32
  constexpr int kRounds = 12;
#else
  constexpr int kRounds = 150;
#endif
  MakeDir(D("to"));
  for (int round = 0; round < kRounds; ++round) {
    const std::string to = D("to\\" + std::to_string(round));
    auto from = [&](int m) { return D("from\\" + std::to_string(round) + "-" + std::to_string(m)); };
    for (int m = 0; m < kMovers; ++m) MakeFile(from(m), std::to_string(m));
    std::atomic<int> ready{0};
    std::vector<char> won(kMovers, 0);
    std::vector<std::thread> movers;
    for (int m = 0; m < kMovers; ++m)
      movers.emplace_back([&, m] {
        for (++ready; ready < kMovers;) std::this_thread::yield();
        won[m] = Plat().MoveItem(from(m), to);
      });
    for (auto& t : movers) t.join();
    ASSERT_EQ(std::count(won.begin(), won.end(), 1), 1) << "round " << round;
    const int winner = static_cast<int>(std::find(won.begin(), won.end(), 1) - won.begin());
    EXPECT_EQ(Slurp(to), std::to_string(winner));
    for (int m = 0; m < kMovers; ++m)
      if (m != winner) EXPECT_EQ(Slurp(from(m)), std::to_string(m)) << "round " << round;
  }
}

#ifdef _WIN32
// Another program may hold a folder open without sharing the right to
// delete it (Wine's FindFirstFileW does, while it lists): a second open that
// asks for that right then fails with a sharing violation (CreateFileW,
// dwShareMode: https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-createfilew).
// What lies in the folder can still be read and moved all the same.
TEST_F(PlatformTest, AFolderHeldOpenElsewhereStillLetsItsItemsBeReadAndMoved) {
  MakeFile(D("busy\\a.txt"), "a");
  HANDLE held = CreateFileW(L"D:\\busy", FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string why;
  EXPECT_TRUE(Plat().OpenFolder(D("busy"), &why)) << why;
  EXPECT_TRUE(Plat().MoveItem(D("busy\\a.txt"), D("busy\\b.txt")));
  CloseHandle(held);
  EXPECT_EQ(Slurp(D("busy\\b.txt")), "a");
}
#endif

// The answer is what the system itself does with names, for a folder and
// for the missing folders below it: natively on ext4 or tmpfs Report.txt and
// REPORT.TXT are two names; Windows (and Wine) find either by the other
// unless a folder is marked case-sensitive, whatever the volume's flags say
// it could do (FILE_CASE_SENSITIVE_SEARCH):
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/ntifs/ns-ntifs-_file_case_sensitive_information
// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-getvolumeinformationw
TEST_F(PlatformTest, IgnoresCaseAnswersAsTheSystemFindsNames) {
  MakeFile(D("Probe\\Report.txt"), "x");
  const bool folds = PathExists(D("Probe\\REPORT.TXT"));
  for (const char* dir : {"Probe", "Probe\\", "Probe\\missing\\deeper", ""})
    EXPECT_EQ(Plat().IgnoresCase(D(dir)), folds) << dir;
}

TEST_F(PlatformTest, AttributesRoundTrip) {
  MakeFile(D("f.txt"), "x");
  // The archive bit is left out: some hosts set it on every file.
  const std::uint32_t kSeen = kAttrHidden | kAttrSystem | kAttrReadOnly | kAttrDirectory;
  for (std::uint32_t a : std::vector<std::uint32_t>{kAttrHidden | kAttrSystem, kAttrReadOnly, 0, kAttrHidden}) {
    ASSERT_TRUE(Plat().SetAttributes(D("f.txt"), a | kAttrArchive));
    auto got = Plat().GetAttributes(D("f.txt"));
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got & kSeen, a) << a;
  }
  MakeDir(D("dir"));
  ASSERT_TRUE(Plat().SetAttributes(D("dir"), kAttrDirectory | kAttrHidden | kAttrSystem));
  EXPECT_EQ(*Plat().GetAttributes(D("dir")) & (kAttrDirectory | kAttrHidden | kAttrSystem),
            kAttrDirectory | kAttrHidden | kAttrSystem);
  EXPECT_FALSE(Plat().GetAttributes(D("nothing")).has_value());
}

TEST_F(PlatformTest, DirectorySearchGivesSizesTimesAndAllEntries) {
  MakeFile(D("dir\\a.bin"), std::string(1500, 'a'));
  MakeFile(D("dir\\.hidden"), "h");
  MakeDir(D("dir\\sub"));
  std::vector<DirEntry> entries;
  ASSERT_TRUE(Plat().ListDirectory(D("dir"), entries));
  ASSERT_EQ(entries.size(), 3u);
  bool sawFile = false, sawSub = false;
  for (const auto& e : entries) {
    if (e.name == "a.bin") {
      sawFile = true;
      EXPECT_EQ(e.size, 1500);
      EXPECT_FALSE(e.attributes & kAttrDirectory);
    }
    if (e.name == "sub") {
      sawSub = true;
      EXPECT_TRUE(e.attributes & kAttrDirectory);
    }
  }
  EXPECT_TRUE(sawFile && sawSub);
  auto e = Plat().FindEntry(D("dir\\a.bin"));
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->name, "a.bin");
  EXPECT_EQ(e->size, 1500);
  EXPECT_FALSE(Plat().FindEntry(D("dir\\none")).has_value());
  std::vector<DirEntry> none;
  EXPECT_FALSE(Plat().ListDirectory(D("missing"), none));
}

TEST_F(PlatformTest, FileTimesPassThroughDosTimeWithoutZoneConversion) {
  MakeFile(D("t.txt"), "x");
  CivilTime stamp{1990, 1, 1, 12, 12, 12};
  {
    auto f = Plat().OpenSharedWrite(D("t.txt"), false);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->SetTimes(nullptr, nullptr, &stamp));
  }
  auto e = Plat().FindEntry(D("t.txt"));
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->written, stamp);
  auto dos = ToDos(e->written);
  ASSERT_TRUE(dos.has_value());
  EXPECT_EQ(FromDos(*dos), stamp);
}

TEST_F(PlatformTest, WriteTimeIsSetOnReadOnlyFilesAndFoldersButNeverThroughALink) {
  const CivilTime stamp{2003, 4, 5, 6, 7, 8};
  MakeFile(D("ro.txt"), "x");
  MakeFile(D("dir\\in.txt"), "y");
  ASSERT_TRUE(Plat().SetAttributes(D("ro.txt"), kAttrReadOnly));
  for (const char* p : {"ro.txt", "dir"}) {
    EXPECT_TRUE(Plat().SetWriteTime(D(p), stamp)) << p;
    EXPECT_EQ(Plat().FindEntry(D(p))->written, stamp) << p;
  }
  EXPECT_NE(Plat().FindEntry(D("dir\\in.txt"))->written, stamp);
  EXPECT_FALSE(Plat().SetWriteTime(D("missing"), stamp));
  Plat().SetAttributes(D("ro.txt"), 0);
#ifndef _WIN32
  ASSERT_EQ(::symlink(HostPath(D("dir")).c_str(), HostPath(D("link")).c_str()), 0);
  const CivilTime other{2011, 1, 1, 0, 0, 0};
  EXPECT_FALSE(Plat().SetWriteTime(D("link"), other));
  EXPECT_EQ(Plat().FindEntry(D("dir"))->written, stamp) << "the target keeps its time";
#endif
}

// A folder is opened from its parent one name at a time, none through a
// link: as the last name, in the middle of a path, or from a held folder.
TEST_F(PlatformTest, AFolderIsNeverOpenedThroughALink) {
  if (!CanMakeSymlinks()) GTEST_SKIP() << "no symbolic links here";
  MakeFile(D("real\\sub\\in.txt"), "x");
  ASSERT_TRUE(MakeSymlink(D("real"), D("link")));
  std::string why;
  ASSERT_NE(Plat().OpenFolder(D("real\\sub"), &why), nullptr) << why;
  for (const char* path : {"link", "link\\sub"}) {
    why.clear();
    EXPECT_EQ(Plat().OpenFolder(D(path), &why), nullptr) << path;
    EXPECT_NE(why, "") << path;
  }
  auto top = Plat().OpenFolder(D(), &why);
  ASSERT_NE(top, nullptr) << why;
  EXPECT_EQ(top->OpenFolder("link", &why), nullptr);
  EXPECT_NE(top->OpenFolder("real", &why), nullptr) << why;
}

// What a walk meets inside an item is another place's when it is a mount
// root or seen through another mount: files too, told by the mount and not
// by the device, which the files of an overlay do not share with it.
TEST(ForeignEntryTest, MountsAreToldByTheirMarksFilesToo) {
  NodeInfo top;
  top.id = {7, 1};
  top.mount = 40;
  const std::vector<std::pair<char, FileId>> roots = {{'E', FileId{9, 2}}};
  struct Case {
    NodeKind kind;
    FileId id;
    std::uint64_t mount;
    bool mountRoot;
    const char* refused;  // a part of the reason; null: taken
  } cases[] = {
      {NodeKind::Folder, {7, 5}, 40, false, nullptr},
      {NodeKind::File, {8, 5}, 40, false, nullptr},  // an overlay's file
      {NodeKind::File, {7, 5}, 0, false, nullptr},   // the system does not tell
      {NodeKind::Folder, {7, 5}, 40, true, "a bind mount is mounted inside it"},
      {NodeKind::File, {7, 5}, 40, true, "a bind mount is mounted inside it"},
      {NodeKind::File, {7, 5}, 41, false, "a bind mount is mounted inside it"},
      {NodeKind::Folder, {8, 5}, 40, false, "another file system"},
      {NodeKind::Folder, {9, 2}, 41, true, "the root of drive E:"},
  };
  for (const auto& c : cases) {
    DirEntry e;
    e.kind = c.kind;
    e.id = c.id;
    e.mount = c.mount;
    e.mountRoot = c.mountRoot;
    const std::string why = ForeignEntry(e, top, roots);
    if (c.refused) EXPECT_NE(why.find(c.refused), std::string::npos) << why;
    else EXPECT_EQ(why, "") << static_cast<int>(c.kind) << " " << c.id.volume << " " << c.mount;
  }
  NodeInfo item;
  EXPECT_EQ(MountedItem(item), "");
  item.mountRoot = true;
  EXPECT_NE(MountedItem(item).find("mount point"), std::string::npos);
}

TEST_F(PlatformTest, ExclusiveOpenShutsOutOthersAndWritesInPlace) {
  MakeFile(D("e.bin"), "abcdef");
  {
    auto f = Plat().OpenExclusive(D("e.bin"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Plat().OpenExclusive(D("e.bin")), nullptr);
    EXPECT_EQ(Plat().OpenSharedWrite(D("e.bin"), false), nullptr);
    EXPECT_EQ(f->Size(), 6);
    ASSERT_TRUE(f->WriteAt(2, "XY", 2));
    EXPECT_TRUE(f->Flush());
  }
  EXPECT_EQ(Slurp(D("e.bin")), "abXYef");
  ASSERT_TRUE(Plat().SetAttributes(D("e.bin"), kAttrReadOnly));
  EXPECT_EQ(Plat().OpenExclusive(D("e.bin")), nullptr) << "the read-only attribute refuses writing";
  EXPECT_EQ(Plat().OpenExclusive(D("none.bin")), nullptr);
}

// A file system without named streams (ext4 here, Wine's drives) lists
// none, which is no failure; a folder is opened for its streams, a file is
// not taken for one.
TEST_F(PlatformTest, WithoutNamedStreamsAFileAndAFolderListNone) {
  MakeFile(D("a.txt"), "a");
  MakeDir(D("f"));
  const std::optional<std::vector<std::string>> none = std::vector<std::string>{};
  auto file = Plat().OpenExclusive(D("a.txt"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->StreamNames(), none);
  EXPECT_EQ(file->OpenStream("Zone.Identifier"), nullptr);
  auto folder = Plat().OpenFolderStreams(D("f"));
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->StreamNames(), none);
  EXPECT_EQ(Plat().OpenFolderStreams(D("a.txt")), nullptr);
}

TEST_F(PlatformTest, AppendNeedsAnExistingFileAndReplaceIsWhole) {
  EXPECT_EQ(Plat().OpenAppend(D("log.txt")), nullptr);
  MakeFile(D("log.txt"), "one\r\n");
  {
    auto f = Plat().OpenAppend(D("log.txt"));
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Append("two\r\n"));
  }
  EXPECT_EQ(Slurp(D("log.txt")), "one\r\ntwo\r\n");
  ASSERT_TRUE(Plat().ReplaceFileContents(D("log.txt"), "three\r\n"));
  EXPECT_EQ(*Plat().ReadWholeFile(D("log.txt")), "three\r\n");
  std::vector<DirEntry> entries;
  ASSERT_TRUE(Plat().ListDirectory(D(""), entries));
  for (const auto& e : entries) EXPECT_EQ(e.name.find("log.txt."), std::string::npos) << "temporary file left: " << e.name;
}

TEST_F(PlatformTest, DeleteAndRemove) {
  MakeFile(D("tree\\a\\b.txt"), "b");
  MakeDir(D("empty"));
  EXPECT_FALSE(Plat().RemoveEmptyDirectory(D("tree"))) << "only empty folders";
  EXPECT_TRUE(Plat().RemoveEmptyDirectory(D("empty")));
  EXPECT_TRUE(Plat().DeleteItem(D("tree")));
  EXPECT_FALSE(PathExists(D("tree")));
  MakeFile(D("f.txt"), "f");
  EXPECT_TRUE(Plat().RemoveFile(D("f.txt")));
  EXPECT_FALSE(Plat().RemoveFile(D("f.txt")));
}

TEST_F(PlatformTest, IniWriteCreatesAndRewrites) {
  MakeDir(D("store"));
  ASSERT_TRUE(Plat().WriteIniString(D("store\\desktop.ini"), ".ShellClassInfo", "CLSID", "{1}"));
  ASSERT_TRUE(Plat().WriteIniString(D("store\\desktop.ini"), ".ShellClassInfo", "CLSID", "{2}"));
  std::string text = Slurp(D("store\\desktop.ini"));
  EXPECT_NE(text.find("[.ShellClassInfo]"), std::string::npos);
  EXPECT_NE(text.find("CLSID={2}"), std::string::npos);
  EXPECT_EQ(text.find("{1}"), std::string::npos);
}

TEST_F(PlatformTest, KeyValueStoreKeepsTypesApart) {
  const std::string key = "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\";
  EXPECT_FALSE(Plat().KvOpenKey(key, false));
  EXPECT_EQ(Plat().KvRead(key, "ShredCount").type, KvType::Missing);
  ASSERT_TRUE(Plat().KvOpenKey(key, true));
  EXPECT_TRUE(Plat().KvOpenKey(key, false));
  EXPECT_EQ(Plat().KvRead(key, "ShredCount").type, KvType::Missing);

  ASSERT_TRUE(Plat().KvWriteDword(key, "ShredCount", 25));
  KvValue v = Plat().KvRead(key, "ShredCount");
  EXPECT_EQ(v.type, KvType::Dword);
  EXPECT_EQ(v.dword, 25u);

  ASSERT_TRUE(Plat().KvWriteString(key, "ShredCount", "5"));
  v = Plat().KvRead(key, "ShredCount");
  EXPECT_EQ(v.type, KvType::String);
  EXPECT_EQ(v.text, "5");

  ASSERT_TRUE(Plat().KvWriteDword(key, "ShowIndicator", 0));
  v = Plat().KvRead("software\\orvel\\gearloft\\vaporizer", "ShowIndicator");
  EXPECT_EQ(v.type, KvType::Dword) << "keys are matched without regard to case or a trailing backslash";
  EXPECT_EQ(v.dword, 0u);
}

#ifndef _WIN32
// Each system path names one host path and back: the store alone is
// VAPORIZE, and a path inside a nested volume has that volume's letter only.
TEST_F(PlatformTest, TheMappingOfPosixPathsIsOneToOne) {
  std::string c = HostPath(C()), d = HostPath(D());
  posix::SetVolumes({{'C', c, DriveType::Fixed}, {'D', d, DriveType::Fixed}, {'N', c + "/nested", DriveType::Fixed}});
  ::mkdir((c + "/nested").c_str(), 0777);
  struct Case {
    std::string host;
    const char* system;  // null: no system form
  } cases[] = {
      {c + "/.VAPORIZE/C1.txt", "C:\\VAPORIZE\\C1.txt"}, {c + "/vaporize", nullptr}, {c + "/Vaporize/C1.txt", nullptr},
      {c + "/x/vaporize", "C:\\x\\vaporize"},          {c + "/.vaporize", "C:\\.vaporize"}, {c + "/nested/a", "N:\\a"},
      {c + "/back\\slash", nullptr},                    {"/elsewhere", nullptr},
  };
  for (const auto& k : cases) {
    auto sys = posix::ToSystemPath(k.host);
    ASSERT_EQ(sys.has_value(), k.system != nullptr) << k.host;
    if (!sys) continue;
    EXPECT_EQ(*sys, k.system);
    EXPECT_EQ(posix::ToHostPath(*sys), k.host) << "and back";
  }
  EXPECT_EQ(posix::ToHostPath("c:\\vaporize\\C1.txt"), c + "/.VAPORIZE/C1.txt") << "the system's form ignores case";
  EXPECT_FALSE(posix::ToHostPath("C:\\nested\\a").has_value()) << "that is N:'s";
  EXPECT_FALSE(posix::ToHostPath("C:\\x\\..\\y").has_value());
  std::string why;
  EXPECT_EQ(posix::ResolveSystemPath("C:\\nested\\..\\Vaporize\\C1.txt", &why), "C:\\VAPORIZE\\C1.txt");
  EXPECT_EQ(posix::ResolveSystemPath("C:\\nested\\a", &why), "N:\\a");
}

// A drive called otherwise than when its store was made keeps its records:
// read under its letter now, written under the store's.
TEST_F(PlatformTest, RecordsKeepTheStoresLetterWhenTheDriveIsCalledOtherwise) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  MakeFile(D("Work\\a.txt"), "a");
  EnsureStores();
  ASSERT_TRUE(SendToStore({D("Work\\a.txt")}, kSendQuietly).report.AllDone());
  posix::SetVolumes({{'C', HostPath(C()), DriveType::Fixed}, {'F', HostPath(D()), DriveType::Fixed}});
  MakeFile("F:\\b.txt", "b");
  ASSERT_TRUE(SendToStore({"F:\\b.txt"}, kSendQuietly).report.AllDone());
  PruneIndex();
  const std::string s = "D:\\VAPORIZE\\" + Plat().AccountName() + "\\";
  const std::string index = "D:\\Work\\a.txt\r\n" + s + "D1.txt\r\nD:\\b.txt\r\n" + s + "F1.txt\r\n";
  EXPECT_EQ(Slurp(IndexPathOf('F')), index);
  EXPECT_NE(Slurp(StoreDirOf('F') + "\\desktop.ini").find("[Vaporizer]\r\nDrive=D\r\n"), std::string::npos);
  auto records = ReadIndex('F');
  ASSERT_TRUE(records && records->size() == 2u);
  EXPECT_TRUE((*records)[0].Sound() && (*records)[1].Sound()) << (*records)[0].damage;
  EXPECT_EQ((*records)[0].originalPath, "F:\\Work\\a.txt");
  EXPECT_TRUE(VaporizeStoredItems({(*records)[0]}, nullptr).AllDone());
  EXPECT_EQ(Slurp(IndexPathOf('F')), index.substr(index.find("D:\\b.txt")));
}

// A drive without a store for this user. What is sent from a drive that
// keeps no store by its kind is vaporized where it is, after the caution,
// which says why; from a fixed drive whose store cannot be used it stays
// where it is, refused with the reason.
TEST_F(PlatformTest, TheCautionSaysWhyADriveKeepsNoStore) {
  using posix::Origin;
  const bool root = ::geteuid() == 0;
  struct Case {
    DriveType type;
    Origin origin;
    bool holdsHome, readOnly;
    const char* store;  // how its .VAPORIZE stands: "", "file", "link", "other", "shared", "root0755"
    const char* why;    // empty: it keeps a store
  } cases[] = {
      {DriveType::Removable, Origin::Table, false, false, "", "is a removable drive, which keeps no store."},
      {DriveType::Remote, Origin::Mount, false, false, "", "is a network drive, which keeps no store."},
      {DriveType::Fixed, Origin::Mount, true, false, "",
       "holds no store for you: your store on its file system is the one in your home folder (C:)."},
      {DriveType::Fixed, Origin::Mount, false, true, "", "holds no store for you: it is mounted read-only."},
      {DriveType::Fixed, Origin::Mount, false, false, "file", "/.VAPORIZE is not a folder: an administrator can remove it."},
      {DriveType::Fixed, Origin::Table, false, false, "link", "/.VAPORIZE is a link, not a folder: an administrator can remove it."},
      {DriveType::Fixed, Origin::Mount, false, false, root ? "other" : "",
       root ? "belongs to another account (65534): an administrator can remove it." : ""},
      {DriveType::Fixed, Origin::Table, false, false, root ? "root0755" : "",
       ""},  // root's own, on a drive of root's
      // The form made for every user (1777, sticky) keeps each user's own store.
      {DriveType::Fixed, Origin::Mount, false, false, root ? "shared" : "", ""},
      {DriveType::Fixed, Origin::Table, true, true, "", ""},  // a given table's kinds are taken as they are
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(++n);
    const std::string top = HostPath(C()) + "/" + std::to_string(n), store = top + "/.VAPORIZE", how = c.store;
    ::mkdir(top.c_str(), 0755);
    if (how == "file") ::close(::creat(store.c_str(), 0644));
    if (how == "link") {
      ASSERT_EQ(::symlink(top.c_str(), store.c_str()), 0);
    }
    if (how == "other" || how == "shared" || how == "root0755") {
      ::mkdir(store.c_str(), 0777);
      ASSERT_EQ(::chmod(store.c_str(), how == "other" || how == "shared" ? 01777 : 0755), 0);
      ASSERT_EQ(::chown(store.c_str(), how == "other" ? 65534 : 0, how == "other" ? 65534 : 0), 0);
    }
    posix::Volume v{'M', top, c.type, c.origin};
    v.holdsHome = c.holdsHome;
    v.readOnly = c.readOnly;
    posix::SetVolumes({{'C', HostPath(C()), DriveType::Fixed}, v});
    EnsureStores();
    MakeFile("M:\\x.txt", "x");
    ScriptedUi ui;
    ScopedUi scope(ui);
    Report r = SendToStore({"M:\\x.txt"}, kSendQuietly).report;
    if (!*c.why) {
      EXPECT_TRUE(r.AllDone());
      EXPECT_TRUE(ui.asked.empty());
      EXPECT_TRUE(PathExists(StoreDirOf('M') + "\\M1.txt"));
      continue;
    }
    const std::string head = "M: (" + top + ") ";
    if (c.type == DriveType::Fixed) {
      // Nothing asked, nothing touched, and the reason given.
      ASSERT_EQ(r.Items().size(), 1u);
      EXPECT_EQ(r.Items()[0].outcome, Outcome::Skipped);
      EXPECT_EQ(r.Items()[0].detail.rfind(head, 0), 0u) << r.Items()[0].detail;
      EXPECT_NE(r.Items()[0].detail.find(std::string(c.why) + " Nothing was sent from there"), std::string::npos)
          << r.Items()[0].detail;
      EXPECT_TRUE(ui.asked.empty());
      EXPECT_EQ(Slurp("M:\\x.txt"), "x");
      continue;
    }
    EXPECT_TRUE(r.AllDone());
    EXPECT_FALSE(PathExists("M:\\x.txt"));
    ASSERT_EQ(ui.asked.size(), 1u);
    const std::string& text = ui.asked[0].text;
    EXPECT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_NE(text.find(std::string(c.why) + " What is sent from there is vaporized where it is.\r\rCaution: "),
              std::string::npos) << text;
  }
}
#endif

}  // namespace
}  // namespace vz::test
