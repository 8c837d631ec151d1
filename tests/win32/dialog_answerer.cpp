#include "dialog_answerer.h"

namespace vz::test {
namespace {
DialogAnswerer* g_current = nullptr;

std::string WindowText(HWND h) {
  char buf[1024] = {};
  GetWindowTextA(h, buf, sizeof buf);
  return buf;
}
}  // namespace

DialogAnswerer::DialogAnswerer(std::deque<int> buttons, int fallback)
    : buttons_(std::move(buttons)), fallback_(fallback) {
  g_current = this;
  hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

DialogAnswerer::~DialogAnswerer() {
  if (hook_) UnhookWindowsHookEx(hook_);
  g_current = nullptr;
}

BOOL CALLBACK DialogAnswerer::Collect(HWND child, LPARAM lp) {
  auto* d = reinterpret_cast<SeenDialog*>(lp);
  d->items.emplace_back(GetDlgCtrlID(child), WindowText(child));
  return TRUE;
}

LRESULT CALLBACK DialogAnswerer::Hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE && g_current) {
    HWND w = reinterpret_cast<HWND>(wp);
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) == "#32770") {
      SeenDialog d;
      d.title = WindowText(w);
      EnumChildWindows(w, Collect, reinterpret_cast<LPARAM>(&d));
      g_current->seen_.push_back(d);
      int button = g_current->fallback_;
      if (!g_current->buttons_.empty()) {
        button = g_current->buttons_.front();
        g_current->buttons_.pop_front();
      }
      PostMessageA(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, button)));
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace vz::test
