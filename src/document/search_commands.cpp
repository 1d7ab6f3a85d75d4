// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/search_commands.h"

#include "document/document_edits.h"
#include "document/vexlar_doc.h"

namespace SearchCommands {

namespace {

int32_t StartOf(const CVexlarDoc& doc, int32_t from)
{
    return doc.m_marker1 >= 0 ? doc.m_marker1 : from;
}

int32_t MoveMarker(CVexlarDoc& doc, int32_t found)
{
    if (found >= 0)
        DocumentEdits::SetMarkers(doc, found, doc.m_marker2);
    return found;
}

}   // namespace

CSignal* EdgeTarget(const CVexlarDoc& doc)
{
    for (CSignal* s : doc.m_signals) {
        if (s->m_selected && s->m_numBits == 1)
            return s;
    }
    return nullptr;
}

CSignal* ValueTarget(const CVexlarDoc& doc)
{
    CSignal* first = nullptr;
    for (CSignal* s : doc.m_signals) {
        if (!s->m_selected)
            continue;
        if (s->m_numBits > 1)
            return s;
        if (first == nullptr)
            first = s;
    }
    return first;
}

int32_t FindEdge(CVexlarDoc& doc, SignalSearch::Direction direction, int32_t from)
{
    const CSignal* target = EdgeTarget(doc);
    if (target == nullptr)
        return -1;
    return MoveMarker(doc, SignalSearch::FindEdge(*target, StartOf(doc, from), direction));
}

int32_t FindValue(CVexlarDoc& doc, SignalSearch::Direction direction, int32_t from, uint32_t value, uint32_t mask)
{
    const CSignal* target = ValueTarget(doc);
    if (target == nullptr)
        return -1;
    return MoveMarker(doc, SignalSearch::FindValue(*target, StartOf(doc, from), direction, value, mask));
}

}   // namespace SearchCommands
