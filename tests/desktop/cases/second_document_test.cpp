// SPDX-License-Identifier: GPL-3.0-or-later
// A second document and back: the caption and the commands follow the
// document the user brings forward.

#include "desktop_test.h"

namespace desktop {

TEST_F(DesktopTest, ASecondDocumentAndBack)
{
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    m_session.Key("ctrl+n");
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar2 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(ExpectDocumentCommandsWork("in the second document"));

    // Window > 1: the first document again.
    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+w", "1"));
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(ExpectDocumentCommandsWork("back in the first document"));

    // F6, the next window: the second one.
    m_session.Key("F6");
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar2 - Vexlar")) << "caption: " << m_session.Title(m_main);
}

}   // namespace desktop
