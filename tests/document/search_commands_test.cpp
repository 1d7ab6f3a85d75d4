// SPDX-License-Identifier: GPL-3.0-or-later
// The Edit menu's searches on a document: from M1 (or the given sample), on
// the selected signal, moving M1 as an edit.

#include <gtest/gtest.h>

#include "document/search_commands.h"
#include "document/vexlar_doc.h"

namespace {

using SignalSearch::Direction;

CSignal* Add(CVexlarDoc& doc, int bits, std::initializer_list<uint32_t> samples)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_numBits = bits;
    s->UpdateMask();
    s->EnsureCapacity(static_cast<int32_t>(samples.size()));
    int32_t i = 0;
    for (uint32_t v : samples)
        s->m_samples[i++] = v;
    s->m_count = i;
    return s;
}

TEST(SearchCommands, EdgesAndValuesMoveMarkerOne)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    CSignal* bus = Add(doc, 8, {1, 1, 5, 5, 1, 7, 5, 5});
    CSignal* line = Add(doc, 1, {0, 0, 1, 1, 0, 0, 1, 0});
    doc.SetModifiedFlag(false);

    // Nothing selected: no target, M1 stays.
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Forward, 0), -1);
    EXPECT_EQ(doc.m_marker1, -1);

    line->m_selected = true;
    bus->m_selected = true;
    EXPECT_EQ(SearchCommands::EdgeTarget(doc), line);   // the one-bit signal
    EXPECT_EQ(SearchCommands::ValueTarget(doc), bus);   // the bus
    // Without M1 the search starts at the given sample.
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Forward, 3), 4);
    EXPECT_EQ(doc.m_marker1, 4);
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Forward, 0), 6);   // from M1 now
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Forward, 0), 7);
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Forward, 0), -1);
    EXPECT_EQ(doc.m_marker1, 7) << "nothing found: M1 stays";
    EXPECT_EQ(SearchCommands::FindEdge(doc, Direction::Backward, 0), 6);

    // The bus value 5, the whole value and with a mask.
    EXPECT_EQ(SearchCommands::FindValue(doc, Direction::Backward, 0, 5, 0xFF), 2);
    EXPECT_EQ(SearchCommands::FindValue(doc, Direction::Forward, 0, 5, 0xFF), 6);
    EXPECT_EQ(SearchCommands::FindValue(doc, Direction::Backward, 0, 1, 0x01), 0);   // odd values: 0..7 are one run
    EXPECT_EQ(doc.m_marker1, 0);

    // Every move of M1 is an edit that Undo takes back.
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_marker1, 6);
}

}   // namespace
