// SPDX-License-Identifier: GPL-3.0-or-later
// Closing a modified document asks whether to save it: Cancel keeps it,
// Discard closes it, Save asks for a file and saves it there.

#include <filesystem>

#include "desktop_test.h"

namespace desktop {

class ClosePromptTest : public DesktopTest {
protected:
    // File > Close, and the question that follows.
    WindowId Close()
    {
        MenuItem("alt+f", "c");
        return ExpectWindow("Vexlar");
    }
};

TEST_F(ClosePromptTest, ClosingAModifiedDocumentOffersSaveDiscardAndCancel)
{
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar1 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(AddSignal());

    WindowId question = Close();
    ASSERT_NE(question, 0u);
    ASSERT_NO_FATAL_FAILURE(Dismiss(question, "Escape"));   // Cancel
    EXPECT_EQ(m_session.Title(m_main), "Vexlar1 - Vexlar");

    question = Close();
    ASSERT_NE(question, 0u);
    ASSERT_NO_FATAL_FAILURE(Dismiss(question, "d"));   // Discard
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar")) << "caption: " << m_session.Title(m_main);

    m_session.Key("ctrl+n");
    ASSERT_TRUE(m_session.WaitForTitle(m_main, "Vexlar2 - Vexlar")) << "caption: " << m_session.Title(m_main);
    ASSERT_NO_FATAL_FAILURE(AddSignal());
    question = Close();
    ASSERT_NE(question, 0u);
    m_session.Key("s");   // Save: the file dialog follows
    ASSERT_TRUE(m_session.WaitForGone(question));
    const WindowId save = ExpectWindow("Save As");
    ASSERT_NE(save, 0u);
    m_session.Type("kept");
    m_session.Key("Return");
    ASSERT_TRUE(m_session.WaitForGone(save));
    EXPECT_TRUE(m_session.WaitForTitle(m_main, "Vexlar")) << "caption: " << m_session.Title(m_main);
    EXPECT_TRUE(std::filesystem::exists(m_session.Path("kept.VEXLAR")));
}

}   // namespace desktop
