// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder-row edits are undoable: each command changes the rows as asked,
// undo gives back exactly the rows before, redo the rows after, and a command
// that changes nothing records nothing.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "document/decoder_row_edits.h"
#include "document/vexlar_doc.h"

namespace {

CDecoderRowConfig Row(const char* name, const char* decoderLine, bool selected = false)
{
    return CDecoderRowConfig{QString::fromLatin1(name), decoderLine, 0, selected};
}

std::vector<CDecoderRowConfig> ThreeRows()
{
    return {Row("A", "uart:rx=#0"), Row("B", "spi:clk=#1:mosi=#2", true), Row("C", "i2c:scl=#3:sda=#4")};
}

struct EditCase {
    const char* name;
    std::function<bool(CVexlarDoc&)> edit;
    std::vector<CDecoderRowConfig> after;   // empty with changes = false: nothing recorded
    bool changes;
    const char* undoText;
};

std::vector<EditCase> Cases()
{
    const CDecoderRowConfig a = Row("A", "uart:rx=#0"), b = Row("B", "spi:clk=#1:mosi=#2", true),
                            c = Row("C", "i2c:scl=#3:sda=#4");
    CDecoderRowConfig bUnselected = b;
    bUnselected.selected = false;
    CDecoderRowConfig renamed = b;
    renamed.name = QStringLiteral("SPI flash");
    CDecoderRowConfig edited = c;
    edited.decoderLine = "i2c:scl=#5:sda=#6";
    edited.samplerate = 4000000;
    const CDecoderRowConfig added = Row("D", "can:can_rx=#7");
    return {
        {"add", [=](CVexlarDoc& d) { return DecoderRowEdits::Add(d, added); }, {a, b, c, added}, true, "Add Decoder"},
        {"replace",
         [=](CVexlarDoc& d) { return DecoderRowEdits::Replace(d, 2, edited); },
         {a, b, edited},
         true,
         "Edit Decoder"},
        {"rename",
         [](CVexlarDoc& d) { return DecoderRowEdits::Rename(d, 1, QStringLiteral("SPI flash")); },
         {a, renamed, c},
         true,
         "Rename Decoder Row"},
        {"duplicate",
         [](CVexlarDoc& d) { return DecoderRowEdits::Duplicate(d, 1); },
         {a, bUnselected, b, c},
         true,
         "Duplicate Decoder Row"},
        {"delete", [](CVexlarDoc& d) { return DecoderRowEdits::Delete(d, 0); }, {b, c}, true, "Delete Decoder Row"},
        {"move up", [](CVexlarDoc& d) { return DecoderRowEdits::Move(d, 2, -1); }, {a, c, b}, true, "Move Decoder Row"},
        {"move down",
         [](CVexlarDoc& d) { return DecoderRowEdits::Move(d, 0, +1); },
         {b, a, c},
         true,
         "Move Decoder Row"},
        {"first row up", [](CVexlarDoc& d) { return DecoderRowEdits::Move(d, 0, -1); }, {}, false, ""},
        {"last row down", [](CVexlarDoc& d) { return DecoderRowEdits::Move(d, 2, +1); }, {}, false, ""},
        {"same name", [](CVexlarDoc& d) { return DecoderRowEdits::Rename(d, 0, QStringLiteral("A")); }, {}, false, ""},
        {"no such row", [](CVexlarDoc& d) { return DecoderRowEdits::Delete(d, 3); }, {}, false, ""},
    };
}

TEST(DecoderRowEdits, EachCommandIsUndoneAndRedoneExactly)
{
    for (const EditCase& edit : Cases()) {
        SCOPED_TRACE(edit.name);
        CVexlarDoc doc;
        doc.m_decoderRows = ThreeRows();
        doc.SetModifiedFlag(false);   // as after a save
        const uint64_t revision = doc.Revision();
        ASSERT_EQ(edit.edit(doc), edit.changes);
        if (!edit.changes) {
            EXPECT_EQ(doc.m_decoderRows, ThreeRows());
            EXPECT_FALSE(doc.m_undo.CanUndo());
            EXPECT_FALSE(doc.IsModified());
            continue;
        }
        EXPECT_EQ(doc.m_decoderRows, edit.after);
        EXPECT_NE(doc.Revision(), revision);   // windows and decodes hear of it
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.m_undo.UndoText(), QString::fromLatin1(edit.undoText));
        ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(doc.m_decoderRows, ThreeRows());
        EXPECT_FALSE(doc.IsModified());
        ASSERT_TRUE(doc.Redo());
        EXPECT_EQ(doc.m_decoderRows, edit.after);
        EXPECT_TRUE(doc.IsModified());
    }
}

}   // namespace
