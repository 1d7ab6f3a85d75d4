// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/properties_dialog.h"

#include "properties/combo_property.h"
#include "properties/property_variant.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>

namespace {

// Rounded a * b / c, as the system's MulDiv.
int MulDiv(int a, int b, int c)
{
    const int64_t product = int64_t(a) * b;
    const int64_t half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}   // namespace

CPropertiesDialog::CPropertiesDialog(int cx, int cy, const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_font(QApplication::font()), m_strTitle(title), m_cx(cx), m_cy(cy)
{
    setWindowTitle(m_strTitle);
    setModal(true);

    m_grid = new CFEPropertyGridCtrl(this);
    m_grid->setObjectName(QStringLiteral("propertyGrid"));
    m_grid->setProperty("controlId", kGridId);
    m_grid->EnableHeaderCtrl(true, QStringLiteral("Property"), QStringLiteral("Value"));
    m_grid->SetVSDotNetLook(true);
    m_grid->EnableDescriptionArea(true);
    m_grid->MarkModifiedProperties(true);

    m_btnOK = new QPushButton(QStringLiteral("OK"), this);
    m_btnOK->setObjectName(QStringLiteral("okButton"));
    m_btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* button : {m_btnOK, m_btnCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFont(m_font);
    }
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(DialogUnitsToPixels(m_cx, m_cy, font()));
    LayOut();

    // Tab is seen before any child gets it, wherever the focus is.
    qApp->installEventFilter(this);
}

CPropertiesDialog::~CPropertiesDialog()
{
    qApp->removeEventFilter(this);
}

QSize CPropertiesDialog::DialogUnitsToPixels(int cx, int cy, const QFont& font)
{
    // Horizontal base unit: the average width of the Latin letters, rounded;
    // vertical base unit: the font's height. A dialog unit is a quarter of
    // the first and an eighth of the second.
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = std::max(1, (letters / 26 + 1) / 2);
    const int baseY = std::max(1, metrics.height());
    return QSize(MulDiv(cx, baseX, 4), MulDiv(cy, baseY, 8));
}

int CPropertiesDialog::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CPropertiesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_conditionsApplied) {
        m_conditionsApplied = true;
        m_grid->EvaluateConditions();
    }
}

void CPropertiesDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

void CPropertiesDialog::LayOut()
{
    // The grid fills the client area above a band of 40 pixels; the buttons
    // (55 x 24) sit 8 pixels above the bottom, OK 5 pixels from the right
    // edge and Cancel 5 pixels left of OK.
    const int w = width();
    const int h = height();
    m_grid->setGeometry(0, 0, w, std::max(0, h - kButtonBand));
    m_btnOK->setGeometry(w - 60, h - 32, 55, 24);
    m_btnCancel->setGeometry(w - 120, h - 32, 55, 24);
}

void CPropertiesDialog::done(int result)
{
    // Closing ends an open edit the way losing the focus does, then keeps
    // every value, whichever button closed the dialog. OK with a value that
    // cannot stand says why and leaves the dialog open.
    m_grid->CommitEditor();
    if (result == QDialog::Accepted) {
        const QString problem = ProblemAtOk();
        if (!problem.isEmpty()) {
            ShowProblem(problem);
            return;
        }
    }
    for (int i = 0; i < m_grid->GetPropertyCount(); ++i)
        CollectValues(m_grid->GetProperty(i));
    QDialog::done(result);
}

void CPropertiesDialog::SetValidator(const void* variable, Validator check)
{
    m_validators.insert(reinterpret_cast<quintptr>(variable), std::move(check));
}

QString CPropertiesDialog::ProblemAtOk()
{
    if (m_grid->HasOpenRefusal()) {
        // An edit did not take and was not corrected: say so once more
        // before the values are taken, then OK closes.
        m_grid->CloseRefusal();
        return m_grid->RefusalText();
    }
    for (int i = 0; i < m_grid->GetPropertyCount(); ++i) {
        QString why;
        if (CPropertyGridProperty* invalid = FindInvalid(m_grid->GetProperty(i), why)) {
            m_grid->ShowProblem(invalid, why);
            return why;
        }
    }
    return {};
}

CPropertyGridProperty* CPropertiesDialog::FindInvalid(CPropertyGridProperty* property, QString& why) const
{
    if (const auto it = m_validators.find(property->GetData()); property->GetData() != 0 && it != m_validators.end()) {
        why = it.value()(property->GetValue());
        if (!why.isEmpty())
            return property;
    }
    for (int i = 0; i < property->GetSubItemsCount(); ++i) {
        if (CPropertyGridProperty* invalid = FindInvalid(property->GetSubItem(i), why))
            return invalid;
    }
    return nullptr;
}

void CPropertiesDialog::ShowProblem(const QString& text)
{
    QMessageBox::warning(this, windowTitle(), text);
}

void CPropertiesDialog::CollectValues(const CPropertyGridProperty* property)
{
    if (property->GetData() != 0)
        m_values.insert(property->GetData(), property->GetValue());
    for (int i = 0; i < property->GetSubItemsCount(); ++i)
        CollectValues(property->GetSubItem(i));
}

bool CPropertiesDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == this && isVisible())
                return HandleTab();
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CPropertiesDialog::HandleTab()
{
    // Tab (and Shift+Tab alike) steps the selection through the top-level
    // properties, wrapping at the end; it never moves the focus. A selection
    // inside a group stays where it is.
    const int count = m_grid->GetPropertyCount();
    CPropertyGridProperty* selected = m_grid->GetCurSel();
    if (selected == nullptr) {
        if (count > 0)
            m_grid->SetCurSel(m_grid->GetProperty(0));
        return true;
    }
    for (int i = 0; i < count; ++i) {
        if (m_grid->GetProperty(i) == selected) {
            m_grid->SetCurSel(m_grid->GetProperty(i + 1 < count ? i + 1 : 0));
            return true;
        }
    }
    return true;
}

void CPropertiesDialog::Place(CPropertyGridProperty* property)
{
    if (m_pCurrentGroup != nullptr)
        m_pCurrentGroup->AddSubItem(property);
    else
        m_grid->AddProperty(property);
    if (property->IsGroup())
        m_pCurrentGroup = property;
    if (m_pPendingCondition != nullptr) {
        m_pPendingCondition->m_pTarget = property;
        m_grid->AddCondition(m_pPendingCondition.release());
    }
}

void CPropertiesDialog::AddGroup(const QString& name)
{
    Place(new CPropertyGridProperty(name));
}

void CPropertiesDialog::EndGroup()
{
    if (m_pCurrentGroup != nullptr)
        m_pCurrentGroup = m_pCurrentGroup->GetParent();
}

namespace {
quintptr Key(const void* variable)
{
    return reinterpret_cast<quintptr>(variable);
}
}   // namespace

void CPropertiesDialog::AddTextProperty(QString& variable, const QString& name, const QString& description)
{
    Place(new CPropertyGridProperty(name, QVariant(variable), description, Key(&variable)));
}

void CPropertiesDialog::AddIntProperty(int32_t& variable, const QString& name, const QString& description)
{
    Place(new CPropertyGridProperty(name, QVariant(static_cast<int>(variable)), description, Key(&variable)));
}

void CPropertiesDialog::AddBoolProperty(bool& variable, const QString& name, const QString& description)
{
    // Read as a byte: any non-zero byte is true.
    unsigned char byte = 0;
    std::memcpy(&byte, &variable, 1);
    Place(new CPropertyGridProperty(name, QVariant(byte != 0), description, Key(&variable)));
}

void CPropertiesDialog::AddDoubleProperty(double& variable, const QString& name, const QString& description)
{
    Place(new CDoublePropertyGridProperty(&variable, name, description));
}

void CPropertiesDialog::AddListProperty(QString& variable, const QString& name, const QString& description,
                                        const QStringList& choices)
{
    auto* property = new CPropertyGridProperty(name, QVariant(variable), description, Key(&variable));
    for (const QString& choice : choices)
        property->AddOption(choice);
    property->AllowEdit(false);
    Place(property);
}

void CPropertiesDialog::AddColorThemeProperty(QString& variable, const QString& name, const QString& description,
                                              const QStringList& choices)
{
    auto* property = new CColorMapperProperty(name, variable, description, Key(&variable));
    for (const QString& choice : choices)
        property->AddOption(choice);
    property->AllowEdit(false);
    Place(property);
}

void CPropertiesDialog::SetPendingCondition(CPropertyCondition* condition)
{
    m_pPendingCondition.reset(condition);
}

const QVariant* CPropertiesDialog::Stored(const void* variable) const
{
    const auto found = m_values.constFind(Key(variable));
    return found == m_values.constEnd() ? nullptr : &found.value();
}

bool CPropertiesDialog::GetTextValue(QString& variable) const
{
    const QVariant* stored = Stored(&variable);
    if (stored == nullptr)
        return false;
    variable = VariantToText(*stored);
    return true;
}

bool CPropertiesDialog::GetIntValue(int32_t& variable) const
{
    const QVariant* stored = Stored(&variable);
    if (stored == nullptr)
        return false;
    variable = VariantToInt(*stored);
    return true;
}

bool CPropertiesDialog::GetBoolValue(bool& variable) const
{
    const QVariant* stored = Stored(&variable);
    if (stored == nullptr)
        return false;
    variable = VariantToBool(*stored);
    return true;
}

bool CPropertiesDialog::GetDoubleValue(double& variable) const
{
    const QVariant* stored = Stored(&variable);
    if (stored == nullptr)
        return false;
    variable = VariantToDouble(*stored);
    return true;
}
