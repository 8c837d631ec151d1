// Sends N small files of one extension to the store in one call and reports
// the time, for N and 2N: the cost of naming and recording must grow about
// linearly (the second figure at most 2.3 times the first).
//   send_bench [N] [runs]            (POSIX: a temporary directory is drive D:)
//   send_bench N runs D              (Windows: drive D: must be a scratch drive)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/send.h"
#include "store/store.h"

#ifndef _WIN32
#include <unistd.h>

#include <filesystem>
#endif

namespace {

double SendOnce(int n) {
  using namespace vz;
  // A fresh folder of n files, and an empty store.
  std::string dir = "D:\\bench";
  Plat().DeleteItem(dir);
  Plat().DeleteItem("D:\\VAPORIZE");
  EnsureStores();
  Plat().MakeDirectory(dir);
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    std::string p = dir + "\\file" + std::to_string(i) + ".txt";
    Plat().CreateEmptyFile(p);
    paths.push_back(p);
  }
  auto t0 = std::chrono::steady_clock::now();
  SendResult r = SendToStore(paths, kSendQuietly);
  auto t1 = std::chrono::steady_clock::now();
  if (r.report.Count(Outcome::Done) != static_cast<std::size_t>(n)) {
    std::fprintf(stderr, "send_bench: only %zu of %d items were sent\n", r.report.Count(Outcome::Done), n);
    std::exit(1);
  }
  return std::chrono::duration<double>(t1 - t0).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 10000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 3;
#ifndef _WIN32
  char tmpl[] = "/tmp/vz-send-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  setenv("VAPORIZER_VOLUMES", (std::string("D=") + tmpl).c_str(), 1);
#else
  if (argc < 4) {
    std::fprintf(stderr, "usage: send_bench N runs D   (D: is emptied)\n");
    return 2;
  }
#endif
  std::vector<double> small, large;
  for (int r = 0; r < runs; ++r) {
    small.push_back(SendOnce(n));
    large.push_back(SendOnce(2 * n));
  }
  double a = Median(small), b = Median(large);
  std::printf("send %d items: %.3f s (median of %d)\n", n, a, runs);
  std::printf("send %d items: %.3f s (median of %d)\n", 2 * n, b, runs);
  std::printf("growth %d -> %d: %.2fx (linear is 2.00x, limit 2.30x)\n", n, 2 * n, b / a);
#ifndef _WIN32
  std::error_code ec;
  std::filesystem::remove_all(tmpl, ec);
#endif
  return b / a <= 2.3 ? 0 : 1;
}
