// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/text_export.h"

#include <locale>
#include <sstream>
#include <vector>

#include "document/export_fields.h"
#include "document/text_output.h"
#include "document/vexlar_doc.h"
#include "model/windows1252.h"

namespace {

void AppendValue(CTextOutput& out, const CSignal& s, uint32_t value)
{
    char text[CSignal::kMaxValueChars];
    const int32_t len = s.FormatValueAscii(text, value);
    if (len > 0)
        out.Append(std::string_view(text, static_cast<size_t>(len)));
}

}   // namespace

void WriteCsv(const CVexlarDoc& doc, CTextOutput& out)
{
    CheckExportFields(doc, false);
    std::vector<const CSignal*> exported;
    for (const CSignal* s : doc.m_signals) {
        if (!s->m_spectrum)
            exported.push_back(s);
    }
    if (exported.empty())
        return;

    std::string header;
    for (size_t k = 0; k < exported.size(); ++k) {
        if (k != 0)
            header.push_back(',');
        AppendWindows1252(header, exported[k]->m_name);
    }
    out.Line(header);

    const int32_t rows = exported.back()->m_count;
    for (int32_t i = 0; i < rows; ++i) {
        for (size_t k = 0; k < exported.size(); ++k) {
            if (k != 0)
                out.Append(',');
            const CSignal& s = *exported[k];
            if (i < s.m_count)   // never read past a shorter signal's samples
                AppendValue(out, s, s.m_samples[i]);
        }
        out.EndLine();
    }
}

void ExportCsv(const CVexlarDoc& doc, const QString& path)
{
    CheckExportFields(doc, false);   // before the file is touched
    CTextOutput out(path);
    WriteCsv(doc, out);
    out.Close();
}

void WriteSignalText(const CSignal& signal, CTextOutput& out)
{
    if (!signal.m_spectrum)
        CheckExportField(signal);
    if (signal.m_spectrum) {
        std::ostringstream line;
        line.imbue(std::locale::classic());
        for (int32_t k = 0; k < CSignal::kSpectrumBins; ++k) {
            line.str(std::string());
            line << signal.m_spectrumDb[k];
            out.Line(line.str());
        }
        return;
    }
    for (int32_t i = 0; i < signal.m_count; ++i) {
        AppendValue(out, signal, signal.m_samples[i]);
        out.EndLine();
    }
}

void ExportSignalText(const CSignal& signal, const QString& path)
{
    if (!signal.m_spectrum)
        CheckExportField(signal);   // before the file is touched
    CTextOutput out(path);
    WriteSignalText(signal, out);
    out.Close();
}
