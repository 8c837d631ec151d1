// Whatever a name holds, sending, shredding, vaporizing and restoring it
// change the one item it names, and not one byte of anything else in the
// tree: a listed name names exactly its entry, and a typed one the item the
// system reads it as, or nothing when Windows reads it as another name.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "common/report.h"
#include "common/text.h"
#include "engine/batch.h"
#include "engine/link_support.h"
#include "platform/platform.h"
#include "store/enum_shred.h"
#include "store/intake.h"
#include "store/send.h"
#include "store/store.h"
#include "support/drives.h"
#include "support/scripted_ui.h"
#include "window/restore.h"

namespace vz::test {
namespace {

struct Entry {
  std::string given;
  std::string target;  // the item it names; empty when it must be refused
  PathOrigin origin;
};

// Names made from bytes the system's form can carry, drawn in a fixed order,
// and the ones that went wrong before: blanks at either end, line breaks,
// dots, names that only trimming tells apart, and on Windows the names that
// other systems write and Win32 reads as others (a dot or a blank at the
// end, a device's name).
std::vector<std::string> Names() {
  std::vector<std::string> pool;
#ifdef _WIN32
  // Characters of UTF-8 text: Latin, Cyrillic, Greek, Japanese, a pair of
  // surrogates, and a full-width colon that a best fit would make ':'.
  for (char c : std::string("aZ09 .-_~!#$%&'()+,;=@[]^`{}")) pool.push_back(std::string(1, c));
  for (const char* c : {"\xC3\xA9", "\xC3\x84", "\xD0\x96", "\xCE\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\xEF\xBC\x9A"})
    pool.push_back(c);
  std::vector<std::string> names = {" lead", "mid dle",   "a.b.c", "\xC3\xA9t\xC3\xA9", "\xD0\x96\xF0\x9F\x98\x80.txt",
                                    "report",  "report.", "tail ",  "aux.c",          "NUL",
                                    "com1.txt"};
#else
  for (int c = 1; c < 256; ++c)
    if (c != '/' && c != '\\') pool.push_back(std::string(1, static_cast<char>(c)));
  std::vector<std::string> names = {"a ", " a", "a", "a.", "a..", "...", ".a", "a\nb", "a\rb", "a\tb",
                                    "\xE9t\xE9", "x\n", "VAPORIZE.txt", "a:b"};
#endif
  // Under Wine, where each step of each road is a round trip to its server,
  // fewer drawn names, and each of the two builds takes its own half of
  // them: the listed ones above are all kept.
  std::mt19937 random(16);
  for (int i = 1, drawn = UnderWine() ? 8 : 14; i <= drawn; ++i) {
    std::string n;
    for (std::size_t len = 1 + random() % 7; n.size() < len;) n += pool[random() % pool.size()];
    if (OursUnderWine(i)) names.push_back(n);
  }
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (auto n : names) {
#ifdef _WIN32
    if (n.find_first_not_of(". ") == std::string::npos || !seen.insert(ToUpper(n)).second) continue;
#else
    if (n == "." || n == ".." || !seen.insert(n).second) continue;
#endif
    out.push_back(n);
  }
  return out;
}

class ExactNameTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    EnsureStores();
  }

  std::map<std::string, std::string> Tree() { return Snapshot({D("t"), E("t")}); }

  std::vector<Entry> Entries(const std::vector<std::string>& names) {
    std::vector<Entry> entries;
    for (const std::string& root : {D("t\\"), E("t\\")}) {
      for (const auto& n : names) {
        MakeFile(root + n, "content of " + n);
        MakeFile(root + "sub\\" + n, "deeper " + n);
        entries.push_back({root + n, root + n, PathOrigin::Listed});
        entries.push_back({" " + root + n, "", PathOrigin::Typed});
#ifdef _WIN32
        // Typed, a name is what Windows reads it as, which must be what was
        // written: the reading of "report." is "report", another item.
        for (const char* tail : {"", ".", " ", ". ."}) {
          std::string given = root + n + tail;
          entries.push_back({given, Win32Reading(given) == given ? given : "", PathOrigin::Typed});
        }
#else
        // ".." after a link climbs from where the link leads.
        entries.push_back({root + "lnk\\..\\" + n, root + "sub\\" + n, PathOrigin::Typed});
#endif
      }
#ifndef _WIN32
      EXPECT_TRUE(MakeSymlink(root + "sub\\deeper", root + "lnk"));
      MakeDir(root + "sub\\deeper");
#endif
    }
    return entries;
  }

  // The tree must be what it was, less the target when it went.
  void ExpectOnly(const std::map<std::string, std::string>& before, const std::string& gone, const char* step) {
    std::map<std::string, std::string> expected = before;
    if (!gone.empty()) {
      ASSERT_EQ(expected.erase(gone), 1u) << step << ": the target was not there";
    }
    std::map<std::string, std::string> after = Tree();
    EXPECT_EQ(after.size(), expected.size()) << step;
    for (const auto& [path, content] : expected) {
      auto it = after.find(path);
      EXPECT_TRUE(it != after.end() && it->second == content) << step << ": " << path << " changed";
    }
  }

  static std::string StoredOf(const SendResult& r) {
    for (const auto& i : r.report.Items())
      if (i.outcome == Outcome::Done && !i.target.empty()) return i.target;
    return {};
  }
};

TEST_F(ExactNameTest, EveryRoadChangesTheNamedItemAndNothingElse) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  std::vector<Entry> entries = Entries(Names());
  const std::map<std::string, std::string> tree = Tree();
  for (const auto& e : entries) {
    SCOPED_TRACE(std::string(e.origin == PathOrigin::Listed ? "listed" : "typed") + " \"" + e.given + "\"");
    const std::string content = e.target.empty() ? "" : tree.at(e.target);

    // Shred where it is.
    Intake in = TakeIn({e.given}, nullptr, Road::InPlace, e.origin);
    EXPECT_EQ(in.direct.empty(), e.target.empty());
    VaporizeBatch(PathsOf(in.direct), BatchEntries::Paths);
    ExpectOnly(tree, e.target, "shred");
    if (!e.target.empty()) MakeFile(e.target, content);

    // Send, then restore what went to a store, then send and vaporize it.
    const unsigned flags = e.origin == PathOrigin::Listed ? kSendListed : kSendQuietly;
    SendResult sent = SendToStore({e.given}, flags);
    std::string stored = StoredOf(sent);
    bool kept = !stored.empty();
    bool gone = kept || (sent.report.Count(Outcome::Done) == 1 && !e.target.empty());
    EXPECT_EQ(gone, !e.target.empty() && sent.report.AllDone()) << "refused: " << sent.report.Items()[0].detail;
    ExpectOnly(tree, gone ? e.target : "", "send");
    if (!kept) {
      if (gone) MakeFile(e.target, content);
      continue;
    }
    auto records = ReadIndex(stored[0]);
    ASSERT_TRUE(records && !records->empty() && records->back().Sound());
    EXPECT_EQ(records->back().originalPath, e.target);
    EXPECT_TRUE(RestoreItems({{records->back().originalPath, stored}}).AllDone());
    ExpectOnly(tree, "", "restore");

    stored = StoredOf(SendToStore({e.given}, flags));
    EXPECT_TRUE(VaporizeBatch({stored}, BatchEntries::StoredItems).AllDone());
    EXPECT_FALSE(PathExists(stored));
    ExpectOnly(tree, e.target, "vaporize");
    MakeFile(e.target, content);
  }
}

// An index edited by hand, or bent by an older version, names things
// outside the store: none of it is listed, and vaporizing or restoring
// what its records name changes nothing outside the stores.
TEST_F(ExactNameTest, RecordsThatPointOutsideTheStoreAreNeverActedOn) {
  ScriptedUi ui;
  ScopedUi scope(ui);
  MakeFile(D("docs\\p.txt"), "precious");
  MakeFile(D("t\\a.txt"), "a");
  MakeFile(DS("info.shr"),
           Own("D:\\t\\a.txt\r\nD:\\docs\r\n"
           "D:\\t\\b.txt\r\nD:\\VAPORIZE\\..\\docs\r\n"
           "D:\\VAPORIZE\\x.\r\nD:\\docs\\p.txt\r\n"
           "D:\\t\r\nD:\\VAPORIZE\\info.shr\r\n"
           "D:\\t\\a.txt\r\nD:\\VAPORIZE\r\n"
           "D:\\docs\r\n"));
  const auto before = Snapshot({D("docs"), D("t")});
  const std::string index = Slurp(DS("info.shr"));
  EXPECT_EQ(ShredEnumeration().Count(), 0u);
  std::vector<std::string> stored;
  std::vector<RestoreEntry> entries;
  auto records = ReadIndex('D');
  ASSERT_TRUE(records.has_value());
  for (const auto& r : *records) {
    EXPECT_FALSE(r.Sound()) << r.originalPath << " / " << r.storedPath;
    stored.push_back(r.storedPath);
    entries.push_back({r.originalPath, r.storedPath});
  }
  ASSERT_EQ(stored.size(), 7u);
  EXPECT_EQ(VaporizeBatch(stored, BatchEntries::StoredItems).Count(Outcome::Failed), stored.size());
  EXPECT_EQ(RestoreItems(entries).Count(Outcome::Done), 0u);
  PruneIndex();
  EXPECT_EQ(Snapshot({D("docs"), D("t")}), before);
  EXPECT_EQ(Slurp(DS("info.shr")), index) << "damaged records stay for the user to see";
}

}  // namespace
}  // namespace vz::test
