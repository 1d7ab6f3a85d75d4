// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers that drive the properties dialog the way a user does: through the
// grid's own editors, the keyboard and the buttons, with the modal loop run
// by DoModal and the steps scheduled on it by a timer.

#include "properties/properties_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace test_support {

// Runs the dialog modally; `steps` runs inside the modal loop with the dialog
// that is actually shown. A dialog that the steps leave open is cancelled so
// that a failing step never hangs the test.
inline int RunModal(CPropertiesDialog& dialog, const std::function<void(CPropertiesDialog&)>& steps)
{
    QTimer::singleShot(0, [&dialog, steps] {
        auto* shown = qobject_cast<CPropertiesDialog*>(QApplication::activeModalWidget());
        if (shown == &dialog && QTest::qWaitForWindowExposed(shown))
            steps(*shown);
        else
            QTest::qFail("the properties dialog is not the active modal window", __FILE__, __LINE__);
        if (dialog.isVisible())
            dialog.reject();
    });
    return dialog.DoModal();
}

// Opens the in-place editor of the property, replaces its text by typing and
// confirms with Return. Returns false when no line editor opened.
inline bool TypeValue(CFEPropertyGridCtrl& grid, CPropertyGridProperty* property, const QString& text)
{
    if (!grid.EditProperty(property))
        return false;
    auto* line = qobject_cast<QLineEdit*>(grid.InPlaceEditor());
    if (line == nullptr)
        return false;
    QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);   // the editor closes from the event loop
    return QTest::qWaitFor([&grid] { return grid.InPlaceEditor() == nullptr; }, 2000);
}

// Opens the drop-down of a pick-list property and picks the choice with the
// keyboard (Home, then Down as often as needed), as a user does.
inline bool PickChoice(CFEPropertyGridCtrl& grid, CPropertyGridProperty* property, int choice)
{
    if (!grid.EditProperty(property))
        return false;
    auto* combo = qobject_cast<QComboBox*>(grid.InPlaceEditor());
    if (combo == nullptr || combo->isEditable())
        return false;
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < choice; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    grid.CommitEditor();
    return property->FormatProperty() == property->GetOption(choice);
}

inline void DoubleClickValue(CFEPropertyGridCtrl& grid, CPropertyGridProperty* property)
{
    grid.Tree()->scrollToItem(property->GetItem());
    QTest::mouseDClick(grid.Tree()->viewport(), Qt::LeftButton, Qt::NoModifier, grid.ValueCellRect(property).center());
}

}   // namespace test_support

namespace test_support {

// The property with the given name at any depth of the grid, or null.
inline CPropertyGridProperty* FindByName(const CFEPropertyGridCtrl& grid, const QString& name)
{
    std::function<CPropertyGridProperty*(CPropertyGridProperty*)> search =
        [&](CPropertyGridProperty* p) -> CPropertyGridProperty* {
        if (p->GetName() == name)
            return p;
        for (int i = 0; i < p->GetSubItemsCount(); ++i)
            if (CPropertyGridProperty* found = search(p->GetSubItem(i)))
                return found;
        return nullptr;
    };
    for (int i = 0; i < grid.GetPropertyCount(); ++i)
        if (CPropertyGridProperty* found = search(grid.GetProperty(i)))
            return found;
    return nullptr;
}

// Runs `steps` on the properties dialog that the code under test opens
// modally (the next one to become the active modal window), then makes sure
// it is closed: a dialog the steps leave open is cancelled.
inline void OnNextDialog(const std::function<void(CPropertiesDialog&)>& steps)
{
    QTimer::singleShot(0, [steps] {
        auto* shown = qobject_cast<CPropertiesDialog*>(QApplication::activeModalWidget());
        if (shown == nullptr || !QTest::qWaitForWindowExposed(shown)) {
            QTest::qFail("no properties dialog was opened", __FILE__, __LINE__);
            return;
        }
        steps(*shown);
        if (shown->isVisible())
            shown->reject();
    });
}

}   // namespace test_support
