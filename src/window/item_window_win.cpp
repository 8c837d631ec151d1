#include "window/item_window_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cwchar>
#include <iterator>
#include <stdexcept>

#include "common/report_text.h"
#include "engine/batch.h"
#include "engine/batch_job_win.h"
#include "platform/platform.h"
#include "platform/win32/dpi.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/wide.h"
#include "store/item_id_win.h"
#include "store/store.h"
#include "window/drag_interface_win.h"
#include "window/item_properties_win.h"
#include "window/restore.h"

namespace vz::win32 {


namespace {

constexpr const wchar_t* kClassName = L"TView";
constexpr int kListId = 1;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kRefillMessage = WM_APP + 1;       // refill once the command that changed the store is over
constexpr UINT kRebuildMenuMessage = WM_APP + 2;  // one menu rebuild for a burst of selection changes
// Sent to a child after its parent moved to a screen of another DPI
// (Windows 10, version 1703 on).
constexpr UINT kDpiChangedAfterParent = 0x02E3;  // WM_DPICHANGED_AFTERPARENT

TView::HelpViewer& Viewer() {
  static TView::HelpViewer viewer = [](HWND owner, const std::string& file, const std::string& macro) {
    std::wstring command = Widen(macro);
    WinHelpW(owner, Widen(file).c_str(), HELP_COMMAND, reinterpret_cast<ULONG_PTR>(command.c_str()));
  };
  return viewer;
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  bool registered = GetClassInfoExW(instance, kClassName, &existing) != FALSE;
  if (registered && existing.lpfnWndProc != proc) {
    // Left behind by an earlier load of the module at another place.
    UnregisterClassW(kClassName, instance);
    registered = false;
  }
  if (registered) return;
  // A window of 16-bit text: its list reports in the wide forms.
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw std::runtime_error("the item window's class cannot be registered");
}

// Marks a command that changes the store as running, so that another one
// started from inside its dialogs waits for a later click.
class BusyScope {
 public:
  explicit BusyScope(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~BusyScope() {
    if (entered_) flag_ = false;
  }
  bool Entered() const { return entered_; }

 private:
  bool& flag_;
  bool entered_;
};

}  // namespace

void TView::SetHelpViewer(HelpViewer viewer) { Viewer() = std::move(viewer); }

TView* TView::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  wchar_t cls[16] = {};
  GetClassNameW(hwnd, cls, static_cast<int>(std::size(cls)));
  if (std::wcscmp(cls, kClassName) != 0) return nullptr;
  return reinterpret_cast<TView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

std::shared_ptr<TView> TView::Create(ItemWindowHost* host, IShellBrowser* browser) {
  return std::make_shared<TView>(Token{}, host, browser);
}

TView::TView(Token, ItemWindowHost* host, IShellBrowser* browser) : host_(host), browser_(browser) {
  try {
    HINSTANCE instance = ModuleInstance();
    RegisterWindowClass(instance, &TView::WndProc);
    // A bare window of 464 x 234 client pixels; its style becomes exactly a
    // child window's so that the host can parent and place it.
    RECT frame = {0, 0, 464, 234};
    AdjustWindowRectEx(&frame, WS_POPUP, FALSE, 0);
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                            nullptr, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("the item window cannot be created");
    SetWindowLongPtrW(hwnd_, GWL_STYLE, WS_CHILD);
    FormCreate();
  } catch (...) {
    if (hwnd_) DestroyWindow(hwnd_);
    throw;
  }
}

TView::~TView() { Close(); }

void TView::Close() {
  if (!hwnd_) return;
  KillTimer(hwnd_, kTimerId);
  DestroyWindow(hwnd_);  // WM_DESTROY gives back the drop registration
}

void TView::FormCreate() {
  // The shell's own font at the window's DPI, as Explorer's lists show.
  const UINT dpi = WindowDpi(hwnd_);
  font_ = MessageFont(dpi);
  // The list's presses and moves reach the drag rule first.
  list_.Create(hwnd_, kListId, font_.Get(), dpi,
               [this](UINT message, WPARAM wp, LPARAM lp) { OnListMouse(message, wp, lp); });
  menus_ = std::make_unique<ItemMenus>();
}

void TView::DpiChanged() {
  const UINT dpi = WindowDpi(hwnd_);
  Font font = MessageFont(dpi);
  if (!font.Get() || !list_.Handle()) return;
  list_.SetDpi(font.Get(), dpi);
  font_ = std::move(font);
}

bool TView::AcceptDrops(IDropTarget* target) {
  if (!hwnd_ || !target || dropTarget_) return false;
  auto ole = std::make_unique<com::OleScope>();
  if (FAILED(RegisterDragDrop(hwnd_, target))) return false;
  dropTarget_ = com::ComPtr<IDropTarget>(target);
  ole_ = std::move(ole);
  return true;
}

void TView::OnDestroy() {
  destroying_ = true;
  // Here, while the handle is still good: a frame that destroys its
  // children before telling the view must not leave the target registered
  // (OLE would hold it, and the module, for good).
  if (dropTarget_) RevokeDragDrop(hwnd_);
  dropTarget_.Reset();
  ole_.reset();
  KillTimer(hwnd_, kTimerId);
  timerRunning_ = false;
}

LRESULT CALLBACK TView::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TView*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  // A message may run a command with a message loop of its own, in which
  // the host can let the window go: the object outlives the message.
  std::shared_ptr<TView> keep = self->weak_from_this().lock();
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind into the window manager.
    return 0;
  }
}

LRESULT TView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case WM_COMMAND:
      if (!inactive_) Command(static_cast<int>(wParam));
      break;
    case WM_NOTIFY:
      if (auto* header = reinterpret_cast<NMHDR*>(lParam)) return OnNotify(header);
      break;
    case WM_INITMENUPOPUP:
      if (!inactive_ && host_) host_->InitMenuPopup(CurrentViewMode(), ItemCount());
      break;
    case WM_MENUSELECT:
      if (!inactive_) OnMenuSelect(LOWORD(wParam));
      break;
    case WM_SETTINGCHANGE:
      try {
        FillItemList();
      } catch (...) {
      }
      break;
    case WM_CONTEXTMENU:
      OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_SIZE:
      list_.FitTo(hwnd_);
      break;
    case kDpiChangedAfterParent:
      // The browser moved to a screen of another DPI.
      DpiChanged();
      break;
    case WM_SETFOCUS:
      FormActivate();
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId) {
        Timer1Timer();
        return 0;
      }
      break;
    case kRefillMessage:
      refillPending_ = false;
      FillItemList();
      return 0;
    case kRebuildMenuMessage:
      menuPending_ = false;
      if (host_ && !destroying_) host_->RebuildMergedMenu(AnySelected(), ItemCount());
      return 0;
    case WM_DESTROY:
      OnDestroy();
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      list_.Forget();
      return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void TView::OnListMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      gesture_.MouseDown(message == WM_LBUTTONDOWN, list_.ItemAt(x, y), x, y);
      break;
    case WM_LBUTTONDBLCLK:
      // The second press of a double click: Windows sends it in place of
      // a WM_LBUTTONDOWN. It starts no drag.
      gesture_.DoubleClickDown(x, y);
      break;
    case WM_MOUSEMOVE:
      // Windows' list follows the mouse itself after a press and keeps the
      // release: a move with the button up ends the gesture, never a drag.
      if (gesture_.MouseMove(x, y, (wParam & MK_LBUTTON) != 0)) StartItemDrag();
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      gesture_.MouseUp();
      break;
    default:
      break;
  }
}

LRESULT TView::OnNotify(NMHDR* header) {
  HWND list = list_.Handle();
  if (list && header->hwndFrom == list) {
    switch (header->code) {
      case LVN_ITEMCHANGED: {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if (filling_ || !(change->uChanged & LVIF_STATE)) break;
        if (!((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) break;
        if (change->iItem < 0) {
          // A change of every item at once: count the selection afresh.
          counters_.ClearSelection();
          for (int i = -1; (i = ListView_GetNextItem(list, i, LVNI_SELECTED)) >= 0;)
            counters_.SelectionChanged(list_.RowBytes(i), true);
          LVShredSelectItem(-1, false);
        } else {
          LVShredSelectItem(change->iItem, (change->uNewState & LVIS_SELECTED) != 0);
        }
        break;
      }
      case LVN_BEGINLABELEDITA:
      case LVN_BEGINLABELEDITW:
        return TRUE;  // captions are not edited in place
      case NM_CLICK:
        // The list kept the release to itself and reports the click here.
        gesture_.MouseUp();
        break;
      case NM_DBLCLK:
        // The double click's own press starts no drag, whatever comes
        // while its properties are open.
        gesture_.DoubleClick();
        Properties1Click();
        break;
      case LVN_BEGINDRAG:
        // Windows' list tracks the first moves inside the press, gives the
        // capture back (which disarms the move rule) and reports the drag
        // of the pressed item here: this report starts it.
        if (reinterpret_cast<NMLISTVIEW*>(header)->iItem >= 0 && gesture_.ListBeganDrag()) StartItemDrag();
        break;
      case LVN_KEYDOWN: {
        // Where the browser does not pass keys through the view's
        // accelerators, the list still honours them.
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
        if (key->wVKey == VK_DELETE) Shred1Click();
        else if (key->wVKey == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) SelectAll();
        break;
      }
      case NM_SETFOCUS:
        // Focus given by FormActivate has been reported there already.
        if (host_ && !activating_) host_->WindowActive();
        break;
      default:
        break;
    }
    return 0;
  }
  if (inactive_) return 0;
  switch (header->code) {
    case TBN_DROPDOWN:
      OnToolbarDropDown(reinterpret_cast<NMTOOLBARW*>(header));
      return TBDDRET_DEFAULT;
    case TTN_NEEDTEXTA: {
      auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
      if (const char* tip = ToolbarTooltip(static_cast<int>(info->hdr.idFrom)))
        lstrcpynA(info->szText, tip, sizeof info->szText);
      return 0;
    }
    case TTN_NEEDTEXTW: {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
      if (const char* tip = ToolbarTooltip(static_cast<int>(info->hdr.idFrom)))
        lstrcpynW(info->szText, Widen(tip).c_str(), static_cast<int>(std::size(info->szText)));
      return 0;
    }
    default:
      return 0;
  }
}

void TView::OnToolbarDropDown(NMTOOLBARW* info) {
  HWND toolbar = toolbar_ ? toolbar_ : info->hdr.hwndFrom;
  RECT r{};
  if (toolbar) {
    SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(info->iItem), reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
  }
  if (auto mode = menus_->TrackViewDropDown(hwnd_, r, CurrentViewMode())) SetViewMode(*mode);
}

void TView::OnContextMenu(int x, int y) {
  POINT at{x, y};
  // From the keyboard: under the focused item, else at the list's corner.
  if (x == -1 && y == -1) at = list_.MenuPoint();
  int chosen = menus_->TrackContext(hwnd_, at, PopupStateFor(AnySelected(), ItemCount(), CurrentViewMode()));
  // The window's own menu works whether or not the browser's commands do.
  if (chosen != 0) RunAction(ActionOf(chosen, false));
}

void TView::OnMenuSelect(int command) {
  const char* hint = MenuHint(command);
  std::string text;
  if (hint) {
    text = hint;
  } else {
    for (const ViewPopupEntry& e : ViewPopupEntries())
      if (e.id == command) text = e.hint;
  }
  if (!text.empty() && host_) host_->ShowMenuHint(text);
}

void TView::FormActivate() {
  if (host_) host_->WindowActive();
  if (HWND list = list_.Handle()) {
    activating_ = true;
    SetFocus(list);
    activating_ = false;
    InvalidateRect(list, nullptr, TRUE);
  }
}

void TView::FillItemList() {
  if (!hwnd_ || !list_.Handle() || destroying_) return;
  IShellFolder* folder = host_ ? host_->Folder() : nullptr;
  com::ComPtr<IEnumIDList> items;
  if (folder && SUCCEEDED(folder->EnumObjects(hwnd_, SHCONTF_NONFOLDERS, items.Put())) && items) {
    filling_ = true;
    list_.Clear();
    counters_.Reset();
    try {
      for (;;) {
        PITEMID_CHILD pidl = nullptr;
        ULONG fetched = 0;
        if (items->Next(1, &pidl, &fetched) != S_OK || !pidl) break;
        // Only what reads as a stored item's identifier becomes a row.
        IdList owned(pidl);
        std::optional<ShredItemId> id = ReadItemId(pidl);
        if (!id) continue;
        ListRow row = MakeListRow(*id);
        list_.Insert(row);
        counters_.Listed(row);
      }
    } catch (...) {
      // What was listed so far stays.
    }
    counters_.SetItemCount(list_.Count());
    list_.Done();
    filling_ = false;
  }
  LVShredSelectItem(-1, false);
}

void TView::LVShredSelectItem(int item, bool selected) {
  if (!hwnd_ || destroying_ || !host_) return;
  if (item < 0) {
    menuPending_ = false;
    host_->RebuildMergedMenu(AnySelected(), ItemCount());
  } else {
    // Selecting many items one by one rebuilds the menus once, not once each.
    if (!menuPending_) menuPending_ = PostMessageW(hwnd_, kRebuildMenuMessage, 0, 0) != FALSE;
    if (!menuPending_) host_->RebuildMergedMenu(AnySelected(), ItemCount());
    counters_.SelectionChanged(list_.RowBytes(item), selected);
  }
  UpdateStatusBar();
}

void TView::UpdateStatusBar() {
  if (!host_) return;
  host_->SetStatusText(0, counters_.CountText());
  host_->SetStatusText(1, counters_.SizeText(DecimalSeparator()));
}

void TView::Command(int command) {
  if (inactive_) return;
  RunAction(ActionOf(command, host_ && host_->ToolbarHasDropDowns()));
}

void TView::RunAction(const CommandAction& action) {
  switch (action.action) {
    case Action::SetViewMode:
      SetViewMode(action.mode);
      if (host_) host_->CheckViewButton(CurrentViewMode());
      break;
    case Action::NextViewMode:
      SetViewMode(NextViewMode(CurrentViewMode()));
      if (host_) host_->CheckViewButton(CurrentViewMode());
      break;
    case Action::VaporizeSelected: Shred1Click(); break;
    case Action::VaporizeAll: EmptyVaporizer1Click(); break;
    case Action::Properties: Properties1Click(); break;
    case Action::Restore: Restore1Click(); break;
    case Action::SelectAll: SelectAll(); break;
    case Action::InvertSelection: InvertSelection(); break;
    case Action::Help: Help(); break;
    case Action::About: About(); break;
    case Action::None: break;
  }
}

// The three commands that change the store keep the object (and so its
// host) alive, mark themselves busy and own their boxes by the browser's
// window, which is then disabled and cannot close underneath them.
// Vaporizing runs off the window thread, which goes on taking its messages
// while the passes run; the command is over when its job is.

void TView::Shred1Click() { VaporizeItems(RecordsOf(list_.Selected())); }

void TView::EmptyVaporizer1Click() { VaporizeItems(RecordsOf(list_.All())); }

void TView::VaporizeItems(std::vector<ShredItemRecord> items) {
  if (items.empty() || busy_) return;
  std::shared_ptr<TView> keep = shared_from_this();
  busy_ = true;
  StartJob(
      hwnd_, [items] { return VaporizeStoredItems(items, nullptr); },
      [keep](const Report& report) {
        keep->busy_ = false;
        TellProblems(report, "vaporized");
        keep->RequestRefill();
      });
}

void TView::Restore1Click() {
  std::vector<RestoreEntry> entries;
  for (const ShredItemId* id : list_.Selected()) entries.push_back(MakeRestoreEntry(*id));
  if (entries.empty()) return;
  std::shared_ptr<TView> keep = shared_from_this();
  BusyScope busy(busy_);
  if (!busy.Entered()) return;
  BoxOwnerScope owner(hwnd_);
  TellProblems(RestoreItems(entries), "restored");
  RequestRefill();
}

void TView::Properties1Click() {
  std::shared_ptr<TView> keep = shared_from_this();
  std::vector<ShredItemId> chosen;
  for (const ShredItemId* id : list_.Selected()) chosen.push_back(*id);
  ShowItemProperties(hwnd_, list_.LargeImages(), chosen);
}

void TView::Help() {
  std::optional<std::string> file = HelpFile();
  if (!file) return;
  std::shared_ptr<TView> keep = shared_from_this();
  if (Viewer()) Viewer()(hwnd_, *file, HelpJumpMacro());
}

void TView::About() {
  std::shared_ptr<TView> keep = shared_from_this();
  ModalMessageBox(hwnd_, AboutText(), kAboutTitle, MB_OK | MB_ICONINFORMATION);
}

HRESULT TView::StartItemDrag() {
  if (!hwnd_ || inactive_ || busy_) return S_FALSE;
  std::vector<ShredItemId> items;
  for (const ShredItemId* id : list_.Selected()) items.push_back(*id);
  if (items.empty()) return S_FALSE;
  std::weak_ptr<TView> window = shared_from_this();
  // The drag's data object may outlive the window in a drop target's hands:
  // it carries its own copy of the items, and the release reaches the
  // window only while there is one.
  auto drag = std::make_shared<TDragInterface>(
      hwnd_, [items] { return items; },
      [window] {
        if (auto w = window.lock()) w->StartPruneTimer();
      });
  // Only a move is offered: the items leave the store for the target.
  DWORD effect = DROPEFFECT_NONE;
  return drag->StartDrag(DROPEFFECT_MOVE, &effect);
}

void TView::StartPruneTimer() {
  if (!hwnd_) return;
  waitTicks_ = 0;
  timerRunning_ = SetTimer(hwnd_, kTimerId, 1000, nullptr) != 0;
}

void TView::Timer1Timer() {
  KillTimer(hwnd_, kTimerId);
  // Not in the middle of the module's own work: while one of its boxes
  // shows or a command runs, prune later. Waiting is a new tick, not a
  // sleep, so the shell stays responsive; a box that never closes delays
  // the prune by at most a few minutes, and pruning early only leaves
  // records to drop later.
  constexpr int kMaxWaitTicks = 600;  // 5 minutes of 500 ms
  if ((ModalBoxShowing() || busy_) && waitTicks_ < kMaxWaitTicks) {
    ++waitTicks_;
    timerRunning_ = SetTimer(hwnd_, kTimerId, 500, nullptr) != 0;
    if (timerRunning_) return;
  }
  timerRunning_ = false;
  std::shared_ptr<TView> keep = shared_from_this();
  PruneIndex();
  Plat().UpdateIcon();
  RequestRefill();
}

void TView::RequestRefill() {
  // The icon update asks Explorer to refresh its windows, which refills the
  // list; a host that does not pass that on still sees the change.
  if (!hwnd_ || refillPending_) return;
  refillPending_ = PostMessageW(hwnd_, kRefillMessage, 0, 0) != FALSE;
}

std::string TView::DecimalSeparator() const {
  wchar_t buf[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, static_cast<int>(std::size(buf))) > 1)
    return Narrow(buf);
  return ".";
}

}  // namespace vz::win32
