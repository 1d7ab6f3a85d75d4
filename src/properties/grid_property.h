// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One entry of the property grid: either a group, which only holds other
// entries, or a named value with a description. Every value property carries
// a data key (the address of the variable it was built from), which the
// conditions and the dialog's read-back use to find it.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class CFEPropertyGridCtrl;
class QComboBox;
class QPainter;
class QRect;
class QTreeWidgetItem;
class QWidget;

class CPropertyGridProperty {
public:
    // A group with the given name: data key 0, no value.
    explicit CPropertyGridProperty(const QString& groupName);
    // A value property. A bool value offers the choices "True" and "False"
    // and cannot be typed.
    CPropertyGridProperty(const QString& name, const QVariant& value, const QString& description, quintptr data = 0);
    virtual ~CPropertyGridProperty();

    CPropertyGridProperty(const CPropertyGridProperty&) = delete;
    CPropertyGridProperty& operator=(const CPropertyGridProperty&) = delete;

    static const QString& TrueText();
    static const QString& FalseText();

    const QString& GetName() const { return m_name; }
    const QString& GetDescription() const { return m_description; }
    quintptr GetData() const { return m_data; }
    bool IsGroup() const { return m_isGroup; }

    const QVariant& GetValue() const { return m_value; }
    const QVariant& GetOriginalValue() const { return m_originalValue; }
    void SetValue(const QVariant& value);
    // The value differs (strictly) from the one the property started with.
    bool IsModified() const;

    // Choices. A text already among them is not added again.
    bool AddOption(const QString& text);
    int GetOptionCount() const { return static_cast<int>(m_options.size()); }
    QString GetOption(int index) const;
    const QStringList& GetOptions() const { return m_options; }
    void AllowEdit(bool allow) { m_allowEdit = allow; }
    bool IsAllowEdit() const { return m_allowEdit; }
    // Picked from a list only: has choices and cannot be typed.
    bool IsPickList() const { return !m_options.isEmpty() && !m_allowEdit; }

    // Sub-items are owned by their parent.
    void AddSubItem(CPropertyGridProperty* child);
    int GetSubItemsCount() const { return static_cast<int>(m_subItems.size()); }
    CPropertyGridProperty* GetSubItem(int index) const;
    CPropertyGridProperty* GetParent() const { return m_parent; }

    void Show(bool show);
    bool IsVisible() const { return m_visible; }

    // Text of the value cell.
    virtual QString FormatProperty() const;
    // Makes an edited text the value; false when the text is refused (text
    // that is not a whole number for an int, not a number for a double), and
    // the value stays as it was.
    virtual bool TextToVar(const QString& text);
    // Double click on the value: steps a pick list to the choice after the
    // current one (the first after the last). Returns whether the value changed.
    virtual bool OnDblClk();

    // Properties that paint their value cell themselves.
    virtual bool HasOwnValuePainting() const { return false; }
    virtual void OnDrawValue(QPainter& painter, const QRect& cell) const;
    // Paints one choice of the drop-down list (and, for properties that paint
    // their value, the value cell).
    virtual void OnDrawOption(QPainter& painter, const QRect& cell, const QString& option) const;
    // The drop-down list used to pick a choice.
    virtual QComboBox* CreateCombo(QWidget* parent);

    CFEPropertyGridCtrl* GetGrid() const { return m_grid; }
    QTreeWidgetItem* GetItem() const { return m_item; }
    // Brings the row up to date with the value (text, bold when modified).
    void Redraw();

private:
    friend class CFEPropertyGridCtrl;

    QString m_name;
    QString m_description;
    QVariant m_value;
    QVariant m_originalValue;
    quintptr m_data = 0;
    bool m_isGroup = false;
    bool m_allowEdit = true;
    bool m_visible = true;
    QStringList m_options;
    std::vector<std::unique_ptr<CPropertyGridProperty>> m_subItems;
    CPropertyGridProperty* m_parent = nullptr;
    CFEPropertyGridCtrl* m_grid = nullptr;
    QTreeWidgetItem* m_item = nullptr;
};

// A floating-point property shown with a fixed number of decimals. Edited
// text must be a number as a whole ("12abc" and "abc" are refused and the
// value stays).
class CDoublePropertyGridProperty : public CPropertyGridProperty {
public:
    CDoublePropertyGridProperty(double* variable, const QString& name, const QString& description);
    ~CDoublePropertyGridProperty() override;

    QString FormatProperty() const override;
    bool TextToVar(const QString& text) override;

    const QString& ValueFormat() const { return m_strValueFormat; }

private:
    int m_decimals = 1;
    QString m_strValueFormat;   // printf-style, "%.1f"
};
