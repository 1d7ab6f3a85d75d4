// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/headless_decode.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "decode/decode_session.h"
#include "decode/srd_runtime.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "model/time_units.h"

namespace {

int Usage()
{
    std::fputs("usage: vexlar --decode DECODER:KEY=VALUE[:KEY=VALUE...] [--samplerate HZ] IN.VEXLAR\n", stderr);
    return 2;
}

}   // namespace

bool IsHeadlessDecodeRequest(const QStringList& args)
{
    return args.contains(QStringLiteral("--decode"));
}

bool ParseSamplerate(const QString& text, uint64_t& hz)
{
    double value = 0.0;
    if (!TimeUnits::ParseSampleRate(text, value) || value < 1.0)
        return false;
    hz = static_cast<uint64_t>(std::llround(value));
    return true;
}

int RunHeadlessDecode(const QStringList& args)
{
    QString decoderLine;
    QString rateText;
    QString in;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--decode") && i + 1 < args.size() && decoderLine.isNull()) {
            decoderLine = args[++i];
        } else if (a == QLatin1String("--samplerate") && i + 1 < args.size() && rateText.isNull()) {
            rateText = args[++i];
        } else if (!a.startsWith(QLatin1String("--")) && in.isNull()) {
            in = a;
        } else {
            return Usage();
        }
    }
    if (decoderLine.isNull() || in.isEmpty())
        return Usage();
    uint64_t samplerate = 0;
    if (!rateText.isNull() && !ParseSamplerate(rateText, samplerate)) {
        std::fprintf(stderr, "vexlar: --samplerate needs a positive number of Hz, not '%s'\n",
                     rateText.toLocal8Bit().constData());
        return 2;
    }

    // Only the decoders its decoder line names are loaded.
    std::vector<std::string> ids;
    for (const QString& part : decoderLine.split(QLatin1Char(',')))
        ids.push_back(part.section(QLatin1Char(':'), 0, 0).toStdString());
    const CDecoderCatalog catalog = CDecoderCatalog::Load(ids);
    if (!SrdInitError().empty()) {
        std::fprintf(stderr, "vexlar: %s\n", SrdInitError().c_str());
        return 1;
    }
    DecodeJob job;
    std::string error;
    if (!ParseDecoderLine(decoderLine.toStdString(), catalog, job.stack, error)) {
        std::fprintf(stderr, "vexlar: bad decoder line: %s\n", error.c_str());
        return 2;
    }
    CVexlarDoc doc;
    try {
        OpenDocumentFile(doc, in);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", in.toLocal8Bit().constData(), e.what());
        return 1;
    }
    if (!BuildDecodeInput(job.stack, doc.m_signals, job.input, error)) {
        std::fprintf(stderr, "vexlar: %s\n", error.c_str());
        return 2;
    }
    // Without --samplerate the document's own rate counts (none: decoders
    // that need one say so).
    if (samplerate == 0 && doc.m_sampleRate >= 1.0)
        samplerate = static_cast<uint64_t>(std::llround(doc.m_sampleRate));
    job.samplerate = samplerate;
    const DecodeResult result = RunDecode(job, nullptr, &catalog);
    const CAnnotationStore& store = result.annotations;
    // A failed write (a full disk behind a redirection, a closed pipe) ends
    // the run with an error: a cut-off listing must not look like a whole one.
    std::string out;
    bool written = true;
    for (const Annotation& a : store.Items()) {
        out += std::to_string(a.start) + '-' + std::to_string(a.end) + ' ' + store.DecoderId(a) + ": " +
               store.ClassId(a) + ": ";
        out += store.Text(a);
        out += '\n';
        if (out.size() > (1u << 16)) {
            written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
            out.clear();
            if (!written)
                break;
        }
    }
    if (written)
        written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)
        written = false;
    if (!written) {
        std::fprintf(stderr, "vexlar: could not write the annotations to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    if (!result.ok) {
        std::fprintf(stderr, "vexlar: %s\n", result.error.c_str());
        return 1;
    }
    return 0;
}
