#include "store/send_win.h"

#include <shellapi.h>

#include "dragsource/formats_win.h"
#include "platform/win32/com.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"

namespace vz::win32 {

std::vector<std::string> ReadFileList(HDROP drop, bool keepUnreadable) {
  std::vector<std::string> paths;
  UINT count = drop ? DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : 0;
  // Each path at its full length: a path cut to a buffer's size may name
  // its own parent folder. One that cannot be read stays as an empty entry
  // when asked, which is refused later, so that a map still pairs with the
  // paths.
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    UINT n = length ? DragQueryFileW(drop, i, &path[0], length + 1) : 0;
    path.resize(n == length ? n : 0);
    if (!path.empty() || keepUnreadable) paths.push_back(Narrow(path));
  }
  return paths;
}

void ReadDropList(IDataObject* data, std::vector<std::string>& paths, std::vector<std::string>& map, bool& hasMap) {
  paths.clear();
  map.clear();
  hasMap = false;
  if (!data) return;
  FORMATETC fmt{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  StgMedium drop;
  if (FAILED(drop.GetFrom(data, fmt)) || !drop.Global()) return;
  HDROP hdrop = static_cast<HDROP>(drop.Global());
  UINT count = DragQueryFileW(hdrop, 0xFFFFFFFF, nullptr, 0);
  if (count == 0) return;

  // Every system of the NT line offers the 16-bit map.
  FORMATETC mapFmt{static_cast<CLIPFORMAT>(Formats().fileNameMapW), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  StgMedium mapMedium;
  bool mapOffered =
      SUCCEEDED(data->QueryGetData(&mapFmt)) && SUCCEEDED(mapMedium.GetFrom(data, mapFmt)) && mapMedium.Global();
  paths = ReadFileList(hdrop, mapOffered);
  if (mapOffered) {
    GlobalView block(mapMedium.Global());
    if (block.Data()) {
      hasMap = true;
      for (const auto& name : SplitNameMapWide(static_cast<const char16_t*>(block.Data()), block.Size() / 2, count))
        map.push_back(Narrow(std::wstring(name.begin(), name.end())));
    }
  }
}

SendResult SendDataObject(IDataObject* data, bool refreshIcon) {
  std::vector<std::string> paths, map;
  bool hasMap = false;
  ReadDropList(data, paths, map, hasMap);
  // A map that does not name every dropped item cannot be paired with them.
  if (hasMap && map.size() != paths.size()) hasMap = false;
  return SendToStore(paths, kSendAskFirst | kSendListed | (refreshIcon ? kSendRefreshIcon : kSendQuietly),
                     hasMap ? &map : nullptr);
}

}  // namespace vz::win32
