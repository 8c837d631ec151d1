// Batches off the window thread: the window keeps answering during the
// passes, Cancel in the batch's own progress window stops it between passes,
// and every batch has a progress window of its own.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "common/ui.h"
#include "engine/batch_job_win.h"
#include "platform/win32/wide.h"
#include "support/scripted_ui.h"
#include "win32/folder_window.h"
#include "win32/shell_support.h"

namespace vz::test {
namespace {

using BatchJobTest = FolderWindowTest;

HWND ProgressWindow(HWND after = nullptr) { return FindWindowExW(nullptr, after, L"TFMProgress", nullptr); }

// Windows calls a window that takes no message within five seconds "not
// responding" ("Preventing Hangs in Windows Applications", learn.microsoft.com/
// windows/win32/win7appqual/preventing-hangs-in-windows-applications) and
// offers to end the program, Explorer with it. Another thread sends the
// item window a message with a one-second timeout, again and again, through
// the passes over a big stored file (VZ_BIG_FILE_MB, 128 by default; 2048
// for the full check). Cancel, pressed once the file is shown, stops the
// batch after the pass that was running (or, on a busy machine, the next):
// the item leaves the list, named, and what is left of it is listed.
TEST_F(BatchJobTest, TheWindowAnswersThroughThePassesAndCancelStopsBetweenThem) {
  const char* mb = std::getenv("VZ_BIG_FILE_MB");
  const std::int64_t size = (mb ? std::atoll(mb) : 128) << 20;
  MakeSparseFile(DS("D1.bin"), size);
  AppendRecord("D:\\Big\\disk.img", DS("D1.bin"));
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "ShredCount", 3);
  RegPutDword(HKEY_CURRENT_USER, "SOFTWARE\\Orvel\\Gearloft\\Vaporizer\\", "ShowIndicator", 1);
  Open();
  Select(0);
  ScriptedUi ui;
  ScopedUi scope(ui);
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0}, late{0};
  std::atomic<DWORD> slowest{0};
  std::thread watcher([&] {
    while (!stop) {
      DWORD_PTR result = 0;
      DWORD sent = GetTickCount();
      if (SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) ++answered;
      else ++late;
      slowest = std::max<DWORD>(slowest, GetTickCount() - sent);
      Sleep(20);
    }
  });
  PostMessageW(hwnd_, WM_COMMAND, 17, 0);
  HWND progress = nullptr;
  for (DWORD start = GetTickCount(); !progress && GetTickCount() - start < 60000; Pump(10))
    if (!ui.progressFiles.empty()) progress = ProgressWindow();
  EXPECT_NE(progress, nullptr) << "the batch's progress window, showing the file";
  if (progress) SendMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitForJobs());
  stop = true;
  watcher.join();
  EXPECT_EQ(late, 0) << answered << " answered in time";
  EXPECT_GT(answered, 0);
  if (!progress) return;
  RecordProperty("answered", answered.load());
  RecordProperty("slowest_ms", static_cast<int>(slowest.load()));
  const std::size_t passes = ui.progressPasses.size();
  EXPECT_TRUE(passes == 1 || passes == 2) << passes << " passes ran";
  ASSERT_EQ(ui.told.size(), 1u);
  EXPECT_NE(ui.told[0].find("cancelled after pass " + std::to_string(passes) + " of 3"), std::string::npos)
      << ui.told[0];
  EXPECT_NE(ui.told[0].find("partly vaporized; what is left of it is D:\\VAPORIZE\\"), std::string::npos) << ui.told[0];
  EXPECT_EQ(ProgressWindow(), nullptr) << "gone with its batch";
  Pump();
  EXPECT_EQ(Find("disk.img"), -1) << "out of the list";
  EXPECT_EQ(Count(), 1) << "what is left of it, listed as a leftover";
}

// Two batches at once, from one window thread: each shows its own file in
// its own progress window, and each window goes with its own batch.
TEST_F(BatchJobTest, EveryBatchHasAProgressWindowOfItsOwn) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  std::atomic<int> release{0};
  auto work = [&](std::string name, int index) {
    return [&release, name, index] {
      Ui().ProgressBegin(1, 1);
      Ui().ProgressFile(0, name);
      while (release < index) Sleep(5);
      Ui().ProgressEnd();
      return Report{};
    };
  };
  int done = 0;
  ASSERT_TRUE(win32::StartJob(nullptr, work("D:\\first.txt", 1), [&](const Report&) { ++done; }));
  ASSERT_TRUE(win32::StartJob(nullptr, work("D:\\second.txt", 2), [&](const Report&) { ++done; }));
  std::vector<std::string> shown;
  for (DWORD start = GetTickCount(); shown.size() < 2 && GetTickCount() - start < 10000; Pump(10)) {
    shown.clear();
    for (HWND w = ProgressWindow(); w; w = ProgressWindow(w)) {
      std::string text;
      for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (WindowText(c).find(".txt") != std::string::npos) text = WindowText(c);
      if (!text.empty()) shown.push_back(text);
    }
  }
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{"D:\\first.txt", "D:\\second.txt"}));
  release = 1;
  for (DWORD start = GetTickCount(); done < 1 && GetTickCount() - start < 10000;) Pump(10);
  ASSERT_NE(ProgressWindow(), nullptr) << "the second batch's window stays while it runs";
  EXPECT_EQ(ProgressWindow(ProgressWindow()), nullptr);
  release = 2;
  EXPECT_TRUE(WaitForJobs());
  EXPECT_EQ(done, 2);
  EXPECT_EQ(ProgressWindow(), nullptr);
}

// An outside program calls an export, which runs a job, and may then free
// the module or end: "a thread that is still running in a DLL as it
// unloads" is undefined (FreeLibrary, learn.microsoft.com/windows/win32/api/
// libloaderapi/nf-libloaderapi-freelibrary), and under Wine a process that
// exited so hung at times. So the work's thread has ended when RunJob returns.
TEST_F(BatchJobTest, RunJobReturnsOnceTheWorksThreadIsGone) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  for (int round = 0; round < 20; ++round) {
    DWORD worker = 0;
    win32::RunJob(nullptr, [&] {
      worker = GetCurrentThreadId();
      return Report{};
    });
    ASSERT_NE(worker, GetCurrentThreadId());
    HANDLE h = OpenThread(SYNCHRONIZE, FALSE, worker);  // none once the thread and its handles are gone
    EXPECT_TRUE(!h || WaitForSingleObject(h, 0) == WAIT_OBJECT_0) << "round " << round;
    if (h) CloseHandle(h);
  }
}

}  // namespace
}  // namespace vz::test
