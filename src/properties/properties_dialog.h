// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A modal dialog that shows named, typed values in a property grid. The
// caller adds groups and properties bound to its own variables (by address),
// runs the dialog, and when it returns IDOK reads the edited values back into
// those variables. The values are collected when the dialog closes, whichever
// button closed it; nothing reaches a caller's variable unless it is read back.

#include "properties/property_grid.h"

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class QPushButton;

class CPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;
    static constexpr int kGridId = 3456;
    static constexpr int kButtonBand = 40;   // pixels under the grid

    // `cx` and `cy` are the size in dialog units (converted to pixels with the
    // metrics of the dialog's font), `title` the window title.
    CPropertiesDialog(int cx, int cy, const QString& title, QWidget* parent = nullptr);
    ~CPropertiesDialog() override;

    // Runs the dialog: IDOK when closed with OK, IDCANCEL when closed with
    // Cancel, Escape or the close box.
    int DoModal();

    // Builders, in the order the properties are to appear.
    void AddGroup(const QString& name);
    void EndGroup();
    void AddTextProperty(QString& variable, const QString& name, const QString& description);
    void AddIntProperty(int32_t& variable, const QString& name, const QString& description);
    void AddBoolProperty(bool& variable, const QString& name, const QString& description);
    void AddDoubleProperty(double& variable, const QString& name, const QString& description);
    void AddListProperty(QString& variable, const QString& name, const QString& description,
                         const QStringList& choices);
    void AddColorThemeProperty(QString& variable, const QString& name, const QString& description,
                               const QStringList& choices);
    // A check of the value of the property bound to `variable`, run when OK
    // is pressed: an empty text accepts the value, any other text is shown
    // and keeps the dialog open so that the user can correct it.
    using Validator = std::function<QString(const QVariant& value)>;
    void SetValidator(const void* variable, Validator check);

    // The next property added is shown only while the condition holds; the
    // dialog's grid takes ownership once it is attached.
    void SetPendingCondition(CPropertyCondition* condition);

    // Read-back, after DoModal: false when no value was collected for the
    // variable (it is left unchanged). A stored value that cannot be converted
    // raises CPropertyConversionError and leaves the variable unchanged.
    bool GetTextValue(QString& variable) const;
    bool GetIntValue(int32_t& variable) const;
    bool GetBoolValue(bool& variable) const;
    bool GetDoubleValue(double& variable) const;

    CFEPropertyGridCtrl* Grid() const { return m_grid; }
    QPushButton* OkButton() const { return m_btnOK; }
    QPushButton* CancelButton() const { return m_btnCancel; }
    const QHash<quintptr, QVariant>& CollectedValues() const { return m_values; }
    // Client size in pixels that `cx` x `cy` dialog units give with `font`.
    static QSize DialogUnitsToPixels(int cx, int cy, const QFont& font);

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Place(CPropertyGridProperty* property);
    void CollectValues(const CPropertyGridProperty* property);
    // The first problem that keeps OK from closing the dialog: a refused
    // edit not corrected since, or a value a validator refuses. Empty: none.
    QString ProblemAtOk();
    CPropertyGridProperty* FindInvalid(CPropertyGridProperty* property, QString& why) const;
    void ShowProblem(const QString& text);
    bool HandleTab();
    void LayOut();
    const QVariant* Stored(const void* variable) const;

    std::unique_ptr<CPropertyCondition> m_pPendingCondition;
    QFont m_font;
    CFEPropertyGridCtrl* m_grid = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QHash<quintptr, QVariant> m_values;
    QHash<quintptr, Validator> m_validators;
    CPropertyGridProperty* m_pCurrentGroup = nullptr;
    QString m_strTitle;
    int m_cx = 0;
    int m_cy = 0;
    bool m_conditionsApplied = false;
};
