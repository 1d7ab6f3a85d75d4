// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up document under a window manager: its name in the caption from
// the start, and its commands working at once, after a click in the view and
// after a click on the Run button of the tool bar.

#include "desktop_test.h"

namespace desktop {

TEST_F(DesktopTest, TheStartUpDocumentIsActiveFromTheStart)
{
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(ExpectDocumentCommandsWork("at start"));

    // A click in the middle of the waveform view.
    const Rect window = m_session.Geometry(m_main);
    m_session.Click(m_main, {window.width / 2, window.height * 2 / 3});
    ASSERT_NO_FATAL_FAILURE(ExpectDocumentCommandsWork("after a click in the view"));

    // The Run button, found by its picture; its look changes when Run goes off.
    const Rect bars{0, 0, window.width, 100};
    const auto run = m_session.FindColour(m_main, bars, kRunButtonGreen);
    ASSERT_TRUE(run.has_value()) << "no Run button on the tool bar";
    const Rect button{run->x - 12, run->y - 12, 24, 24};
    const auto before = m_session.Pixels(m_main, button);
    m_session.Click(m_main, *run);
    ASSERT_NO_FATAL_FAILURE(ExpectDocumentCommandsWork("after a click on Run"));
    EXPECT_NE(m_session.Pixels(m_main, button), before) << "the click did not reach the Run button";
    EXPECT_EQ(m_session.Title(m_main), "Vexlar1 - Vexlar");
}

}   // namespace desktop
