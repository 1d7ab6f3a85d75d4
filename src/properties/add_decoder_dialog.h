// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Add Decoder": every decoder of the protocol decoder library in a
// filterable list; for the chosen one, its channels mapped to one-bit fields
// of the sample word (a bit number, or an existing one-bit signal), its
// options with their defaults, a sample rate, and the row's name. The result
// is a decoder row of the document. Without decoders it says so.

#include <QDialog>

#include <vector>

#include "document/decoder_row.h"

class CVexlarDoc;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
struct DecoderInfo;

class CAddDecoderDialog : public QDialog {
    Q_OBJECT

public:
    // `existing`: edit that row instead of adding one.
    CAddDecoderDialog(const CVexlarDoc& doc, const CDecoderRowConfig* existing, QWidget* parent = nullptr);

    // The row after OK.
    const CDecoderRowConfig& Row() const { return m_row; }

    void accept() override;

private:
    void Filter(const QString& text);
    void ShowDecoder(const QString& id);
    void UpdateDecoderLine();

    const CVexlarDoc& m_doc;
    CDecoderRowConfig m_row;
    const DecoderInfo* m_decoder = nullptr;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_description = nullptr;
    QWidget* m_settings = nullptr;
    QFormLayout* m_form = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_rate = nullptr;
    QLineEdit* m_decoderLine = nullptr;
    QLabel* m_error = nullptr;
    struct Binding {
        std::string id;
        bool channel;
        QComboBox* combo;   // channels, and options with listed values
        QLineEdit* edit;    // other options
    };
    std::vector<Binding> m_bindings;
};

// Runs the dialog; true (and `row` set) after OK.
bool EditDecoderRow(const CVexlarDoc& doc, CDecoderRowConfig& row, bool adding, QWidget* parent);
