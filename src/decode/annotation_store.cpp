// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/annotation_store.h"

#include <algorithm>
#include <cstring>

namespace {
const std::string kEmpty;
constexpr int kMaxTexts = 255;
}   // namespace

void CAnnotationStore::SetDecoders(const std::vector<const DecoderInfo*>& stack)
{
    Clear();
    m_decoders.clear();
    m_lanes.clear();
    for (size_t d = 0; d < stack.size(); ++d) {
        const DecoderInfo& info = *stack[d];
        DecoderClasses classes;
        classes.id = info.id;
        const uint16_t none = 0xFFFF;
        classes.laneOfClass.assign(info.annotations.size(), none);
        for (const DecoderAnnotationClass& c : info.annotations)
            classes.classIds.push_back(c.id);
        for (const DecoderAnnotationRow& row : info.rows) {
            const auto lane = static_cast<uint16_t>(m_lanes.size());
            m_lanes.push_back({static_cast<int>(d), info.id, row.id, row.desc});
            for (int c : row.classes) {
                if (c >= 0 && static_cast<size_t>(c) < classes.laneOfClass.size() && classes.laneOfClass[c] == none)
                    classes.laneOfClass[c] = lane;
            }
        }
        for (size_t c = 0; c < classes.laneOfClass.size(); ++c) {
            if (classes.laneOfClass[c] == none) {
                classes.laneOfClass[c] = static_cast<uint16_t>(m_lanes.size());
                m_lanes.push_back({static_cast<int>(d), info.id, info.annotations[c].id, info.annotations[c].desc});
            }
        }
        m_decoders.push_back(std::move(classes));
    }
}

void CAnnotationStore::Add(int decoder, uint64_t start, uint64_t end, int cls, const char* const* texts, int count)
{
    if (decoder < 0 || static_cast<size_t>(decoder) >= m_decoders.size())
        return;
    const DecoderClasses& classes = m_decoders[decoder];
    if (cls < 0 || static_cast<size_t>(cls) >= classes.laneOfClass.size())
        return;   // the library checks classes; never trust an index anyway
    Annotation a;
    a.start = start;
    a.end = std::max(start, end);
    a.cls = static_cast<uint16_t>(cls);
    a.lane = classes.laneOfClass[cls];
    a.text = static_cast<uint32_t>(m_pool.size());
    count = std::clamp(count, 0, kMaxTexts);
    m_pool.push_back(static_cast<char>(count));
    for (int i = 0; i < count; ++i) {
        const char* t = texts[i] ? texts[i] : "";
        m_pool.append(t, std::strlen(t) + 1);
    }
    m_items.push_back(a);
}

void CAnnotationStore::Clear()
{
    m_items.clear();
    m_pool.clear();
}

int CAnnotationStore::TextCount(const Annotation& a) const
{
    return a.text < m_pool.size() ? static_cast<unsigned char>(m_pool[a.text]) : 0;
}

std::string_view CAnnotationStore::Text(const Annotation& a, int index) const
{
    if (index < 0 || index >= TextCount(a))
        return {};
    const char* p = m_pool.data() + a.text + 1;
    for (int i = 0; i < index; ++i)
        p += std::strlen(p) + 1;
    return std::string_view(p);
}

const std::string& CAnnotationStore::ClassId(const Annotation& a) const
{
    const int d = m_lanes[a.lane].decoder;
    return a.cls < m_decoders[d].classIds.size() ? m_decoders[d].classIds[a.cls] : kEmpty;
}

const std::string& CAnnotationStore::DecoderId(const Annotation& a) const
{
    return m_lanes[a.lane].decoderId;
}

size_t CAnnotationStore::MemoryBytes() const
{
    return m_items.capacity() * sizeof(Annotation) + m_pool.capacity();
}
