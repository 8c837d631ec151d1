// Names as people have them: every script, characters past U+FFFF,
// look-alikes that a best fit would turn into another name, long paths;
// and index files that earlier versions wrote in the ANSI code page.
#include <gtest/gtest.h>

#include "common/text.h"
#include "engine/batch.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/index_edit.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"
#include "window/restore.h"

namespace vz::test {
namespace {

const std::string kMark = "\xEF\xBB\xBF";

class UnicodeNamesTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }
  static std::string Index() { return Slurp(DS("info.shr")); }
  // Whether this system keeps index lines in the Windows-1252 code page,
  // as the Windows suites run.
  static bool Ansi1252() {
#ifdef _WIN32
    return Plat().ToCodePage("\xC3\xA9") == std::optional<std::string>("\xE9");
#else
    return false;
#endif
  }
  ScriptedUi ui;
};

struct Name {
  std::string name;  // UTF-8
  bool ansi;         // has an exact form in Windows-1252
};

// Cyrillic, Greek, Japanese, a pair of surrogates, characters that a best
// fit turns into a plain letter or '/' or '"', and Latin-1 letters.
const Name kNames[] = {
    {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt", false},  // Привет.txt
    {"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1", false},              // Ωμέγα (a folder)
    {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", false},              // 日本語.txt
    {"\xF0\x9F\x98\x80 smile.doc", false},                            // 😀 smile.doc
    {"\xEF\xBC\xA1.txt", false},                                      // Ａ.txt, beside A.txt
    {"\xEF\xAC\x81le.txt", false},                                    // ﬁle.txt
    {"a\xE2\x88\x95" "b\xEF\xBC\x82.txt", false},                     // a∕b＂.txt
    {"\xC4\x80" "da.txt", false},                                     // Āda.txt
    {"caf\xC3\xA9 na\xC3\xAFve \xC3\x9C.txt", true},                  // café naïve Ü.txt
};

TEST_F(UnicodeNamesTest, EveryNameIsSentListedRestoredAndVaporizedAsItIs) {
  ScopedUi scope(ui);
  // A look-alike's plain twin must never be touched.
  MakeFile(D("Work\\A.txt"), "plain twin");
  // A path past 259 characters, with a wide name at its end.
  std::string deep = D("Work");
  for (int i = 0; i < 3; ++i) deep += "\\" + std::string(95, static_cast<char>('p' + i));
  std::vector<std::string> paths;
  for (const auto& n : kNames) paths.push_back(D("Work\\") + n.name);
  paths.push_back(deep + "\\" + kNames[0].name);
  ASSERT_GE(SystemLength(paths.back()), 300u);
  for (const auto& p : paths) {
    if (ExtensionOf(p).empty())
      MakeFile(p + "\\inner.txt", "inside " + p);
    else
      MakeFile(p, "content of " + p);
  }
  const auto tree = Snapshot({D("Work")});

  SendResult sent = SendToStore(paths, kSendQuietly);
  ASSERT_TRUE(sent.report.AllDone()) << sent.report.Items()[0].detail;
  // Each record in the code page where both its lines fit it, else in
  // UTF-8 with the mark on both lines.
  std::string expected;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::string stored = sent.report.Items()[i].target;
    bool ansi = i < std::size(kNames) ? kNames[i].ansi : false;
    if (!Ansi1252())
      expected += paths[i] + "\r\n" + stored + "\r\n";
    else if (ansi)
      expected += *Plat().ToCodePage(paths[i]) + "\r\n" + stored + "\r\n";
    else
      expected += kMark + paths[i] + "\r\n" + kMark + stored + "\r\n";
  }
  EXPECT_EQ(Index(), expected);

  std::vector<StoredItem> listed = ListStoredItems(nullptr);
  ASSERT_EQ(listed.size(), paths.size());
  std::vector<RestoreEntry> entries;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(listed[i].originalPath, paths[i]);
    EXPECT_EQ(listed[i].displayName, FileNamePart(paths[i]));
    entries.push_back({listed[i].originalPath, listed[i].storedPath});
  }
  EXPECT_EQ(Snapshot({D("Work")}), (std::map<std::string, std::string>{{D("Work\\A.txt"), "plain twin"}}));

  EXPECT_TRUE(RestoreItems(entries).AllDone());
  EXPECT_EQ(Snapshot({D("Work")}), tree);
  EXPECT_EQ(Index(), "");

  sent = SendToStore(paths, kSendQuietly);
  std::vector<std::string> stored;
  for (const auto& i : sent.report.Items()) stored.push_back(i.target);
  EXPECT_TRUE(VaporizeBatch(stored, BatchEntries::StoredItems).AllDone());
  EXPECT_TRUE(ListStoredItems(nullptr).empty());
  EXPECT_EQ(Snapshot({D("Work"), DS()}), (std::map<std::string, std::string>{
                                                      {D("Work\\A.txt"), "plain twin"},
                                                      {DS("desktop.ini"), Slurp(DS("desktop.ini"))},
                                                      {DS("info.shr"), ""}}));
}

// An index as earlier versions wrote it, in the ANSI code page (here
// Windows-1252; on POSIX names are bytes and read as they are).
TEST_F(UnicodeNamesTest, AnIndexOfEarlierVersionsReadsListsAndRestoresAsBefore) {
  ScopedUi scope(ui);
  const std::string old = Own("D:\\Work\\caf\xE9\r\nD:\\VAPORIZE\\D1\r\nD:\\Work\\\xDCn\xEF" "c\xF6" "d\xE9.txt\r\nD:\\VAPORIZE\\D2.txt\r\n");
  MakeFile(DS("D1\\x.txt"), "in the folder");
  MakeFile(DS("D2.txt"), "unicode");
  MakeFile(DS("info.shr"), old);
#ifdef _WIN32
  if (!Ansi1252()) GTEST_SKIP() << "the ANSI code page is not Windows-1252";
  const std::string cafe = D("Work\\caf\xC3\xA9"), unicode = D("Work\\\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9.txt");
#else
  const std::string cafe = D("Work\\caf\xE9"), unicode = D("Work\\\xDCn\xEF" "c\xF6" "d\xE9.txt");
#endif
  std::vector<StoredItem> listed = ListStoredItems(nullptr);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].originalPath, cafe);
  EXPECT_EQ(listed[1].displayName, FileNamePart(unicode));
  EXPECT_EQ(RecordedNames('D'), (std::set<std::string>{"D1", "D2.TXT"}));

  // A new record whose names fit the code page is written in it; one whose
  // names do not, in UTF-8; the old lines stay byte for byte.
  MakeFile(D("Work\\na\xC3\xAFve.txt"), "n");
  MakeFile(D("Work\\\xD0\x96.txt"), "zh");
  EXPECT_TRUE(SendToStore({D("Work\\na\xC3\xAFve.txt"), D("Work\\\xD0\x96.txt")}, kSendQuietly).report.AllDone());
  const std::string naive = Ansi1252() ? "na\xEFve.txt" : "na\xC3\xAFve.txt";
  const std::string mark = Ansi1252() ? kMark : "";
  const std::string added = "D:\\Work\\" + naive + Own("\r\nD:\\VAPORIZE\\D1.txt\r\n") + mark + "D:\\Work\\\xD0\x96.txt\r\n" +
                            mark + Own("D:\\VAPORIZE\\D3.txt\r\n");
  EXPECT_EQ(Index(), old + added);

  EXPECT_TRUE(RestoreItems({{listed[1].originalPath, listed[1].storedPath}}).AllDone());
  EXPECT_EQ(Slurp(unicode), "unicode");
  EXPECT_EQ(Index(), Own("D:\\Work\\caf\xE9\r\nD:\\VAPORIZE\\D1\r\n") + added);
  EXPECT_TRUE(VaporizeBatch({listed[0].storedPath}, BatchEntries::StoredItems).AllDone());
  EXPECT_EQ(Index(), added);
}

// Lines cut short or damaged in either encoding: the tail repair, the
// reader and the claims tell the encodings apart by each line's start.
TEST_F(UnicodeNamesTest, RepairsDropsAndDamageWorkInBothEncodings) {
  const std::string wide = kMark + "D:\\\xD0\x96.txt\r\n" + kMark + Own("D:\\VAPORIZE\\D1.txt\r\n");
  const std::string plain = Own("D:\\a.txt\r\nD:\\VAPORIZE\\D2.txt\r\n");
  MakeFile(DS("D1.txt"), "1");
  MakeFile(DS("D2.txt"), "2");
  struct Case {
    std::string index, repaired;
  } cases[] = {
      {wide + plain + kMark + "D:\\\xD0\x96", wide + plain},       // a last line without its end
      {plain + wide + kMark + "D:\\b.txt\r\n", plain + wide},      // an original path without its stored path
      {plain + wide + kMark + "\r\n" + kMark, plain + wide},       // marks alone are blank lines
      {wide + plain, wide + plain},
  };
  for (const auto& c : cases) {
    MakeFile(DS("info.shr"), c.index);
    EXPECT_TRUE(RepairIndexTail('D'));
    EXPECT_EQ(Index(), c.repaired);
  }
  EXPECT_TRUE(DropRecords('D', {DS("d2.TXT")}));
  EXPECT_EQ(Index(), wide);
  auto claims = ClaimStoredItems({DS("D1.txt")}, nullptr);
  EXPECT_FALSE(claims[0].claimed.empty());
  EXPECT_EQ(claims[0].original, D("\xD0\x96.txt"));
  EXPECT_EQ(Index(), "");

  // A marked line that is no UTF-8 is damaged and stays, whatever else it
  // names; its pairing still holds.
  const std::string broken = kMark + Own("D:\\\xFF.txt\r\nD:\\VAPORIZE\\D2.txt\r\n");
  auto records = ParseIndex('D', broken + wide);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_NE(records[0].damage.find("not UTF-8"), std::string::npos);
  EXPECT_TRUE(records[1].Sound());
  EXPECT_EQ(records[1].originalPath, D("\xD0\x96.txt"));
  // Nor is a path that the system would read only up to a NUL in it.
  const char nul[] = "\xEF\xBB\xBF" "D:\\a\0\\..\\b\r\nD:\\VAPORIZE\\D2.txt\r\n";
  records = ParseIndex('D', Own(std::string(nul, sizeof nul - 1)));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].damage.find("NUL"), std::string::npos);
}

}  // namespace
}  // namespace vz::test
