// A file is cut and deleted only once its passes are on the device. Watched
// at every step that cuts a file or pushes its pages out on its own (its
// extents asked with a sync, its read back past the caches, its blocks
// handed back, its cut, its delete): every pass written over it was flushed
// first, as the calls show, and the system holds none of its pages
// unwritten, as the page cache shows. A flush that only says it flushed
// fails the second; a batch that cuts before its flush fails both.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/report.h"
#include "common/text.h"
#include "common/ui.h"
#include "engine/batch.h"
#include "store/intake.h"
#include "support/drives.h"
#include "support/page_cache.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

class FlushWatch : public RecordingPlatform {
 public:
  std::function<std::string(const std::string&)> hostOf;
  std::vector<std::string> unflushed;  // what went wrong, one line each
  int pagesChecked = 0;                // steps at which the page cache answered

  bool Refuse(const std::string& op, const std::string& path, std::int64_t offset = 0,
              std::size_t size = 0) override {
    const std::string key = ToUpper(path);
    if (op == "WriteAt") {
      written_[key] = true;
    } else if (op == "Flush") {
      written_[key] = false;
    } else if ((op == "Extents" || op == "ReadBack" || op == "Discard" || op == "Truncate" || op == "Delete") &&
               written_.count(key)) {
      if (written_[key]) unflushed.push_back(op + " " + path + ": a pass over it was never flushed");
      if (auto pages = UnwrittenPages(hostOf(path))) {
        ++pagesChecked;
        if (*pages > 0)
          unflushed.push_back(op + " " + path + ": " + std::to_string(*pages) + " of its pages are not on the device");
      }
    }
    return RecordingPlatform::Refuse(op, path, offset, size);
  }

 private:
  std::map<std::string, bool> written_;  // upper-case path -> written since its last flush
};

class FlushOrderTest : public DrivesTest {};

TEST_F(FlushOrderTest, NoFileIsCutOrDeletedBeforeItsPassesAreOnTheDevice) {
  struct Case {
    std::uint16_t passes;
    std::uint8_t fill;
    bool verify;
  } cases[] = {{1, 0, false}, {2, 0xFF, false}, {1, 0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE("passes " + std::to_string(c.passes) + (c.verify ? ", read back" : ""));
    std::vector<std::string> given{D("w\\t0"), D("w\\t1"), D("w\\big0.bin"), D("w\\big1.bin")};
    for (int t = 0; t < 2; ++t)
      for (int i = 0; i < 20; ++i) MakeFile(D("w\\t" + std::to_string(t) + "\\f" + std::to_string(i) + ".txt"), std::string(1000, 'a' + i));
    MakeFile(D("w\\big0.bin"), std::string(70000, 'b'));
    MakeFile(D("w\\big1.bin"), std::string(70000, 'c'));
    for (int i = 0; i < 10; ++i) {
      given.push_back(D("w\\s" + std::to_string(i) + ".txt"));
      MakeFile(given.back(), std::string(1000, 's'));
    }
    FlushWatch watch;
    watch.hostOf = [](const std::string& p) { return HostPath(p); };
    ScriptedUi ui;
    Report r;
    {
      ScopedPlatform use(watch);
      ScopedUi scoped(ui);
      ShredOptions o{c.passes, 1, c.fill, 0};
      RunOptions run;
      run.verify = c.verify;
      r = VaporizeItems(TakeIn(given, nullptr, Road::InPlace, PathOrigin::Listed).direct, &o, &run);
    }
    EXPECT_TRUE(r.AllDone());
    for (const auto& p : given) EXPECT_FALSE(PathExists(p)) << p;
    for (const auto& u : watch.unflushed) ADD_FAILURE() << u;
#ifdef __linux__
    // Each of the 52 files is handed back, cut and deleted at least.
    EXPECT_GE(watch.pagesChecked, 52 * 3) << "the page cache was not asked";
#endif
  }
}

}  // namespace
}  // namespace vz::test
