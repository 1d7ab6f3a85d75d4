// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/property_grid.h"

#include "properties/property_variant.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {
constexpr int kPropertyRole = Qt::UserRole + 1;
}

// The list part of the grid. Editing always happens on the value cell,
// whichever column the user clicked or typed in.
class CPropertyTree : public QTreeWidget {
public:
    CPropertyTree(CFEPropertyGridCtrl* grid, QWidget* parent) : QTreeWidget(parent), m_grid(grid) {}

    using QTreeWidget::indexFromItem;
    using QTreeWidget::itemFromIndex;

protected:
    // Moving to another row ends an open edit there, keeping what was typed
    // (the editor sits on the value cell, the current cell may be the name).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        if (previous.isValid() && itemFromIndex(current) != itemFromIndex(previous))
            m_grid->CommitEditor();
        QTreeWidget::currentChanged(current, previous);
    }

    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
        if (property == nullptr || property->IsGroup())
            return QTreeWidget::edit(index, trigger, event);
        return QTreeWidget::edit(index.siblingAtColumn(1), trigger, event);
    }

private:
    CFEPropertyGridCtrl* m_grid;
};

// Editors of the value cells: a line edit for typed values, a drop-down list
// for values picked from choices. Properties that paint their value cell do
// so here too.
class CPropertyItemDelegate : public QStyledItemDelegate {
public:
    CPropertyItemDelegate(CFEPropertyGridCtrl* grid, QObject* parent) : QStyledItemDelegate(parent), m_grid(grid) {}

    QWidget* Editor() const { return m_editor.data(); }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
        if (property == nullptr || property->IsGroup() || index.column() != 1)
            return nullptr;
        QWidget* editor = nullptr;
        if (property->IsPickList()) {
            QComboBox* combo = property->CreateCombo(parent);
            if (combo == nullptr)
                return nullptr;
            combo->addItems(property->GetOptions());
            combo->setMaxVisibleItems(std::max(1, property->GetOptionCount()));
            // A pick takes effect at once, as in a drop-down list.
            QObject::connect(combo, &QComboBox::activated, combo,
                             [this, combo](int) { const_cast<CPropertyItemDelegate*>(this)->commitData(combo); });
            editor = combo;
        } else {
            auto* line = new QLineEdit(parent);
            line->setFrame(false);
            editor = line;
        }
        editor->setFont(m_grid->Tree()->font());
        m_editor = editor;
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
        if (property == nullptr)
            return;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            // -1 when the value is not among the choices: nothing is picked.
            combo->setCurrentIndex(static_cast<int>(property->GetOptions().indexOf(property->FormatProperty())));
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(property->FormatProperty());
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
        if (property == nullptr)
            return;
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            const int picked = combo->currentIndex();
            if (picked >= 0)
                m_grid->UpdateValueFromText(property, property->GetOption(picked));
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            m_grid->UpdateValueFromText(property, line->text());
        }
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (editor == m_editor)
            m_editor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        if (event != nullptr && event->type() == QEvent::MouseButtonDblClick) {
            CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
            if (property != nullptr && property->IsPickList()) {
                m_grid->StepToNextChoice(property);
                return true;   // no editor for a double click on a pick list
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        CPropertyGridProperty* property = m_grid->PropertyFromIndex(index);
        if (index.column() == 1 && property != nullptr && property->HasOwnValuePainting()) {
            QStyleOptionViewItem background = option;
            initStyleOption(&background, index);
            background.text.clear();
            const QWidget* widget = option.widget;
            QStyle* style = widget != nullptr ? widget->style() : nullptr;
            if (style != nullptr)
                style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
            property->OnDrawValue(*painter, option.rect);
            return;
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 20));
        return size;
    }

private:
    CFEPropertyGridCtrl* m_grid;
    mutable QPointer<QWidget> m_editor;
};

CFEPropertyGridCtrl::CFEPropertyGridCtrl(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_tree = new CPropertyTree(this, this);
    m_tree->setObjectName(QStringLiteral("propertyList"));
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setAllColumnsShowFocus(false);   // a focus frame drawn over the row would tint painted cells
    m_tree->setItemDelegate(new CPropertyItemDelegate(this, m_tree));
    m_tree->header()->setStretchLastSection(true);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    layout->addWidget(m_tree, 1);

    m_descriptionArea = new QFrame(this);
    m_descriptionArea->setObjectName(QStringLiteral("descriptionArea"));
    m_descriptionArea->setFrameShape(QFrame::StyledPanel);
    auto* descriptionLayout = new QVBoxLayout(m_descriptionArea);
    descriptionLayout->setContentsMargins(4, 3, 4, 3);
    descriptionLayout->setSpacing(2);
    m_descriptionName = new QLabel(m_descriptionArea);
    QFont nameFont = m_descriptionName->font();
    nameFont.setBold(true);
    m_descriptionName->setFont(nameFont);
    m_descriptionText = new QLabel(m_descriptionArea);
    m_descriptionText->setWordWrap(true);
    m_descriptionText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    descriptionLayout->addWidget(m_descriptionName);
    descriptionLayout->addWidget(m_descriptionText, 1);
    const int lineHeight = fontMetrics().height();
    m_descriptionArea->setFixedHeight(4 * lineHeight + 8);
    m_descriptionArea->hide();
    layout->addWidget(m_descriptionArea);

    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateDescription(); });
    setFocusProxy(m_tree);
}

CFEPropertyGridCtrl::~CFEPropertyGridCtrl()
{
    m_lstConditions.clear();
    for (auto& property : m_properties)
        Detach(property.get());
    m_tree->clear();
    m_properties.clear();
}

void CFEPropertyGridCtrl::AddProperty(CPropertyGridProperty* property)
{
    m_properties.emplace_back(property);
    Attach(property, nullptr);
}

CPropertyGridProperty* CFEPropertyGridCtrl::GetProperty(int index) const
{
    if (index < 0 || index >= GetPropertyCount())
        return nullptr;
    return m_properties[static_cast<size_t>(index)].get();
}

namespace {
CPropertyGridProperty* FindIn(CPropertyGridProperty* property, quintptr data, bool deep)
{
    if (!property->IsGroup() && property->GetData() == data)
        return property;
    if (!deep)
        return nullptr;
    for (int i = 0; i < property->GetSubItemsCount(); ++i) {
        if (CPropertyGridProperty* found = FindIn(property->GetSubItem(i), data, deep))
            return found;
    }
    return nullptr;
}
}   // namespace

CPropertyGridProperty* CFEPropertyGridCtrl::FindItemByData(quintptr key, bool searchSubItems) const
{
    if (key == 0)
        return nullptr;
    for (const auto& property : m_properties) {
        if (CPropertyGridProperty* found = FindIn(property.get(), key, searchSubItems))
            return found;
    }
    return nullptr;
}

CPropertyGridProperty* CFEPropertyGridCtrl::GetCurSel() const
{
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    return PropertyFromIndex(m_tree->indexFromItem(selected.first(), 0));
}

void CFEPropertyGridCtrl::SetCurSel(CPropertyGridProperty* property)
{
    if (property == nullptr || property->m_item == nullptr || property->m_grid != this) {
        m_tree->clearSelection();
        return;
    }
    m_tree->setCurrentItem(property->m_item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_tree->scrollToItem(property->m_item);
}

void CFEPropertyGridCtrl::EnableHeaderCtrl(bool enable, const QString& left, const QString& right)
{
    m_tree->setHeaderLabels({left, right});
    m_tree->setHeaderHidden(!enable);
}

void CFEPropertyGridCtrl::EnableDescriptionArea(bool enable)
{
    m_descriptionArea->setVisible(enable);
    UpdateDescription();
}

bool CFEPropertyGridCtrl::IsDescriptionAreaVisible() const
{
    return !m_descriptionArea->isHidden();
}

void CFEPropertyGridCtrl::SetVSDotNetLook(bool enable)
{
    m_dotNetLook = enable;
    for (QTreeWidgetItemIterator it(m_tree); *it != nullptr; ++it) {
        if (CPropertyGridProperty* property = PropertyFromIndex(m_tree->indexFromItem(*it, 0));
            property && property->IsGroup())
            StyleGroupItem(*it);
    }
}

void CFEPropertyGridCtrl::MarkModifiedProperties(bool mark)
{
    m_markModified = mark;
    std::function<void(CPropertyGridProperty*)> redraw = [&](CPropertyGridProperty* property) {
        property->Redraw();
        for (int i = 0; i < property->GetSubItemsCount(); ++i)
            redraw(property->GetSubItem(i));
    };
    for (auto& property : m_properties)
        redraw(property.get());
}

void CFEPropertyGridCtrl::AddCondition(CPropertyCondition* condition)
{
    m_lstConditions.emplace_back(condition);
}

void CFEPropertyGridCtrl::ApplyCondition(const CPropertyCondition& condition, const CPropertyGridProperty& controlling)
{
    if (condition.m_pTarget == nullptr)
        return;
    const bool equal = VariantStrictEqual(condition.m_value, controlling.GetValue());
    condition.m_pTarget->Show(condition.m_bShowIfEqual ? equal : !equal);
}

void CFEPropertyGridCtrl::EvaluateConditions()
{
    for (const auto& condition : m_lstConditions) {
        const CPropertyGridProperty* controlling = FindItemByData(condition->m_dwData, true);
        if (controlling != nullptr)
            ApplyCondition(*condition, *controlling);
    }
}

void CFEPropertyGridCtrl::OnPropertyChanged(CPropertyGridProperty* property)
{
    if (property == nullptr || property->IsGroup())
        return;
    for (const auto& condition : m_lstConditions) {
        if (condition->m_dwData == property->GetData())
            ApplyCondition(*condition, *property);
    }
}

bool CFEPropertyGridCtrl::UpdateValueFromText(CPropertyGridProperty* property, const QString& text)
{
    if (property == nullptr || property->IsGroup())
        return false;
    if (text == property->FormatProperty())
        return false;   // the text was not changed: the value stays as it is (1.26 stays 1.26)
    if (!property->TextToVar(text)) {
        const bool integer = property->GetValue().metaType().id() == QMetaType::Int;
        m_refusalText = tr("\"%1\" is not %2. %3 keeps %4.")
                            .arg(text, integer ? tr("a whole number") : tr("a number"), property->GetName(),
                                 property->FormatProperty());
        ++m_refusals;
        m_openRefusal = property;
        property->Redraw();
        ShowProblem(property, m_refusalText);
        emit ValueRefused(property, m_refusalText);
        return false;
    }
    if (property == m_openRefusal)
        m_openRefusal = nullptr;   // corrected
    property->Redraw();
    OnPropertyChanged(property);
    return true;
}

void CFEPropertyGridCtrl::ShowProblem(CPropertyGridProperty* property, const QString& text)
{
    if (property != nullptr && property != GetCurSel())
        SetCurSel(property);   // shows its description first
    m_descriptionName->setText(property != nullptr ? property->GetName() : QString());
    m_descriptionText->setText(text);
}

bool CFEPropertyGridCtrl::StepToNextChoice(CPropertyGridProperty* property)
{
    if (property == nullptr)
        return false;
    const bool changed = property->OnDblClk();
    property->Redraw();
    return changed;
}

bool CFEPropertyGridCtrl::EditProperty(CPropertyGridProperty* property)
{
    if (property == nullptr || property->IsGroup() || property->m_item == nullptr)
        return false;
    SetCurSel(property);
    m_tree->setFocus(Qt::OtherFocusReason);
    m_tree->editItem(property->m_item, 1);
    return InPlaceEditor() != nullptr;
}

void CFEPropertyGridCtrl::CommitEditor()
{
    QWidget* editor = InPlaceEditor();
    if (editor == nullptr)
        return;
    QAbstractItemDelegate* delegate = m_tree->itemDelegate();
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QWidget* CFEPropertyGridCtrl::InPlaceEditor() const
{
    auto* delegate = static_cast<CPropertyItemDelegate*>(m_tree->itemDelegate());
    QWidget* editor = delegate->Editor();
    return editor != nullptr && editor->isVisible() ? editor : nullptr;
}

QRect CFEPropertyGridCtrl::ValueCellRect(CPropertyGridProperty* property) const
{
    if (property == nullptr || property->m_item == nullptr)
        return QRect();
    return m_tree->visualRect(m_tree->indexFromItem(property->m_item, 1));
}

QTreeWidget* CFEPropertyGridCtrl::Tree() const
{
    return m_tree;
}

QString CFEPropertyGridCtrl::DescriptionName() const
{
    return m_descriptionName->text();
}

QString CFEPropertyGridCtrl::DescriptionText() const
{
    return m_descriptionText->text();
}

CPropertyGridProperty* CFEPropertyGridCtrl::PropertyFromIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    return static_cast<CPropertyGridProperty*>(index.siblingAtColumn(0).data(kPropertyRole).value<void*>());
}

void CFEPropertyGridCtrl::Attach(CPropertyGridProperty* property, QTreeWidgetItem* parentItem)
{
    property->m_grid = this;
    auto* item = parentItem != nullptr ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(m_tree);
    property->m_item = item;
    item->setData(0, kPropertyRole, QVariant::fromValue(static_cast<void*>(property)));
    item->setText(0, property->GetName());
    item->setToolTip(0, property->GetDescription());
    if (property->IsGroup()) {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setFirstColumnSpanned(true);
        StyleGroupItem(item);
        item->setExpanded(true);
    } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        property->Redraw();
    }
    item->setHidden(!property->IsVisible());
    for (int i = 0; i < property->GetSubItemsCount(); ++i)
        Attach(property->GetSubItem(i), item);
    if (property->IsGroup())
        item->setExpanded(true);
}

void CFEPropertyGridCtrl::Detach(CPropertyGridProperty* property)
{
    property->m_item = nullptr;
    property->m_grid = nullptr;
    for (int i = 0; i < property->GetSubItemsCount(); ++i)
        Detach(property->GetSubItem(i));
}

void CFEPropertyGridCtrl::StyleGroupItem(QTreeWidgetItem* item)
{
    QFont font = item->font(0);
    font.setBold(true);
    item->setFont(0, font);
    const QBrush shade = m_dotNetLook ? palette().brush(QPalette::Button) : QBrush();
    item->setBackground(0, shade);
    item->setBackground(1, shade);
}

void CFEPropertyGridCtrl::UpdateDescription()
{
    const CPropertyGridProperty* selected = GetCurSel();
    m_descriptionName->setText(selected != nullptr ? selected->GetName() : QString());
    m_descriptionText->setText(selected != nullptr ? selected->GetDescription() : QString());
}
