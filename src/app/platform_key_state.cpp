// SPDX-License-Identifier: GPL-3.0-or-later
// Lock-key states from the X server's keyboard indicators. Kept apart from
// the Qt code because the X headers define macros (KeyPress, ...) that clash
// with Qt's names.
#include <QGuiApplication>

#ifdef VEXLAR_HAVE_X11
#include <X11/XKBlib.h>
#endif

bool QueryPlatform(bool& caps, bool& num, bool& scroll)
{
#ifdef VEXLAR_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        Display* display = x11 ? x11->display() : nullptr;
        unsigned int state = 0;
        if (display && XkbGetIndicatorState(display, XkbUseCoreKbd, &state) == Success) {
            caps = (state & 0x01) != 0;
            num = (state & 0x02) != 0;
            scroll = (state & 0x04) != 0;
            return true;
        }
    }
#else
    (void)caps;
    (void)num;
    (void)scroll;
#endif
    return false;
}
