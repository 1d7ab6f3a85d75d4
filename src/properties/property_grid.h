// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The property grid: a two-column list ("Property" / "Value") of named
// values, optionally in groups, with a description area under it that shows
// the selected property's description. Values that differ from the value
// they started with are shown in bold. The grid owns its properties and its
// visibility conditions and re-applies the conditions whenever a value
// changes through editing.

#include "properties/grid_property.h"
#include "properties/property_condition.h"

#include <QWidget>

#include <list>
#include <memory>
#include <vector>

class QLabel;
class QFrame;
class QModelIndex;
class QTreeWidget;
class QTreeWidgetItem;
class CPropertyTree;

class CFEPropertyGridCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CFEPropertyGridCtrl(QWidget* parent = nullptr);
    ~CFEPropertyGridCtrl() override;

    // Appends a top-level property (or group); the grid takes ownership.
    void AddProperty(CPropertyGridProperty* property);
    int GetPropertyCount() const { return static_cast<int>(m_properties.size()); }
    CPropertyGridProperty* GetProperty(int index) const;
    // The property with the data key, searched at the top level and, when
    // asked, at every depth. Groups (key 0) are never found.
    CPropertyGridProperty* FindItemByData(quintptr data, bool searchSubItems = true) const;

    // The selected property, or null.
    CPropertyGridProperty* GetCurSel() const;
    // Selects the property (null clears the selection).
    void SetCurSel(CPropertyGridProperty* property);

    void EnableHeaderCtrl(bool enable, const QString& left, const QString& right);
    void EnableDescriptionArea(bool enable);
    void SetVSDotNetLook(bool enable);
    void MarkModifiedProperties(bool mark);
    bool IsMarkModifiedProperties() const { return m_markModified; }

    // Conditions, applied in the order they were attached; the grid owns them.
    void AddCondition(CPropertyCondition* condition);
    const std::list<std::unique_ptr<CPropertyCondition>>& Conditions() const { return m_lstConditions; }
    // Applies every condition once (when the dialog opens).
    void EvaluateConditions();

    // A value changed through editing: re-applies the conditions that the
    // property controls. Nothing is reported to the owner.
    virtual void OnPropertyChanged(CPropertyGridProperty* property);

    // Editing as the user does it. Makes `text` the property's value when it
    // differs from the value's current text; returns whether it changed. Text
    // the property refuses leaves the value as it was, and the description
    // area says why (RefusalText, ValueRefused).
    bool UpdateValueFromText(CPropertyGridProperty* property, const QString& text);
    // Number of refused edits so far, and the text of the last one.
    int RefusalCount() const { return m_refusals; }
    QString RefusalText() const { return m_refusalText; }
    // A refused edit that the user has not corrected since (by a value the
    // property takes) and not been told about again at OK.
    bool HasOpenRefusal() const { return m_openRefusal != nullptr; }
    void CloseRefusal() { m_openRefusal = nullptr; }
    // Shows a problem with the property's value in the description area.
    void ShowProblem(CPropertyGridProperty* property, const QString& text);
    // Double click on a value: steps a pick list to its next choice.
    bool StepToNextChoice(CPropertyGridProperty* property);
    // Selects the property and opens its in-place editor on the value cell.
    bool EditProperty(CPropertyGridProperty* property);
    // Ends an open in-place edit, keeping what was typed or picked, as when
    // the editor loses the focus.
    void CommitEditor();
    // The open in-place editor (a QLineEdit or a QComboBox), or null.
    QWidget* InPlaceEditor() const;
    // Rectangle of the property's value cell in the list's viewport.
    QRect ValueCellRect(CPropertyGridProperty* property) const;

    QTreeWidget* Tree() const;
    QString DescriptionName() const;
    QString DescriptionText() const;
    bool IsDescriptionAreaVisible() const;

    CPropertyGridProperty* PropertyFromIndex(const QModelIndex& index) const;

signals:
    void ValueRefused(CPropertyGridProperty* property, const QString& why);

private:
    friend class CPropertyGridProperty;
    void Attach(CPropertyGridProperty* property, QTreeWidgetItem* parentItem);
    void Detach(CPropertyGridProperty* property);   // forgets the rows of a whole subtree
    void ApplyCondition(const CPropertyCondition& condition, const CPropertyGridProperty& controlling);
    void UpdateDescription();
    void StyleGroupItem(QTreeWidgetItem* item);

    std::vector<std::unique_ptr<CPropertyGridProperty>> m_properties;
    std::list<std::unique_ptr<CPropertyCondition>> m_lstConditions;
    CPropertyTree* m_tree = nullptr;
    QFrame* m_descriptionArea = nullptr;
    QLabel* m_descriptionName = nullptr;
    QLabel* m_descriptionText = nullptr;
    bool m_markModified = false;
    bool m_dotNetLook = false;
    int m_refusals = 0;
    QString m_refusalText;
    CPropertyGridProperty* m_openRefusal = nullptr;
};
