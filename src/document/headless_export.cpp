// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/headless_export.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

#include "document/document_file.h"
#include "document/export_fields.h"
#include "document/text_export.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"

namespace {

int Usage()
{
    std::fputs("usage: vexlar --export csv|vhdl|vcd IN.VEXLAR OUT\n"
               "       vexlar --export-selected IN.VEXLAR OUT\n",
               stderr);
    return 2;
}

// The file of one selected signal when several are selected: OUT with the
// signal's row number before its ".txt" (out.txt -> out-2.txt, out -> out-2.txt).
QString NumberedPath(const QString& out, int row)
{
    QString stem = out;
    if (stem.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        stem.chop(4);
    return stem + QLatin1Char('-') + QString::number(row) + QStringLiteral(".txt");
}

// Export Selected without a window: the text of each selected signal, into
// OUT itself when one signal is selected, else one numbered file per signal.
// No selected signal is an error: nothing would be written. `writing` names
// the file an error is about.
void ExportSelectedSignals(const CVexlarDoc& doc, const QString& in, const QString& out, QString& writing)
{
    std::vector<std::pair<int, const CSignal*>> selected;
    int row = 0;
    for (const CSignal* s : doc.m_signals) {
        ++row;
        if (s->m_selected)
            selected.emplace_back(row, s);
    }
    if (selected.empty()) {
        writing = in;
        throw std::runtime_error("no signal is selected; select the signals to export in Vexlar and save the document");
    }
    for (const auto& [number, s] : selected) {
        writing = in;
        if (!s->m_spectrum)
            CheckExportField(*s);   // all checked before the first file is written
    }
    for (const auto& [number, s] : selected) {
        writing = selected.size() == 1 ? out : NumberedPath(out, number);
        ExportSignalText(*s, writing);
        std::printf("%s\n", writing.toLocal8Bit().constData());
    }
}

}   // namespace

QString HeadlessExportHelp()
{
    return QStringLiteral("Usage: vexlar-export --export csv|vhdl|vcd IN.VEXLAR OUT\n"
                          "  or:  vexlar-export --export-selected IN.VEXLAR OUT-PREFIX\n"
                          "Converts a saved Vexlar document without a window, then exits.\n"
                          "\n"
                          "Options:\n"
                          "  --export csv|vhdl|vcd IN.VEXLAR OUT\n"
                          "                       write the document to OUT as a comma-separated table,\n"
                          "                       a VHDL testbench or a VCD file\n"
                          "  --export-selected IN.VEXLAR OUT-PREFIX\n"
                          "                       write each selected signal as text, one value per line,\n"
                          "                       to OUT-PREFIX-ROW.txt (ROW counts the signals from 1)\n"
                          "  --help               show this text\n"
                          "\n"
                          "Exit status: 0 on success, 1 when the input or output file fails, 2 when the\n"
                          "arguments are not understood.\n");
}

bool IsHeadlessExportRequest(const QStringList& args)
{
    return args.contains(QStringLiteral("--export")) || args.contains(QStringLiteral("--export-selected"));
}

int RunHeadlessExport(const QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--export"));
    const qsizetype atSelected = args.indexOf(QStringLiteral("--export-selected"));
    QString format;
    QString in;
    QString out;
    if (at >= 0 && atSelected < 0 && args.size() == at + 4) {
        format = args[at + 1];
        in = args[at + 2];
        out = args[at + 3];
        if (format != QLatin1String("csv") && format != QLatin1String("vhdl") && format != QLatin1String("vcd"))
            return Usage();
    } else if (atSelected >= 0 && at < 0 && args.size() == atSelected + 3) {
        format = QStringLiteral("selected");
        in = args[atSelected + 1];
        out = args[atSelected + 2];
    } else {
        return Usage();
    }

    // A file size limit makes writes fail (and the output is abandoned)
    // instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);

    CVexlarDoc doc;
    try {
        OpenDocumentFile(doc, in);
        if (!doc.m_loadWarning.isEmpty())
            std::fprintf(stderr, "%s: %s\n", in.toLocal8Bit().constData(), doc.m_loadWarning.toLocal8Bit().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", in.toLocal8Bit().constData(), e.what());
        return 1;
    }
    QString writing = out;   // the file an error message names
    try {
        if (format == QLatin1String("csv")) {
            ExportCsv(doc, out);
        } else if (format == QLatin1String("vhdl")) {
            ExportVhdlTestbench(doc, out);
        } else if (format == QLatin1String("vcd")) {
            ExportVcd(doc, out);
        } else {
            ExportSelectedSignals(doc, in, out, writing);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", writing.toLocal8Bit().constData(), e.what());
        return 1;
    }
    return 0;
}
