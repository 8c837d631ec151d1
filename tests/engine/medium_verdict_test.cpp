#include "engine/medium_verdict.h"

#include <gtest/gtest.h>

#include "common/ui.h"
#include "engine/batch.h"
#include "support/drives.h"
#include "support/recording_platform.h"
#include "support/scripted_ui.h"

namespace vz::test {
namespace {

// The real files, on a medium the test describes.
class DescribedMedium : public RecordingPlatform {
 public:
  MediumFacts medium;
  std::uint32_t fileFlags = 0;
  std::vector<std::string> asked;
  MediumFacts MediumOf(const std::string& path) override {
    asked.push_back(path);
    return medium;
  }
  FileStorage FileStorageOf(const std::string&) override { return {fileFlags, "recorded"}; }
  FileStorage OpenFileStorageOf(File&, const std::string&) override { return {fileFlags, "recorded"}; }
};

MediumFacts Medium(const char* fileSystem, Answer spinning) {
  MediumFacts m;
  m.fileSystem = {Answer::Yes, fileSystem, "recorded"};
  m.device = {Answer::Yes, "sda", "recorded"};
  m.spinning = {spinning, "", "recorded rotational"};
  return m;
}

class MediumWarningTest : public DrivesTest {
 protected:
  Report Vaporize(const MediumFacts& medium, std::uint16_t passes, std::uint32_t fileFlags = 0) {
    platform.medium = medium;
    platform.fileFlags = fileFlags;
    MakeFile(D("w\\a.txt"), "aaaa");
    MakeFile(D("w\\b.txt"), "bbbb");
    MakeFile(D("w\\sub\\c.txt"), "cccc");
    ShredOptions options{passes, 1, 0, 0};
    ScopedPlatform use(platform);
    ScopedUi scoped(ui);
    return VaporizeBatch({D("w")}, BatchEntries::Paths, &options);
  }
  DescribedMedium platform;
  ScriptedUi ui;
};

TEST_F(MediumWarningTest, EachVaporizedFileSaysWhyItsOverwriteCannotBeReliedOn) {
  struct {
    MediumFacts medium;
    std::uint16_t passes;
    std::uint32_t flags;
    const char* warningHas;  // null: no warning
  } cases[] = {
      {Medium("btrfs", Answer::Yes), 1, 0, "cannot be relied on: btrfs is a copy-on-write"},
      {Medium("ext4", Answer::No), 2, 0, "solid state or flash"},
      {Medium("ext4", Answer::Unknown), 1, 0, "unknown whether it reaches the old data"},
      {Medium("ext4", Answer::Yes), 1, kStoreCompressed, "the file is compressed"},
      {Medium("ext4", Answer::Yes), 0, 0, "no overwrite pass was made"},
      {Medium("ext4", Answer::Yes), 3, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.warningHas ? c.warningHas : "in place");
    platform.asked.clear();
    Report r = Vaporize(c.medium, c.passes, c.flags);
    ASSERT_TRUE(r.AllDone());  // nothing refuses to run because of the medium
    for (const char* f : {"w\\a.txt", "w\\b.txt", "w\\sub\\c.txt"}) {
      const ItemReport* item = r.Find(D(f));
      ASSERT_NE(item, nullptr) << f;
      EXPECT_EQ(item->action, c.passes ? "vaporized" : "deleted without an overwrite pass (0 passes)");
      if (c.warningHas) EXPECT_NE(item->warning.find(c.warningHas), std::string::npos) << item->warning;
      else EXPECT_EQ(item->warning, "");
    }
    EXPECT_EQ(r.Find(D("w"))->warning, "");  // a folder holds no data of its own
    // Once per folder, not once per file.
    EXPECT_EQ(platform.asked.size(), c.passes ? 2u : 0u);
  }
}

}  // namespace
}  // namespace vz::test
