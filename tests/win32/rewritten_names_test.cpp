// Names that other systems write (Linux, WSL, Samba, archives) and Win32
// reads as others: "report." as "report", "tail " as "tail", "aux.c" as the
// device AUX. Windows lists them as they are and the shell hands them on so
// ("Naming Files, Paths, and Namespaces",
// https://learn.microsoft.com/windows/win32/fileio/naming-a-file). Each lies
// beside the twin Win32 would take it for; every road of the module acts on
// the named file or refuses it with a reason, and the twin keeps every byte.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "common/ui.h"
#include "platform/win32/wide.h"
#include "store/send_win.h"
#include "store/store.h"
#include "win32/shell_support.h"
#include "window/shell_ui_win.h"

namespace vz::test {
namespace {

class RewrittenNameTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    EnsureStores();
  }

 public:
  // Drops on the folder, answering every question Yes.
  void Drop(const std::string& path) {
    ScopedUi shell(win32::ShellUserInterface());
    DialogAnswerer yes({}, IDYES);
    win32::SendDataObject(DropData(Offer::Files, {path}).Get(), false);
  }
  // "Send to Vaporizer" on the selection, as the shell hands it over.
  void Menu(const std::string& path) {
    com::ComPtr<IShellExtInit> init;
    ASSERT_EQ(module_->Create(Guid(kFileMenuId), init), S_OK);
    ASSERT_EQ(init->Initialize(nullptr, DropData(Offer::Files, {path}).Get(), nullptr), S_OK);
    com::ComPtr<IContextMenu> menu;
    ASSERT_EQ(init.As(menu), S_OK);
    ScopedUi shell(win32::ShellUserInterface());
    // Yes to the questions; where no store takes it, Answer acknowledges
    // the box of warnings after the batch.
    DialogDriver yes([](HWND dialog) { Answer(dialog, true); });
    CMINVOKECOMMANDINFO info{sizeof info};
    info.lpVerb = MAKEINTRESOURCEA(0);
    EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    EXPECT_TRUE(WaitForJobs());  // the command's work runs off this thread, and may ask
  }
  // The exported functions, which take paths as their caller typed them.
  void Export(const std::string& path) {
    DialogAnswerer yes({}, IDYES);
    std::string buffer = path + '\0' + '\0';
    EXPECT_EQ(module_->Proc<BYTE(WINAPI*)(const char*, INT32, BYTE)>("ExtPreparateData")(buffer.c_str(), 1, 0), 1);
  }
  void ExportW(const std::string& path) {
    DialogAnswerer yes({}, IDYES);
    std::wstring buffer = win32::Widen(path) + L'\0' + L'\0';
    EXPECT_EQ(module_->Proc<BYTE(WINAPI*)(const wchar_t*, INT32, BYTE)>("ExtPreparateDataW")(buffer.c_str(), 1, 0), 1);
  }
};

TEST_F(RewrittenNameTest, EveryRoadActsOnTheNamedFileOrRefusesItAndTheTwinKeepsEveryByte) {
  const struct {
    const char* name;
    const char* twin;
  } names[] = {{"report.", "report"}, {"tail ", "tail"}, {"aux.c", "aux"}};
  const struct {
    const char* label;
    void (RewrittenNameTest::*send)(const std::string&);
    bool listed;
  } roads[] = {{"drop", &RewrittenNameTest::Drop, true},
               {"menu", &RewrittenNameTest::Menu, true},
               {"ExtPreparateData", &RewrittenNameTest::Export, false},
               {"ExtPreparateDataW", &RewrittenNameTest::ExportW, false}};
  for (const auto& road : roads) {
    for (const auto& n : names) {
      for (char drive : {'D', 'E'}) {
        SCOPED_TRACE(std::string(road.label) + " " + drive + ": \"" + n.name + "\"");
        const std::string folder = std::string(1, drive) + ":\\x\\", named = folder + n.name;
        MakeFile(named, "named file");
        MakeFile(folder + n.twin, "its twin");
        (this->*road.send)(named);
        EXPECT_EQ(Slurp(folder + n.twin), "its twin");
        // Listed, it is sent where a record can keep its name (no blank at
        // the end), and vaporized at once on a drive without a store.
        const bool sent = road.listed && (drive == 'E' || std::string(n.name).back() != ' ');
        EXPECT_EQ(PathExists(named), !sent);
        if (sent && drive == 'D') {
          EXPECT_EQ(Slurp(DS("D1")) + Slurp(DS("D1.c")), "named file");
          EXPECT_EQ(Slurp(IndexPathOf('D')).substr(0, named.size() + 2), named + "\r\n");
        }
        if (!sent) {
          EXPECT_EQ(Slurp(named), "named file");
        }
        DrivesTest::SetUp();
        EnsureStores();
      }
    }
  }
}

// A folder walk lists the names as they are: each is overwritten and
// deleted under its own name, none reported missing.
TEST_F(RewrittenNameTest, AVaporizedFolderTakesEveryNameAsListed) {
  for (const char* n : {"report.", "report", "tail ", "tail", "aux.c", "dots.\\in.txt"}) MakeFile(E("x\\") + n, n);
  ScopedUi shell(win32::ShellUserInterface());
  DialogAnswerer yes({}, IDYES);
  Report r = win32::SendDataObject(DropData(Offer::Files, {E("x")}).Get(), false).report;
  EXPECT_EQ(r.Items().size(), 8u) << "six files, two folders";
  EXPECT_TRUE(r.AllDone()) << r.Items()[0].path << ": " << r.Items()[0].detail;
  EXPECT_FALSE(PathExists(E("x")));
}

}  // namespace
}  // namespace vz::test
