// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+S on the untitled start-up document opens the save dialog, and the
// document is saved under the name typed there.

#include <filesystem>

#include "desktop_test.h"

namespace desktop {

TEST_F(DesktopTest, CtrlSOnTheUntitledStartUpDocumentAsksForAFile)
{
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    m_session.Key("ctrl+s");
    const WindowId save = ExpectWindow("Save As");
    ASSERT_NE(save, 0u);
    // The name field has the focus with the suggested name selected.
    m_session.Type("first");
    m_session.Key("Return");
    ASSERT_TRUE(m_session.WaitForGone(save));
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "first.VEXLAR - Vexlar")) << "caption: " << m_session.Title(m_main);
    EXPECT_TRUE(std::filesystem::exists(m_session.Path("first.VEXLAR")));
}

}   // namespace desktop
