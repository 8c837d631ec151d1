#include "engine/batch_job_win.h"

#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "common/ui.h"
#include "engine/ui_win.h"
#include "platform/win32/com.h"
#include "platform/win32/modal.h"
#include "platform/win32/shell_support_win.h"
#include "platform/win32/shell_thread.h"

namespace vz::win32 {
namespace {

constexpr const wchar_t* kPortClass = L"VzJobPort";
constexpr UINT kCall = WM_APP + 1;   // lParam: a Call to answer here and now
constexpr UINT kDrain = WM_APP + 2;  // run what the work posted
constexpr UINT kDone = WM_APP + 3;   // the work is over

std::atomic<long> g_running{0};

// One piece of work and what it shares with the window thread that asked
// for it. The port, a message-only window of that thread, is where the
// work's questions and progress arrive; it holds the job until it is gone.
class Job {
 public:
  Job(HWND owner, UserInterface& forward, JobDone done)
      : owner_(owner ? GetAncestor(owner, GA_ROOT) : nullptr), forward_(forward), done_(std::move(done)),
        handled_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!owner_) owner_ = owner;
    ++com::ObjectCount();
    ++g_running;
  }
  ~Job() {
    if (handled_) CloseHandle(handled_);
    --g_running;
    --com::ObjectCount();
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  // On the window thread: the port, holding a reference to the job.
  static bool OpenPort(const std::shared_ptr<Job>& job);

  // On the work's thread. A question runs on the window thread and is
  // answered there; with no window thread left to ask, the answer is No.
  struct Question {
    std::function<bool(UserInterface&)> ask;
    bool answer = false;
  };
  bool Call(std::function<bool(UserInterface&)> ask) {
    Question q{std::move(ask)};
    return port_ && SendMessageW(port_, kCall, 0, reinterpret_cast<LPARAM>(&q)) && q.answer;
  }
  // Progress runs on the window thread in the order posted, without
  // holding the work up.
  void Post(std::function<void(Job&)> step) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(step));
    if (!drainPosted_) drainPosted_ = port_ && PostMessageW(port_, kDrain, 0, 0);
  }
  void Finish(Report report) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      report_ = std::move(report);
    }
    if (!port_ || !PostMessageW(port_, kDone, 0, 0)) SetEvent(handled_);
  }
  // Until the window thread has taken the end in, or can no longer.
  void WaitHandled() {
    while (WaitForSingleObject(handled_, 100) == WAIT_TIMEOUT)
      if (!IsWindow(port_)) break;
  }
  bool Cancelled() const { return cancel_; }
  void RequestCancel() { cancel_ = true; }

  // On the window thread, for the steps the work posts.
  UserInterface& Forward() { return forward_; }
  TFMProgress& Progress() {
    if (!progress_) progress_ = std::make_unique<TFMProgress>([this] { RequestCancel(); });
    return *progress_;
  }
  HWND Owner() const { return owner_; }
  void SetDone(JobDone done) { done_ = std::move(done); }

 private:
  static LRESULT CALLBACK PortProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Drain();
  void Done();

  HWND owner_;
  UserInterface& forward_;
  JobDone done_;  // window thread only: it may hold the window's objects
  HANDLE handled_;
  HWND port_ = nullptr;
  std::atomic<bool> cancel_{false};
  std::mutex mutex_;
  std::deque<std::function<void(Job&)>> queue_;
  bool drainPosted_ = false;
  Report report_;
  std::unique_ptr<TFMProgress> progress_;  // window thread only
};

// What the core talks to while the work runs: questions go to the window
// thread, progress to the job's own window there.
class JobUi : public UserInterface {
 public:
  explicit JobUi(std::shared_ptr<Job> job) : job_(std::move(job)) {}
  bool Ask(vz::Question kind, const std::string& title, const std::string& text) override {
    return job_->Call([&](UserInterface& ui) { return ui.Ask(kind, title, text); });
  }
  bool ConfirmReplace(const ReplaceQuestion& q) override {
    return job_->Call([&](UserInterface& ui) { return ui.ConfirmReplace(q); });
  }
  void TellProblems(const std::string& text) override {
    job_->Call([&](UserInterface& ui) {
      ui.TellProblems(text);
      return true;
    });
  }
  void TellWarnings(const std::string& problems, const std::vector<DriveWarning>& warnings,
                    const std::string& verb) override {
    job_->Call([&](UserInterface& ui) {
      ui.TellWarnings(problems, warnings, verb);
      return true;
    });
  }
  void ProgressBegin(std::size_t files, int passes) override {
    job_->Post([=](Job& j) {
      j.Progress().Begin(j.Owner(), files, passes);
      j.Forward().ProgressBegin(files, passes);
    });
  }
  void ProgressFile(std::size_t index, const std::string& display) override {
    job_->Post([=](Job& j) {
      j.Progress().File(display);
      j.Forward().ProgressFile(index, display);
    });
  }
  void ProgressPass(int done, std::int64_t bytes) override {
    job_->Post([=](Job& j) {
      j.Progress().Pass(done);
      j.Forward().ProgressPass(done, bytes);
    });
  }
  void ProgressFilesDone(std::size_t done) override {
    job_->Post([=](Job& j) {
      j.Progress().FilesDone(done);
      j.Forward().ProgressFilesDone(done);
    });
  }
  void ProgressEnd() override {
    job_->Post([](Job& j) {
      j.Progress().End();
      j.Forward().ProgressEnd();
    });
  }
  bool Cancelled() override { return job_->Cancelled(); }

 private:
  std::shared_ptr<Job> job_;
};

bool Job::OpenPort(const std::shared_ptr<Job>& job) {
  HINSTANCE instance = ModuleInstance();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(instance, kPortClass, &wc) || wc.lpfnWndProc != &Job::PortProc) {
    UnregisterClassW(kPortClass, instance);  // left by an earlier load elsewhere
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Job::PortProc;
    wc.hInstance = instance;
    wc.lpszClassName = kPortClass;
    if (!RegisterClassExW(&wc)) return false;
  }
  auto* held = new std::shared_ptr<Job>(job);
  job->port_ = CreateWindowExW(0, kPortClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, held);
  if (!job->port_) delete held;
  return job->port_ != nullptr;
}

LRESULT CALLBACK Job::PortProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* held = reinterpret_cast<std::shared_ptr<Job>*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!held) return DefWindowProcW(hwnd, message, wParam, lParam);
  Job& job = **held;
  try {
    switch (message) {
      case kCall: {
        // What was shown before the question shows before it.
        job.Drain();
        BoxOwnerScope owner(job.owner_);
        auto* q = reinterpret_cast<Question*>(lParam);
        q->answer = q->ask(job.forward_);
        return 1;
      }
      case kDrain:
        job.Drain();
        return 0;
      case kDone:
        job.Done();
        return 0;
      case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        job.done_ = nullptr;
        job.progress_.reset();
        job.port_ = nullptr;
        SetEvent(job.handled_);
        delete held;
        return DefWindowProcW(hwnd, message, wParam, lParam);
      }
    }
  } catch (...) {
    // Nothing may unwind into the window manager; a question that failed
    // is answered No.
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Job::Drain() {
  std::deque<std::function<void(Job&)>> steps;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    steps.swap(queue_);
    drainPosted_ = false;
  }
  for (auto& step : steps) step(*this);
}

void Job::Done() {
  Drain();
  progress_.reset();
  Report report;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    report = report_;
  }
  JobDone done = std::move(done_);
  done_ = nullptr;
  {
    BoxOwnerScope owner(owner_);
    if (done) done(report);
  }
  done = nullptr;  // what it held goes here, on its own thread
  SetEvent(handled_);
  DestroyWindow(port_);
}

Report RunWork(const JobWork& work) {
  try {
    return work();
  } catch (const std::exception& e) {
    Report r;
    r.Failed("", std::string("stopped by an error: ") + e.what());
    return r;
  }
}

// The job, or null when there was no port to talk through: the work then
// ran here with this thread's own interface, and `done` has run.
// `ended`, when given, receives the work's thread.
std::shared_ptr<Job> Start(HWND owner, JobWork work, JobDone done, bool& threaded, Handle* ended = nullptr) {
  threaded = false;
  auto job = std::make_shared<Job>(owner, Ui(), nullptr);
  if (!Job::OpenPort(job)) {
    Report r = RunWork(work);
    BoxOwnerScope scope(job->Owner());
    if (done) done(r);
    return nullptr;
  }
  job->SetDone(std::move(done));
  auto run = [job, work = std::move(work)] {
    JobUi ui(job);
    ScopedUi scope(ui);
    job->Finish(RunWork(work));
  };
  threaded = StartShellThread(run, [job] { job->WaitHandled(); }, ended);
  if (!threaded) run();  // here and now; the end comes through this thread's messages
  return job;
}

}  // namespace

bool StartJob(HWND owner, JobWork work, JobDone done) {
  bool threaded = false;
  Start(owner, std::move(work), std::move(done), threaded);
  return threaded;
}

Report RunJob(HWND owner, JobWork work) {
  Report result;
  bool over = false;
  bool threaded = false;
  Handle thread;
  std::shared_ptr<Job> job = Start(owner, std::move(work), [&](const Report& r) {
    result = r;
    over = true;
  }, threaded, &thread);
  int quit = -1;
  while (!over) {
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (!over && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The thread is to end: the work stops at its next pass or file,
        // and the quit goes back for the loop that is to see it.
        quit = static_cast<int>(msg.wParam);
        if (job) job->RequestCancel();
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The work's thread is let go before the caller goes on: an outside
  // program may free this module or exit next, and a thread still ending
  // in it then races the unload for the loader's and the runtime's locks.
  // Meanwhile only messages sent from other threads are handled; what is
  // posted stays for the caller's own loop.
  while (thread) {
    HANDLE h = thread.get();
    if (MsgWaitForMultipleObjectsEx(1, &h, INFINITE, QS_SENDMESSAGE, 0) != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  if (quit >= 0) PostQuitMessage(quit);
  return result;
}

long RunningJobs() { return g_running; }

}  // namespace vz::win32
