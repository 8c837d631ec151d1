// Saving the settings from either settings screen on Windows: the four
// values, then the file context-menu registration and the Send To shortcut.
#pragma once

#include <windows.h>

#include <string>

#include "settings/settings.h"

namespace vz::win32 {

// The label beside the slider: "The files will be overwritten for N time(s)".
std::string PassesLabelText(int passes);

// The switches that the two menu options turn on and off; what a switch
// could do only for this user is shown in a box owned by owner.
MenuSwitches ShellMenuSwitches(HWND owner);

// Saves; when a switch fails the save ends at that step and its text is
// shown in a message box owned by owner. False when the save did not finish.
bool SaveSettingsShowingErrors(const VaporizerSettings& settings, HWND owner);

// The controls of a settings screen (the settings page or tab, the Emptying
// page) whose value the machine policy sets are greyed, and the screen says
// "Set by your administrator" beside its title; the slider starts at the
// policy's lowest number of passes. Controls the screen does not hold are
// left alone.
void ShowPolicy(HWND sheet);

// What a screen saves where the policy sets a value: the user's own, as
// stored, so that it counts again once the policy goes.
void KeepUsersOwnWherePolicyRules(VaporizerSettings& s, DestructionSettings& d);
void KeepUsersOwnWherePolicyRules(EmptyingSettings& e);

}  // namespace vz::win32
