#include <windows.h>
#include <gtest/gtest.h>

#include "support/item_ids.h"
#include <shellapi.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "dragsource/kx_drag_source_win.h"
#include "platform/win32/com.h"
#include "window/drag_interface_win.h"

namespace vz::test {
namespace {

using win32::DragApp;

struct DragFixture : ::testing::Test {
  int drops = 0;
  std::shared_ptr<win32::TDragInterface> app = std::make_shared<win32::TDragInterface>(
      nullptr,
      [] {
        return std::vector<ShredItemId>{PathsItem("C:\\Work\\report.doc", "C:\\VAPORIZE\\C1.doc"),
                                        PathsItem("D:\\Old\\n\xe9.txt", "D:\\VAPORIZE\\D2.txt")};
      },
      [this] { ++drops; });
  com::ComPtr<IDataObject> data;
  void SetUp() override { ASSERT_EQ(win32::CreateKxDragDataObject(app, data.Put()), S_OK); }

  static FORMATETC Fmt(CLIPFORMAT cf, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT) {
    return FORMATETC{cf, nullptr, aspect, -1, tymed};
  }
  static std::string Bytes(const STGMEDIUM& m) {
    return std::string(static_cast<const char*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
  }
};

TEST_F(DragFixture, EnumeratorOffersFileListAndAnsiMapAndWalksLikeTheContract) {
  com::ComPtr<IEnumFORMATETC> e;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, e.Put()), S_OK);
  FORMATETC got[3] = {};
  ULONG fetched = 9;
  EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE) << "more asked than left";
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(got[0].cfFormat, CF_HDROP);
  EXPECT_EQ(got[1].cfFormat, RegisterClipboardFormatA("FileNameMap"));
  EXPECT_EQ(got[1].lindex, -1);
  EXPECT_EQ(got[1].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
  EXPECT_EQ(e->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(e->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK) << "skipping to the very end is fine";
  ASSERT_EQ(e->Reset(), S_OK);

  ASSERT_EQ(e->Next(1, got, nullptr), S_OK);
  com::ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.Put()), S_OK);
  ASSERT_EQ(clone->Next(1, got, &fetched), S_OK);
  EXPECT_EQ(got[0].cfFormat, RegisterClipboardFormatA("FileNameMap")) << "a clone starts where its source stood";

  IEnumFORMATETC* none = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &none), E_NOTIMPL);
  EXPECT_EQ(none, nullptr);
}

TEST_F(DragFixture, RenderedBlocksByteForByte) {
  FORMATETC f = Fmt(CF_HDROP);
  STGMEDIUM m{};
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
  std::string expected("\x14\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20);
  expected += std::string("C:\\VAPORIZE\\C1.doc\0D:\\VAPORIZE\\D2.txt\0\0", 39);
  EXPECT_EQ(Bytes(m), expected);
  char first[MAX_PATH] = {};
  EXPECT_EQ(DragQueryFileA(static_cast<HDROP>(m.hGlobal), 0xFFFFFFFF, nullptr, 0), 2u);
  DragQueryFileA(static_cast<HDROP>(m.hGlobal), 1, first, MAX_PATH);
  EXPECT_STREQ(first, "D:\\VAPORIZE\\D2.txt");
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);

  f = Fmt(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileNameMap")));
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  EXPECT_EQ(Bytes(m), std::string("report.doc\0n\xe9.txt\0\0", 19));
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);

  f = Fmt(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileNameMapW")));
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  std::u16string w(u"report.doc\0n\u00e9.txt\0\0", 19);
  EXPECT_EQ(Bytes(m), std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2));
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);
}

TEST_F(DragFixture, RefusesOtherMediaAspectsAndFormats) {
  const struct {
    FORMATETC f;
    HRESULT want;
  } cases[] = {
      {Fmt(CF_HDROP), S_OK},
      {Fmt(CF_HDROP, TYMED_HGLOBAL | TYMED_ISTREAM), DV_E_FORMATETC},
      {Fmt(CF_HDROP, TYMED_ISTREAM), DV_E_FORMATETC},
      {Fmt(CF_HDROP, TYMED_HGLOBAL, DVASPECT_ICON), DV_E_FORMATETC},
      {Fmt(CF_TEXT), DV_E_FORMATETC},
      {Fmt(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileName"))), DV_E_FORMATETC},
  };
  for (const auto& c : cases) {
    FORMATETC f = c.f;
    EXPECT_EQ(data->QueryGetData(&f), c.want) << f.cfFormat << "/" << f.tymed;
    STGMEDIUM m{};
    HRESULT hr = data->GetData(&f, &m);
    EXPECT_EQ(hr, c.want);
    if (hr == S_OK) ReleaseStgMedium(&m);
    else EXPECT_EQ(m.hGlobal, nullptr);
  }
  FORMATETC in = Fmt(CF_HDROP), out{};
  out.ptd = reinterpret_cast<DVTARGETDEVICE*>(1);
  EXPECT_EQ(data->GetCanonicalFormatEtc(&in, &out), E_NOTIMPL);
  EXPECT_EQ(out.ptd, nullptr);
  EXPECT_EQ(data->DAdvise(&in, 0, nullptr, nullptr), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->SetData(&in, nullptr, FALSE), DV_E_FORMATETC);
}

TEST_F(DragFixture, DropSourceRulesAndTheDropNotice) {
  com::ComPtr<IDropSource> source;
  ASSERT_EQ(win32::CreateKxDropSource(app, source.Put()), S_OK);
  EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL) << "escape wins over the button";
  EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
  EXPECT_EQ(drops, 0);
  EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(drops, 1) << "the release starts the window's timer";
  EXPECT_EQ(source->GiveFeedback(DROPEFFECT_MOVE), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST(KxDragSourceTest, WithoutAnApplicationObjectEverythingIsRefusedQuietly) {
  com::ComPtr<IDataObject> data;
  ASSERT_EQ(win32::CreateKxDragDataObject(nullptr, data.Put()), S_OK);
  FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  EXPECT_EQ(data->GetData(&f, &m), DV_E_FORMATETC);
  EXPECT_EQ(data->QueryGetData(&f), DV_E_FORMATETC);
  com::ComPtr<IEnumFORMATETC> e;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, e.Put()), S_OK);
  ULONG n = 5;
  EXPECT_EQ(e->Next(1, &f, &n), S_FALSE);
  EXPECT_EQ(e->Skip(1), S_FALSE);
  com::ComPtr<IDropSource> s;
  ASSERT_EQ(win32::CreateKxDropSource(nullptr, s.Put()), S_OK);
  EXPECT_EQ(s->QueryContinueDrag(FALSE, 0), S_OK);
  EXPECT_EQ(s->GiveFeedback(0), DRAGDROP_S_USEDEFAULTCURSORS);
}

TEST(KxDragSourceTest, TheApplicationOutlivesTheWindowThatMadeIt) {
  std::weak_ptr<win32::TKxDragAppInterface> weak;
  com::ComPtr<IDataObject> data;
  {
    auto app = std::make_shared<win32::TDragInterface>(
        nullptr, [] { return std::vector<ShredItemId>{PathsItem("C:\\a.txt", "C:\\VAPORIZE\\C1.txt")}; }, nullptr);
    weak = app;
    ASSERT_EQ(win32::CreateKxDragDataObject(app, data.Put()), S_OK);
  }
  // A drop target may keep the data object after the drag; it still answers.
  EXPECT_FALSE(weak.expired());
  FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  ReleaseStgMedium(&m);
  data.Reset();
  EXPECT_TRUE(weak.expired());
}

TEST(KxDragSourceTest, ADragSetsUpOleOnItsOwnThread) {
  // A thread with COM alone, which nothing of the module prepared: the
  // button is up, so the drag drops at once wherever the pointer is.
  HRESULT hr = E_FAIL;
  std::thread([&] {
    if (FAILED(CoInitialize(nullptr))) return;
    auto app = std::make_shared<win32::TDragInterface>(
        nullptr, [] { return std::vector<ShredItemId>{PathsItem("C:\\a.txt", "C:\\VAPORIZE\\C1.txt")}; }, nullptr);
    DWORD effect = 0;
    hr = app->StartDrag(DROPEFFECT_MOVE, &effect);
    CoUninitialize();
  }).join();
  EXPECT_TRUE(hr == DRAGDROP_S_DROP || hr == DRAGDROP_S_CANCEL) << std::hex << hr;
}

}  // namespace
}  // namespace vz::test
