// The Windows faces of a batch: the caution question and the progress
// window TFMProgress.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

#include "platform/win32/dpi.h"

namespace vz::win32 {

bool AskCaution(const std::string& title, const std::string& text);

// The progress of one batch: a borderless window of its own, owned by the
// batch's window, laid out for the DPI it is shown at, with a Cancel button
// that asks the batch to stop between passes and files. It lives on the
// thread that made it; nothing is shared with another batch's.
class TFMProgress {
 public:
  explicit TFMProgress(std::function<void()> cancel);
  ~TFMProgress();
  TFMProgress(const TFMProgress&) = delete;
  TFMProgress& operator=(const TFMProgress&) = delete;

  void Begin(HWND owner, std::size_t files, int passes);
  void File(const std::string& display);
  void Pass(int passesDone);
  void FilesDone(std::size_t done);
  // Takes the window down; again harmless.
  void End();
  HWND Handle() const { return frame_; }

  static constexpr int kCancelId = IDCANCEL;

 private:
  static LRESULT CALLBACK FrameProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  void Layout();
  void Cancel();

  std::function<void()> cancel_;
  HWND frame_ = nullptr, file_ = nullptr, current_ = nullptr, total_ = nullptr, button_ = nullptr;
  HWND labels_[3] = {};
  Font font_, bold_;
};

}  // namespace vz::win32
