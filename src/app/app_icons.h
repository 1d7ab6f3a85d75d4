// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QIcon>

// Tool-bar and window icons of Vexlar, drawn in code so that the program
// carries no image files of unknown origin. Each icon is designed on a
// 16 x 16 grid and rendered at 16 and 32 pixels.
namespace AppIcons {

QIcon New();
QIcon Open();
QIcon Save();
QIcon Cut();
QIcon Copy();
QIcon Paste();
QIcon Run();
QIcon TrigNow();
QIcon Live();   // the Live command, and the mark of a live document's tab
QIcon Held();   // the mark of a held document's tab
QIcon About();
QIcon Application();   // icon 128: the main frame and the About box

}   // namespace AppIcons
