#include "window/item_commands.h"

#include "platform/platform.h"
#include "settings/settings.h"

namespace vz {

std::optional<ViewMode> ViewModeFromShell(unsigned shellMode) {
  if (shellMode < 1 || shellMode > 4) return std::nullopt;
  return static_cast<ViewMode>(shellMode);
}

ViewMode NextViewMode(ViewMode m) {
  switch (m) {
    case ViewMode::LargeIcons: return ViewMode::SmallIcons;
    case ViewMode::SmallIcons: return ViewMode::List;
    case ViewMode::List: return ViewMode::Details;
    case ViewMode::Details: return ViewMode::LargeIcons;
  }
  return ViewMode::LargeIcons;
}

CommandAction ActionOf(int command, bool toolbarHasDropDowns) {
  if (toolbarHasDropDowns) {
    if (command == cmd::kDropDownProperties) command = cmd::kToolProperties;
    else if (command == cmd::kDropDownViewMenu) command = cmd::kViewMenuButton;
  }
  switch (command) {
    case cmd::kToolLargeIcons:
    case cmd::kMenuLargeIcons: return {Action::SetViewMode, ViewMode::LargeIcons};
    case cmd::kToolSmallIcons:
    case cmd::kMenuSmallIcons: return {Action::SetViewMode, ViewMode::SmallIcons};
    case cmd::kToolList:
    case cmd::kMenuList: return {Action::SetViewMode, ViewMode::List};
    case cmd::kToolDetails:
    case cmd::kMenuDetails: return {Action::SetViewMode, ViewMode::Details};
    case cmd::kShredSelectedAlias:
    case cmd::kVaporizeSelected: return {Action::VaporizeSelected};
    case cmd::kShredAllAlias:
    case cmd::kVaporizeAll: return {Action::VaporizeAll};
    case cmd::kToolProperties:
    case cmd::kVaporizerProperties: return {Action::Properties};
    case cmd::kRestore: return {Action::Restore};
    case cmd::kSelectAll: return {Action::SelectAll};
    case cmd::kInvertSelection: return {Action::InvertSelection};
    case cmd::kHelp: return {Action::Help};
    case cmd::kAbout: return {Action::About};
    case cmd::kViewMenuButton: return {Action::NextViewMode};
    default: return {};
  }
}

namespace {
MenuEntry Item(int position, const char* text, int id, bool grayed = false) {
  MenuEntry e;
  e.position = position;
  e.text = text;
  e.id = id;
  e.grayed = grayed;
  return e;
}
MenuEntry Separator(int position) {
  MenuEntry e;
  e.position = position;
  e.id = cmd::kSeparator;
  e.separator = true;
  return e;
}
}  // namespace

std::vector<MenuEntry> FileMenuEntries(bool anySelected, int itemCount) {
  return {Item(0, "&Restore", cmd::kRestore, !anySelected),
          Item(1, "&Vaporize selected", cmd::kVaporizeSelected, !anySelected),
          Item(2, "Vaporize &all", cmd::kVaporizeAll, itemCount < 1),
          Item(3, "Vaporizer &properties", cmd::kVaporizerProperties), Separator(4)};
}

std::vector<MenuEntry> EditMenuEntries() {
  return {Item(0, "Select &all\tCtrl+A", cmd::kSelectAll), Item(1, "&Invert selection", cmd::kInvertSelection)};
}

std::vector<MenuEntry> ViewMenuEntries() {
  return {Item(0, "La&rge icons", cmd::kMenuLargeIcons), Item(1, "S&mall icons", cmd::kMenuSmallIcons),
          Item(2, "&List", cmd::kMenuList), Item(3, "&Details", cmd::kMenuDetails), Separator(4)};
}

std::vector<MenuEntry> HelpMenuEntries() {
  return {Item(0, "&How to use Vaporizer", cmd::kHelp), Item(1, "&About Vaporizer", cmd::kAbout), Separator(2)};
}

std::vector<MenuEntry> MenuEntriesFor(unsigned popupId, bool anySelected, int itemCount) {
  switch (popupId) {
    case kBrowserMenuFile: return FileMenuEntries(anySelected, itemCount);
    case kBrowserMenuEdit: return EditMenuEntries();
    case kBrowserMenuView: return ViewMenuEntries();
    case kBrowserMenuHelp: return HelpMenuEntries();
    default: return {};
  }
}

PopupState PopupStateFor(bool anySelected, int itemCount, ViewMode current) {
  PopupState s;
  s.restore = anySelected;
  s.shredSelected = anySelected;
  s.shredAll = itemCount >= 1;
  s.checked = current;
  return s;
}

std::vector<PopupEntry> ContextMenuEntries() {
  return {{"", 0, true, false},
          {"Vaporize &selected", cmd::kVaporizeSelected, false, false},
          {"Vaporize &all", cmd::kVaporizeAll, false, false},
          {"", 0, true, false},
          {"R&estore", cmd::kRestore, false, false},
          {"", 0, true, false},
          {"P&roperties...", cmd::kVaporizerProperties, false, true}};
}

std::vector<PopupEntry> ContextViewEntries() {
  return {{"La&rge icons", cmd::kMenuLargeIcons, false, false},
          {"S&mall icons", cmd::kMenuSmallIcons, false, false},
          {"&List", cmd::kMenuList, false, false},
          {"&Details", cmd::kMenuDetails, false, false}};
}

std::vector<ViewPopupEntry> ViewPopupEntries() {
  // Ids of their own: these entries set the mode and nothing else.
  return {{"La&rge icons", 0x7F01, ViewMode::LargeIcons, "View as large icons"},
          {"S&mall icons", 0x7F02, ViewMode::SmallIcons, "View as small icons"},
          {"&List", 0x7F03, ViewMode::List, "View as list"},
          {"&Report", 0x7F04, ViewMode::Details, "View as report"}};
}

const char* MenuHint(int command) {
  switch (command) {
    case cmd::kRestore: return "Restore selected object(s).";
    case cmd::kVaporizeSelected: return "Vaporize selected object(s).";
    case cmd::kVaporizeAll: return "Vaporize all object(s) in Vaporizer.";
    case cmd::kSelectAll: return "Select all item(s).";
    case cmd::kInvertSelection: return "Invert selection.";
    case cmd::kMenuLargeIcons: return "View items as large icons";
    case cmd::kMenuSmallIcons: return "View items as small icons";
    case cmd::kMenuList: return "View items as list";
    case cmd::kMenuDetails: return "View items as report";
    case cmd::kHelp: return "Invoke the help topic";
    default: return nullptr;
  }
}

const char* ToolbarTooltip(int button) {
  switch (button) {
    case cmd::kToolLargeIcons: return "View as Icons";
    case cmd::kToolSmallIcons: return "View as Small Icons";
    case cmd::kToolList: return "View as List";
    case cmd::kToolDetails: return "View as Report";
    case cmd::kShredSelectedAlias: return "Vaporize Selected";
    case cmd::kShredAllAlias: return "Vaporize All";
    case cmd::kToolProperties: return "Properties";
    default: return nullptr;
  }
}

std::vector<ToolbarButton> ToolbarButtons(bool toolbarHasDropDowns) {
  using B = ToolbarButton::Bitmaps;
  constexpr int kStdProperties = 10;  // STD_PROPERTIES
  constexpr int kViewLargeIcons = 0, kViewSmallIcons = 1, kViewList = 2, kViewDetails = 3, kViewViewMenu = 12;
  std::vector<ToolbarButton> buttons = {{B::Standard, kStdProperties, cmd::kToolProperties, false},
                                        {B::None, 0, 0, true}};
  if (toolbarHasDropDowns) {
    buttons.push_back({B::View, kViewViewMenu, cmd::kViewMenuButton, false});
  } else {
    buttons.push_back({B::View, kViewLargeIcons, cmd::kToolLargeIcons, false});
    buttons.push_back({B::View, kViewSmallIcons, cmd::kToolSmallIcons, false});
    buttons.push_back({B::View, kViewList, cmd::kToolList, false});
    buttons.push_back({B::View, kViewDetails, cmd::kToolDetails, false});
  }
  return buttons;
}

std::optional<std::string> HelpFile() {
  Platform& p = Plat();
  if (!p.KvOpenKey(kGearloftKey, true)) return std::nullopt;
  KvValue v = p.KvRead(kGearloftKey, "GLPath");
  if (v.type != KvType::String) return std::nullopt;
  return v.text + kHelpFileName;
}

std::string HelpJumpMacro() { return std::string("JumpID(\"\",\"") + kHelpTopic + "\")"; }

std::string AboutText() {
  return std::string("Vaporizer ") + VZ_VERSION +
         "\n\nA secure-deletion bin. Items sent to the Vaporizer can be restored to where they came from, "
         "or vaporized: overwritten, truncated and deleted for good.\n\nOrvel Gearloft";
}

}  // namespace vz
