// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/decoder_row_edits.h"

#include <cstddef>
#include <memory>
#include <utility>

#include "document/vexlar_doc.h"

namespace {

class CDecoderRowsChange : public CUndoCommand {
public:
    CDecoderRowsChange(std::vector<CDecoderRowConfig> before, std::vector<CDecoderRowConfig> after, QString text)
        : m_before(std::move(before)), m_after(std::move(after)), m_text(std::move(text))
    {}
    void Undo(CVexlarDoc& doc) override { doc.m_decoderRows = m_before; }
    void Redo(CVexlarDoc& doc) override { doc.m_decoderRows = m_after; }
    QString Text() const override { return m_text; }
    size_t MemoryBytes() const override
    {
        size_t bytes = sizeof(*this);
        for (const auto* rows : {&m_before, &m_after}) {
            for (const CDecoderRowConfig& row : *rows)
                bytes += sizeof(row) + row.decoderLine.size() + static_cast<size_t>(row.name.size()) * 2;
        }
        return bytes;
    }

private:
    std::vector<CDecoderRowConfig> m_before;
    std::vector<CDecoderRowConfig> m_after;
    QString m_text;
};

}   // namespace

namespace DecoderRowEdits {

bool SetRows(CVexlarDoc& doc, std::vector<CDecoderRowConfig> rows, const QString& text)
{
    if (rows == doc.m_decoderRows)
        return false;
    doc.ExecuteUndoable(std::make_unique<CDecoderRowsChange>(doc.m_decoderRows, std::move(rows), text));
    return true;
}

bool Add(CVexlarDoc& doc, const CDecoderRowConfig& row)
{
    auto rows = doc.m_decoderRows;
    rows.push_back(row);
    return SetRows(doc, std::move(rows), QStringLiteral("Add Decoder"));
}

bool Replace(CVexlarDoc& doc, size_t index, const CDecoderRowConfig& row)
{
    if (index >= doc.m_decoderRows.size())
        return false;
    auto rows = doc.m_decoderRows;
    rows[index] = row;
    return SetRows(doc, std::move(rows), QStringLiteral("Edit Decoder"));
}

bool Rename(CVexlarDoc& doc, size_t index, const QString& name)
{
    if (index >= doc.m_decoderRows.size())
        return false;
    auto rows = doc.m_decoderRows;
    rows[index].name = name;
    return SetRows(doc, std::move(rows), QStringLiteral("Rename Decoder Row"));
}

bool Duplicate(CVexlarDoc& doc, size_t index)
{
    if (index >= doc.m_decoderRows.size())
        return false;
    auto rows = doc.m_decoderRows;
    CDecoderRowConfig copy = rows[index];
    rows[index].selected = false;
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(copy));
    return SetRows(doc, std::move(rows), QStringLiteral("Duplicate Decoder Row"));
}

bool Delete(CVexlarDoc& doc, size_t index)
{
    if (index >= doc.m_decoderRows.size())
        return false;
    auto rows = doc.m_decoderRows;
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(index));
    return SetRows(doc, std::move(rows), QStringLiteral("Delete Decoder Row"));
}

bool Move(CVexlarDoc& doc, size_t index, int delta)
{
    const size_t n = doc.m_decoderRows.size();
    if (index >= n || (delta < 0 && index == 0) || (delta > 0 && index + 1 >= n) || delta == 0)
        return false;
    auto rows = doc.m_decoderRows;
    std::swap(rows[index], rows[delta < 0 ? index - 1 : index + 1]);
    return SetRows(doc, std::move(rows), QStringLiteral("Move Decoder Row"));
}

}   // namespace DecoderRowEdits
