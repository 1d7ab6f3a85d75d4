// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop_test.h"

namespace desktop {

namespace {
std::string CaseName()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info != nullptr ? std::string(info->name()) : std::string("desktop");
}
}   // namespace

DesktopTest::DesktopTest() : m_session(CaseName())
{}

void DesktopTest::SetUp()
{
    ASSERT_TRUE(m_session.Start()) << m_session.Error();
    m_main = m_session.StartApp({"--demo"});
    ASSERT_NE(m_main, 0u) << m_session.Error() << "; screen: " << m_session.Screenshot("start");
}

void DesktopTest::TearDown()
{
    if (HasFailure()) {
        std::printf("screen at the failure: %s\n", m_session.Screenshot("failure").c_str());
    }
}

void DesktopTest::MenuItem(const std::string& menuKey, const std::string& itemKey)
{
    const int seen = m_session.Popups();
    m_session.Key(menuKey);
    ASSERT_TRUE(m_session.WaitForPopup(seen)) << "the menu of " << menuKey << " did not open";
    m_session.Key(itemKey);
}

WindowId DesktopTest::ExpectWindow(const std::string& title)
{
    const WindowId window = m_session.WaitForWindow(title, m_main);
    EXPECT_NE(window, 0u) << "no window \"" << title << "\" appeared";
    if (window != 0) {
        EXPECT_TRUE(m_session.WaitForActive(window)) << "\"" << title << "\" did not become active";
    }
    return window;
}

void DesktopTest::Dismiss(WindowId dialog, const std::string& key)
{
    m_session.Key(key);
    ASSERT_TRUE(m_session.WaitForGone(dialog)) << "the dialog did not close on " << key;
    ASSERT_TRUE(m_session.WaitForActive(m_main)) << "the main window did not become active again";
}

void DesktopTest::ExpectDocumentCommandsWork(const std::string& when)
{
    SCOPED_TRACE(when);
    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+f", "s"));   // File > Save
    WindowId save = ExpectWindow("Save As");
    if (save == 0) {
        m_session.Key("Escape");   // the menu is still open
        return;
    }
    ASSERT_NO_FATAL_FAILURE(Dismiss(save, "Escape"));

    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+s", "a"));   // Signals > Add...
    WindowId properties = ExpectWindow("Signal Properties");
    if (properties == 0) {
        m_session.Key("Escape");
        return;
    }
    Dismiss(properties, "Escape");
}

void DesktopTest::AddSignal()
{
    ASSERT_NO_FATAL_FAILURE(MenuItem("alt+s", "a"));
    const WindowId properties = ExpectWindow("Signal Properties");
    ASSERT_NE(properties, 0u);
    // OK sits 60 pixels from the right and 32 from the bottom edge, 55 x 24.
    const Rect dialog = m_session.Geometry(properties);
    m_session.Click(properties, {dialog.width - 60 + 27, dialog.height - 32 + 12});
    ASSERT_TRUE(m_session.WaitForGone(properties)) << "OK did not close the properties";
    ASSERT_TRUE(m_session.WaitForActive(m_main));
}

}   // namespace desktop
