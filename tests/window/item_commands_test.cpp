#include "window/item_commands.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/platform.h"
#include "settings/settings.h"
#include "support/drives.h"

namespace vz::test {
namespace {

TEST(ItemCommandsTest, EveryCommandNumberReachesItsAction) {
  struct Case {
    int command;
    Action action;
    ViewMode mode;
  };
  const Case cases[] = {
      {2, Action::SetViewMode, ViewMode::LargeIcons},   {22, Action::SetViewMode, ViewMode::LargeIcons},
      {3, Action::SetViewMode, ViewMode::SmallIcons},   {23, Action::SetViewMode, ViewMode::SmallIcons},
      {4, Action::SetViewMode, ViewMode::List},         {24, Action::SetViewMode, ViewMode::List},
      {5, Action::SetViewMode, ViewMode::Details},      {25, Action::SetViewMode, ViewMode::Details},
      {10, Action::VaporizeSelected, ViewMode::List},   {17, Action::VaporizeSelected, ViewMode::List},
      {11, Action::VaporizeAll, ViewMode::List},        {18, Action::VaporizeAll, ViewMode::List},
      {12, Action::Properties, ViewMode::List},         {19, Action::Properties, ViewMode::List},
      {15, Action::Restore, ViewMode::List},            {20, Action::SelectAll, ViewMode::List},
      {21, Action::InvertSelection, ViewMode::List},    {26, Action::Help, ViewMode::List},
      {27, Action::About, ViewMode::List},              {1021, Action::NextViewMode, ViewMode::List},
  };
  for (bool dropDowns : {false, true}) {
    for (const Case& c : cases) {
      CommandAction a = ActionOf(c.command, dropDowns);
      EXPECT_EQ(a.action, c.action) << "command " << c.command;
      if (c.action == Action::SetViewMode) {
        EXPECT_EQ(a.mode, c.mode) << "command " << c.command;
      }
    }
  }
  for (int unknown : {0, 1, 6, 9, 13, 14, 16, 28, 1008, 1009, 1020, 1022, 0x8000}) {
    EXPECT_EQ(ActionOf(unknown, false).action, Action::None) << unknown;
  }
}

TEST(ItemCommandsTest, NewStyleToolbarIdsAreTakenAsPropertiesAndTheViewButton) {
  EXPECT_EQ(ActionOf(1008, true).action, Action::Properties);
  EXPECT_EQ(ActionOf(1009, true).action, Action::NextViewMode);
  EXPECT_EQ(ActionOf(1008, false).action, Action::None) << "only while the toolbar has drop-downs";
  EXPECT_EQ(ActionOf(1009, false).action, Action::None);
}

TEST(ItemCommandsTest, ViewModesMapToShellModesButtonsAndMenuIdsAndCycle) {
  EXPECT_EQ(ViewModeFromShell(1), ViewMode::LargeIcons);
  EXPECT_EQ(ViewModeFromShell(4), ViewMode::Details);
  EXPECT_FALSE(ViewModeFromShell(0).has_value());
  EXPECT_FALSE(ViewModeFromShell(5).has_value());
  EXPECT_FALSE(ViewModeFromShell(0xFFFFFFFFu).has_value());
  for (unsigned fvm = 1; fvm <= 4; ++fvm) {
    ViewMode m = *ViewModeFromShell(fvm);
    EXPECT_EQ(ShellModeOf(m), fvm);
    EXPECT_EQ(ToolbarIdOf(m), static_cast<int>(fvm) + 1);
    EXPECT_EQ(MenuIdOf(m), static_cast<int>(fvm) + 21);
    // The button and the menu entry of a mode ask for that same mode.
    EXPECT_EQ(ActionOf(ToolbarIdOf(m), false).mode, m);
    EXPECT_EQ(ActionOf(MenuIdOf(m), false).mode, m);
  }
  EXPECT_EQ(NextViewMode(ViewMode::LargeIcons), ViewMode::SmallIcons);
  EXPECT_EQ(NextViewMode(ViewMode::SmallIcons), ViewMode::List);
  EXPECT_EQ(NextViewMode(ViewMode::List), ViewMode::Details);
  EXPECT_EQ(NextViewMode(ViewMode::Details), ViewMode::LargeIcons);
  ViewMode m = ViewMode::List;
  for (int i = 0; i < 4; ++i) m = NextViewMode(m);
  EXPECT_EQ(m, ViewMode::List) << "four presses come back to the start";
}

TEST(ItemCommandsTest, FileMenuGraysBySelectionAndItemCount) {
  auto texts = [](const std::vector<MenuEntry>& entries) {
    std::vector<std::string> t;
    for (const auto& e : entries) t.push_back(e.separator ? "-" : e.text);
    return t;
  };
  auto empty = FileMenuEntries(false, 0);
  ASSERT_EQ(empty.size(), 5u);
  EXPECT_EQ(texts(empty), (std::vector<std::string>{"&Restore", "&Vaporize selected", "Vaporize &all",
                                                     "Vaporizer &properties", "-"}));
  EXPECT_TRUE(empty[0].grayed);
  EXPECT_TRUE(empty[1].grayed);
  EXPECT_TRUE(empty[2].grayed) << "nothing to vaporize";
  EXPECT_FALSE(empty[3].grayed);

  auto listed = FileMenuEntries(false, 1);
  EXPECT_TRUE(listed[0].grayed);
  EXPECT_TRUE(listed[1].grayed);
  EXPECT_FALSE(listed[2].grayed);

  auto chosen = FileMenuEntries(true, 3);
  EXPECT_FALSE(chosen[0].grayed);
  EXPECT_FALSE(chosen[1].grayed);
  EXPECT_FALSE(chosen[2].grayed);
  EXPECT_EQ(chosen[0].id, 15);
  EXPECT_EQ(chosen[1].id, 17);
  EXPECT_EQ(chosen[2].id, 18);
  EXPECT_EQ(chosen[3].id, 19);
  EXPECT_EQ(chosen[4].id, 16);
  for (std::size_t i = 0; i < chosen.size(); ++i) EXPECT_EQ(chosen[i].position, static_cast<int>(i));
}

TEST(ItemCommandsTest, OtherPopupsHoldTheirEntriesInOrderAndUnknownPopupsNothing) {
  auto edit = MenuEntriesFor(kBrowserMenuEdit, false, 0);
  ASSERT_EQ(edit.size(), 2u) << "no separator in Edit";
  EXPECT_EQ(edit[0].text, "Select &all\tCtrl+A");
  EXPECT_EQ(edit[0].id, 20);
  EXPECT_EQ(edit[1].text, "&Invert selection");
  EXPECT_EQ(edit[1].id, 21);

  auto view = MenuEntriesFor(kBrowserMenuView, false, 0);
  ASSERT_EQ(view.size(), 5u);
  const char* viewTexts[] = {"La&rge icons", "S&mall icons", "&List", "&Details"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(view[i].text, viewTexts[i]);
    EXPECT_EQ(view[i].id, 22 + i);
  }
  EXPECT_TRUE(view[4].separator);
  EXPECT_EQ(view[4].id, 16);

  auto help = MenuEntriesFor(kBrowserMenuHelp, true, 9);
  ASSERT_EQ(help.size(), 3u);
  EXPECT_EQ(help[0].text, "&How to use Vaporizer");
  EXPECT_EQ(help[0].id, 26);
  EXPECT_EQ(help[1].text, "&About Vaporizer");
  EXPECT_EQ(help[1].id, 27);
  EXPECT_TRUE(help[2].separator);

  for (const auto& list : {edit, view, help})
    for (const auto& e : list) EXPECT_FALSE(e.grayed) << e.text;
  EXPECT_TRUE(MenuEntriesFor(0x8001, true, 1).empty());
  EXPECT_EQ(MenuEntriesFor(kBrowserMenuFile, true, 1).size(), 5u);
}

TEST(ItemCommandsTest, HintsAndTooltipsAreWordForWordAndOnlyWhereGiven) {
  const std::pair<int, const char*> hints[] = {
      {15, "Restore selected object(s)."},  {17, "Vaporize selected object(s)."},
      {18, "Vaporize all object(s) in Vaporizer."}, {20, "Select all item(s)."},
      {21, "Invert selection."},            {22, "View items as large icons"},
      {23, "View items as small icons"},    {24, "View items as list"},
      {25, "View items as report"},         {26, "Invoke the help topic"}};
  for (const auto& h : hints) {
    ASSERT_NE(MenuHint(h.first), nullptr) << h.first;
    EXPECT_STREQ(MenuHint(h.first), h.second);
  }
  for (int none : {2, 12, 16, 19, 27, 1021, 0}) EXPECT_EQ(MenuHint(none), nullptr) << none;

  const std::pair<int, const char*> tips[] = {{2, "View as Icons"},      {3, "View as Small Icons"},
                                              {4, "View as List"},       {5, "View as Report"},
                                              {10, "Vaporize Selected"}, {11, "Vaporize All"},
                                              {12, "Properties"}};
  for (const auto& t : tips) {
    ASSERT_NE(ToolbarTooltip(t.first), nullptr) << t.first;
    EXPECT_STREQ(ToolbarTooltip(t.first), t.second);
    EXPECT_LT(std::string(t.second).size(), 80u) << "fits the notification's buffer";
  }
  for (int none : {1021, 15, 17, 0}) EXPECT_EQ(ToolbarTooltip(none), nullptr) << none;
}

TEST(ItemCommandsTest, ToolbarHasThreeOrSixButtonsByStyle) {
  using B = ToolbarButton::Bitmaps;
  auto newStyle = ToolbarButtons(true);
  ASSERT_EQ(newStyle.size(), 3u);
  EXPECT_EQ(newStyle[0].id, 12);
  EXPECT_EQ(newStyle[0].bitmaps, B::Standard);
  EXPECT_EQ(newStyle[0].image, 10);
  EXPECT_TRUE(newStyle[1].separator);
  EXPECT_EQ(newStyle[1].id, 0);
  EXPECT_EQ(newStyle[2].id, 1021);
  EXPECT_EQ(newStyle[2].bitmaps, B::View);
  EXPECT_EQ(newStyle[2].image, 12);

  auto oldStyle = ToolbarButtons(false);
  ASSERT_EQ(oldStyle.size(), 6u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(oldStyle[2 + i].id, 2 + i);
    EXPECT_EQ(oldStyle[2 + i].image, i);
    EXPECT_EQ(oldStyle[2 + i].bitmaps, B::View);
    EXPECT_NE(ToolbarTooltip(oldStyle[2 + i].id), nullptr) << "every view button has a tooltip";
  }
}

TEST(ItemCommandsTest, ContextMenusListTheirEntriesWithPropertiesAsDefault) {
  auto pm = ContextMenuEntries();
  std::vector<std::string> texts;
  int defaults = 0;
  for (const auto& e : pm) {
    texts.push_back(e.separator ? "-" : e.text);
    if (e.isDefault) {
      ++defaults;
      EXPECT_EQ(e.text, "P&roperties...");
      EXPECT_EQ(ActionOf(e.id, false).action, Action::Properties);
    }
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"-", "Vaporize &selected", "Vaporize &all", "-", "R&estore", "-",
                                             "P&roperties..."}));
  EXPECT_EQ(defaults, 1);
  EXPECT_EQ(ActionOf(pm[1].id, false).action, Action::VaporizeSelected);
  EXPECT_EQ(ActionOf(pm[2].id, false).action, Action::VaporizeAll);
  EXPECT_EQ(ActionOf(pm[4].id, false).action, Action::Restore);

  auto views = ContextViewEntries();
  ASSERT_EQ(views.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ActionOf(views[i].id, false).mode, static_cast<ViewMode>(i + 1));

  auto drop = ViewPopupEntries();
  ASSERT_EQ(drop.size(), 4u);
  EXPECT_EQ(drop[3].text, "&Report");
  EXPECT_EQ(drop[3].hint, "View as report");
  EXPECT_EQ(drop[0].hint, "View as large icons");
  std::set<int> ids;
  for (const auto& e : drop) {
    ids.insert(e.id);
    EXPECT_EQ(ActionOf(e.id, false).action, Action::None) << "these entries run no browser command";
  }
  EXPECT_EQ(ids.size(), 4u);

  PopupState none = PopupStateFor(false, 0, ViewMode::Details);
  EXPECT_FALSE(none.restore);
  EXPECT_FALSE(none.shredSelected);
  EXPECT_FALSE(none.shredAll);
  EXPECT_EQ(none.checked, ViewMode::Details);
  PopupState some = PopupStateFor(true, 2, ViewMode::List);
  EXPECT_TRUE(some.restore && some.shredSelected && some.shredAll);
  EXPECT_TRUE(PopupStateFor(false, 1, ViewMode::List).shredAll);
}

class HelpTest : public DrivesTest {};

TEST_F(HelpTest, HelpFileComesFromGLPathAndTheKeyIsCreated) {
  EXPECT_FALSE(HelpFile().has_value()) << "no value, no help";
  EXPECT_EQ(Plat().KvRead(kGearloftKey, "GLPath").type, KvType::Missing);
  ASSERT_TRUE(Plat().KvOpenKey(kGearloftKey, false)) << "looking for help creates the key";

  ASSERT_TRUE(Plat().KvWriteString(kGearloftKey, "GLPath", "C:\\Gearkit\\"));
  EXPECT_EQ(HelpFile(), std::optional<std::string>("C:\\Gearkit\\Gearkit.hlp"));
  ASSERT_TRUE(Plat().KvWriteString(kGearloftKey, "GLPath", "C:\\Gearkit"));
  EXPECT_EQ(HelpFile(), std::optional<std::string>("C:\\GearkitGearkit.hlp")) << "no separator is inserted";
  ASSERT_TRUE(Plat().KvWriteDword(kGearloftKey, "GLPath", 7));
  EXPECT_FALSE(HelpFile().has_value()) << "a number is no path";

  EXPECT_EQ(HelpJumpMacro(), "JumpID(\"\",\"Securely_deleting_files_and_folders\")");
  EXPECT_NE(AboutText().find("Vaporizer"), std::string::npos);
}

}  // namespace
}  // namespace vz::test
