// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/combo_property.h"

#include "properties/theme_swatch.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

// Paints the items of a CFEDrawCombo: the background (highlight for the
// selected item, window colour otherwise), then the property's own painting
// of the choice.
class ChoiceDelegate : public QStyledItemDelegate {
public:
    ChoiceDelegate(const CFEComboProperty* property, QObject* parent)
        : QStyledItemDelegate(parent), m_property(property)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->fillRect(option.rect, option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        if (index.isValid())
            m_property->OnDrawOption(*painter, option.rect, index.data(Qt::DisplayRole).toString());
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 18));
        return size;
    }

private:
    const CFEComboProperty* m_property;
};

}   // namespace

CFEComboProperty::CFEComboProperty(const QString& name, const QString& value, const QString& description, quintptr data)
    : CPropertyGridProperty(name, QVariant(value), description, data)
{}

CFEComboProperty::~CFEComboProperty() = default;

void CFEComboProperty::OnDrawValue(QPainter& painter, const QRect& cell) const
{
    OnDrawOption(painter, cell, FormatProperty());
}

QComboBox* CFEComboProperty::CreateCombo(QWidget* parent)
{
    return new CFEDrawCombo(this, parent);
}

CFEComboProperty::CFEDrawCombo::CFEDrawCombo(CFEComboProperty* property, QWidget* parent)
    : QComboBox(parent), m_pProperty(property)
{
    setItemDelegate(new ChoiceDelegate(property, this));
}

CFEComboProperty::CFEDrawCombo::~CFEDrawCombo() = default;

void CFEComboProperty::CFEDrawCombo::paintEvent(QPaintEvent*)
{
    // The closed field shows the current choice painted like a list item.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0)
        m_pProperty->OnDrawOption(painter, field, currentText());
}

CColorMapperProperty::~CColorMapperProperty() = default;

void CColorMapperProperty::OnDrawOption(QPainter& painter, const QRect& cell, const QString& option) const
{
    ThemeSwatch::Draw(painter, cell, option);
}
