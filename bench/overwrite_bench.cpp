// Times overwrite passes over an existing file, the way the batch runs
// them: one Overwriter, one flushed pass per run.
//   overwrite_bench PATH [--runs N] [--block BYTES[,BYTES...]]
// PATH is in the system's form (C:\bench\f.bin); prints one line per block
// size with every run's seconds and their median.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/overwrite.h"
#include "platform/platform.h"

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<std::size_t> ParseSizes(const std::string& text) {
  std::vector<std::size_t> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    char* end = nullptr;
    unsigned long long v = std::strtoull(part.c_str(), &end, 10);
    if (part.empty() || *end != '\0' || v == 0) return {};
    out.push_back(static_cast<std::size_t>(v));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

int Usage() {
  std::fprintf(stderr, "usage: overwrite_bench PATH [--runs N] [--block BYTES[,BYTES...]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string path = argv[1];
  int runs = 5;
  std::vector<std::size_t> blocks{vz::kOverwriteBlockSize};
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1) return Usage();
    } else if (a == "--block" && i + 1 < argc) {
      blocks = ParseSizes(argv[++i]);
      if (blocks.empty()) return Usage();
    } else {
      return Usage();
    }
  }
  auto entry = vz::Plat().FindEntry(path);
  if (!entry) {
    std::fprintf(stderr, "overwrite_bench: %s does not exist\n", path.c_str());
    return 1;
  }
  for (std::size_t block : blocks) {
    vz::Overwriter overwriter(0, block);
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
      auto t0 = std::chrono::steady_clock::now();
      vz::PassResult result = overwriter.Pass(path);
      auto t1 = std::chrono::steady_clock::now();
      if (!result.ok) {
        std::fprintf(stderr, "overwrite_bench: pass failed: %s\n", result.error.c_str());
        return 1;
      }
      times.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
    std::printf("block %zu bytes=%lld median %.4f s runs", block, static_cast<long long>(entry->size),
                Median(times));
    for (double t : times) std::printf(" %.4f", t);
    std::printf("\n");
  }
  return 0;
}
