#include "store/intake.h"

#include <gtest/gtest.h>

#include "common/text.h"
#include "engine/link_support.h"
#include "platform/platform.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {
namespace {

class IntakeTest : public DrivesTest {
 protected:
  struct Case {
    std::string entry;
    char road;             // 'S' store, 'R' vaporized where it is, '-' refused
    std::string expected;  // the resolved path, or for a refusal parts of the reason, one of them
                           // enough, split by '|'
    std::string mapped = {};
    bool hasMap = false;
    PathOrigin origin = PathOrigin::Typed;
  };

  void Check(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      std::vector<std::string> names{c.mapped};
      Intake in = TakeIn({c.entry}, c.hasMap ? &names : nullptr, Road::ByDrive, c.origin);
      SCOPED_TRACE("entry \"" + c.entry + "\"");
      const std::vector<IntakeItem>& taken = c.road == 'S' ? in.store : in.direct;
      if (c.road == '-') {
        ASSERT_EQ(in.refused.Items().size(), 1u);
        EXPECT_TRUE(in.store.empty() && in.direct.empty());
        const std::string& why = in.refused.Items()[0].detail;
        bool any = false;
        for (const auto& part : Split(c.expected)) any = any || why.find(part) != std::string::npos;
        EXPECT_TRUE(any) << why;
        continue;
      }
      ASSERT_EQ(taken.size(), 1u) << (in.refused.Items().empty() ? "" : in.refused.Items()[0].detail);
      EXPECT_EQ(in.store.size() + in.direct.size(), 1u);
      EXPECT_EQ(taken[0].given, c.entry);
      EXPECT_EQ(taken[0].path, c.road == 'S' && c.hasMap ? c.entry : c.expected);
      if (c.road == 'S') {
        EXPECT_EQ(taken[0].recordedPath, c.expected);
      }
    }
  }

  static std::string Repeat(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
  }

  static std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    for (std::size_t start = 0, bar;; start = bar + 1) {
      bar = s.find('|', start);
      out.push_back(s.substr(start, bar - start));
      if (bar == std::string::npos) return out;
    }
  }
};

TEST_F(IntakeTest, EveryEntryIsResolvedOnceAndCheckedAsItWillBeActedOn) {
  MakeFile(D("x\\a.txt"), "a");
  MakeFile(DS("D1.txt"), "stored");
  const std::string kRelative = "not a full path";
  Check({
      {D("a.txt"), 'S', D("a.txt")},
      {"d:\\a.txt", 'S', "d:\\a.txt"},
      {D("x\\..\\a.txt"), 'S', D("a.txt")},
      {E("b.txt"), 'R', E("b.txt")},
      {" " + D("x\\a.txt"), '-', kRelative},
      {" " + DS(), '-', kRelative},
      {" " + D(""), '-', kRelative},
      {DS(), '-', "own store"},
      {E("VAPORIZE"), '-', "own store"},
      {D("x\\..\\VAPORIZE"), '-', "own store"},
      {Own("d:\\vaporize\\D1.txt"), '-', "already in the Vaporizer"},
      {D(""), '-', "root"},
      {E(""), '-', "root"},
      {D("x\\.."), '-', "root"},
      {"D:", '-', kRelative},
      {"D:a.txt", '-', kRelative},
      {"a.txt", '-', kRelative},
      {"\\a.txt", '-', kRelative},
      {"\\\\server\\share\\a.txt", '-', kRelative},
      {"", '-', kRelative},
      {"Q:\\a.txt", '-', "no drive Q:"},
      // A record carries 1023 characters as Windows counts them; where it
      // is vaporized, a path may be longer.
      {D(std::string(1020, 'n')), 'S', D(std::string(1020, 'n'))},
      {D(std::string(1021, 'n')), '-', "too long"},
      {E(std::string(1100, 'n')), 'R', E(std::string(1100, 'n'))},
      {D(Repeat("\xD0\x96", 1020)), 'S', D(Repeat("\xD0\x96", 1020))},
      {D(Repeat("\xF0\x9F\x98\x80", 511)), '-', "too long"},
      {D("line\nbreak"), '-', "line break|does not allow"},
      {D("ret\rurn.txt"), '-', "line break|does not allow"},
      // Names from a drop's name map: the record carries the mapped name.
      {D("x\\a.txt"), 'S', D("x\\Report.doc"), " Report.doc ", true},
      {D("x\\a.txt"), 'S', D("x\\a.txt"), "", true},
      {D("x\\a.txt"), '-', "line break", "Re\nport.doc", true},
      {D("x\\a.txt"), '-', "not a plain name", "..\\..\\Windows\\x", true},
      {D("x\\a.txt"), '-', "not a plain name", "..", true},
  });
}

#ifdef _WIN32
// A typed path that Win32 reads as another name is refused, naming both; a
// listed one names exactly its entry, also where the plain form would not
// ("Naming Files, Paths, and Namespaces",
// https://learn.microsoft.com/windows/win32/fileio/naming-a-file).
TEST_F(IntakeTest, WindowsReadsTypedPathsByItsRulesAndListedOnesExactly) {
  const auto L = PathOrigin::Listed;
  Check({
      {D("a.txt. . "), '-', "as \"D:\\a.txt\""},
      {D("x\\aux.c"), '-', "as \"\\\\.\\aux\""},
      {D("x.\\a.txt"), '-', "as \"D:\\x\\a.txt\""},
      {"D:/x/a.txt", 'S', D("x\\a.txt")},
      {D("a*.txt"), '-', "does not allow"},
      {D("a.txt:stream"), '-', "does not allow"},
      {D("VAPORIZE. "), '-', "own store|another name"},
      {E("b.txt\t"), '-', "does not allow"},
      {D("a.txt. ."), 'S', D("a.txt. ."), "", false, L},
      {D("a.txt "), '-', "ends in a blank", "", false, L},
      {E("b.txt "), 'R', E("b.txt "), "", false, L},
      {D("x.\\aux.c"), 'S', D("x.\\aux.c"), "", false, L},
      {E("nul"), 'R', E("nul"), "", false, L},
      {D("VAPORIZE."), 'S', D("VAPORIZE."), "", false, L},
      {D("x\\..\\a.txt."), '-', "another name", "", false, L},
      {D("a.txt:stream"), '-', "does not allow", "", false, L},
  });
}
#else
TEST_F(IntakeTest, PosixNamesAreBytesAndDotDotFollowsTheRealFolder) {
  MakeDir(D("x\\y"));
  MakeDir(D("a"));
  ASSERT_TRUE(MakeSymlink(D("x\\y"), D("a\\logs")));
  Check({
      {D("a\\logs\\..\\n.txt"), 'S', D("x\\n.txt")},
      {E("file "), 'R', E("file ")},
      {E(" file"), 'R', E(" file")},
      {E("line\nbreak"), 'R', E("line\nbreak")},
      {D(" file"), 'S', D(" file")},
      {D("file "), '-', "ends in a blank"},
      {D("a.txt."), 'S', D("a.txt.")},
      {D("a\\logs\\..\\..\\VAPORIZE\\D1.txt"), '-', "already in the Vaporizer"},
  });
}
#endif

TEST_F(IntakeTest, InPlaceSendsEverythingToTheDirectRoadAfterTheSameChecks) {
  Intake in = TakeIn({D("a.txt"), E("b.txt"), DS(), D("")}, nullptr, Road::InPlace, PathOrigin::Typed);
  EXPECT_EQ(PathsOf(in.direct), (std::vector<std::string>{D("a.txt"), E("b.txt")}));
  EXPECT_TRUE(in.store.empty());
  EXPECT_EQ(in.refused.Items().size(), 2u);
}

}  // namespace
}  // namespace vz::test
