// The two about boxes: the message box of the About button (notice, empty line, version) and the
// about dialog of the system menu (icon, name, notice, OK). Both modal; user-interface thread.
#pragma once

#include <windows.h>

#include <string>

namespace fw::ui {

// The message box's text: the notice line, an empty line and VersionText().
std::string AboutMessageText();

// The message box, with an empty caption and an OK button.
void ShowAboutMessage(HWND owner);

// The about dialog, titled "关于 Fenwright".
void ShowAboutDialog(HWND owner);

}  // namespace fw::ui
