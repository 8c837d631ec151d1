#include "engine/overwrite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/drives.h"
#include "engine/link_support.h"
#include "support/recording_platform.h"
#include "support/shared_values.h"

namespace vz::test {
namespace {

// Content that differs from every fill byte at every position.
std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(0x30 + (i * 7) % 61);
  return s;
}

class OverwriteTest : public DrivesTest {};

TEST_F(OverwriteTest, EveryByteTakesTheFillByteAndTheLengthStays) {
  const std::size_t block = kOverwriteBlockSize;
  // The largest is written around the system's cache where it allows that,
  // its tail through it.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{1025}, block - 1, block, block + 1,
                           3 * block + 7, static_cast<std::size_t>(kDirectFrom) + 4097}) {
    for (unsigned fill : {0x00u, 0xFFu}) {
      SCOPED_TRACE("size " + std::to_string(size) + " fill " + std::to_string(fill));
      MakeFile(D("f.bin"), Pattern(size));
      ASSERT_TRUE(OverwriteFile(D("f.bin"), static_cast<std::uint8_t>(fill)));
      std::string after = Slurp(D("f.bin"));
      ASSERT_EQ(after.size(), size);
      EXPECT_TRUE(AllBytesAre(after, static_cast<unsigned char>(fill)));
      // A second pass writes the same values again.
      ASSERT_TRUE(OverwriteFile(D("f.bin"), static_cast<std::uint8_t>(fill)));
      after = Slurp(D("f.bin"));
      EXPECT_EQ(after.size(), size);
      EXPECT_TRUE(AllBytesAre(after, static_cast<unsigned char>(fill)));
    }
  }
}

TEST_F(OverwriteTest, TheLastBlockIsWrittenExactlyAndFlushedOnceAtTheEnd) {
  MakeFile(D("f.bin"), Pattern(1025));
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  Overwriter small(0xAB, 1024);
  PassResult r = small.Pass(D("f.bin"));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.bytesWritten, 1025);
  auto writes = rec.CallsOf("WriteAt", "f.bin");
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].offset, 0);
  EXPECT_EQ(writes[0].size, 1024u);
  EXPECT_EQ(writes[1].offset, 1024);
  EXPECT_EQ(writes[1].size, 1u);
  std::vector<std::string> ops = rec.Ops("f.bin");
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.back(), "Flush") << "the pass ends with its flush";
  EXPECT_EQ(rec.Count("Flush", "f.bin"), 1u);
  EXPECT_EQ(rec.Count("OpenExclusive", "f.bin"), 1u);
  std::string after = Slurp(D("f.bin"));
  EXPECT_EQ(after.size(), 1025u);
  EXPECT_TRUE(AllBytesAre(after, 0xAB));
}

// A pass takes the file's named streams along, each written whole and
// flushed with the file; one it cannot open is named, and the pass stands.
TEST_F(OverwriteTest, APassTakesTheNamedStreamsAlongAndNamesOneItCannotOpen) {
  MakeFile(D("f.bin"), "abc");
  RecordingPlatform rec;
  rec.AddStream(D("f.bin"), "Zone.Identifier", 40);
  rec.AddStream(D("f.bin"), "kept", 10);
  rec.FailOn("OpenStream", ":kept");
  ScopedPlatform use(rec);
  PassResult r = Overwriter(0x11).Pass(D("f.bin"));
  EXPECT_TRUE(r.ok) << r.error;
  auto writes = rec.CallsOf("WriteAt", ":Zone.Identifier");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].size, 40u);
  EXPECT_EQ(rec.Count("Flush", ":Zone.Identifier"), 1u);
  EXPECT_EQ(rec.Count("WriteAt", ":kept"), 0u);
  EXPECT_NE(r.warning.find("its named stream \"kept\" could not be opened"), std::string::npos) << r.warning;
  EXPECT_EQ(rec.virtualBytes, std::vector<unsigned char>(2, 0x11));
}

TEST_F(OverwriteTest, AnEmptyFileNeedsNoWriteButIsStillFlushed) {
  MakeFile(D("empty"), "");
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  EXPECT_TRUE(OverwriteFile(D("empty"), 0));
  EXPECT_EQ(rec.Count("WriteAt"), 0u);
  EXPECT_EQ(rec.Count("Flush", "empty"), 1u);
  EXPECT_EQ(Slurp(D("empty")), "");
}

TEST_F(OverwriteTest, PositionsBeyondFourGigabytesAreReached) {
  const std::int64_t size = (std::int64_t{5} << 30) + 3;
  RecordingPlatform rec;
  rec.AddVirtualFile(D("huge.bin"), size);
  ScopedPlatform use(rec);
  PassResult r = Overwriter(0x5A).Pass(D("huge.bin"));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.bytesWritten, size);
  std::int64_t expected = 0;
  for (const auto& w : rec.CallsOf("WriteAt", "huge.bin")) {
    ASSERT_EQ(w.offset, expected) << "blocks follow each other without gap or overlap";
    ASSERT_GT(w.size, 0u);
    expected += static_cast<std::int64_t>(w.size);
  }
  EXPECT_EQ(expected, size) << "the last byte is written and none beyond";
  for (unsigned char b : rec.virtualBytes) ASSERT_EQ(b, 0x5A);
}

TEST_F(OverwriteTest, WrittenRangesGoToTheDeviceWhileThePassRunsAndTheFlushStillEndsIt) {
  const std::int64_t size = 3 * kWriteBackChunk + 12345;
  RecordingPlatform rec;
  rec.AddVirtualFile(D("big.bin"), size);
  ScopedPlatform use(rec);
  ASSERT_TRUE(Overwriter(0).Pass(D("big.bin")).ok);
  auto early = rec.CallsOf("StartWriteBack", "big.bin");
  ASSERT_EQ(early.size(), 3u);
  for (std::size_t i = 0; i < early.size(); ++i) {
    EXPECT_EQ(early[i].offset, static_cast<std::int64_t>(i) * kWriteBackChunk);
    EXPECT_EQ(static_cast<std::int64_t>(early[i].size), kWriteBackChunk);
  }
  std::vector<std::string> ops = rec.Ops("big.bin");
  EXPECT_EQ(ops.back(), "Flush") << "the tail and everything else is flushed at the end";

  // A system that takes no such request changes nothing.
  RecordingPlatform refusing;
  refusing.AddVirtualFile(D("big.bin"), size);
  refusing.FailOn("StartWriteBack");
  ScopedPlatform use2(refusing);
  PassResult r = Overwriter(0).Pass(D("big.bin"));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.bytesWritten, size);
}

TEST_F(OverwriteTest, AFailedFlushFailsThePass) {
  MakeFile(D("f.bin"), Pattern(3000));
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  rec.FailOn("Flush", "f.bin");
  PassResult r = Overwriter(0).Pass(D("f.bin"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("flush"), std::string::npos) << r.error;
  EXPECT_FALSE(OverwriteFile(D("f.bin"), 0));
}

TEST_F(OverwriteTest, AWriteFailingPartWayKeepsTheLengthAndWhatWasWritten) {
  const std::string before = Pattern(3000);
  MakeFile(D("f.bin"), before);
  RecordingPlatform rec;
  ScopedPlatform use(rec);
  rec.FailOn("WriteAt", "f.bin", 1);
  PassResult r = Overwriter(0, 1024).Pass(D("f.bin"));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(rec.Count("Flush"), 0u);
  std::string after = Slurp(D("f.bin"));
  ASSERT_EQ(after.size(), 3000u);
  EXPECT_TRUE(AllBytesAre(after.substr(0, 1024), 0));
  EXPECT_EQ(after.substr(1024), before.substr(1024));
}

TEST_F(OverwriteTest, FilesThatCannotBeOpenedExclusivelyAreLeftUnchanged) {
  const std::string before = Pattern(5000);
  MakeFile(D("held.bin"), before);
  {
    auto holder = Plat().OpenExclusive(D("held.bin"));
    ASSERT_NE(holder, nullptr);
    EXPECT_FALSE(OverwriteFile(D("held.bin"), 0));
  }
  EXPECT_EQ(Slurp(D("held.bin")), before);

  MakeFile(D("ro.bin"), before);
  ASSERT_TRUE(Plat().SetAttributes(D("ro.bin"), kAttrReadOnly));
  EXPECT_FALSE(OverwriteFile(D("ro.bin"), 0));
  EXPECT_EQ(Slurp(D("ro.bin")), before);

  EXPECT_FALSE(OverwriteFile(D("missing.bin"), 0));
  MakeDir(D("folder"));
  EXPECT_FALSE(OverwriteFile(D("folder"), 0));
}

TEST_F(OverwriteTest, ALinkIsNeverOpenedSoItsTargetStays) {
  const std::string content = Pattern(2000);
  MakeFile(D("outside\\doc.txt"), content);
  MakeDir(D("store"));
  RecordingPlatform rec;
  rec.AddFakeLink(D("store\\link.txt"), D("outside\\doc.txt"), false);
  {
    ScopedPlatform use(rec);
    PassResult r = Overwriter(0).Pass(D("store\\link.txt"));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("link"), std::string::npos) << r.error;
  }
  EXPECT_EQ(rec.Count("OpenExclusive"), 0u);
  EXPECT_EQ(Slurp(D("outside\\doc.txt")), content);

  if (CanMakeSymlinks()) {
    ASSERT_TRUE(MakeSymlink(D("outside\\doc.txt"), D("store\\real-link.txt")));
    EXPECT_FALSE(OverwriteFile(D("store\\real-link.txt"), 0));
    EXPECT_EQ(Slurp(D("outside\\doc.txt")), content);
  }
}

TEST_F(OverwriteTest, ContentSharedWithAnotherHardLinkIsNotOverwritten) {
  const std::string content = Pattern(1500);
  MakeFile(D("keep\\a.txt"), content);
  MakeDir(D("store"));
  ASSERT_TRUE(MakeHardLink(D("keep\\a.txt"), D("store\\b.txt")));
  ASSERT_EQ(Plat().LinkCount(D("store\\b.txt")), 2u);
  PassResult r = Overwriter(0).Pass(D("store\\b.txt"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("link"), std::string::npos) << r.error;
  EXPECT_EQ(Slurp(D("keep\\a.txt")), content);
}

}  // namespace
}  // namespace vz::test
