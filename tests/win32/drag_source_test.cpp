#include <windows.h>
#include <gtest/gtest.h>

#include "support/item_ids.h"
#include <shellapi.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dragsource/kx_drag_source_win.h"
#include "platform/win32/com.h"
#include "platform/win32/wide.h"
#include "window/drag_interface_win.h"

namespace vz::test {
namespace {

using win32::DragApp;

struct DragFixture : ::testing::Test {
  int drops = 0;
  // Core text made from 16-bit text, as the shell hands names in.
  std::vector<ShredItemId> items{PathsItem("C:\\Work\\report.doc", "C:\\VAPORIZE\\C1.doc"),
                                 PathsItem(win32::Narrow(L"D:\\Old\\n\u00e9.txt"), "D:\\VAPORIZE\\D2.txt")};
  std::shared_ptr<win32::TDragInterface> app = std::make_shared<win32::TDragInterface>(
      nullptr, [this] { return items; }, [this] { ++drops; });
  com::ComPtr<IDataObject> data;
  void SetUp() override { ASSERT_EQ(win32::CreateKxDragDataObject(app, data.Put()), S_OK); }

  static FORMATETC Fmt(CLIPFORMAT cf, DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT) {
    return FORMATETC{cf, nullptr, aspect, -1, tymed};
  }
  std::string Render(const char* format) {
    FORMATETC f = Fmt(format ? static_cast<CLIPFORMAT>(RegisterClipboardFormatA(format)) : CF_HDROP);
    STGMEDIUM m{};
    if (data->GetData(&f, &m) != S_OK) return "(refused)";
    EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    std::string bytes(static_cast<const char*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    return bytes;
  }
  static std::string Utf16(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  }
  // A wide file list as a drop target reads it.
  static std::vector<std::wstring> Paths(const std::string& block) {
    HGLOBAL g = GlobalAlloc(GMEM_FIXED, block.size());
    std::memcpy(reinterpret_cast<void*>(g), block.data(), block.size());
    std::vector<std::wstring> paths;
    auto drop = static_cast<HDROP>(g);
    for (UINT i = 0, n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
      std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      path.resize(DragQueryFileW(drop, i, &path[0], static_cast<UINT>(path.size())));
      paths.push_back(path);
    }
    GlobalFree(g);
    return paths;
  }
};

// A target that picks its formats from the list gets the 16-bit map first,
// so names outside the code page arrive whole.
TEST_F(DragFixture, EnumeratorOffersFileListAndBothMapsAndWalksLikeTheContract) {
  com::ComPtr<IEnumFORMATETC> e;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, e.Put()), S_OK);
  FORMATETC got[4] = {};
  ULONG fetched = 9;
  EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE) << "more asked than left";
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(got[0].cfFormat, CF_HDROP);
  EXPECT_EQ(got[1].cfFormat, RegisterClipboardFormatA("FileNameMapW"));
  EXPECT_EQ(got[2].cfFormat, RegisterClipboardFormatA("FileNameMap"));
  for (const FORMATETC& f : got) EXPECT_TRUE(&f == &got[3] || (f.lindex == -1 && f.tymed == TYMED_HGLOBAL));
  EXPECT_EQ(e->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(e->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(3), S_OK) << "skipping to the very end is fine";
  ASSERT_EQ(e->Reset(), S_OK);

  ASSERT_EQ(e->Next(1, got, nullptr), S_OK);
  com::ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.Put()), S_OK);
  ASSERT_EQ(clone->Next(1, got, &fetched), S_OK);
  EXPECT_EQ(got[0].cfFormat, RegisterClipboardFormatA("FileNameMapW")) << "a clone starts where its source stood";

  IEnumFORMATETC* none = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &none), E_NOTIMPL);
  EXPECT_EQ(none, nullptr);
}

TEST_F(DragFixture, RenderedBlocksByteForByte) {
  std::string header("\x14\0\0\0" "\0\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x01\0\0\0", 20);  // fWide
  EXPECT_EQ(Render(nullptr), header + Utf16(std::wstring(L"C:\\VAPORIZE\\C1.doc\0D:\\VAPORIZE\\D2.txt\0\0", 39)));
  EXPECT_EQ(Paths(Render(nullptr)), (std::vector<std::wstring>{L"C:\\VAPORIZE\\C1.doc", L"D:\\VAPORIZE\\D2.txt"}));
  EXPECT_EQ(Render("FileNameMap"), std::string("report.doc\0n\xe9.txt\0\0", 19)) << "code page 1252";
  EXPECT_EQ(Render("FileNameMapW"), Utf16(std::wstring(L"report.doc\0n\u00e9.txt\0\0", 19)));
}

// Names outside the code page, and look-alikes that best fit would turn
// into "?" or a plain letter, go whole into the file list and the 16-bit
// map; the 8-bit map gives such an item its stored name, never a stand-in.
TEST_F(DragFixture, EveryNameGoesOutWholeAndTheAnsiMapNeverGuesses) {
  const struct {
    std::wstring name;
    std::string ansi;  // in the 8-bit map
  } names[] = {
      {L"Отчёт.txt", "D1.txt"},      {L"Αρχείο.doc", "D2.doc"},          {L"日本語のファイル.txt", "D3.txt"},
      {L"smile \U0001F600.txt", "D4.txt"}, {L"\u0391lpha.txt", "D5.txt"},  // Greek capital alpha, not A
      {L"\uFF21.txt", "D6.txt"},     {L"caf\u00e9.txt", "caf\xe9.txt"},  // a fullwidth A; é is in 1252
  };
  items.clear();
  std::wstring map, files;
  std::string ansi;
  std::vector<std::wstring> stored;
  for (std::size_t i = 0; i < std::size(names); ++i) {
    std::wstring storedPath =
        L"D:\\VAPORIZE\\D" + std::to_wstring(i + 1) + names[i].name.substr(names[i].name.rfind(L'.'));
    items.push_back(PathsItem(win32::Narrow(L"D:\\Работа\\" + names[i].name), win32::Narrow(storedPath)));
    stored.push_back(storedPath);
    map += names[i].name + L'\0';
    ansi += names[i].ansi + '\0';
  }
  EXPECT_EQ(Paths(Render(nullptr)), stored);
  EXPECT_EQ(Render("FileNameMapW"), Utf16(map + L'\0'));
  EXPECT_EQ(Render("FileNameMap"), ansi + '\0');
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
