// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/add_decoder_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "decode/decoder_stack.h"
#include "decode/headless_decode.h"
#include "document/vexlar_doc.h"

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

}   // namespace

CAddDecoderDialog::CAddDecoderDialog(const CVexlarDoc& doc, const CDecoderRowConfig* existing, QWidget* parent)
    : QDialog(parent), m_doc(doc)
{
    setWindowTitle(existing ? QStringLiteral("Edit Decoder") : QStringLiteral("Add Decoder"));
    setObjectName(QStringLiteral("AddDecoderDialog"));
    auto* layout = new QVBoxLayout(this);
    const CDecoderCatalog& catalog = CDecoderCatalog::Instance();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!catalog.Error().empty()) {
        auto* none =
            new QLabel(Q(catalog.Error()) + QStringLiteral("\nInstall the protocol decoders (Debian package "
                                                           "libsigrokdecode4 and its decoders) to decode buses."),
                       this);
        none->setObjectName(QStringLiteral("noDecoders"));
        layout->addWidget(none);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
        layout->addWidget(buttons);
        return;
    }

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("decoderFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter decoders"));
    layout->addWidget(m_filter);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("decoderList"));
    for (const DecoderInfo& d : catalog.Decoders()) {
        if (!d.TakesLogic())
            continue;   // stacked decoders are typed into the decoder line
        auto* item = new QListWidgetItem(Q(d.id) + QStringLiteral(" - ") + Q(d.longname), m_list);
        item->setData(Qt::UserRole, Q(d.id));
        item->setToolTip(Q(d.desc));
    }
    m_list->setMinimumHeight(160);
    layout->addWidget(m_list);
    m_description = new QLabel(this);
    m_description->setWordWrap(true);
    layout->addWidget(m_description);

    m_settings = new QWidget(this);
    m_form = new QFormLayout(m_settings);
    layout->addWidget(m_settings);

    auto* common = new QFormLayout;
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("decoderName"));
    common->addRow(QStringLiteral("Row name"), m_name);
    m_rate = new QLineEdit(this);
    m_rate->setObjectName(QStringLiteral("decoderSamplerate"));
    m_rate->setPlaceholderText(QStringLiteral("from the document"));
    common->addRow(QStringLiteral("Sample rate (Hz)"), m_rate);
    m_decoderLine = new QLineEdit(this);
    m_decoderLine->setObjectName(QStringLiteral("decoderLine"));
    m_decoderLine->setToolTip(
        QStringLiteral("DECODER:KEY=VALUE[:KEY=VALUE...]; add ,DECODER to stack a decoder on it"));
    common->addRow(QStringLiteral("Decoder line"), m_decoderLine);
    layout->addLayout(common);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("decoderError"));
    m_error->setStyleSheet(QStringLiteral("color: #ff6e5a"));
    m_error->setWordWrap(true);
    layout->addWidget(m_error);
    layout->addWidget(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &CAddDecoderDialog::Filter);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            ShowDecoder(item->data(Qt::UserRole).toString());
    });

    if (existing) {
        m_row = *existing;
        m_name->setText(existing->name);
        if (existing->samplerate)
            m_rate->setText(QString::number(existing->samplerate));
        DecoderStack stack;
        std::string error;
        const std::string id = existing->decoderLine.substr(0, existing->decoderLine.find_first_of(":,"));
        for (int i = 0; i < m_list->count(); ++i) {
            if (m_list->item(i)->data(Qt::UserRole).toString() == Q(id))
                m_list->setCurrentRow(i);
        }
        // The row's own settings over the defaults the list choice showed.
        if (ParseDecoderLine(existing->decoderLine, catalog, stack, error) && !stack.decoders.empty()) {
            for (Binding& b : m_bindings) {
                QString value;
                for (const auto& [cid, source] : stack.decoders[0].channels) {
                    if (cid == b.id)
                        value = source.bit >= 0 ? QStringLiteral("#%1").arg(source.bit) : Q(source.signalName);
                }
                for (const auto& [oid, v] : stack.decoders[0].options) {
                    if (oid == b.id)
                        value = Q(OptionValueText(v));
                }
                if (value.isNull())
                    continue;
                if (b.combo) {
                    const int at = b.combo->findData(value);
                    if (at >= 0)
                        b.combo->setCurrentIndex(at);
                } else {
                    b.edit->setText(value);
                }
            }
        }
        m_decoderLine->setText(Q(existing->decoderLine));
        m_name->setText(existing->name);
    }
}

void CAddDecoderDialog::Filter(const QString& text)
{
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem* item = m_list->item(i);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive) &&
                        !item->toolTip().contains(text, Qt::CaseInsensitive));
    }
}

void CAddDecoderDialog::ShowDecoder(const QString& id)
{
    m_decoder = CDecoderCatalog::Instance().Find(id.toStdString());
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    m_bindings.clear();
    if (!m_decoder)
        return;
    m_description->setText(Q(m_decoder->longname) + QStringLiteral(": ") + Q(m_decoder->desc));
    m_name->setText(Q(m_decoder->name));

    // Channel choices: bits of the sample word, then one-bit signals by name.
    QStringList signalNames;
    for (const CSignal* s : m_doc.m_signals) {
        if (s->m_numBits == 1 && !signalNames.contains(s->m_name))
            signalNames << s->m_name;
    }
    int nextBit = 0;
    auto addChannel = [&](const DecoderChannelInfo& ch, bool optional) {
        auto* combo = new QComboBox(m_settings);
        combo->setObjectName(QStringLiteral("channel_") + Q(ch.id));
        if (optional)
            combo->addItem(QStringLiteral("(not used)"), QString());
        for (const QString& name : signalNames)
            combo->addItem(QStringLiteral("signal ") + name, name);
        for (int bit = 0; bit < 32; ++bit)
            combo->addItem(QStringLiteral("bit %1").arg(bit), QStringLiteral("#%1").arg(bit));
        if (!optional) {
            // Required channels start on distinct bits.
            combo->setCurrentIndex(combo->findData(QStringLiteral("#%1").arg(nextBit++)));
        }
        m_form->addRow(Q(ch.name) + (optional ? QString() : QStringLiteral(" *")), combo);
        combo->setToolTip(Q(ch.desc));
        connect(combo, &QComboBox::currentIndexChanged, this, &CAddDecoderDialog::UpdateDecoderLine);
        m_bindings.push_back({ch.id, true, combo, nullptr});
    };
    for (const DecoderChannelInfo& ch : m_decoder->channels)
        addChannel(ch, false);
    for (const DecoderChannelInfo& ch : m_decoder->optChannels)
        addChannel(ch, true);
    for (const DecoderOptionInfo& o : m_decoder->options) {
        if (!o.values.empty()) {
            auto* combo = new QComboBox(m_settings);
            combo->setObjectName(QStringLiteral("option_") + Q(o.id));
            for (const DecoderOptionValue& v : o.values)
                combo->addItem(Q(OptionValueText(v)), Q(OptionValueText(v)));
            combo->setCurrentIndex(combo->findData(Q(OptionValueText(o.def))));
            connect(combo, &QComboBox::currentIndexChanged, this, &CAddDecoderDialog::UpdateDecoderLine);
            m_form->addRow(Q(o.desc), combo);
            m_bindings.push_back({o.id, false, combo, nullptr});
        } else {
            auto* edit = new QLineEdit(Q(OptionValueText(o.def)), m_settings);
            edit->setObjectName(QStringLiteral("option_") + Q(o.id));
            connect(edit, &QLineEdit::textChanged, this, &CAddDecoderDialog::UpdateDecoderLine);
            m_form->addRow(Q(o.desc), edit);
            m_bindings.push_back({o.id, false, nullptr, edit});
        }
    }
    UpdateDecoderLine();
}

void CAddDecoderDialog::UpdateDecoderLine()
{
    if (!m_decoder)
        return;
    QString line = Q(m_decoder->id);
    for (const Binding& b : m_bindings) {
        const QString value = b.combo ? b.combo->currentData().toString() : b.edit->text();
        if (value.isEmpty())
            continue;
        if (!b.channel) {
            // Options at their defaults are left out of the text.
            const DecoderOptionInfo* o = m_decoder->FindOption(b.id);
            if (o && value == Q(OptionValueText(o->def)))
                continue;
        }
        line += QStringLiteral(":") + Q(b.id) + QStringLiteral("=") + value;
    }
    m_decoderLine->setText(line);
}

void CAddDecoderDialog::accept()
{
    const CDecoderCatalog& catalog = CDecoderCatalog::Instance();
    DecoderStack stack;
    std::string error;
    if (!ParseDecoderLine(m_decoderLine->text().trimmed().toStdString(), catalog, stack, error)) {
        m_error->setText(Q(error));
        return;
    }
    uint64_t rate = 0;
    if (!m_rate->text().trimmed().isEmpty() && !ParseSamplerate(m_rate->text(), rate)) {
        m_error->setText(QStringLiteral("The sample rate needs a positive number of Hz."));
        return;
    }
    m_row.decoderLine = FormatDecoderLine(stack);
    m_row.samplerate = rate;
    m_row.name = m_name->text().trimmed().isEmpty() ? Q(stack.decoders.back().decoderId) : m_name->text().trimmed();
    QDialog::accept();
}

bool EditDecoderRow(const CVexlarDoc& doc, CDecoderRowConfig& row, bool adding, QWidget* parent)
{
    CAddDecoderDialog dialog(doc, adding ? nullptr : &row, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    row = dialog.Row();
    return true;
}
