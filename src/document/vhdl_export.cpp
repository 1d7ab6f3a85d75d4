// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/vhdl_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <string_view>
#include <vector>

#include "document/export_fields.h"
#include "document/text_output.h"
#include "document/vexlar_doc.h"
#include "model/errors.h"
#include "model/windows1252.h"

namespace {

// Reserved words of VHDL-2008 (a superset of VHDL-93's), plus the names the
// testbench itself declares or uses, which a signal must not hide.
const std::set<std::string, std::less<>>& TakenWords()
{
    // clang-format off
    static const std::set<std::string, std::less<>> words = {
        "abs", "access", "after", "alias", "all", "and", "architecture", "array", "assert",
        "assume", "assume_guarantee", "attribute", "begin", "block", "body", "buffer", "bus",
        "case", "component", "configuration", "constant", "context", "cover", "default",
        "disconnect", "downto", "else", "elsif", "end", "entity", "exit", "fairness", "file",
        "for", "force", "function", "generate", "generic", "group", "guarded", "if", "impure",
        "in", "inertial", "inout", "is", "label", "library", "linkage", "literal", "loop", "map",
        "mod", "nand", "new", "next", "nor", "not", "null", "of", "on", "open", "or", "others",
        "out", "package", "parameter", "port", "postponed", "procedure", "process", "property",
        "protected", "pure", "range", "record", "register", "reject", "release", "rem", "report",
        "restrict", "restrict_guarantee", "return", "rol", "ror", "select", "sequence",
        "severity", "shared", "signal", "sla", "sll", "sra", "srl", "strong", "subtype", "then",
        "to", "transport", "type", "unaffected", "units", "until", "use", "variable", "vmode",
        "vprop", "vunit", "wait", "when", "while", "with", "xnor", "xor",
        // the testbench's own names
        "tb", "sim", "clk", "reset", "sproc", "ieee", "std", "work", "std_logic",
        "std_logic_vector", "std_logic_1164", "numeric_std",
    };
    // clang-format on
    return words;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBasicIdentifier(std::string_view s)
{
    if (s.empty() || !IsLetter(s.front()) || s.back() == '_')
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '_') {
            if (s[i + 1] == '_')
                return false;
        } else if (!IsLetter(c) && !IsDigit(c)) {
            return false;
        }
    }
    std::string lower(s);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return TakenWords().count(lower) == 0;
}

// Graphic characters of VHDL's (Latin-1) character set.
bool IsGraphic(unsigned char c)
{
    return (c >= 0x20 && c <= 0x7E) || c >= 0xA0;
}

std::string Extended(std::string_view text)
{
    std::string id = "\\";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            id += "\\\\";
        else
            id.push_back(IsGraphic(c) ? ch : '?');
    }
    id.push_back('\\');
    return id;
}

std::string Decimal(long long v)
{
    return std::to_string(v);
}

// Exactly `width` binary digits of value (bits from 32 upward are 0).
std::string BinaryDigits(uint32_t value, int32_t width)
{
    char digits[CSignal::kMaxBinaryDigits];
    return std::string(digits, static_cast<size_t>(CSignal::WriteBinaryDigits(digits, value, width)));
}

uint32_t MaskOf(int32_t width)
{
    return width >= 32 ? 0xFFFFFFFFu : (width <= 0 ? 0u : ((1u << width) - 1u));
}

// The literal assigned to the first signal for one sample, and the comment
// that follows it (Unsigned and Signed keep their value text there).
void SampleLiteral(const CSignal& first, uint32_t value, std::string& literal)
{
    const int32_t w = first.m_numBits;
    char text[CSignal::kMaxValueChars];
    const int32_t len = first.FormatValueAscii(text, value);
    const std::string_view valueText(text, len > 0 ? static_cast<size_t>(len) : 0);
    if (w == 1) {
        literal = (value & 1u) ? "'1';" : "'0';";
        return;
    }
    switch (first.m_radix) {
    case Hex:
        // x"..." has four bits per digit: right only for a multiple of 4 and
        // a value that fits the width.
        if (w > 0 && w % 4 == 0 && w <= 32 && (value & ~MaskOf(w)) == 0 && len > 1) {
            literal.assign(valueText.substr(0, 1));
            literal += '"';
            literal.append(valueText.substr(1));
            literal += "\";";
        } else {
            literal = '"' + BinaryDigits(value, w) + "\";";
        }
        return;
    case Binary:
        literal = '"' + std::string(valueText) + "\";";
        return;
    case Unsigned:
    case Signed:
    default:
        literal = '"' + BinaryDigits(value, w) + "\"; -- " + std::string(valueText);
        return;
    }
}

// Right-hand side of a derived signal: the slice of the first signal when it
// lies inside it, otherwise the bits that exist with '0' for the others.
std::string SliceExpression(const std::string& f, int32_t firstWidth, int32_t b, int32_t w)
{
    const long long hi = static_cast<long long>(b) + w - 1;
    if (firstWidth > 1 && b >= 0 && hi <= firstWidth - 1) {
        if (w == 1)
            return f + "(" + Decimal(b) + ");";
        return f + "(" + Decimal(hi) + " downto " + Decimal(b) + ");";
    }
    if (firstWidth == 1 && b == 0 && w == 1)
        return f + ";";
    // Bit k of the signal is bit b+k of the first signal where that exists.
    std::vector<std::string> parts;   // most significant first
    for (long long k = static_cast<long long>(w) - 1; k >= 0; --k) {
        const long long src = b + k;
        if (src >= 0 && src < firstWidth)
            parts.push_back(firstWidth == 1 ? f : f + "(" + Decimal(src) + ")");
        else
            parts.push_back("'0'");
        if (parts.size() > static_cast<size_t>(CSignal::kMaxBinaryDigits))
            break;
    }
    if (w == 1)
        return parts.front() + ";";
    if (w < 1)
        return "(others => '0');";
    std::string expr = "(";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i != 0)
            expr += ", ";
        expr += parts[i];
    }
    return expr + ");";
}

}   // namespace

namespace {
// The 8-bit text a name is written from. An extended identifier needs at
// least one character, so an empty name stands as "unnamed" (written \unnamed\,
// which differs from a signal really named unnamed).
std::string NameText(const QString& name)
{
    std::string text = EncodeWindows1252(name);
    return text.empty() ? std::string("unnamed") : text;
}
}   // namespace

std::string VhdlTimeLiteral(double seconds)
{
    // Whole femtoseconds (a simulator's finest resolution), at least one.
    const double fs = std::round(seconds * 1e15);
    const long long count = fs >= 1.0 ? (fs < 9.2e18 ? static_cast<long long>(fs) : 9200000000000000000LL) : 1LL;
    struct Unit {
        const char* name;
        long long fs;
    };
    static const Unit units[] = {{"sec", 1000000000000000LL}, {"ms", 1000000000000LL}, {"us", 1000000000LL},
                                 {"ns", 1000000LL},           {"ps", 1000LL},          {"fs", 1LL}};
    for (const Unit& u : units) {
        if (count % u.fs == 0)
            return Decimal(count / u.fs) + " " + u.name;
    }
    return Decimal(count) + " fs";
}

std::string VhdlIdentifier(const QString& name)
{
    if (name.isEmpty())
        return Extended(NameText(name));
    const std::string text = EncodeWindows1252(name);
    return IsBasicIdentifier(text) ? text : Extended(text);
}

void WriteVhdlTestbench(const CVexlarDoc& doc, CTextOutput& out)
{
    CheckExportFields(doc, true);   // every signal is declared
    const std::string indent = "    ";
    out.EndLine();
    out.EndLine();
    out.Line("library ieee;");
    out.Line("use ieee.std_logic_1164.all;");
    out.Line("use ieee.numeric_std.aLL;");
    out.EndLine();
    out.EndLine();
    out.Line("entity TB is");
    out.Line("end entity;");
    out.EndLine();
    out.Line("architecture SIM of TB is");
    out.Line(indent + "signal Clk : std_logic := '0';");
    out.Line(indent + "signal Reset : std_logic := '1';");
    out.EndLine();

    // Identifiers, unique in VHDL's sense: basic ones ignore case, and a name
    // used twice becomes an extended identifier with a number.
    std::vector<std::string> ids;
    std::set<std::string> used;
    for (const CSignal* s : doc.m_signals) {
        std::string id = VhdlIdentifier(s->m_name);
        auto key = [](const std::string& v) {
            if (!v.empty() && v.front() == '\\')
                return v;
            std::string lower = v;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
            return lower;
        };
        if (used.count(key(id)) != 0) {
            const std::string base = NameText(s->m_name);
            id = Extended(base);   // distinct from the basic identifier of the same text
            for (int n = 2; used.count(key(id)) != 0; ++n)
                id = Extended(base + "_" + std::to_string(n));
        }
        used.insert(key(id));
        ids.push_back(id);
    }

    size_t k = 0;
    for (const CSignal* s : doc.m_signals) {
        const std::string& name = ids[k++];
        if (s->m_numBits == 1)
            out.Line(indent + "signal " + name + " : std_logic;");
        else
            out.Line(indent + "signal " + name + " : std_logic_vector(" +
                     Decimal(static_cast<long long>(s->m_numBits) - 1) + " downto 0);");
    }
    out.EndLine();
    out.Line("begin");
    // One sample per clock period: 10 ns without a sample rate, otherwise the
    // sample period; the reset ends after five periods.
    const double halfPeriod = doc.m_sampleRate > 0.0 ? 0.5 / doc.m_sampleRate : 5e-9;
    out.Line(indent + "Clk <= not Clk after " + VhdlTimeLiteral(halfPeriod) + ";");
    out.Line(indent + "Reset <= '0' after " + VhdlTimeLiteral(10.0 * halfPeriod) + ";");
    out.EndLine();

    if (doc.m_signals.empty()) {
        out.Close();
        throw CInvalidArgumentException();
    }
    const CSignal& first = *doc.m_signals.front();
    const std::string& f = ids.front();
    k = 0;
    for (const CSignal* s : doc.m_signals) {
        const std::string& name = ids[k++];
        if (s == &first)
            continue;
        out.Line(indent + name + " <= " + SliceExpression(f, first.m_numBits, s->m_firstBit, s->m_numBits));
    }
    out.EndLine();
    out.Line(indent + "SProc : process is");
    out.Line(indent + "begin");
    out.EndLine();
    const std::string prefix = indent + indent + "wait until Clk='1';" + indent + f + " <= ";
    std::string literal;
    for (int32_t i = 0; i < first.m_count; ++i) {
        SampleLiteral(first, first.m_samples[i], literal);
        out.Append(prefix);
        out.Line(literal);
    }
    out.Line(indent + indent + "wait;");
    out.EndLine();
    out.Line(indent + "end process;");
    out.EndLine();
    out.Line("end architecture;");
}

void ExportVhdlTestbench(const CVexlarDoc& doc, const QString& path)
{
    CheckExportFields(doc, true);   // before the file is touched
    CTextOutput out(path);
    WriteVhdlTestbench(doc, out);
    out.Close();
}
