// SPDX-License-Identifier: GPL-3.0-or-later
// Exit with several modified documents asks once, listing them; Discard All
// ends the program.

#include "desktop_test.h"

namespace desktop {

TEST_F(DesktopTest, ExitWithSeveralModifiedDocumentsAsksOnce)
{
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(AddSignal());
    m_session.Key("ctrl+n");
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar2 - Vexlar"));
    ASSERT_NO_FATAL_FAILURE(AddSignal());
    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+f", "x"));   // File > Exit
    const WindowId question = ExpectWindow("Vexlar");
    ASSERT_NE(question, 0u);
    ASSERT_NO_FATAL_FAILURE(Dismiss(question, "Escape"));   // Cancel: everything stays
    EXPECT_TRUE(m_session.AppRunning());

    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+f", "x"));
    const WindowId again = ExpectWindow("Vexlar");
    ASSERT_NE(again, 0u);
    m_session.Key("alt+d");   // Discard All: no further question
    EXPECT_EQ(m_session.WaitForAppExit(), 0);
}

}   // namespace desktop
