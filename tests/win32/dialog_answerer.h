// Answers the modal dialogs that the code under test opens on this thread,
// the way a user would: it waits for the dialog to become active, reads its
// title and texts, and presses a button.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace vz::test {

struct SeenDialog {
  std::string title;
  std::vector<std::pair<int, std::string>> items;  // control id and text
  std::string Text(int id) const {
    for (const auto& i : items)
      if (i.first == id) return i.second;
    return {};
  }
};

class DialogAnswerer {
 public:
  // Buttons to press, one per dialog, in order; once they run out, `fallback`.
  explicit DialogAnswerer(std::deque<int> buttons, int fallback = IDNO);
  ~DialogAnswerer();
  const std::vector<SeenDialog>& Seen() const { return seen_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp);
  static BOOL CALLBACK Collect(HWND child, LPARAM lp);
  HHOOK hook_ = nullptr;
  std::deque<int> buttons_;
  int fallback_;
  std::vector<SeenDialog> seen_;
};

}  // namespace vz::test
