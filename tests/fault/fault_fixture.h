// What the fault and crash tests share: test items whose files carry
// markers, stores laid out as sending leaves them, and the checks that no
// user item vanished, sits in a store unseen or is shown under another
// item's name.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/report.h"
#include "common/text.h"
#include "fault/store_audit.h"
#include "platform/platform.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {

struct TestItem {
  std::string original;
  bool folder = false;
};

inline const std::vector<std::string> kFolderParts = {"x.txt", "sub\\y.txt"};
inline const TestItem kA{"D:\\Work\\a.txt"};
inline const TestItem kB{"D:\\Work\\b.doc"};
inline const TestItem kF{"D:\\Work\\Folder", true};
inline const TestItem kOld{"D:\\Old\\a.txt"};   // sent before the operation under test
inline const TestItem kKeep{"D:\\Keep\\k.txt"};  // never given to anything
inline const char* const kExisting = "existing D:\\Work\\b.doc";

inline std::string Join(const std::string& base, const std::string& part) { return part.empty() ? base : base + "\\" + part; }

// A related report entry: the path itself, or something beneath it.
inline bool Related(const std::string& reported, const std::string& path) {
  return EqualsNoCase(reported, path) || StartsWithNoCase(reported, path + "\\") ||
         StartsWithNoCase(path, reported + "\\");
}
inline bool ReportsTrouble(const Report& r, const std::string& path) {
  for (const auto& i : r.Items())
    if (i.outcome != Outcome::Done && Related(i.path, path)) return true;
  return false;
}
inline const ItemReport* DoneEntry(const Report& r, const std::string& path) {
  for (const auto& i : r.Items())
    if (i.outcome == Outcome::Done && EqualsNoCase(i.path, path)) return &i;
  return nullptr;
}
inline std::string Dump(const Report& r) {
  std::string s;
  for (const auto& i : r.Items()) {
    s += "  " + i.path + ": " + (i.outcome == Outcome::Done ? i.action : i.outcome == Outcome::Failed ? "FAILED" : "SKIPPED");
    if (!i.detail.empty()) s += " (" + i.detail + ")";
    if (!i.target.empty()) s += " -> " + i.target;
    s += "\n";
  }
  return s;
}
inline std::string Dump(const Audit& a) {
  std::string s = "  shown:\n";
  for (const auto& i : a.shown) s += "    " + i.original + " -> " + i.stored + "\n";
  s += "  files:\n";
  for (const auto& m : a.markers) s += "    " + m.location + " holds " + m.original + "|" + m.part + "\n";
  for (const auto& u : a.unshownStoreEntries) s += "  unseen in a store: " + u + "\n";
  return s;
}

// Where an item's files are after the operation.
enum class Place { Original, Stored, Gone, Partly };
struct Located {
  Place place = Place::Gone;
  std::string storedTop;
  std::vector<std::string> problems;
};

inline Located Locate(const Audit& a, const TestItem& item) {
  Located out;
  std::vector<FoundMarker> found = a.Of(item.original);
  if (found.empty()) return out;
  const std::size_t parts = item.folder ? kFolderParts.size() : 1;
  int atOriginal = 0, inStore = 0;
  for (const auto& m : found) {
    std::string top = StoreTopOf(m.location);
    if (top.empty()) {
      if (EqualsNoCase(m.location, Join(item.original, m.part)))
        ++atOriginal;
      else
        out.problems.push_back(item.original + ": a file of it is at an unexpected place: " + m.location);
      continue;
    }
    ++inStore;
    if (!out.storedTop.empty() && !EqualsNoCase(out.storedTop, top))
      out.problems.push_back(item.original + ": its files are in two stored items");
    out.storedTop = top;
    if (!EqualsNoCase(m.location, Join(top, m.part)))
      out.problems.push_back(item.original + ": a file of it is at an unexpected place in the store: " + m.location);
    const ShownItem* shown = a.ShownAt(top);
    if (!shown)
      out.problems.push_back(item.original + ": it sits in the store as " + top + " but no item shows it");
    else if (Trim(shown->original) != item.original)
      out.problems.push_back(top + " holds " + item.original + " but is shown as " + shown->original);
  }
  if (atOriginal && inStore) out.problems.push_back(item.original + ": split between its place and the store");
  bool whole = found.size() == parts;
  out.place = !whole ? Place::Partly : inStore ? Place::Stored : Place::Original;
  return out;
}

class StoreFixture : public DrivesTest {
 protected:
  // A fresh set of drives for the next run.
  void Fresh() {
    DrivesTest::TearDown();
    DrivesTest::SetUp();
  }

  static void MakeItem(const TestItem& i) {
    if (!i.folder) return MakeFile(i.original, MarkerContent(i.original, ""));
    for (const auto& p : kFolderParts) MakeFile(Join(i.original, p), MarkerContent(i.original, p));
  }

  static void RemoveReal(const std::string& path) { ASSERT_TRUE(Plat().RemoveFile(path)) << path; }

  // Puts items into D:'s store as sending would leave them (names, files,
  // records), without the moves, which are slow under Wine and not what is
  // on trial in these runs. Returns their stored paths.
  static std::vector<std::string> StoreReal(const std::vector<TestItem>& items) {
    std::vector<std::string> stored;
    std::map<std::string, int> numbers;
    std::string index;
    for (const auto& i : items) {
      std::string ext = i.folder ? std::string() : ExtensionOf(i.original);
      std::string path = Own("D:\\VAPORIZE\\D") + std::to_string(++numbers[ToUpper(ext)]) + ext;
      if (!i.folder) MakeFile(path, MarkerContent(i.original, ""));
      for (const auto& p : i.folder ? kFolderParts : std::vector<std::string>{})
        MakeFile(Join(path, p), MarkerContent(i.original, p));
      index += FormatRecord(i.original, path);
      stored.push_back(path);
    }
    MakeFile(IndexPathOf('D'), index);
    return stored;
  }

  // Items that must be untouched.
  static void ExpectUntouched(const Audit& a, const TestItem& item) {
    Located l = Locate(a, item);
    EXPECT_EQ(l.place, Place::Original) << item.original << " was never given, yet it moved or vanished";
  }
  static void ExpectStoredAndShown(const Audit& a, const TestItem& item, const std::string& stored) {
    Located l = Locate(a, item);
    for (const auto& p : l.problems) ADD_FAILURE() << p;
    EXPECT_EQ(l.place, Place::Stored) << item.original;
    EXPECT_TRUE(EqualsNoCase(l.storedTop, stored)) << item.original << " is at " << l.storedTop;
  }
  // Unseen store entries are allowed only when listed, or when a failure of
  // the report says where they are.
  static void ExpectNoOrphans(const Audit& a, const std::vector<std::string>& allowed = {},
                              const Report* r = nullptr) {
    for (const auto& u : a.unshownStoreEntries) {
      bool ok = false;
      for (const auto& x : allowed) ok = ok || EqualsNoCase(u, x);
      for (std::size_t i = 0; r && i < r->Items().size(); ++i)
        ok = ok || (r->Items()[i].outcome == Outcome::Failed && ToUpper(r->Items()[i].detail).find(ToUpper(u)) != std::string::npos);
      EXPECT_TRUE(ok) << u << " sits in a store but the Vaporizer shows no item for it";
    }
  }

  // A stored item given to a batch: gone and reported done; or still there
  // whole, with its record and the trouble reported; or, once something of
  // it was destroyed, out of the list with the report saying where its
  // remains are. Returns those remains, if any.
  static std::string ExpectVaporizedOrKept(const Report& r, const Audit& a, const TestItem& item,
                                           const std::string& stored) {
    Located l = Locate(a, item);
    EXPECT_TRUE(l.place != Place::Original) << item.original << " came out of the store";
    const ShownItem* shown = a.ShownAt(stored);
    if (shown || Exists(stored)) {
      for (const auto& p : l.problems) ADD_FAILURE() << p;
      EXPECT_TRUE(shown && Trim(shown->original) == item.original) << stored << " is still there but lost its record";
      EXPECT_EQ(l.place, Place::Stored) << stored << " is shown but not whole";
      EXPECT_TRUE(ReportsTrouble(r, stored)) << stored << " is still there but the report names no failure";
      EXPECT_EQ(DoneEntry(r, stored), nullptr) << stored << " is reported done but is still there";
      return {};
    }
    // Out of the list: destroyed and reported so, or what is left of it
    // named by the report (its markers may be overwritten already).
    std::string remains;
    for (const auto& i : r.Items()) {
      std::size_t at = i.detail.find("what is left of it is ");
      if (i.outcome == Outcome::Failed && EqualsNoCase(i.path, stored) && at != std::string::npos)
        remains = i.detail.substr(at + 22, i.detail.find(',', at) - at - 22);
    }
    if (remains.empty()) {
      EXPECT_TRUE(l.storedTop.empty()) << "what is left of " << stored << " is at " << l.storedTop << ", unnamed";
      EXPECT_NE(DoneEntry(r, stored), nullptr) << stored << " is gone but the report does not say so";
    } else if (!l.storedTop.empty()) {
      EXPECT_TRUE(EqualsNoCase(remains, l.storedTop)) << "the report puts " << stored << " at " << remains;
    }
    return remains;
  }
};

}  // namespace vz::test
