// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/grid_property.h"

#include "properties/property_grid.h"
#include "properties/property_variant.h"

#include <QComboBox>
#include <QFont>
#include <QMetaType>
#include <QTreeWidget>

CPropertyGridProperty::CPropertyGridProperty(const QString& groupName) : m_name(groupName), m_isGroup(true)
{}

CPropertyGridProperty::CPropertyGridProperty(const QString& name, const QVariant& value, const QString& description,
                                             quintptr data)
    : m_name(name), m_description(description), m_value(value), m_originalValue(value), m_data(data)
{
    if (value.metaType().id() == QMetaType::Bool) {
        AddOption(TrueText());
        AddOption(FalseText());
        AllowEdit(false);
    }
}

// The grid that shows a property takes its rows down before it deletes it.
CPropertyGridProperty::~CPropertyGridProperty() = default;

const QString& CPropertyGridProperty::TrueText()
{
    static const QString text = QStringLiteral("True");
    return text;
}

const QString& CPropertyGridProperty::FalseText()
{
    static const QString text = QStringLiteral("False");
    return text;
}

void CPropertyGridProperty::SetValue(const QVariant& value)
{
    m_value = value;
    Redraw();
}

bool CPropertyGridProperty::IsModified() const
{
    return !m_isGroup && !VariantStrictEqual(m_value, m_originalValue);
}

bool CPropertyGridProperty::AddOption(const QString& text)
{
    if (m_options.contains(text))
        return false;
    m_options.append(text);
    return true;
}

QString CPropertyGridProperty::GetOption(int index) const
{
    if (index < 0 || index >= m_options.size())
        return QString();
    return m_options.at(index);
}

void CPropertyGridProperty::AddSubItem(CPropertyGridProperty* child)
{
    child->m_parent = this;
    m_subItems.emplace_back(child);
    if (m_grid != nullptr)
        m_grid->Attach(child, m_item);
}

CPropertyGridProperty* CPropertyGridProperty::GetSubItem(int index) const
{
    if (index < 0 || index >= GetSubItemsCount())
        return nullptr;
    return m_subItems[static_cast<size_t>(index)].get();
}

void CPropertyGridProperty::Show(bool show)
{
    m_visible = show;
    if (m_item != nullptr)
        m_item->setHidden(!show);
}

QString CPropertyGridProperty::FormatProperty() const
{
    switch (m_value.metaType().id()) {
    case QMetaType::Bool:
        return m_value.toBool() ? TrueText() : FalseText();
    case QMetaType::Int:
        return QString::number(m_value.toInt());
    case QMetaType::Double:
        return QString::number(m_value.toDouble());
    case QMetaType::QString:
        return m_value.toString();
    default:
        return QString();
    }
}

bool CPropertyGridProperty::TextToVar(const QString& text)
{
    switch (m_value.metaType().id()) {
    case QMetaType::Bool:
        SetValue(text == TrueText());
        return true;
    case QMetaType::Int: {
        int32_t number = 0;
        if (!ParseWholeInt(text, number))
            return false;   // the value stays; the grid says why
        SetValue(static_cast<int>(number));
        return true;
    }
    case QMetaType::Double: {
        double number = 0.0;
        if (!ParseWholeDouble(text, number))
            return false;
        SetValue(number);
        return true;
    }
    case QMetaType::QString:
        SetValue(text);
        return true;
    default:
        return false;
    }
}

bool CPropertyGridProperty::OnDblClk()
{
    if (!IsPickList() || m_options.size() < 2)
        return false;
    const qsizetype current = m_options.indexOf(FormatProperty());
    if (current < 0)
        return false;   // a value that is not among the choices is left alone
    const QString next = m_options.at((current + 1) % m_options.size());
    return m_grid != nullptr ? m_grid->UpdateValueFromText(this, next) : TextToVar(next);
}

void CPropertyGridProperty::OnDrawValue(QPainter& painter, const QRect& cell) const
{
    OnDrawOption(painter, cell, FormatProperty());
}

void CPropertyGridProperty::OnDrawOption(QPainter&, const QRect&, const QString&) const
{}

QComboBox* CPropertyGridProperty::CreateCombo(QWidget* parent)
{
    return new QComboBox(parent);
}

void CPropertyGridProperty::Redraw()
{
    if (m_item == nullptr || m_isGroup)
        return;
    m_item->setText(1, FormatProperty());
    QFont font = m_item->font(1);
    const bool bold = m_grid != nullptr && m_grid->IsMarkModifiedProperties() && IsModified();
    if (font.bold() != bold) {
        font.setBold(bold);
        m_item->setFont(1, font);
    }
}

CDoublePropertyGridProperty::CDoublePropertyGridProperty(double* variable, const QString& name,
                                                         const QString& description)
    : CPropertyGridProperty(name, QVariant(*variable), description, reinterpret_cast<quintptr>(variable))
{
    m_strValueFormat = QStringLiteral("%.%1f").arg(m_decimals);
}

CDoublePropertyGridProperty::~CDoublePropertyGridProperty() = default;

QString CDoublePropertyGridProperty::FormatProperty() const
{
    return FormatFixed(GetValue().toDouble(), m_decimals);
}

bool CDoublePropertyGridProperty::TextToVar(const QString& text)
{
    double number = 0.0;
    if (!ParseWholeDouble(text, number))
        return false;   // the value stays; the grid says why
    SetValue(number);
    return true;
}
