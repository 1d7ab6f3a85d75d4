// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fixture of every desktop case and the user steps the cases share.
// A case is a GoogleTest TEST_F on DesktopTest in a file of its own
// (tests/desktop/cases/*_test.cpp); see tests/desktop/README.md.

#include <gtest/gtest.h>

#include <string>

#include "desktop_session.h"

namespace desktop {

// Colours of tool-bar pictures, found on the screen as a user finds the
// button (see app_icons.cpp).
constexpr Rgb kRunButtonGreen{60, 190, 75};

class DesktopTest : public ::testing::Test {
protected:
    DesktopTest();
    // Starts the X server, the window manager and `vexlar --demo`; the main
    // window is then shown and active.
    void SetUp() override;
    // A failed case leaves a picture of the screen behind.
    void TearDown() override;

    // Opens a menu with its access key ("alt+s") and, once it is shown,
    // presses the item's access key ("a").
    void MenuItem(const std::string& menuKey, const std::string& itemKey);
    // Waits for a window of the application with this title (other than the
    // main window), then for it to be active; 0 and a failure otherwise.
    WindowId ExpectWindow(const std::string& title);
    // Sends a key to a dialog and waits until the dialog is gone and the
    // main window is active again.
    void Dismiss(WindowId dialog, const std::string& key);
    // File > Save opens the save dialog and Signals > Add... the properties
    // of a new signal: both commands of the active document work. Both
    // dialogs are cancelled.
    void ExpectDocumentCommandsWork(const std::string& when);
    // Signals > Add... confirmed with a click on OK: a change of the user's
    // own, so the active document is modified whatever captures do.
    void AddSignal();

    Session m_session;
    WindowId m_main = 0;
};

}   // namespace desktop
