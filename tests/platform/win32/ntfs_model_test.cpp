// The model of the file system's rules, rule by operation, with the status
// Windows gives; then what the program does under it where Wine alone
// would let a fault through.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/batch.h"
#include "platform/platform.h"
#include "platform/win32/ntfs_model.h"
#include "store/send.h"
#include "support/drives.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

constexpr ULONG kAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kRW = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr NTSTATUS kOk = 0, kSharing = static_cast<NTSTATUS>(0xC0000043L), kDenied = static_cast<NTSTATUS>(0xC0000022L),
                   kPending = static_cast<NTSTATUS>(0xC0000056L), kNotEmpty = static_cast<NTSTATUS>(0xC0000101L),
                   kCannotDelete = static_cast<NTSTATUS>(0xC0000121L), kUnknownClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr ACCESS_MASK kList = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

class NtfsModelTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    model = NtfsModel::Active();
    ASSERT_NE(model, nullptr) << "the test program runs without the model";
  }
  void TearDown() override {
    for (HANDLE h : held) model->Release(h);
    model->Forget();
    model->SetPosixDelete(true);
    DrivesTest::TearDown();
  }
  HANDLE Hold(const std::string& path, ACCESS_MASK access, ULONG share, NTSTATUS* st = nullptr) {
    HANDLE h = model->Hold(path, access, share, st);
    if (h != INVALID_HANDLE_VALUE) held.push_back(h);
    return h;
  }
  // The delete Windows would carry out: the model's check, then the
  // system's own classic disposition, told back to the model.
  NTSTATUS DeleteClassic(HANDLE h) {
    if (NTSTATUS st = model->Deleting(h, 1, false)) return st;
    FILE_DISPOSITION_INFO d{TRUE};
    if (!SetFileInformationByHandle(h, FileDispositionInfo, &d, sizeof d)) return -1;
    model->Deleted(h, 1, false);
    return 0;
  }
  NtfsModel* model = nullptr;
  std::vector<HANDLE> held;
};

// One row: what another program holds, on the file ("f.txt") or on the
// folder it goes into ("to"), and what is then asked of a handle on the file.
enum class Op { Open, Rename, Link, DeleteClassic, DeleteEx, DeleteExReadOnly };
struct Row {
  const char* rule;  // and its source
  const char* heldPath;
  ACCESS_MASK heldAccess;
  ULONG heldShare;
  ACCESS_MASK access;  // of the handle the operation goes through
  ULONG share;
  Op op;
  NTSTATUS windows;
};

const Row kRows[] = {
    {"IopOpenLinkOrRenameTarget: the target folder's open shares read and write only", "to", DELETE | kList, kAll,
     DELETE | FILE_READ_ATTRIBUTES, kAll, Op::Rename, kSharing},
    {"IopOpenLinkOrRenameTarget: the same open for a hard link", "to", DELETE | kList, kAll, FILE_READ_ATTRIBUTES, kAll,
     Op::Link, kSharing},
    {"IopOpenLinkOrRenameTarget: it asks to write, which a holder that shares no writing refuses", "to", kList,
     FILE_SHARE_READ | FILE_SHARE_DELETE, DELETE | FILE_READ_ATTRIBUTES, kAll, Op::Rename, kSharing},
    {"IopOpenLinkOrRenameTarget: a folder held for listing, sharing all, takes it", "to", kList, kAll,
     DELETE | FILE_READ_ATTRIBUTES, kAll, Op::Rename, kOk},
    {"ZwSetInformationFile: FileRenameInformation needs DELETE", nullptr, 0, 0, FILE_READ_ATTRIBUTES, kAll, Op::Rename,
     kDenied},
    {"ZwSetInformationFile: FileDispositionInformation needs DELETE", nullptr, 0, 0, GENERIC_READ, kAll,
     Op::DeleteClassic, kDenied},
    {"IoCheckShareAccess: DELETE against a holder that shares no deleting", "f.txt", GENERIC_READ, kRW,
     DELETE | FILE_READ_ATTRIBUTES, kAll, Op::Open, kSharing},
    {"IoCheckShareAccess: attributes alone are never weighed", "f.txt", GENERIC_READ | GENERIC_WRITE, 0,
     FILE_READ_ATTRIBUTES, kAll, Op::Open, kOk},
    {"IoCheckShareAccess, names without case: F.TXT is f.txt", "F.TXT", GENERIC_WRITE, FILE_SHARE_READ,
     GENERIC_WRITE, kAll, Op::Open, kSharing},
    {"FILE_DISPOSITION_INFORMATION_EX: unknown before Windows 10 1709", nullptr, 0, 0, DELETE, kAll, Op::DeleteEx,
     kUnknownClass},
};

TEST_F(NtfsModelTest, RulesByOperationGiveWindowsStatus) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.rule);
    MakeFile(D("m\\f.txt"), "x");
    MakeDir(D("m\\to"));
    if (row.heldPath) ASSERT_NE(Hold(D("m\\") + row.heldPath, row.heldAccess, row.heldShare), INVALID_HANDLE_VALUE);
    if (row.op == Op::DeleteEx) model->SetPosixDelete(false);
    NTSTATUS got = kOk;
    HANDLE h = Hold(D("m\\f.txt"), row.access, row.share, &got);
    if (row.op != Op::Open) {
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      HANDLE to = Hold(D("m\\to"), kList, kAll);
      switch (row.op) {
        case Op::Rename: got = model->Renaming(h, to, false); break;
        case Op::Link: got = model->Renaming(h, to, true); break;
        case Op::DeleteClassic: got = model->Deleting(h, 1, false); break;
        default: got = model->Deleting(h, 0x13, true); break;
      }
    }
    EXPECT_EQ(got, row.windows);
    for (HANDLE x : held) model->Release(x);
    held.clear();
    model->SetPosixDelete(true);
    ASSERT_TRUE(Plat().DeleteItem(D("m")));
  }
}

// The classic disposition: the name stays while another handle is open,
// new opens of it fail, its folder is not empty; the last close takes it.
TEST_F(NtfsModelTest, AClassicDeleteKeepsTheNameUntilTheLastHandleCloses) {
  MakeFile(D("p\\f.txt"), "x");
  HANDLE other = Hold(D("p\\f.txt"), GENERIC_READ, kAll);
  HANDLE mine = Hold(D("p\\f.txt"), DELETE, kAll);
  HANDLE folder = Hold(D("p"), DELETE | kList, kAll);
  ASSERT_EQ(DeleteClassic(mine), kOk);
  NTSTATUS st = kOk;
  EXPECT_EQ(model->Hold(D("p\\f.txt"), FILE_READ_ATTRIBUTES, kAll, &st), INVALID_HANDLE_VALUE);
  EXPECT_EQ(st, kPending);
  EXPECT_EQ(model->Deleting(folder, 1, false), kNotEmpty);
  model->Release(other);
  model->Release(mine);
  held.erase(held.begin(), held.begin() + 2);
  EXPECT_FALSE(PathExists(D("p\\f.txt")));
  EXPECT_EQ(model->Deleting(folder, 1, false), kOk);
}

// A read-only file, as a double: not written, not deleted, unless the
// deletion is asked to ignore the attribute; clearing it lifts both.
TEST_F(NtfsModelTest, AReadOnlyFileIsNeitherWrittenNorDeletedUnlessTheMarkIsIgnored) {
  MakeFile(D("r.txt"), "x");
  ASSERT_TRUE(model->Stand(D("r.txt"), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(Plat().OpenFolder(D(), nullptr)->Stat("r.txt")->attributes & FILE_ATTRIBUTE_READONLY);
  NTSTATUS st = kOk;
  EXPECT_EQ(model->Hold(D("r.txt"), GENERIC_WRITE, kAll, &st), INVALID_HANDLE_VALUE);
  EXPECT_EQ(st, kDenied);
  HANDLE h = Hold(D("r.txt"), DELETE | FILE_WRITE_ATTRIBUTES, kAll);
  EXPECT_EQ(model->Deleting(h, 1, false), kCannotDelete);
  EXPECT_EQ(model->Deleting(h, 0x13, true), kOk);
  model->AttributesSet(h, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(model->Deleting(h, 1, false), kOk);
}

// Doubles of what Wine's drives cannot hold show through the handles.
TEST_F(NtfsModelTest, DoublesShowTheirReparseTagsAndAttributes) {
  MakeFile(D("c\\cloud.txt"), "x");
  MakeFile(D("c\\link"), "x");
  constexpr DWORD kPinned = 0x00080000, kRecallOnData = 0x00400000;
  ASSERT_TRUE(model->Stand(D("c\\cloud.txt"), kPinned | kRecallOnData));
  ASSERT_TRUE(model->Stand(D("C\\LINK"), 0, IO_REPARSE_TAG_SYMLINK));
  auto folder = Plat().OpenFolder(D("c"), nullptr);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->Stat("cloud.txt")->attributes & (kPinned | kRecallOnData), kPinned | kRecallOnData);
  EXPECT_EQ(folder->Stat("link")->kind, NodeKind::Link);
  std::vector<DirEntry> listed;
  ASSERT_TRUE(folder->List(listed));
  for (const auto& e : listed) EXPECT_EQ(e.kind == NodeKind::Link, e.name == "link") << e.name;
}

// What the program does under the rules. Another program holds a file
// open without sharing deletion: Wine would let the send rename it through
// a handle without DELETE; Windows would refuse, and the user is told why.
TEST_F(NtfsModelTest, AFileHeldWithoutSharingDeletionIsLeftInPlaceAndSaidInUse) {
  EnsureStores();
  MakeFile(D("busy.txt"), "x");
  ASSERT_NE(Hold(D("busy.txt"), GENERIC_READ, kRW), INVALID_HANDLE_VALUE);
  ScriptedUi ui;
  ScopedUi scoped(ui);
  SendResult r = SendToStore({D("busy.txt")}, kSendQuietly);
  ASSERT_EQ(r.report.Items().size(), 1u);
  EXPECT_EQ(r.report.Items()[0].outcome, Outcome::Failed);
  EXPECT_NE(r.report.Items()[0].detail.find("in use by another program"), std::string::npos) << r.report.Items()[0].detail;
  EXPECT_TRUE(PathExists(D("busy.txt")));
}

// A file that another program holds sharing deletion, in a folder that is
// vaporized: with POSIX semantics the name goes at once and so does the
// folder; the classic way its name stays, and the folder left says which.
TEST_F(NtfsModelTest, AFolderWhoseFileAnotherProgramHoldsIsGoneOrNamesTheFile) {
  for (bool posix : {true, false}) {
    SCOPED_TRACE(posix ? "POSIX semantics" : "classic disposition");
    model->SetPosixDelete(posix);
    MakeFile(D("v\\held.txt"), "secret");
    MakeFile(D("v\\free.txt"), "free");
    // Held as a preview handler or an indexer may hold it: attributes
    // only, which no overwrite is refused for, yet it keeps the file open.
    HANDLE other = Hold(D("v\\held.txt"), FILE_READ_ATTRIBUTES, kAll);
    ScriptedUi ui;
    ScopedUi scoped(ui);
    Report r = VaporizeBatch({D("v")}, BatchEntries::Paths);
    const ItemReport* folder = r.Find(D("v"));
    ASSERT_NE(folder, nullptr);
    if (posix) {
      EXPECT_EQ(folder->outcome, Outcome::Done) << folder->detail;
      EXPECT_FALSE(PathExists(D("v")));
    } else {
      EXPECT_EQ(folder->outcome, Outcome::Failed);
      EXPECT_NE(folder->detail.find("\"held.txt\" in it is still held open"), std::string::npos) << folder->detail;
      EXPECT_TRUE(PathExists(D("v")));
    }
    model->Release(other);
    held.clear();
    Plat().DeleteItem(D("v"));
    RemoveDirectoryW(L"D:\\$Deleted");
  }
}

}  // namespace
}  // namespace vz::test
