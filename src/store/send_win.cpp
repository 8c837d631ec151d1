#include "store/send_win.h"

#include <shellapi.h>

#include "platform/win32/com.h"

namespace vz::win32 {
namespace {

// Holds a storage medium for the length of a read.
class Medium {
 public:
  Medium() { medium_.tymed = TYMED_NULL; }
  ~Medium() {
    if (medium_.tymed != TYMED_NULL) ReleaseStgMedium(&medium_);
  }
  STGMEDIUM* Put() { return &medium_; }
  HGLOBAL Global() const { return medium_.tymed == TYMED_HGLOBAL ? medium_.hGlobal : nullptr; }

 private:
  STGMEDIUM medium_{};
};

class GlobalLock_ {
 public:
  explicit GlobalLock_(HGLOBAL h) : h_(h), p_(h ? GlobalLock(h) : nullptr) {}
  ~GlobalLock_() {
    if (p_) GlobalUnlock(h_);
  }
  void* Get() const { return p_; }
  std::size_t Size() const { return p_ ? GlobalSize(h_) : 0; }

 private:
  HGLOBAL h_;
  void* p_;
};

std::string ToAnsi(const std::u16string& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(w.data()), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWCH>(w.data()), static_cast<int>(w.size()), s.data(), n,
                        nullptr, nullptr);
  return s;
}

}  // namespace

void ReadDropList(IDataObject* data, std::vector<std::string>& paths, std::vector<std::string>& map, bool& hasMap) {
  paths.clear();
  map.clear();
  hasMap = false;
  if (!data) return;
  FORMATETC fmt{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  Medium drop;
  if (FAILED(data->GetData(&fmt, drop.Put())) || !drop.Global()) return;
  HDROP hdrop = static_cast<HDROP>(drop.Global());
  UINT count = DragQueryFileA(hdrop, 0xFFFFFFFF, nullptr, 0);
  if (count == 0) return;

  // Every system of the NT line offers the 16-bit map.
  FORMATETC mapFmt{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("FileNameMapW")), nullptr, DVASPECT_CONTENT, -1,
                   TYMED_HGLOBAL};
  Medium mapMedium;
  bool mapOffered = SUCCEEDED(data->QueryGetData(&mapFmt)) && SUCCEEDED(data->GetData(&mapFmt, mapMedium.Put())) &&
                    mapMedium.Global();

  // Each path at its full length: a path cut to a buffer's size may name
  // its own parent folder. One too long to record is refused later. Beside
  // a map, one that cannot be read stays as an empty entry, which is
  // refused, so that the map still pairs with the paths.
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(hdrop, i, nullptr, 0);
    std::string path(length + 1, '\0');
    UINT n = length ? DragQueryFileA(hdrop, i, &path[0], length + 1) : 0;
    path.resize(n == length ? n : 0);
    if (!path.empty() || mapOffered) paths.push_back(std::move(path));
  }
  if (mapOffered) {
    GlobalLock_ lock(mapMedium.Global());
    if (lock.Get()) {
      hasMap = true;
      for (const auto& w : SplitNameMapWide(static_cast<const char16_t*>(lock.Get()), lock.Size() / 2, count))
        map.push_back(ToAnsi(w));
    }
  }
}

SendResult SendDataObject(IDataObject* data, bool refreshIcon) {
  std::vector<std::string> paths, map;
  bool hasMap = false;
  ReadDropList(data, paths, map, hasMap);
  // A map that does not name every dropped item cannot be paired with them.
  if (hasMap && map.size() != paths.size()) hasMap = false;
  return SendToStore(paths, kSendAskFirst | (refreshIcon ? kSendRefreshIcon : kSendQuietly), hasMap ? &map : nullptr);
}

}  // namespace vz::win32
