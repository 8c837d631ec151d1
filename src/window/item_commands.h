// The commands of the Vaporizer folder's window: their numbers, the merged
// menu entries and toolbar buttons that send them, what each one does, the
// menu hints and button tooltips, the four view modes, help and about.
// Every host (Explorer's browser, a test browser) uses these same tables.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vz {

// Command numbers as they arrive in WM_COMMAND.
namespace cmd {
enum : int {
  kToolLargeIcons = 2,
  kToolSmallIcons = 3,
  kToolList = 4,
  kToolDetails = 5,
  kShredSelectedAlias = 10,  // nothing sends it, but it is honoured
  kShredAllAlias = 11,
  kToolProperties = 12,
  kRestore = 15,
  kSeparator = 16,
  kVaporizeSelected = 17,
  kVaporizeAll = 18,
  kVaporizerProperties = 19,
  kSelectAll = 20,
  kInvertSelection = 21,
  kMenuLargeIcons = 22,
  kMenuSmallIcons = 23,
  kMenuList = 24,
  kMenuDetails = 25,
  kHelp = 26,
  kAbout = 27,
  kViewMenuButton = 1021,
  // Ids that a new-style toolbar hands back for the properties and view buttons.
  kDropDownProperties = 1008,
  kDropDownViewMenu = 1009,
};
}  // namespace cmd

// The browser's popups that the view fills, by their fixed ids.
enum : unsigned {
  kBrowserMenuFile = 0x8000,
  kBrowserMenuEdit = 0x8040,
  kBrowserMenuView = 0x8080,
  kBrowserMenuHelp = 0x8100,
};

// The list's four looks, numbered as the shell's folder view modes.
enum class ViewMode { LargeIcons = 1, SmallIcons = 2, List = 3, Details = 4 };

// The shell's view mode number (FVM_ICON 1 ... FVM_DETAILS 4); nullopt for
// any other value, which leaves the window's own mode (list).
std::optional<ViewMode> ViewModeFromShell(unsigned shellMode);
inline unsigned ShellModeOf(ViewMode m) { return static_cast<unsigned>(m); }
inline int ToolbarIdOf(ViewMode m) { return static_cast<int>(m) + 1; }   // 2..5
inline int MenuIdOf(ViewMode m) { return static_cast<int>(m) + 21; }     // 22..25
// Large icons, small icons, list, details, and round again.
ViewMode NextViewMode(ViewMode m);

// What a command number asks for.
enum class Action {
  None,
  SetViewMode,       // mode below, then the toolbar's view buttons follow
  NextViewMode,      // the drop-down view button
  VaporizeSelected,
  VaporizeAll,
  Properties,
  Restore,
  SelectAll,
  InvertSelection,
  Help,
  About,
};
struct CommandAction {
  Action action = Action::None;
  ViewMode mode = ViewMode::List;  // for SetViewMode
};
// toolbarHasDropDowns: a new-style toolbar, whose properties and view
// buttons come back as 1008 and 1009.
CommandAction ActionOf(int command, bool toolbarHasDropDowns);

// One entry that the view inserts at the top of a browser popup.
struct MenuEntry {
  int position = 0;
  std::string text;  // empty for a separator
  int id = 0;
  bool separator = false;
  bool grayed = false;
};
std::vector<MenuEntry> FileMenuEntries(bool anySelected, int itemCount);
std::vector<MenuEntry> EditMenuEntries();
std::vector<MenuEntry> ViewMenuEntries();
std::vector<MenuEntry> HelpMenuEntries();
// The entries of the browser popup with that id; empty for any other id.
std::vector<MenuEntry> MenuEntriesFor(unsigned popupId, bool anySelected, int itemCount);

// The window's own context menu (PM): which entries are usable now.
struct PopupState {
  bool restore = false;        // "R&estore"
  bool shredSelected = false;  // "Vaporize &selected"
  bool shredAll = false;       // "Vaporize &all"
  ViewMode checked = ViewMode::List;
};
PopupState PopupStateFor(bool anySelected, int itemCount, ViewMode current);

// The entries of PM in order. The view-mode entries form the "&View"
// submenu; the others carry the command they run.
struct PopupEntry {
  std::string text;  // empty for a separator
  int id = 0;
  bool separator = false;
  bool isDefault = false;  // drawn bold; what a double click runs
};
std::vector<PopupEntry> ContextMenuEntries();
constexpr const char* kContextViewSubmenu = "&View";
std::vector<PopupEntry> ContextViewEntries();  // ids 22..25

// PMView, the drop-down of the toolbar's view button: it only sets the mode.
struct ViewPopupEntry {
  std::string text;
  int id = 0;
  ViewMode mode = ViewMode::List;
  std::string hint;
};
std::vector<ViewPopupEntry> ViewPopupEntries();

// The status line text of a menu command, and a toolbar button's tooltip;
// null where there is none.
const char* MenuHint(int command);
const char* ToolbarTooltip(int button);

// The buttons merged into the browser's toolbar.
struct ToolbarButton {
  enum class Bitmaps { Standard, View, None };
  Bitmaps bitmaps = Bitmaps::None;  // which strip the image index counts in
  int image = 0;
  int id = 0;
  bool separator = false;
};
// Properties, a separator, then either the one drop-down view button or the
// four view buttons.
std::vector<ToolbarButton> ToolbarButtons(bool toolbarHasDropDowns);

// The right edges of the two status bar parts; the second runs to the end.
constexpr int kStatusPartEdges[2] = {150, -1};

// Help: the file named by the "GLPath" value of the Gearloft key (created
// when missing) followed by "Gearkit.hlp"; nullopt without the value.
constexpr const char* kHelpFileName = "Gearkit.hlp";
constexpr const char* kHelpTopic = "Securely_deleting_files_and_folders";
std::optional<std::string> HelpFile();
// The help macro that jumps to the topic.
std::string HelpJumpMacro();

// The about box.
constexpr const char* kAboutTitle = "About Vaporizer";
std::string AboutText();

}  // namespace vz
