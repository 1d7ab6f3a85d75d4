// SPDX-License-Identifier: GPL-3.0-or-later
// The property grid and the properties dialog, driven through their own
// editing paths: in-place editors, the keyboard, double clicks and the
// OK and Cancel buttons.

#include "properties/combo_property.h"
#include "properties/properties_dialog.h"
#include "properties/property_variant.h"
#include "properties/theme_swatch.h"
#include "test_support.h"

#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using namespace test_support;

namespace {

QStringList TopLevelNames(const CFEPropertyGridCtrl& grid)
{
    QStringList names;
    for (int i = 0; i < grid.GetPropertyCount(); ++i)
        names << grid.GetProperty(i)->GetName();
    return names;
}

QStringList SubItemNames(const CPropertyGridProperty* group)
{
    QStringList names;
    for (int i = 0; i < group->GetSubItemsCount(); ++i)
        names << group->GetSubItem(i)->GetName();
    return names;
}

// A dialog with three top-level properties and a group of two, the shape the
// Tab tests step through.
struct TabFixture {
    int32_t a = 1, b = 2, inner1 = 3, inner2 = 4;
    QString c = QStringLiteral("c");
    CPropertiesDialog dialog{120, 120, QStringLiteral("Tab")};

    explicit TabFixture(bool empty)
    {
        if (empty)
            return;
        dialog.AddIntProperty(a, QStringLiteral("A"), QStringLiteral("first"));
        dialog.AddIntProperty(b, QStringLiteral("B"), QStringLiteral("second"));
        dialog.AddGroup(QStringLiteral("G"));
        dialog.AddIntProperty(inner1, QStringLiteral("G1"), QString());
        dialog.AddIntProperty(inner2, QStringLiteral("G2"), QString());
        dialog.EndGroup();
        dialog.AddTextProperty(c, QStringLiteral("C"), QStringLiteral("last"));
    }

    CPropertyGridProperty* ByName(const QString& name) const
    {
        CFEPropertyGridCtrl* grid = dialog.Grid();
        for (int i = 0; i < grid->GetPropertyCount(); ++i) {
            CPropertyGridProperty* p = grid->GetProperty(i);
            if (p->GetName() == name)
                return p;
            for (int j = 0; j < p->GetSubItemsCount(); ++j)
                if (p->GetSubItem(j)->GetName() == name)
                    return p->GetSubItem(j);
        }
        return nullptr;
    }
};

QColor PixelAt(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

}   // namespace

class PropertyGridTest : public QObject {
    Q_OBJECT
private slots:
    void groupsAndNesting();
    void nestedGroupsWithoutEndGroup();
    void dialogLayoutAndTitle_data();
    void dialogLayoutAndTitle();
    void headerAndDescriptionArea();
    void tabStepping_data();
    void tabStepping();
    void tabWhileEditingKeepsTheEdit();
    void doubleShownWithOneDecimal();
    void editedTextsReadBack_data();
    void editedTextsReadBack();
    void modifiedValuesAreBold();
    void boolByteReadsBackAsOne();
    void listPicksOnlyFromChoices();
    void doubleClickStepsToNextChoice();
    void colorSwatchPainting();
    void colorValueCellAndDropDown();
    void conditionStrictType_data();
    void conditionStrictType();
    void conditionFollowsEdits();
    void cancelStillCollects_data();
    void cancelStillCollects();
    void readBackWithoutValue();
};

void PropertyGridTest::groupsAndNesting()
{
    int32_t a = 0, b = 0, c = 0, d = 0;
    CPropertiesDialog dialog(100, 100, QStringLiteral("Groups"));
    dialog.AddIntProperty(a, QStringLiteral("A"), QString());
    dialog.AddGroup(QStringLiteral("G"));
    dialog.AddIntProperty(b, QStringLiteral("B"), QString());
    dialog.AddIntProperty(c, QStringLiteral("C"), QString());
    dialog.EndGroup();
    dialog.AddIntProperty(d, QStringLiteral("D"), QString());
    dialog.EndGroup();   // no group open: nothing happens

    CFEPropertyGridCtrl& grid = *dialog.Grid();
    QCOMPARE(TopLevelNames(grid), QStringList({"A", "G", "D"}));
    CPropertyGridProperty* group = grid.GetProperty(1);
    QVERIFY(group->IsGroup());
    QCOMPARE(group->GetData(), quintptr(0));
    QCOMPARE(SubItemNames(group), QStringList({"B", "C"}));
    QCOMPARE(group->GetSubItem(0)->GetParent(), group);
    // The list shows the same shape, the group spanning both columns.
    QTreeWidget* tree = grid.Tree();
    QCOMPARE(tree->topLevelItemCount(), 3);
    QCOMPARE(tree->topLevelItem(1)->childCount(), 2);
    QCOMPARE(tree->topLevelItem(1)->child(1)->text(0), QStringLiteral("C"));
    QVERIFY(tree->topLevelItem(1)->isFirstColumnSpanned());
    QVERIFY(tree->topLevelItem(1)->isExpanded());
    // Keys are the bound variables' addresses, found at any depth.
    QCOMPARE(grid.FindItemByData(reinterpret_cast<quintptr>(&c)), group->GetSubItem(1));
    QCOMPARE(grid.FindItemByData(reinterpret_cast<quintptr>(&c), false), nullptr);
    QCOMPARE(grid.FindItemByData(0), nullptr);
}

void PropertyGridTest::nestedGroupsWithoutEndGroup()
{
    int32_t x = 0, y = 0;
    CPropertiesDialog dialog(100, 100, QStringLiteral("Nested"));
    dialog.AddGroup(QStringLiteral("Outer"));
    dialog.AddGroup(QStringLiteral("Inner"));
    dialog.AddIntProperty(x, QStringLiteral("X"), QString());
    dialog.EndGroup();   // back into Outer
    dialog.AddIntProperty(y, QStringLiteral("Y"), QString());

    CFEPropertyGridCtrl& grid = *dialog.Grid();
    QCOMPARE(TopLevelNames(grid), QStringList({"Outer"}));
    CPropertyGridProperty* outer = grid.GetProperty(0);
    QCOMPARE(SubItemNames(outer), QStringList({"Inner", "Y"}));
    QCOMPARE(SubItemNames(outer->GetSubItem(0)), QStringList({"X"}));
    QTreeWidgetItem* inner = grid.Tree()->topLevelItem(0)->child(0);
    QVERIFY(inner != nullptr);
    QTreeWidgetItem* xItem = inner->child(0);
    QVERIFY(xItem != nullptr);
    QCOMPARE(xItem->text(0), QStringLiteral("X"));
}

void PropertyGridTest::dialogLayoutAndTitle_data()
{
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::newRow("200 x 200") << 200 << 200;
    QTest::newRow("smaller") << 120 << 90;
}

void PropertyGridTest::dialogLayoutAndTitle()
{
    QFETCH(int, cx);
    QFETCH(int, cy);
    CPropertiesDialog dialog(cx, cy, QStringLiteral("Signal Properties"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Signal Properties"));
    const QSize expected = CPropertiesDialog::DialogUnitsToPixels(cx, cy, dialog.font());
    QCOMPARE(dialog.size(), expected);
    // Dialog units follow the font: a quarter of the mean letter width across,
    // an eighth of the line height down.
    const QFontMetrics metrics(dialog.font());
    QVERIFY(qAbs(expected.height() - cy * metrics.height() / 8) <= 1);

    const int w = dialog.width();
    const int h = dialog.height();
    QCOMPARE(dialog.Grid()->geometry(), QRect(0, 0, w, h - 40));
    QCOMPARE(dialog.OkButton()->geometry(), QRect(w - 60, h - 32, 55, 24));
    QCOMPARE(dialog.CancelButton()->geometry(), QRect(w - 120, h - 32, 55, 24));
    QCOMPARE(dialog.OkButton()->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(!dialog.OkButton()->isDefault() && !dialog.OkButton()->autoDefault());
    QVERIFY(!dialog.CancelButton()->isDefault() && !dialog.CancelButton()->autoDefault());
    dialog.reject();
}

void PropertyGridTest::headerAndDescriptionArea()
{
    int32_t bits = 1;
    QString name = QStringLiteral("n");
    CPropertiesDialog dialog(200, 200, QStringLiteral("Header"));
    dialog.AddTextProperty(name, QStringLiteral("Name"), QStringLiteral("Name of the signal"));
    dialog.AddIntProperty(bits, QStringLiteral("Num Bits"), QStringLiteral("Number of bits fom source"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    CFEPropertyGridCtrl& grid = *dialog.Grid();
    QTreeWidget* tree = grid.Tree();
    QVERIFY(!tree->isHeaderHidden());
    QCOMPARE(tree->headerItem()->text(0), QStringLiteral("Property"));
    QCOMPARE(tree->headerItem()->text(1), QStringLiteral("Value"));
    QVERIFY(grid.IsDescriptionAreaVisible());

    QCOMPARE(grid.GetCurSel(), nullptr);
    QCOMPARE(grid.DescriptionText(), QString());
    // A click on a row selects it and shows its description under the list.
    CPropertyGridProperty* numBits = grid.GetProperty(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      tree->visualItemRect(numBits->GetItem()).center());
    QCOMPARE(grid.GetCurSel(), numBits);
    QCOMPARE(grid.DescriptionName(), QStringLiteral("Num Bits"));
    QCOMPARE(grid.DescriptionText(), QStringLiteral("Number of bits fom source"));
    auto* area = grid.findChild<QFrame*>(QStringLiteral("descriptionArea"));
    QVERIFY(area != nullptr && area->isVisible());
    QVERIFY(area->geometry().top() >= tree->geometry().bottom());
    dialog.reject();
}

void PropertyGridTest::tabStepping_data()
{
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QString>("selectedBefore");   // empty: nothing selected
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("selectedAfter");   // empty: nothing selected
    QTest::newRow("none selected takes the first") << false << "" << int(Qt::Key_Tab) << "A";
    QTest::newRow("steps to the next") << false << "A" << int(Qt::Key_Tab) << "B";
    QTest::newRow("groups are steps too") << false << "B" << int(Qt::Key_Tab) << "G";
    QTest::newRow("over a group's items") << false << "G" << int(Qt::Key_Tab) << "C";
    QTest::newRow("last wraps to the first") << false << "C" << int(Qt::Key_Tab) << "A";
    QTest::newRow("inside a group nothing changes") << false << "G2" << int(Qt::Key_Tab) << "G2";
    QTest::newRow("shift+tab steps forward") << false << "A" << int(Qt::Key_Backtab) << "B";
    QTest::newRow("empty grid") << true << "" << int(Qt::Key_Tab) << "";
}

void PropertyGridTest::tabStepping()
{
    QFETCH(bool, empty);
    QFETCH(QString, selectedBefore);
    QFETCH(int, key);
    QFETCH(QString, selectedAfter);

    TabFixture fixture(empty);
    CPropertiesDialog& dialog = fixture.dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CFEPropertyGridCtrl& grid = *dialog.Grid();
    grid.SetCurSel(selectedBefore.isEmpty() ? nullptr : fixture.ByName(selectedBefore));
    QCOMPARE(grid.GetCurSel(), selectedBefore.isEmpty() ? nullptr : fixture.ByName(selectedBefore));

    QWidget* focus = dialog.focusWidget() != nullptr ? dialog.focusWidget() : grid.Tree();
    QTest::keyClick(focus, Qt::Key(key), key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);

    QCOMPARE(grid.GetCurSel(), selectedAfter.isEmpty() ? nullptr : fixture.ByName(selectedAfter));
    // Tab never moves the focus to the buttons.
    QCOMPARE(dialog.focusWidget(), focus);
    dialog.reject();
}

void PropertyGridTest::tabWhileEditingKeepsTheEdit()
{
    TabFixture fixture(false);
    CPropertiesDialog& dialog = fixture.dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CFEPropertyGridCtrl& grid = *dialog.Grid();
    CPropertyGridProperty* a = fixture.ByName(QStringLiteral("A"));
    QVERIFY(grid.EditProperty(a));
    auto* line = qobject_cast<QLineEdit*>(grid.InPlaceEditor());
    QVERIFY(line != nullptr);
    line->selectAll();
    QTest::keyClicks(line, QStringLiteral("5"));
    // Tab in the editor steps the selection; the typed value is kept.
    QTest::keyClick(line, Qt::Key_Tab);
    QCOMPARE(grid.GetCurSel(), fixture.ByName(QStringLiteral("B")));
    QVERIFY(QTest::qWaitFor([&grid] { return grid.InPlaceEditor() == nullptr; }, 2000));
    QCOMPARE(a->GetValue(), QVariant(5));
    dialog.reject();
}

void PropertyGridTest::doubleShownWithOneDecimal()
{
    double freq = 1.26;
    CPropertiesDialog dialog(200, 200, QStringLiteral("Double"));
    dialog.AddDoubleProperty(freq, QStringLiteral("Sample Freq Hz"), QStringLiteral("Sample frequency in [Hz]."));
    const int result = RunModal(dialog, [](CPropertiesDialog& shown) {
        CFEPropertyGridCtrl& grid = *shown.Grid();
        CPropertyGridProperty* p = grid.GetProperty(0);
        QCOMPARE(p->GetItem()->text(1), QStringLiteral("1.3"));
        // Opening the editor and leaving it without typing keeps 1.26.
        QVERIFY(grid.EditProperty(p));
        auto* line = qobject_cast<QLineEdit*>(grid.InPlaceEditor());
        QVERIFY(line != nullptr);
        QCOMPARE(line->text(), QStringLiteral("1.3"));
        QTest::keyClick(line, Qt::Key_Return);
        QVERIFY(QTest::qWaitFor([&grid] { return grid.InPlaceEditor() == nullptr; }, 2000));
        QCOMPARE(p->GetValue(), QVariant(1.26));
        QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDOK);
    freq = 0.0;
    QVERIFY(dialog.GetDoubleValue(freq));
    QCOMPARE(freq, 1.26);
}

void PropertyGridTest::editedTextsReadBack_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("intValue");
    QTest::addColumn<double>("doubleValue");
    QTest::addColumn<QString>("doubleShown");
    // Text that is not a number as a whole is refused and the value stays
    // (7 and 1.26): a typing slip never becomes 0.
    QTest::newRow("12") << "12" << 12 << 12.0 << "12.0";
    QTest::newRow(" -12 ") << " -12 " << -12 << -12.0 << "-12.0";
    QTest::newRow("12abc") << "12abc" << 7 << 1.26 << "1.3";
    QTest::newRow("abc") << "abc" << 7 << 1.26 << "1.3";
    QTest::newRow("-3.75") << "-3.75" << 7 << -3.75 << "-3.8";
    QTest::newRow("blank") << "" << 7 << 1.26 << "1.3";
    QTest::newRow("beyond 32 bits") << "4294967296" << 7 << 4294967296.0 << "4294967296.0";
}

void PropertyGridTest::editedTextsReadBack()
{
    QFETCH(QString, typed);
    QFETCH(int, intValue);
    QFETCH(double, doubleValue);
    QFETCH(QString, doubleShown);

    int32_t number = 7;
    double real = 1.26;
    CPropertiesDialog dialog(200, 200, QStringLiteral("Edits"));
    dialog.AddIntProperty(number, QStringLiteral("Int"), QString());
    dialog.AddDoubleProperty(real, QStringLiteral("Double"), QString());
    const int result = RunModal(dialog, [&](CPropertiesDialog& shown) {
        CFEPropertyGridCtrl& grid = *shown.Grid();
        QVERIFY(TypeValue(grid, grid.GetProperty(0), typed));
        QVERIFY(TypeValue(grid, grid.GetProperty(1), typed));
        QCOMPARE(grid.GetProperty(1)->GetItem()->text(1), doubleShown);
        // OK after an edit that did not take says so once and stays open;
        // the next OK closes.
        const bool refused = intValue == 7 || doubleValue == 1.26;
        QString told;
        QTimer::singleShot(0, [&told] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                told = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
        QCOMPARE(shown.isVisible(), refused);
        QCOMPARE(told.contains(QStringLiteral("\"%1\" is not").arg(typed)), refused);
        if (shown.isVisible())
            QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDOK);
    // Nothing reaches the variables before they are read back.
    QCOMPARE(number, 7);
    QCOMPARE(real, 1.26);
    QVERIFY(dialog.GetIntValue(number));
    QVERIFY(dialog.GetDoubleValue(real));
    QCOMPARE(number, intValue);
    QCOMPARE(real, doubleValue);
}

void PropertyGridTest::modifiedValuesAreBold()
{
    int32_t number = 7, other = 3;
    CPropertiesDialog dialog(200, 200, QStringLiteral("Bold"));
    dialog.AddIntProperty(number, QStringLiteral("Int"), QString());
    dialog.AddIntProperty(other, QStringLiteral("Other"), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CFEPropertyGridCtrl& grid = *dialog.Grid();
    CPropertyGridProperty* p = grid.GetProperty(0);
    QVERIFY(!p->GetItem()->font(1).bold());
    QVERIFY(TypeValue(grid, p, QStringLiteral("8")));
    QVERIFY(p->GetItem()->font(1).bold());
    QVERIFY(!grid.GetProperty(1)->GetItem()->font(1).bold());
    // Back to the value it started with: no longer marked.
    QVERIFY(TypeValue(grid, p, QStringLiteral("7")));
    QVERIFY(!p->GetItem()->font(1).bold());
    dialog.reject();
}

void PropertyGridTest::boolByteReadsBackAsOne()
{
    bool flag = false;
    const unsigned char five = 5;
    std::memcpy(&flag, &five, 1);   // a byte of 5, as a loaded record may hold
    CPropertiesDialog dialog(200, 200, QStringLiteral("Bool"));
    dialog.AddBoolProperty(flag, QStringLiteral("Freeze"), QString());
    const int result = RunModal(dialog, [](CPropertiesDialog& shown) {
        CPropertyGridProperty* p = shown.Grid()->GetProperty(0);
        QCOMPARE(p->GetItem()->text(1), QStringLiteral("True"));
        QCOMPARE(p->GetOptions(), QStringList({"True", "False"}));
        QVERIFY(!p->IsAllowEdit());
        QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDOK);
    QVERIFY(dialog.GetBoolValue(flag));
    unsigned char byte = 0;
    std::memcpy(&byte, &flag, 1);
    QCOMPARE(int(byte), 1);
}

void PropertyGridTest::listPicksOnlyFromChoices()
{
    QString radix = QStringLiteral("Hex");
    const QStringList choices{"Unsigned", "Signed", "Hex", "Binary", "Hex"};
    CPropertiesDialog dialog(200, 200, QStringLiteral("List"));
    dialog.AddListProperty(radix, QStringLiteral("Radix"), QStringLiteral("Select radix for presentation"), choices);
    const int result = RunModal(dialog, [](CPropertiesDialog& shown) {
        CFEPropertyGridCtrl& grid = *shown.Grid();
        CPropertyGridProperty* p = grid.GetProperty(0);
        // A repeated text is offered once; typing is not possible.
        QCOMPARE(p->GetOptions(), QStringList({"Unsigned", "Signed", "Hex", "Binary"}));
        QVERIFY(grid.EditProperty(p));
        auto* combo = qobject_cast<QComboBox*>(grid.InPlaceEditor());
        QVERIFY(combo != nullptr);
        QVERIFY(!combo->isEditable());
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->currentText(), QStringLiteral("Hex"));
        QTest::keyClicks(combo, QStringLiteral("Octal"));   // letters only jump between choices
        grid.CommitEditor();
        QVERIFY(p->GetOptions().contains(p->FormatProperty()));
        QVERIFY(PickChoice(grid, p, 1));
        QCOMPARE(p->GetValue(), QVariant(QStringLiteral("Signed")));
        QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDOK);
    QVERIFY(dialog.GetTextValue(radix));
    QCOMPARE(radix, QStringLiteral("Signed"));
}

void PropertyGridTest::doubleClickStepsToNextChoice()
{
    QString style = QStringLiteral("Analog");
    QString odd = QStringLiteral("Octal");   // not among the choices
    bool flag = true;
    const QStringList styles{"Digital", "Analog", "Spectrum"};
    CPropertiesDialog dialog(200, 200, QStringLiteral("Steps"));
    dialog.AddListProperty(style, QStringLiteral("Style"), QStringLiteral("Graph Style"), styles);
    dialog.AddListProperty(odd, QStringLiteral("Radix"), QString(), {"Unsigned", "Hex"});
    dialog.AddBoolProperty(flag, QStringLiteral("Freeze"), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CFEPropertyGridCtrl& grid = *dialog.Grid();

    CPropertyGridProperty* p = grid.GetProperty(0);
    DoubleClickValue(grid, p);
    QCOMPARE(p->FormatProperty(), QStringLiteral("Spectrum"));
    QCOMPARE(grid.InPlaceEditor(), nullptr);   // a double click steps, it opens no editor
    DoubleClickValue(grid, p);
    QCOMPARE(p->FormatProperty(), QStringLiteral("Digital"));   // wraps to the first choice
    QVERIFY(p->GetItem()->font(1).bold());

    // A value that is not among the choices is left alone.
    DoubleClickValue(grid, grid.GetProperty(1));
    QCOMPARE(grid.GetProperty(1)->FormatProperty(), QStringLiteral("Octal"));

    // The bool's choices are True and False.
    DoubleClickValue(grid, grid.GetProperty(2));
    QCOMPARE(grid.GetProperty(2)->GetValue(), QVariant(false));
    dialog.reject();
}

void PropertyGridTest::colorSwatchPainting()
{
    QImage image(40, 16, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        ThemeSwatch::Draw(painter, QRect(0, 0, 40, 16), QStringLiteral("2"));
    }
    // Black frame, fill rectangle inset by 5 and 2, hexagon outline through
    // (5,8) (8,2) (32,2) (35,8) (32,14) (8,14).
    QCOMPARE(PixelAt(image, 0, 0), QColor(Qt::black));
    QCOMPARE(PixelAt(image, 2, 8), QColor(Qt::black));
    QCOMPARE(PixelAt(image, 39, 15), QColor(Qt::black));
    QCOMPARE(PixelAt(image, 20, 8), QColor(0, 90, 90));
    QCOMPARE(PixelAt(image, 6, 3), QColor(0, 90, 90));       // corner of the fill outside the hexagon
    QCOMPARE(PixelAt(image, 20, 2), QColor(0, 255, 255));    // top edge
    QCOMPARE(PixelAt(image, 20, 14), QColor(0, 255, 255));   // bottom edge, on the frame
    QCOMPARE(PixelAt(image, 5, 8), QColor(0, 255, 255));
    QCOMPARE(PixelAt(image, 35, 8), QColor(0, 255, 255));

    // Every theme number paints its own colours; a text without digits reads
    // as theme 0; other numbers paint nothing.
    const struct {
        const char* text;
        QColor centre;
    } cases[] = {{"0", QColor(80, 80, 0)},  {"1", QColor(0, 90, 0)}, {"2", QColor(0, 90, 90)}, {"3", QColor(Qt::white)},
                 {"-1", QColor(Qt::white)}, {"", QColor(80, 80, 0)}, {"x", QColor(80, 80, 0)}};
    for (const auto& c : cases) {
        image.fill(Qt::white);
        QPainter painter(&image);
        ThemeSwatch::Draw(painter, QRect(0, 0, 40, 16), QString::fromLatin1(c.text));
        painter.end();
        QCOMPARE(PixelAt(image, 20, 8), c.centre);
    }
}

void PropertyGridTest::colorValueCellAndDropDown()
{
    QString color = QStringLiteral("1");
    QString odd = QStringLiteral("5");
    QString follower = QStringLiteral("f");
    CPropertiesDialog dialog(200, 200, QStringLiteral("Colors"));
    dialog.AddColorThemeProperty(color, QStringLiteral("Color"), QStringLiteral("Select signal color theme"),
                                 {"0", "1", "2"});
    dialog.AddColorThemeProperty(odd, QStringLiteral("Odd"), QString(), {"0", "1", "2"});
    // Shown only while Color is the text "2": tells that a pick reaches the grid's change handling.
    dialog.SetPendingCondition(
        new CPropertyCondition{reinterpret_cast<quintptr>(&color), QVariant(QStringLiteral("2")), nullptr, true});
    dialog.AddTextProperty(follower, QStringLiteral("Follower"), QString());
    const int result = RunModal(dialog, [&](CPropertiesDialog& shown) {
        CFEPropertyGridCtrl& grid = *shown.Grid();
        CPropertyGridProperty* p = grid.GetProperty(0);
        CPropertyGridProperty* oddProperty = grid.GetProperty(1);
        CPropertyGridProperty* followerProperty = grid.GetProperty(2);
        QVERIFY(!followerProperty->IsVisible());
        grid.SetCurSel(followerProperty);   // keep the selection colour away from the cells looked at

        QImage cells = grid.Tree()->viewport()->grab().toImage();
        const QRect cell = grid.ValueCellRect(p);
        QCOMPARE(PixelAt(cells, cell.left() + 1, cell.center().y()), QColor(Qt::black));
        QCOMPARE(PixelAt(cells, cell.center().x(), cell.center().y()), QColor(0, 90, 0));
        // Theme 5 paints nothing: the cell keeps the list's background.
        const QRect oddCell = grid.ValueCellRect(oddProperty);
        QCOMPARE(PixelAt(cells, oddCell.center().x(), oddCell.center().y()),
                 grid.Tree()->palette().color(QPalette::Base));

        // The drop-down paints its items as swatches too.
        QVERIFY(grid.EditProperty(p));
        auto* combo = dynamic_cast<CFEComboProperty::CFEDrawCombo*>(grid.InPlaceEditor());
        QVERIFY(combo != nullptr);
        QCOMPARE(combo->m_pProperty, p);
        QImage item(60, 18, QImage::Format_RGB32);
        for (int selected = 0; selected < 2; ++selected) {
            item.fill(Qt::white);
            QPainter painter(&item);
            QStyleOptionViewItem option;
            option.rect = item.rect();
            option.palette = combo->palette();
            option.state = selected ? QStyle::State_Selected : QStyle::State_None;
            combo->itemDelegate()->paint(&painter, option, combo->model()->index(0, 0));
            painter.end();
            QCOMPARE(PixelAt(item, 30, 9), QColor(80, 80, 0));
            QCOMPARE(PixelAt(item, 0, 0), QColor(Qt::black));   // the swatch covers the whole item
        }

        // Picking "2" makes the text 2 the value, repaints the cell cyan and
        // lets the grid handle the change.
        QVERIFY(PickChoice(grid, p, 2));
        QCOMPARE(p->GetValue(), QVariant(QStringLiteral("2")));
        QVERIFY(followerProperty->IsVisible());
        grid.Tree()->viewport()->repaint();
        cells = grid.Tree()->viewport()->grab().toImage();
        QCOMPARE(PixelAt(cells, cell.center().x(), cell.center().y()), QColor(0, 90, 90));
        QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDOK);
    QVERIFY(dialog.GetTextValue(color));
    QCOMPARE(color, QStringLiteral("2"));
    QVERIFY(dialog.GetTextValue(odd));
    QCOMPARE(odd, QStringLiteral("5"));
}

void PropertyGridTest::conditionStrictType_data()
{
    QTest::addColumn<QVariant>("compared");
    QTest::addColumn<bool>("showIfEqual");
    QTest::addColumn<bool>("visible");
    QTest::newRow("int 1 equal, shown if equal") << QVariant(1) << true << true;
    QTest::newRow("text 1 never equal") << QVariant(QStringLiteral("1")) << true << false;
    QTest::newRow("double 1 never equal") << QVariant(1.0) << true << false;
    QTest::newRow("bool true never equal") << QVariant(true) << true << false;
    QTest::newRow("text 1, shown if different") << QVariant(QStringLiteral("1")) << false << true;
    QTest::newRow("int 1, shown if different") << QVariant(1) << false << false;
}

void PropertyGridTest::conditionStrictType()
{
    QFETCH(QVariant, compared);
    QFETCH(bool, showIfEqual);
    QFETCH(bool, visible);
    int32_t controlling = 1;
    int32_t target = 9;
    CPropertiesDialog dialog(200, 200, QStringLiteral("Conditions"));
    dialog.AddIntProperty(controlling, QStringLiteral("Mode"), QString());
    dialog.SetPendingCondition(
        new CPropertyCondition{reinterpret_cast<quintptr>(&controlling), compared, nullptr, showIfEqual});
    dialog.AddIntProperty(target, QStringLiteral("Target"), QString());
    CFEPropertyGridCtrl& grid = *dialog.Grid();
    QCOMPARE(int(grid.Conditions().size()), 1);
    QCOMPARE(grid.Conditions().front()->m_pTarget, grid.GetProperty(1));

    const int result = RunModal(dialog, [&](CPropertiesDialog& shown) {
        CPropertyGridProperty* targetProperty = shown.Grid()->GetProperty(1);
        QCOMPARE(targetProperty->IsVisible(), visible);
        QCOMPARE(targetProperty->GetItem()->isHidden(), !visible);
        QTest::mouseClick(shown.CancelButton(), Qt::LeftButton);
    });
    QCOMPARE(result, CPropertiesDialog::IDCANCEL);
    // Hidden or not, the target's value is collected.
    target = 0;
    QVERIFY(dialog.GetIntValue(target));
    QCOMPARE(target, 9);
}

void PropertyGridTest::conditionFollowsEdits()
{
    int32_t mode = 0;
    int32_t detail = 5;
    QString other = QStringLiteral("x");
    CPropertiesDialog dialog(200, 200, QStringLiteral("Follow"));
    dialog.AddIntProperty(mode, QStringLiteral("Mode"), QString());
    dialog.SetPendingCondition(new CPropertyCondition{reinterpret_cast<quintptr>(&mode), QVariant(1), nullptr, true});
    dialog.AddGroup(QStringLiteral("Details"));   // a hidden group hides its items
    dialog.AddIntProperty(detail, QStringLiteral("Detail"), QString());
    dialog.EndGroup();
    dialog.AddTextProperty(other, QStringLiteral("Other"), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CFEPropertyGridCtrl& grid = *dialog.Grid();
    CPropertyGridProperty* group = grid.GetProperty(1);
    QVERIFY(!group->IsVisible());
    QVERIFY(TypeValue(grid, grid.GetProperty(0), QStringLiteral("1")));
    QVERIFY(group->IsVisible());
    QVERIFY(!group->GetItem()->isHidden());
    // Changes of a property that no condition names leave the group alone.
    QVERIFY(TypeValue(grid, grid.GetProperty(2), QStringLiteral("y")));
    QVERIFY(group->IsVisible());
    QVERIFY(TypeValue(grid, grid.GetProperty(0), QStringLiteral("2")));
    QVERIFY(!group->IsVisible());
    dialog.reject();
}

void PropertyGridTest::cancelStillCollects_data()
{
    QTest::addColumn<QString>("closeBy");
    QTest::addColumn<int>("expected");
    QTest::newRow("OK") << "ok" << int(CPropertiesDialog::IDOK);
    QTest::newRow("Cancel") << "cancel" << int(CPropertiesDialog::IDCANCEL);
    QTest::newRow("Escape") << "escape" << int(CPropertiesDialog::IDCANCEL);
    QTest::newRow("close box") << "close" << int(CPropertiesDialog::IDCANCEL);
    QTest::newRow("OK with the editor open") << "ok-editing" << int(CPropertiesDialog::IDOK);
}

void PropertyGridTest::cancelStillCollects()
{
    QFETCH(QString, closeBy);
    QFETCH(int, expected);
    int32_t number = 7;
    QString text = QStringLiteral("old");
    CPropertiesDialog dialog(200, 200, QStringLiteral("Close"));
    dialog.AddIntProperty(number, QStringLiteral("Int"), QString());
    dialog.AddTextProperty(text, QStringLiteral("Text"), QString());
    const int result = RunModal(dialog, [&](CPropertiesDialog& shown) {
        CFEPropertyGridCtrl& grid = *shown.Grid();
        QVERIFY(TypeValue(grid, grid.GetProperty(0), QStringLiteral("12")));
        if (closeBy == QLatin1String("ok-editing")) {
            // Typed but not confirmed: pressing OK ends the edit and keeps it.
            QVERIFY(grid.EditProperty(grid.GetProperty(1)));
            auto* line = qobject_cast<QLineEdit*>(grid.InPlaceEditor());
            QVERIFY(line != nullptr);
            line->selectAll();
            QTest::keyClicks(line, QStringLiteral("new"));
            QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
        } else if (closeBy == QLatin1String("ok")) {
            QTest::mouseClick(shown.OkButton(), Qt::LeftButton);
        } else if (closeBy == QLatin1String("cancel")) {
            QTest::mouseClick(shown.CancelButton(), Qt::LeftButton);
        } else if (closeBy == QLatin1String("escape")) {
            QTest::keyClick(grid.Tree(), Qt::Key_Escape);
        } else {
            shown.close();
        }
    });
    QCOMPARE(result, expected);
    QCOMPARE(number, 7);   // the caller decides whether to apply
    QVERIFY(dialog.GetIntValue(number));
    QCOMPARE(number, 12);
    QVERIFY(dialog.GetTextValue(text));
    QCOMPARE(text, closeBy == QLatin1String("ok-editing") ? QStringLiteral("new") : QStringLiteral("old"));
}

void PropertyGridTest::readBackWithoutValue()
{
    int32_t bound = 3, unbound = 4;
    CPropertiesDialog dialog(200, 200, QStringLiteral("Unbound"));
    dialog.AddIntProperty(bound, QStringLiteral("Bound"), QString());
    // Before the dialog ran nothing was collected.
    QVERIFY(!dialog.GetIntValue(bound));
    QCOMPARE(bound, 3);
    RunModal(dialog, [](CPropertiesDialog& shown) { QTest::mouseClick(shown.OkButton(), Qt::LeftButton); });
    QVERIFY(!dialog.GetIntValue(unbound));
    QCOMPARE(unbound, 4);
    QVERIFY(dialog.GetIntValue(bound));
    QCOMPARE(bound, 3);
}

QTEST_MAIN(PropertyGridTest)
#include "property_grid_test.moc"
