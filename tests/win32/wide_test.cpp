// The door between the core's UTF-8 and Windows' UTF-16, the ANSI code
// page where a contract speaks it, and the exported sends of both widths.
#include <windows.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/win32/wide.h"
#include "store/enum_shred.h"
#include "store/store.h"
#include "support/drives.h"

namespace vz::test {
namespace {

using win32::Narrow;
using win32::Widen;

TEST(WideTest, CoreTextCrossesToUtf16AndBackExactly) {
  struct Case {
    std::string text;
    std::wstring wide;
    bool exact;  // comes back byte for byte
  } cases[] = {
      {"C:\\caf\xC3\xA9", L"C:\\caf\u00E9", true},
      {"\xD0\x96\xCE\xA9\xE6\x97\xA5", L"\u0416\u03A9\u65E5", true},
      {"\xF0\x9F\x98\x80", L"\xD83D\xDE00", true},                // a pair of surrogates
      {"a\xED\xA0\x80z", L"a\xD800z", true},                      // a lone one, as names may hold
      {"\xED\xB0\x80\xED\xA0\x80", L"\xDC00\xD800", true},        // reversed: two lone ones
      {"\xED\xA0\xBD\xED\xB8\x80", L"\xD83D\xDE00", false},       // a pair spelt as two is no name of its own
      {"a\xE9z", L"a\xFFFDz", false},                             // a byte of the ANSI code page
      {"\xC0\xAF", L"\xFFFD\xFFFD", false},                       // an overlong '/'
      {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD", false},   // past U+10FFFF
      {"\xE6\x97", L"\xFFFD\xFFFD", false},                       // cut short
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Widen(c.text), c.wide);
    EXPECT_EQ(win32::ExactlyWide(c.text), c.exact);
    if (c.exact) EXPECT_EQ(Narrow(c.wide), c.text);
  }
  // A lone surrogate has a name on disk, but no form in an index line.
  EXPECT_NE(UnrecordableReason("D:\\a\xED\xA0\x80z"), "");
  EXPECT_EQ(UnrecordableReason("D:\\a\xF0\x9F\x98\x80z"), "");
}

TEST(WideTest, AnsiFormsAreExactOrAbsentNeverALookAlike) {
  ASSERT_EQ(GetACP(), 1252u) << "the suites run with the Western code page";
  struct Case {
    std::wstring wide;
    std::optional<std::string> exact;
    std::string shown;  // what contracts that take any form get; not checked when empty
  } cases[] = {
      {L"caf\u00E9 \u00DC\u20AC", "caf\xE9 \xDC\x80", "caf\xE9 \xDC\x80"},
      {L"\u0416.txt", std::nullopt, "?.txt"},
      {L"\u0100da", std::nullopt, "?da"},   // a best fit would write "Ada"
      {L"\uFB01le", std::nullopt, "?le"},   // "file"
      {L"\uFF21", std::nullopt, "?"},       // "A"
      {L"a\uFF1Ab", std::nullopt, "a?b"},   // "a:b", a stream
      {L"\xD83D\xDE00", std::nullopt, ""},
      {L"\xD800", std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.wide));
    EXPECT_EQ(win32::NarrowAnsiExactly(c.wide), c.exact);
    if (!c.shown.empty()) EXPECT_EQ(win32::NarrowAnsi(c.wide), c.shown);
    if (c.exact) EXPECT_EQ(win32::WidenAnsi(*c.exact), c.wide);
  }
}

// Under the system's UTF-8 option ("Use Unicode UTF-8 for worldwide
// language support") a record is marked as UTF-8, as every record beyond
// the code page is: unmarked, it would read as code page 1252 once the
// option is off, and restore would make garbled names.
TEST(WideTest, RecordsWrittenUnderTheUtf8CodePageReadTheSameUnderAnother) {
  std::string record, plain;
  {
    win32::ScopedAnsiCodePage utf8(CP_UTF8);
    record = FormatRecord("D:\\caf\xC3\xA9 \xD0\x96.txt", "D:\\VAPORIZE\\D1.txt");
    plain = FormatRecord("D:\\a.txt", "D:\\VAPORIZE\\D2.txt");
  }
  EXPECT_EQ(plain, "D:\\a.txt\r\nD:\\VAPORIZE\\D2.txt\r\n") << "ASCII reads the same in every code page";
  std::vector<ShredItemRecord> read = ParseIndex('D', record + plain);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].originalPath, "D:\\caf\xC3\xA9 \xD0\x96.txt");
  EXPECT_EQ(read[1].originalPath, "D:\\a.txt");
}

TEST(WideTest, LongPathsTakeTheLongFormOfTheResolvedPath) {
  const std::string name(250, 'n');
  EXPECT_EQ(win32::SystemPath("D:\\a\\b.txt"), L"D:\\a\\b.txt");
  // Names that Win32 would read as others go in the long form, as listed.
  EXPECT_EQ(win32::SystemPath("D:\\a\\report."), L"\\\\?\\D:\\a\\report.");
  EXPECT_EQ(win32::SystemPath("D:\\tail \\Aux.c"), L"\\\\?\\D:\\tail \\Aux.c");
  EXPECT_EQ(win32::SystemPath("D:\\auxiliary\\com10"), L"D:\\auxiliary\\com10");
  EXPECT_EQ(win32::SystemPath("D:\\" + name + "\\x."), L"\\\\?\\D:\\" + Widen(name) + L"\\x.");
  EXPECT_EQ(win32::SystemPath("D:\\x\\..\\" + name), L"\\\\?\\D:\\" + Widen(name));
  EXPECT_EQ(win32::SystemPath("D:/" + name + "/\xD0\x96"), L"\\\\?\\D:\\" + Widen(name) + L"\\\u0416");
  EXPECT_EQ(win32::SystemPath("\\\\?\\D:\\" + name + "\\.."), L"\\\\?\\D:\\" + Widen(name) + L"\\..");
  EXPECT_EQ(win32::SystemPath(std::string("D:\\a\0\\..\\b", 10)), L"") << "never the path up to the NUL";
}

class WideExportTest : public DrivesTest {
 protected:
  void SetUp() override {
    DrivesTest::SetUp();
    dll_ = LoadLibraryA("Vaporizer.dll");
    ASSERT_NE(dll_, nullptr);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    DrivesTest::TearDown();
  }
  template <class Fn>
  Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
  }
  HMODULE dll_ = nullptr;
};

TEST_F(WideExportTest, ExtPreparateDataWSendsWhatTheAnsiBufferCouldNeverName) {
  auto sendW = Export<BYTE(WINAPI*)(const wchar_t*, INT32, BYTE)>("ExtPreparateDataW");
  auto sendA = Export<BYTE(WINAPI*)(const char*, INT32, BYTE)>("ExtPreparateData");
  ASSERT_TRUE(sendW && sendA);
  const std::string deep = D(std::string(150, 'p') + "\\" + std::string(150, 'q') + "\\\xE6\x97\xA5.txt");
  const std::vector<std::string> names = {D("\xD0\x9F\xD1\x80\xD0\xB8.txt"), D("\xF0\x9F\x98\x80"),
                                          D("\xEF\xBC\xA1.txt"), deep};
  std::wstring buffer;
  for (const auto& n : names) {
    MakeFile(n, "content of " + n);
    buffer += Widen(n) + L'\0';
  }
  MakeFile(D("A.txt"), "plain twin");
  MakeFile(D("caf\xC3\xA9.txt"), "ansi");
  // A count of 0 reads nothing.
  EXPECT_EQ(sendW(buffer.c_str(), 0, 0), 0);
  EXPECT_EQ(sendW((buffer + L'\0').c_str(), static_cast<INT32>(names.size()), 0), 1);
  EXPECT_EQ(sendA("D:\\caf\xE9.txt\0", 1, 0), 1);

  std::vector<StoredItem> listed = ListStoredItems(nullptr);
  ASSERT_EQ(listed.size(), names.size() + 1);
  std::string index;
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(listed[i].originalPath, names[i]);
    EXPECT_EQ(Slurp(listed[i].storedPath), "content of " + names[i]);
    index += "\xEF\xBB\xBF" + names[i] + "\r\n\xEF\xBB\xBF" + listed[i].storedPath + "\r\n";
  }
  EXPECT_EQ(listed.back().originalPath, D("caf\xC3\xA9.txt"));
  EXPECT_EQ(Slurp(DS("info.shr")), index + Own("D:\\caf\xE9.txt\r\nD:\\VAPORIZE\\D4.txt\r\n"));
  EXPECT_EQ(Slurp(D("A.txt")), "plain twin");
}

}  // namespace
}  // namespace vz::test
