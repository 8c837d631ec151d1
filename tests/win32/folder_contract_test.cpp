// The Vaporizer folder and its drop target as the shell sees them: tables
// of calls and the HRESULTs they must give.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/ui.h"
#include "namespace/drop_target_win.h"
#include "namespace/folder_win.h"
#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "settings/registry_win.h"
#include "store/clsids.h"
#include "store/item_id_win.h"
#include "support/scripted_ui.h"
#include "window/shell_ui_win.h"
#include "win32/folder_window.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

using ShellFolderTest = FolderWindowTest;

TEST_F(ShellFolderTest, QueryInterfaceAnswersExactlyItsInterfaces) {
  const struct {
    const IID* iid;
    const char* name;
    HRESULT expected;
  } table[] = {
      {&IID_IUnknown, "IUnknown", S_OK},
      {&IID_ISupportErrorInfo, "ISupportErrorInfo", S_OK},
      {&IID_IPersistFolder, "IPersistFolder", S_OK},
      {&IID_IShellFolder, "IShellFolder", S_OK},
      {&IID_IPersist, "IPersist", S_OK},
      {&IID_IPersistFolder2, "IPersistFolder2", S_OK},
      {&IID_IShellFolder2, "IShellFolder2", E_NOINTERFACE},
      {&IID_IShellView, "IShellView", E_NOINTERFACE},
      {&IID_IDropTarget, "IDropTarget", E_NOINTERFACE},
      {&IID_IContextMenu, "IContextMenu", E_NOINTERFACE},
  };
  for (const auto& row : table) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder_->QueryInterface(*row.iid, &out), row.expected) << row.name;
    if (row.expected == S_OK) {
      ASSERT_NE(out, nullptr) << row.name;
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(out, nullptr) << row.name;
    }
  }
  com::ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(folder_.As(errors), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IShellFolder), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDropTarget), S_FALSE);
}

TEST_F(ShellFolderTest, RefusedMethodsAnswerNotImplementedAndLeaveOutParametersAlone) {
  auto* const kSentinel = reinterpret_cast<ITEMIDLIST*>(0x5a5a);
  ULONG eaten = 77, attrs = 88;
  PIDLIST_RELATIVE parsed = kSentinel;
  wchar_t name[] = L"x";
  EXPECT_EQ(folder_->ParseDisplayName(nullptr, nullptr, name, &eaten, &parsed, &attrs), E_NOTIMPL);
  EXPECT_EQ(parsed, kSentinel);
  EXPECT_EQ(eaten, 77u);
  EXPECT_EQ(attrs, 88u);

  void* out = reinterpret_cast<void*>(0x5a5a);
  EXPECT_EQ(folder_->BindToObject(nullptr, nullptr, IID_IShellFolder, &out), E_NOTIMPL);
  EXPECT_EQ(out, reinterpret_cast<void*>(0x5a5a));
  EXPECT_EQ(folder_->BindToStorage(nullptr, nullptr, IID_IStream, &out), E_NOTIMPL);
  EXPECT_EQ(out, reinterpret_cast<void*>(0x5a5a));

  std::vector<unsigned char> one = EncodeItemIdList(MakeId("D:\\a.txt", Own("D:\\VAPORIZE\\D1.txt")), BytesAsText());
  auto item = reinterpret_cast<PCUITEMID_CHILD>(one.data());

  PITEMID_CHILD renamed = reinterpret_cast<PITEMID_CHILD>(kSentinel);
  EXPECT_EQ(folder_->SetNameOf(nullptr, item, L"y", SHGDN_NORMAL, &renamed), E_NOTIMPL);
  EXPECT_EQ(renamed, reinterpret_cast<PITEMID_CHILD>(kSentinel));
}

// CompareIDs orders by the column in the low 16 bits and answers in the
// HRESULT form of a short ("IShellFolder::CompareIDs", learn.microsoft.com/
// windows/win32/api/shobjidl_core/nf-shobjidl_core-ishellfolder-compareids);
// GetAttributesOf gives what the items all are, of what was asked.
TEST_F(ShellFolderTest, ItemsCompareByTheColumnAskedAndTellTheirAttributes) {
  std::string older = StoreFile("D:\\B\\zeta.txt", "D1.txt", std::string(3000, 'z'));
  std::string newer = StoreFile("D:\\A\\alpha.doc", "D2.doc", "a");
  SetWriteTime(older, {2001, 1, 1, 10, 0, 0});
  SetWriteTime(newer, {2002, 1, 1, 10, 0, 0});
  SetFileAttributesA(newer.c_str(), FILE_ATTRIBUTE_READONLY);
  auto zeta = EncodeItemIdList(MakeId("D:\\B\\zeta.txt", older, "Text Document"), BytesAsText());
  auto alpha = EncodeItemIdList(MakeId("D:\\A\\alpha.doc", newer, "Word Document"), BytesAsText());
  auto z = reinterpret_cast<PCUITEMID_CHILD>(zeta.data()), a = reinterpret_cast<PCUITEMID_CHILD>(alpha.data());
  auto order = [](int n) { return MAKE_HRESULT(SEVERITY_SUCCESS, 0, static_cast<USHORT>(static_cast<short>(n))); };
  const struct {
    LPARAM how;
    HRESULT expected;  // zeta against alpha
  } table[] = {
      {0, order(1)},  // name
      {1, order(1)},  // original location: B after A
      {2, order(-1)},  // date deleted: 2001 before 2002
      {3, order(-1)},  // type: Text before Word
      {4, order(1)},   // size: 3000 bytes after 1
      {static_cast<LPARAM>(SHCIDS_ALLFIELDS), order(1)},
      {static_cast<LPARAM>(SHCIDS_CANONICALONLY | 3), order(-1)},  // the stored items: D1 before D2
      {5, E_INVALIDARG},
  };
  for (const auto& row : table) {
    EXPECT_EQ(folder_->CompareIDs(row.how, z, a), row.expected) << row.how;
    if (SUCCEEDED(row.expected)) EXPECT_EQ(folder_->CompareIDs(row.how, z, z), order(0)) << row.how;
  }
  EXPECT_EQ(folder_->CompareIDs(0, z, nullptr), E_INVALIDARG);

  PCUITEMID_CHILD both[] = {z, a};
  SFGAOF asked = SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANRENAME | SFGAO_READONLY | SFGAO_FOLDER, flags = asked;
  EXPECT_EQ(folder_->GetAttributesOf(2, both, &flags), S_OK);
  EXPECT_EQ(flags, static_cast<SFGAOF>(SFGAO_CANMOVE | SFGAO_CANDELETE));
  flags = asked;
  EXPECT_EQ(folder_->GetAttributesOf(1, &both[1], &flags), S_OK);
  EXPECT_EQ(flags, static_cast<SFGAOF>(SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_READONLY));
  flags = ~0u;
  EXPECT_EQ(folder_->GetAttributesOf(0, nullptr, &flags), S_OK) << "the folder itself";
  EXPECT_EQ(flags, static_cast<SFGAOF>(SFGAO_FOLDER | SFGAO_DROPTARGET | SFGAO_HASPROPSHEET));
  SetFileAttributesA(newer.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ShellFolderTest, ClassIdAndInitializeCreatingMissingStores) {
  com::ComPtr<IPersistFolder> persist;
  ASSERT_EQ(folder_.As(persist), S_OK);
  CLSID id{};
  EXPECT_EQ(persist->GetClassID(&id), S_OK);
  EXPECT_TRUE(IsEqualCLSID(id, win32::ToGuid(kClsidVaporizerFolder)));
  EXPECT_EQ(persist->GetClassID(nullptr), E_POINTER);

  // Take D:'s store away entirely: Initialize(NULL) builds it again.
  for (const std::string& f : {DS("desktop.ini"), DS("info.shr")}) {
    SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(f.c_str());
  }
  for (const std::string& dir : {DS(), D("VAPORIZE")}) {
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(RemoveDirectoryA(dir.c_str()));
  }
  EXPECT_EQ(persist->Initialize(nullptr), S_OK);
  EXPECT_TRUE(PathExists(DS("info.shr")));
  EXPECT_TRUE(PathExists(DS("desktop.ini")));
  EXPECT_TRUE(PathExists(CS("info.shr")));
  EXPECT_FALSE(PathExists(E("VAPORIZE"))) << "no store on a removable drive";

  // Where the shell put it, as IPersistFolder2 tells: a copy each time.
  com::ComPtr<IPersistFolder2> where;
  ASSERT_EQ(folder_.As(where), S_OK);
  PIDLIST_ABSOLUTE at = reinterpret_cast<PIDLIST_ABSOLUTE>(1);
  EXPECT_EQ(where->GetCurFolder(&at), S_FALSE) << "initialized with none";
  EXPECT_EQ(at, nullptr);
  PIDLIST_ABSOLUTE place = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &place), S_OK);
  ASSERT_EQ(persist->Initialize(place), S_OK);
  ASSERT_EQ(where->GetCurFolder(&at), S_OK);
  EXPECT_TRUE(ILIsEqual(at, place));
  EXPECT_NE(at, place);
  CoTaskMemFree(at);
  CoTaskMemFree(place);
}

TEST_F(ShellFolderTest, EnumObjectsListsEveryItemWhateverTheFlags) {
  StoreFile("D:\\Docs\\a.txt", "D1.txt", "aaa");
  MakeDir(DS("D2"));
  AppendRecord("D:\\Docs\\Old", DS("D2"));
  StoreFile("D:\\b.doc", "D3.doc", "b");
  const SHCONTF kFlags[] = {SHCONTF_FOLDERS, SHCONTF_NONFOLDERS,
                            static_cast<SHCONTF>(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS), static_cast<SHCONTF>(0)};
  for (SHCONTF flags : kFlags) {
    com::ComPtr<IEnumIDList> items;
    ASSERT_EQ(folder_->EnumObjects(nullptr, flags, items.Put()), S_OK) << flags;
    std::vector<std::string> names;
    PITEMID_CHILD id = nullptr;
    while (items->Next(1, &id, nullptr) == S_OK) {
      auto payload = win32::ReadItemId(id);
      ASSERT_TRUE(payload.has_value());
      names.push_back(GetField(payload->displayName));
      CoTaskMemFree(id);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "Old", "b.doc"})) << "flags " << flags;
  }
  EXPECT_EQ(folder_->EnumObjects(nullptr, SHCONTF_FOLDERS, nullptr), E_POINTER);
}

// Names in 16-bit text from identifiers of both layouts: the display name,
// and for parsing the stored item that the item is. Anything else is no
// item of ours and is refused without touching the answer.
TEST_F(ShellFolderTest, DisplayNamesComeWholeFromEitherLayout) {
  const std::string longFolder = "D:\\" + std::string(280, 'L') + "\\";
  const struct {
    std::string original;
    std::wstring name;
  } items[] = {
      {"D:\\Work\\report.doc", L"report.doc"},
      {longFolder + "long.txt", L"long.txt"},
      {"D:\\Работа\\отчёт.txt", L"отчёт.txt"},
      {"D:\\日本語\\ファイル 😀.txt", L"ファイル 😀.txt"},
  };
  const struct {
    SHGDNF flags;
    bool parsing, inFolder;
  } asked[] = {{SHGDN_NORMAL, false, false},
               {SHGDN_INFOLDER, false, true},
               {SHGDN_FORPARSING, true, false},
               {SHGDN_FORPARSING | SHGDN_INFOLDER, true, true}};
  for (const auto& i : items) {
    std::vector<unsigned char> id = EncodeItemIdList(MakeId(i.original, Own("D:\\VAPORIZE\\D7.txt")), win32::AnsiItemText());
    ASSERT_FALSE(id.empty());
    for (const auto& a : asked) {
      STRRET name{};
      auto child = reinterpret_cast<PCUITEMID_CHILD>(id.data());
      ASSERT_EQ(folder_->GetDisplayNameOf(child, a.flags, &name), S_OK);
      EXPECT_EQ(name.uType, static_cast<UINT>(STRRET_WSTR));
      std::wstring expected = !a.parsing ? i.name : a.inFolder ? L"D7.txt" : win32::Widen(DS("D7.txt"));
      EXPECT_EQ(win32::TakeStrRet(name, child), expected) << a.flags;
    }
  }
  STRRET str;
  std::memset(&str, 0xCC, sizeof str);
  const STRRET before = str;
  const unsigned char foreign[] = {4, 0, 'x', 'y', 0, 0};
  EXPECT_EQ(folder_->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(foreign), SHGDN_NORMAL, &str), E_INVALIDARG);
  EXPECT_EQ(folder_->GetDisplayNameOf(nullptr, SHGDN_NORMAL, &str), E_INVALIDARG);
  EXPECT_EQ(std::memcmp(&str, &before, sizeof str), 0);
  EXPECT_EQ(folder_->GetDisplayNameOf(reinterpret_cast<PCUITEMID_CHILD>(foreign), SHGDN_NORMAL, nullptr), E_POINTER);
}

TEST_F(ShellFolderTest, ViewObjectsAreNewEachTimeAndOnlyViewsAndDropTargets) {
  com::ComPtr<IShellView> first, second;
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IShellView, first.PutVoid()), S_OK);
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IShellView, second.PutVoid()), S_OK);
  EXPECT_NE(first.Get(), second.Get()) << "two calls, two views";

  com::ComPtr<IDropTarget> target;
  EXPECT_EQ(folder_->CreateViewObject(nullptr, IID_IDropTarget, target.PutVoid()), S_OK);
  EXPECT_TRUE(target);

  const IID* refused[] = {&IID_IContextMenu, &IID_IShellFolder, &IID_IUnknown, &IID_IExtractIconA};
  for (const IID* iid : refused) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder_->CreateViewObject(nullptr, *iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(folder_->CreateViewObject(nullptr, IID_IShellView, nullptr), E_POINTER);
}

TEST_F(ShellFolderTest, UiObjectsAreTheMenuAndNothingElse) {
  std::vector<unsigned char> one = EncodeItemIdList(MakeId("D:\\a.txt", Own("D:\\VAPORIZE\\D1.txt")), BytesAsText());
  auto item = reinterpret_cast<PCUITEMID_CHILD>(one.data());
  com::ComPtr<IContextMenu> menu;
  EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 1, &item, IID_IContextMenu, nullptr, menu.PutVoid()), S_OK);
  EXPECT_TRUE(menu);
  const IID* refused[] = {&IID_IDropTarget, &IID_IExtractIconA, &IID_IExtractIconW, &IID_IDataObject,
                          &IID_IShellView};
  for (const IID* iid : refused) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 1, &item, *iid, nullptr, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr) << "an interface out-parameter is cleared first";
  }
  EXPECT_EQ(folder_->GetUIObjectOf(nullptr, 0, nullptr, IID_IContextMenu, nullptr, nullptr), E_POINTER);
}

TEST_F(ShellFolderTest, DropTargetKeepsItsFolderAlive) {
  long before = com::ObjectCount().load();
  com::ComPtr<IDropTarget> target;
  ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IDropTarget, target.PutVoid()), S_OK);
  EXPECT_EQ(com::ObjectCount().load(), before + 1);
  folder_.Reset();
  EXPECT_EQ(com::ObjectCount().load(), before + 1) << "the folder lives on inside the drop target";
  target.Reset();
  EXPECT_EQ(com::ObjectCount().load(), before - 1) << "both go together";
}

// The shell names the window a drop's boxes belong to when it makes the drop
// target (the desktop's, for a drop on the folder's icon: "hwndOwner",
// learn.microsoft.com/windows/win32/api/shobjidl_core/nf-shobjidl_core-ishellfolder-createviewobject);
// the window that happens to be active is another one.
TEST_F(ShellFolderTest, ADropOnTheIconAsksOverTheWindowTheShellGave) {
  MakeFile(D("Work\\a.txt"), "a");
  HWND given = CreateWindowExA(0, "STATIC", "given", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 60, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(other);
  com::ComPtr<IDropTarget> target;
  ASSERT_EQ(folder_->CreateViewObject(given, IID_IDropTarget, target.PutVoid()), S_OK);
  ScopedUi shell(win32::ShellUserInterface());
  HWND owner = nullptr;
  DialogDriver driver([&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    Answer(box, false);
  });
  DWORD effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target->Drop(DropData(Offer::Files, {D("Work\\a.txt")}).Get(), 0, {0, 0}, &effect), S_OK);
  EXPECT_TRUE(WaitForJobs());
  DestroyWindow(other);
  DestroyWindow(given);
  EXPECT_EQ(driver.Count(), 1);
  EXPECT_EQ(owner, given) << "not the active window";
  EXPECT_TRUE(PathExists(D("Work\\a.txt"))) << "answered No";
}

class ShellDropTest : public ShellFolderTest {
 protected:
  void SetUp() override {
    ShellFolderTest::SetUp();
    ASSERT_EQ(folder_->CreateViewObject(nullptr, IID_IDropTarget, target_.PutVoid()), S_OK);
  }
  void TearDown() override {
    target_.Reset();
    ShellFolderTest::TearDown();
  }
  com::ComPtr<IDropTarget> target_;
  POINTL pt_{10, 10};
};

TEST_F(ShellDropTest, PlainTextIsRefusedThroughout) {
  auto text = DropData(Offer::Text);
  for (DWORD keys : {0ul, static_cast<DWORD>(MK_LBUTTON), static_cast<DWORD>(MK_LBUTTON | MK_CONTROL)}) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target_->DragEnter(text.Get(), keys, pt_, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_MOVE;
    EXPECT_EQ(target_->DragOver(keys, pt_, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  }
  EXPECT_EQ(target_->DragLeave(), S_OK);
}

TEST_F(ShellDropTest, FilesOfferOnlyAMoveWhateverTheKeysAndAllowedEffects) {
  auto files = DropData(Offer::Files, {D("a.txt")});
  const struct {
    DWORD keys;
    DWORD allowed;
  } table[] = {
      {MK_LBUTTON, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK},
      {MK_LBUTTON | MK_CONTROL, DROPEFFECT_COPY | DROPEFFECT_MOVE},
      {MK_LBUTTON | MK_SHIFT, DROPEFFECT_MOVE},
      {MK_LBUTTON | MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK},
      {MK_RBUTTON | MK_ALT, DROPEFFECT_COPY},
  };
  for (const auto& row : table) {
    DWORD effect = row.allowed;
    EXPECT_EQ(target_->DragEnter(files.Get(), row.keys, pt_, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE)) << "keys " << row.keys;
    effect = row.allowed;
    EXPECT_EQ(target_->DragOver(row.keys, pt_, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE)) << "keys " << row.keys;
  }
  // A leave keeps the last answer for a DragOver that comes without a new enter.
  EXPECT_EQ(target_->DragLeave(), S_OK);
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target_->DragOver(0, pt_, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  auto text = DropData(Offer::Text);
  EXPECT_EQ(target_->DragEnter(text.Get(), 0, pt_, &effect), S_OK);
  EXPECT_EQ(target_->DragLeave(), S_OK);
  EXPECT_EQ(target_->DragOver(0, pt_, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << "judged anew by the last enter";
}

TEST_F(ShellDropTest, AnOfferAnsweredWithSFalseIsAccepted) {
  auto maybe = DropData(Offer::FilesMaybe, {D("a.txt")});
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target_->DragEnter(maybe.Get(), 0, pt_, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));

  bool accepted = false;
  HRESULT result = E_FAIL;
  DWORD shown = 99;
  win32::QueryDropFormat(maybe.Get(), accepted, result, shown, pt_);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(shown, static_cast<DWORD>(DROPEFFECT_MOVE));
  win32::QueryDropFormat(nullptr, accepted, result, shown, pt_);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(shown, static_cast<DWORD>(DROPEFFECT_NONE));
  win32::DropOverEffect(true, result, shown, pt_);
  EXPECT_EQ(shown, static_cast<DWORD>(DROPEFFECT_MOVE));
  win32::DropOverEffect(false, result, shown, pt_);
  EXPECT_EQ(shown, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(result, S_OK);
}

TEST_F(ShellDropTest, EmptyDropFailsWithNoEffect) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  auto empty = DropData(Offer::Files, {});
  DWORD effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(empty.Get(), 0, pt_, &effect), E_FAIL);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_TRUE(ui.asked.empty());
  auto text = DropData(Offer::Text);
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(text.Get(), 0, pt_, &effect), E_FAIL) << "no file list at all";
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(nullptr, 0, pt_, &effect), E_FAIL);
}

TEST_F(ShellDropTest, DroppedFilesAreSentAfterTheQuestionAndTheSourceIsToldNotToDelete) {
  MakeFile(D("Work\\keep.txt"), "keep");
  MakeFile(D("Work\\send.txt"), "send");
  ScriptedUi ui;
  ScopedUi scope(ui);

  ui.answers = {false};
  DWORD effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(DropData(Offer::Files, {D("Work\\keep.txt")}).Get(), 0, pt_, &effect), S_OK)
      << "a drop that held paths succeeds whatever the answer";
  EXPECT_TRUE(WaitForJobs());
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << "after a No, a source must not delete its files";
  EXPECT_EQ(Slurp(D("Work\\keep.txt")), "keep");

  ui.answers = {true};
  effect = DROPEFFECT_MOVE;
  EXPECT_EQ(target_->Drop(DropData(Offer::Files, {D("Work\\send.txt")}).Get(), 0, pt_, &effect), S_OK);
  EXPECT_TRUE(WaitForJobs());
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE)) << "the move was done here";
  EXPECT_FALSE(PathExists(D("Work\\send.txt")));
  EXPECT_EQ(Slurp(DS("D1.txt")), "send");
  EXPECT_TRUE(HasRecord("D:\\Work\\send.txt", Own("D:\\VAPORIZE\\D1.txt")));
  ASSERT_EQ(ui.asked.size(), 2u);
  EXPECT_EQ(ui.asked[1].kind, Question::ConfirmSend);
}

TEST_F(ShellDropTest, TargetWithoutFolderAndItsInterfaces) {
  com::ComPtr<IDropTarget> bare;
  ASSERT_EQ(win32::CreateDropShred(nullptr, IID_IDropTarget, bare.PutVoid()), S_OK);
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(bare->DragEnter(DropData(Offer::Files, {D("x")}).Get(), 0, pt_, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  EXPECT_EQ(bare->DragEnter(nullptr, 0, pt_, nullptr), S_OK) << "no effect pointer, no crash";
  com::ComPtr<IUnknown> unk;
  EXPECT_EQ(bare->QueryInterface(IID_IUnknown, unk.PutVoid()), S_OK);
  com::ComPtr<IDataObject> none;
  EXPECT_EQ(bare->QueryInterface(IID_IDataObject, none.PutVoid()), E_NOINTERFACE);
}

}  // namespace
}  // namespace vz::test
