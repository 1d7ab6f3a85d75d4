// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/vcd_export.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "document/export_fields.h"
#include "document/text_output.h"
#include "document/vexlar_doc.h"
#include "model/windows1252.h"

namespace {

// A reference name that every reader takes: letters, digits and '_' only,
// not starting with a digit, unique within the scope.
std::string VcdName(const QString& name, std::set<std::string>& used)
{
    std::string base;
    for (const char c : EncodeWindows1252(name)) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        base.push_back(ok ? c : '_');
    }
    if (base.empty())
        base = "signal";
    if (base.front() >= '0' && base.front() <= '9')
        base.insert(base.begin(), '_');
    std::string unique = base;
    for (int n = 2; used.count(unique) != 0; ++n)
        unique = base + "_" + std::to_string(n);
    used.insert(unique);
    return unique;
}

struct Variable {
    const CSignal* signal;
    std::string code;
    int32_t width;   // declared width
};

// Two samples read the same within the variable's width.
bool SameValue(const Variable& v, uint32_t a, uint32_t b)
{
    const uint32_t diff = a ^ b;
    return v.width >= 32 ? diff == 0 : (diff & ((1u << v.width) - 1u)) == 0;
}

void AppendValue(std::string& line, const Variable& v, int32_t i)
{
    if (i >= v.signal->m_count) {
        line += v.width == 1 ? "x" : "bx ";
        line += v.code;
        return;
    }
    const uint32_t value = v.signal->m_samples[i];
    if (v.width == 1) {
        line.push_back((value & 1u) ? '1' : '0');
    } else {
        char digits[CSignal::kMaxBinaryDigits];
        line.push_back('b');
        line.append(digits, static_cast<size_t>(CSignal::WriteBinaryDigits(digits, value, v.width)));
        line.push_back(' ');
    }
    line += v.code;
}

}   // namespace

std::string VcdIdentifierCode(uint64_t index)
{
    std::string code;
    do {
        code.push_back(static_cast<char>(33 + index % 94));
        index /= 94;
    } while (index != 0);
    return code;
}

void VcdTimeStep(double sampleFreq, std::string& timescale, uint64_t& unitsPerSample)
{
    if (!std::isfinite(sampleFreq) || sampleFreq <= 0.0)
        sampleFreq = 1.0;
    const double period = 1.0 / sampleFreq;
    struct Unit {
        const char* text;
        double seconds;
    };
    static const Unit units[] = {{"1 s", 1.0},   {"1 ms", 1e-3},  {"1 us", 1e-6},
                                 {"1 ns", 1e-9}, {"1 ps", 1e-12}, {"1 fs", 1e-15}};
    // The largest unit that divides the period exactly; otherwise the largest
    // that resolves it to better than 0.1%.
    // At most 2^32 units per sample, so that the time of any of up to
    // INT32_MAX samples fits the 64-bit time stamps (a period of more than
    // 136 years is cut to that).
    constexpr double kMaxUnits = 4294967296.0;
    const Unit* chosen = nullptr;
    for (const Unit& u : units) {
        const double x = period / u.seconds;
        if (x >= 1.0 && x <= kMaxUnits && std::fabs(x - std::round(x)) <= std::max(1e-9, 1e-13 * x)) {
            chosen = &u;
            break;
        }
    }
    if (chosen == nullptr) {
        for (const Unit& u : units) {
            if (period / u.seconds >= 1000.0) {
                chosen = &u;
                break;
            }
        }
    }
    if (chosen == nullptr)
        chosen = &units[5];
    const double x = std::clamp(std::round(period / chosen->seconds), 1.0, kMaxUnits);
    timescale = chosen->text;
    unitsPerSample = static_cast<uint64_t>(x);
}

void WriteVcd(const CVexlarDoc& doc, CTextOutput& out)
{
    CheckExportFields(doc, false);
    std::vector<Variable> vars;
    std::set<std::string> names;
    // The document's sample rate; without one, the first signal's sample
    // frequency, as files without a rate have always been written.
    double sampleFreq = doc.m_signals.empty() ? 1.0 : doc.m_signals.front()->m_sampleFreq;
    if (doc.m_sampleRate > 0.0)
        sampleFreq = doc.m_sampleRate;
    std::string timescale;
    uint64_t step = 1;
    VcdTimeStep(sampleFreq, timescale, step);

    out.Line("$version Vexlar $end");
    out.Line("$timescale " + timescale + " $end");
    out.Line("$scope module vexlar $end");
    for (const CSignal* s : doc.m_signals) {
        if (s->m_spectrum)
            continue;
        Variable v{s, VcdIdentifierCode(vars.size()), std::clamp(s->m_numBits, 1, CSignal::kMaxBinaryDigits)};
        const std::string name = VcdName(s->m_name, names);
        if (v.width == 1)
            out.Line("$var wire 1 " + v.code + " " + name + " $end");
        else
            out.Line("$var wire " + std::to_string(v.width) + " " + v.code + " " + name + " [" +
                     std::to_string(v.width - 1) + ":0] $end");
        vars.push_back(std::move(v));
    }
    out.Line("$upscope $end");
    out.Line("$enddefinitions $end");

    int32_t samples = 0;
    for (const Variable& v : vars)
        samples = std::max(samples, v.signal->m_count);

    std::string line;
    out.Line("#0");
    out.Line("$dumpvars");
    for (const Variable& v : vars) {
        line.clear();
        AppendValue(line, v, 0);
        out.Line(line);
    }
    out.Line("$end");
    for (int32_t i = 1; i < samples; ++i) {
        bool stamped = false;
        for (const Variable& v : vars) {
            const CSignal& s = *v.signal;
            const bool had = i - 1 < s.m_count;
            const bool has = i < s.m_count;
            if (!has && !had)
                continue;
            if (has && had && SameValue(v, s.m_samples[i], s.m_samples[i - 1]))
                continue;
            if (!stamped) {
                out.Line("#" + std::to_string(static_cast<uint64_t>(i) * step));
                stamped = true;
            }
            line.clear();
            AppendValue(line, v, i);
            out.Line(line);
        }
    }
    // The end of the last sample, so readers show its full width.
    if (samples > 0)
        out.Line("#" + std::to_string(static_cast<uint64_t>(samples) * step));
}

void ExportVcd(const CVexlarDoc& doc, const QString& path)
{
    CheckExportFields(doc, false);   // before the file is touched
    CTextOutput out(path);
    WriteVcd(doc, out);
    out.Close();
}
