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
    QTest::mouseDClick(grid.Tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       grid.ValueCellRect(property).center());
}

}  // namespace test_support
