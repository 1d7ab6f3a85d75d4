// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pick-list properties that paint their choices themselves, in the value
// cell and in the drop-down list alike.

#include "properties/grid_property.h"

#include <QComboBox>

class CFEComboProperty : public CPropertyGridProperty {
public:
    CFEComboProperty(const QString& name, const QString& value, const QString& description, quintptr data);
    ~CFEComboProperty() override;

    bool HasOwnValuePainting() const override { return true; }
    // The value cell shows the current choice painted like a list item.
    void OnDrawValue(QPainter& painter, const QRect& cell) const override;
    QComboBox* CreateCombo(QWidget* parent) override;

    // Drop-down list whose items (and closed field) are painted by the property.
    class CFEDrawCombo : public QComboBox {
    public:
        CFEDrawCombo(CFEComboProperty* property, QWidget* parent);
        ~CFEDrawCombo() override;
        CFEComboProperty* m_pProperty;   // not owned

    protected:
        void paintEvent(QPaintEvent* event) override;
    };
};

// The colour-theme choice of a signal: the choices are theme numbers as
// decimal text, painted as colour swatches.
class CColorMapperProperty : public CFEComboProperty {
public:
    using CFEComboProperty::CFEComboProperty;
    ~CColorMapperProperty() override;

    void OnDrawOption(QPainter& painter, const QRect& cell, const QString& option) const override;
};
